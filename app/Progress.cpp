// The progress window of a long renaming run. It lives on a thread of its own, so that it
// repaints, moves and takes Stop at every moment, whatever the run is doing (a search of a
// large folder, a move on a slow disk, an error box waiting for an answer). The run itself stays
// on the main thread; the two share only the atomic counts and the stop request below.
#include "App.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <atomic>

namespace {

const wchar_t ProgressClassName[] = L"Morvandels_Progress_CLASS";
const wchar_t ProgressTitle[] = L"Morvandels Folder Renamer";
// Runs that end sooner show only their boxes.
const DWORD ShowDelayMs = 1000;
// A few updates a second: enough to see the run move, too few to slow it.
const UINT RefreshMs = 250;
const UINT_PTR RefreshTimer = 1;
// The time left is guessed only from this much renaming.
const ULONGLONG EstimateAfterMs = 2000;
const int32_t EstimateAfterFolders = 20;

// Written by the run, read by the window.
std::atomic<int32_t> FoundCount{0};
std::atomic<int32_t> DoneCount{0};
std::atomic<int32_t> TotalCount{-1}; // -1 while the search goes on
std::atomic<bool> StopFlag{false};

ULONGLONG StartTick = 0; // set before the thread starts
mv::TKernelHandle RunEnded;
mv::TKernelHandle ProgressThread;

// The window thread's own state.
HWND ProgressWindow = nullptr;
HWND StatusText = nullptr;
HWND ProgressBar = nullptr;
HWND TimeText = nullptr;
HWND StopButton = nullptr;
HFONT ProgressFont = nullptr;
UINT TaskbarButtonCreated = 0;
mv::TComPtr<ITaskbarList3> Taskbar;
bool Renaming = false;
ULONGLONG RenameStartTick = 0;
int32_t RenameStartDone = 0;

// Client area and control rectangles at 96 DPI: x, y, width, height.
const int32_t ClientWidth = 360;
const int32_t ClientHeight = 128;
struct TControlRect {
    HWND *control;
    int32_t x, y, width, height;
};
const TControlRect Layout[] = {
    {&StatusText, 12, 12, 336, 20},
    {&ProgressBar, 12, 38, 336, 18},
    {&TimeText, 12, 64, 336, 20},
    {&StopButton, 264, 92, 84, 26},
};

RECT ScaledRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t dpi) {
    return {mv::ScaleForDpi(x, dpi), mv::ScaleForDpi(y, dpi), mv::ScaleForDpi(x + width, dpi),
            mv::ScaleForDpi(y + height, dpi)};
}

// The system's message font, at the window's DPI.
HFONT MakeFont(uint32_t dpi) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight =
        MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(mv::WindowDpi(nullptr)));
    return CreateFontIndirectW(&font);
}

void ApplyDpi(uint32_t dpi) {
    for (const TControlRect &c : Layout) {
        const RECT r = ScaledRect(c.x, c.y, c.width, c.height, dpi);
        SetWindowPos(*c.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HFONT font = MakeFont(dpi);
    if (!font) return;
    for (const TControlRect &c : Layout)
        SendMessageW(*c.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (ProgressFont) DeleteObject(ProgressFont);
    ProgressFont = font;
}

// Sets a control's text only when it changed, so that nothing flickers.
void ShowText(HWND control, const std::string &text) {
    if (mv::GetControlText(control) != text) mv::SetControlText(control, text);
}

void RequestStop() {
    if (StopFlag.exchange(true)) return;
    mv::SetControlText(StopButton, "Stopping");
    EnableWindow(StopButton, FALSE);
    if (Taskbar) Taskbar->SetProgressState(ProgressWindow, TBPF_PAUSED);
}

void Refresh() {
    const ULONGLONG now = GetTickCount64();
    const int32_t total = TotalCount.load(std::memory_order_relaxed);
    const int32_t done = DoneCount.load(std::memory_order_relaxed);
    std::string status;
    std::string time = "Time: " + DurationText(now - StartTick);
    if (total < 0) {
        status = "Searching: " + mv::IntToStr(FoundCount.load(std::memory_order_relaxed)) +
                 " folders found";
    } else {
        if (!Renaming) {
            // From a bar that only moves to one that fills.
            Renaming = true;
            RenameStartTick = now;
            RenameStartDone = done;
            SendMessageW(ProgressBar, PBM_SETMARQUEE, FALSE, 0);
            SetWindowLongPtrW(ProgressBar, GWL_STYLE,
                              GetWindowLongPtrW(ProgressBar, GWL_STYLE) & ~PBS_MARQUEE);
            SendMessageW(ProgressBar, PBM_SETRANGE32, 0, total);
        }
        status = "Renaming: " + mv::IntToStr(done) + " of " + mv::IntToStr(total) + " folders";
        SendMessageW(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
        if (Taskbar && !StopFlag.load())
            Taskbar->SetProgressValue(ProgressWindow, static_cast<ULONGLONG>(done),
                                      static_cast<ULONGLONG>(total));
        const ULONGLONG renamingMs = now - RenameStartTick;
        const int32_t renamedNow = done - RenameStartDone;
        if (renamingMs >= EstimateAfterMs && renamedNow >= EstimateAfterFolders)
            time += ", about " +
                    DurationText(renamingMs * static_cast<uint64_t>(total - done) /
                                 static_cast<uint64_t>(renamedNow)) +
                    " left";
    }
    if (StopFlag.load()) status = "Stopping after the folder at hand";
    ShowText(StatusText, status);
    ShowText(TimeText, time);
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        // The Stop button itself, Escape (IDCANCEL) and Enter from the dialog manager.
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) RequestStop();
        return 0;
    case WM_CLOSE:
        // The close box and Alt+F4 stop the run; the window goes when the run has ended.
        RequestStop();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(StopButton);
        return 0;
    case WM_TIMER:
        Refresh();
        return 0;
    case WM_DPICHANGED: {
        const RECT *suggested = reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    }
    if (message == TaskbarButtonCreated && TaskbarButtonCreated != 0) {
        // Windows 7 and later draw the progress on the taskbar button as well.
        Taskbar.Reset();
        if (mv::HrSucceeded(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_ITaskbarList3, Taskbar.PutVoid())) &&
            !mv::HrSucceeded(Taskbar->HrInit()))
            Taskbar.Reset();
        if (Taskbar && !Renaming) Taskbar->SetProgressState(window, TBPF_INDETERMINATE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CreateProgressWindow() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ProgressWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"MAINICON");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ProgressClassName;
    RegisterClassW(&windowClass);
    TaskbarButtonCreated = RegisterWindowMessageA("TaskbarButtonCreated");

    // Made hidden in the middle of the main monitor's work area, so that its DPI is that
    // monitor's; then sized for that DPI and placed.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT &work = monitor.rcWork;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    ProgressWindow = CreateWindowExW(WS_EX_APPWINDOW, ProgressClassName, ProgressTitle, style,
                                     (work.left + work.right) / 2, (work.top + work.bottom) / 2, 1,
                                     1, nullptr, nullptr, instance, nullptr);
    if (!ProgressWindow) return false;
    const uint32_t dpi = mv::WindowDpi(ProgressWindow);
    RECT frame = {0, 0, mv::ScaleForDpi(ClientWidth, dpi), mv::ScaleForDpi(ClientHeight, dpi)};
    mv::AdjustWindowRectForDpi(frame, style, WS_EX_APPWINDOW, dpi);
    const int32_t width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(ProgressWindow, nullptr, (work.left + work.right - width) / 2,
                 (work.top + work.bottom - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    auto child = [&](const char *className, DWORD childStyle, const char *text, int id) {
        return mv::CreateControl(className, text, WS_CHILD | WS_VISIBLE | childStyle, 0, 0, 0, 0,
                                 ProgressWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 instance, nullptr);
    };
    StatusText = child("Static", SS_LEFTNOWORDWRAP | SS_NOPREFIX, "", 0);
    ProgressBar = child(PROGRESS_CLASSA, PBS_MARQUEE, "", 0);
    TimeText = child("Static", SS_LEFTNOWORDWRAP | SS_NOPREFIX, "", 0);
    // IDCANCEL: Escape from the dialog manager and the button are the same command.
    StopButton = child("Button", WS_TABSTOP | BS_DEFPUSHBUTTON, "Stop", IDCANCEL);
    SendMessageW(ProgressBar, PBM_SETMARQUEE, TRUE, 30);
    ApplyDpi(dpi);
    Refresh();

    // While one of our error boxes is in front, the window does not take the keyboard from it:
    // an Enter meant for the box must not stop the run.
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foregroundProcess);
    ShowWindow(ProgressWindow,
               foregroundProcess == GetCurrentProcessId() ? SW_SHOWNOACTIVATE : SW_SHOW);
    SetTimer(ProgressWindow, RefreshTimer, RefreshMs, nullptr);
    return true;
}

DWORD WINAPI ProgressThreadMain(void *) {
    if (WaitForSingleObject(RunEnded.Get(), ShowDelayMs) != WAIT_TIMEOUT) return 0;
    mv::TComInit com; // for the taskbar button
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (CreateProgressWindow()) {
        for (;;) {
            const HANDLE ended = RunEnded.Get();
            if (MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_ALLINPUT) !=
                WAIT_OBJECT_0 + 1)
                break;
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                // The dialog manager gives the window Tab, Space, Enter and Escape.
                if (IsDialogMessageW(ProgressWindow, &message)) continue;
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        DestroyWindow(ProgressWindow);
    }
    Taskbar.Reset();
    if (ProgressFont) DeleteObject(ProgressFont);
    return 0;
}

} // namespace

void StartProgress() {
    StartTick = GetTickCount64();
    RunEnded.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    // Without the event or the thread the run goes on without a window.
    if (RunEnded.Valid())
        ProgressThread.Reset(CreateThread(nullptr, 0, ProgressThreadMain, nullptr, 0, nullptr));
}

void ReportFolderFound() {
    // Only the run writes: a plain increment of the atomic is enough and costs nothing.
    FoundCount.store(FoundCount.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void ReportRenaming(int32_t done, int32_t total) {
    DoneCount.store(done, std::memory_order_relaxed);
    TotalCount.store(total, std::memory_order_relaxed);
}

bool StopRequested() {
    return StopFlag.load(std::memory_order_relaxed);
}

void EndProgress() {
    if (RunEnded.Valid()) SetEvent(RunEnded.Get());
    if (ProgressThread.Valid()) WaitForSingleObject(ProgressThread.Get(), INFINITE);
    ProgressThread.Reset();
    RunEnded.Reset();
}

std::string DurationText(uint64_t milliseconds) {
    const uint64_t seconds = milliseconds / 1000;
    auto twoDigits = [](uint64_t n) {
        return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
    };
    if (seconds < 3600)
        return mv::IntToStr(static_cast<int32_t>(seconds / 60)) + ":" + twoDigits(seconds % 60);
    return mv::IntToStr(static_cast<int32_t>(seconds / 3600)) + ":" + twoDigits(seconds / 60 % 60) +
           ":" + twoDigits(seconds % 60);
}
