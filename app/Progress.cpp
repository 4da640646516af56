// The progress window of a long renaming run. It lives on the run's own thread: the run hands
// it its messages between two steps, about ten times a second, and an error box's own message
// loop does the same while the box waits, so the window answers at every moment.
#include "App.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>

namespace {

const wchar_t ProgressClassName[] = L"Morvandels_Progress_CLASS";
const wchar_t ProgressTitle[] = L"Morvandels Folder Renamer";
// Runs that end sooner show only their boxes.
const DWORD ShowDelayMs = 1000;
// Two updates a second: enough to see the run move; under Wine every one is drawn at the run's
// own cost, and a large tree shows them for minutes.
const UINT RefreshMs = 500;
const UINT_PTR RefreshTimer = 1;
const LPARAM MarqueeStepMs = 300;
// The time left is guessed only from this much renaming.
const ULONGLONG EstimateAfterMs = 2000;
const int32_t EstimateAfterFolders = 20;

// How often the run looks at the window: often enough to answer at once, rarely enough to
// cost nothing.
const ULONGLONG PumpMs = 100;

int32_t FoundCount = 0;
int32_t DoneCount = 0;
int32_t TotalCount = -1; // while the search goes on
bool StopFlag = false;
bool ToFront = false;
ULONGLONG StartTick = 0;
ULONGLONG NextPumpTick = 0;
bool WindowTried = false;
HHOOK DialogKeysHook = nullptr;
HHOOK BoxPlaceHook = nullptr;
// The message box of the run that is open now, if any.
HWND OpenBox = nullptr;
UINT_PTR ShowTimer = 0;

HWND ProgressWindow = nullptr;
HWND StatusText = nullptr;
HWND ProgressBar = nullptr;
HWND TimeText = nullptr;
HWND StopButton = nullptr;
HFONT ProgressFont = nullptr;
UINT TaskbarButtonCreated = 0;
std::unique_ptr<mv::TComInit> Com;
mv::TComPtr<ITaskbarList3> Taskbar;
bool Renaming = false;
int32_t BarRange = 0;
ULONGLONG RenameStartTick = 0;
int32_t RenameStartDone = 0;

// Client area and control rectangles at 96 DPI: x, y, width, height.
const int32_t ClientWidth = 360;
const int32_t ClientHeight = 128;
const std::pair<HWND *, mv::TPlace> Layout[] = {
    {&StatusText, {12, 12, 336, 20}},
    {&ProgressBar, {12, 38, 336, 18}},
    {&TimeText, {12, 64, 336, 20}},
    {&StopButton, {264, 92, 84, 26}},
};

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
    for (const auto &[control, place] : Layout)
        mv::MoveToPlace(*control, place, dpi);
    HFONT font = MakeFont(dpi);
    if (!font) return;
    for (const auto &entry : Layout)
        SendMessageW(*entry.first, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (ProgressFont) DeleteObject(ProgressFont);
    ProgressFont = font;
}

// Sets a control's text only when it changed, so that nothing flickers.
void ShowText(HWND control, const std::string &text) {
    if (mv::GetControlText(control) != text) mv::SetControlText(control, text);
}

} // namespace

void RequestStop() {
    if (StopFlag) return;
    StopFlag = true;
    mv::SetControlText(StopButton, "Stopping");
    EnableWindow(StopButton, FALSE);
    if (Taskbar) Taskbar->SetProgressState(ProgressWindow, TBPF_PAUSED);
    // The run still waits for the box: the person must see it, and its OK takes the keys.
    if (OpenBox) SetForegroundWindow(OpenBox);
}

namespace {

void Refresh() {
    const ULONGLONG now = GetTickCount64();
    const int32_t total = TotalCount, done = DoneCount;
    std::string status;
    std::string time = "Time: " + DurationText(now - StartTick);
    if (total < 0) {
        status = "Searching: " + mv::IntToStr(FoundCount) + " folders found";
    } else {
        if (!Renaming) {
            // From a bar that only moves to one that fills.
            Renaming = true;
            RenameStartTick = now;
            RenameStartDone = done;
            SendMessageW(ProgressBar, PBM_SETMARQUEE, FALSE, 0);
            SetWindowLongPtrW(ProgressBar, GWL_STYLE,
                              GetWindowLongPtrW(ProgressBar, GWL_STYLE) & ~PBS_MARQUEE);
        }
        // Folders handed over later make the total grow.
        if (total != BarRange) SendMessageW(ProgressBar, PBM_SETRANGE32, 0, total);
        BarRange = total;
        status = "Renaming: " + mv::IntToStr(done) + " of " + mv::IntToStr(total) + " folders";
        SendMessageW(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
        if (Taskbar && !StopFlag)
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
    if (StopFlag) status = "Stopping after the folder at hand";
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
        mv::MoveToRect(window, *reinterpret_cast<const RECT *>(lParam));
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    }
    if (message == TaskbarButtonCreated && TaskbarButtonCreated != 0) {
        // Windows 7 and later draw the progress on the taskbar button as well. COM comes only
        // with the button: a system without one spares its memory.
        if (!Com) Com.reset(new mv::TComInit);
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

// Moves a box that the window covers, or that covers the window, below the window, or above it
// where the work area has no room below: the box must be seen, and Stop must stay within reach.
void KeepClear(HWND box) {
    RECT boxRect, windowRect, overlap;
    if (!ProgressWindow || !IsWindowVisible(ProgressWindow) || !GetWindowRect(box, &boxRect) ||
        !GetWindowRect(ProgressWindow, &windowRect) ||
        !IntersectRect(&overlap, &boxRect, &windowRect))
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(ProgressWindow, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const LONG height = boxRect.bottom - boxRect.top;
    const LONG gap = mv::ScaleForDpi(8, mv::WindowDpi(ProgressWindow));
    LONG top = windowRect.bottom + gap;
    if (top + height > monitor.rcWork.bottom)
        top = std::max(monitor.rcWork.top, windowRect.top - gap - height);
    SetWindowPos(box, nullptr, boxRect.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsMessageBox(HWND window) {
    wchar_t name[8] = {};
    // The class of dialog boxes, and so of message boxes.
    return GetClassNameW(window, name, 8) && wcscmp(name, L"#32770") == 0;
}

// Follows the run's message boxes: each is kept clear of the window when it opens, and a stop
// brings the one that is open to the front.
LRESULT CALLBACK BoxPlaceProc(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && window != ProgressWindow && IsMessageBox(window)) {
        OpenBox = window;
        KeepClear(window);
    }
    if (code == HCBT_DESTROYWND && window == OpenBox) OpenBox = nullptr;
    return CallNextHookEx(BoxPlaceHook, code, wParam, lParam);
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
    // monitor's; then sized for that DPI and placed in the middle of the upper half, clear of
    // the message boxes, which open in the middle.
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
                 std::max(work.top, work.top + ((work.bottom - work.top) / 2 - height) / 2), width,
                 height, SWP_NOZORDER | SWP_NOACTIVATE);

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
    // A slow step: each one is drawn, and under Wine drawing costs the run's own time.
    SendMessageW(ProgressBar, PBM_SETMARQUEE, TRUE, MarqueeStepMs);
    ApplyDpi(dpi);
    Refresh();

    // While one of our error boxes is in front, the window does not take the keyboard from it:
    // an Enter meant for the box must not stop the run.
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foregroundProcess);
    const bool boxInFront = foregroundProcess == GetCurrentProcessId();
    ShowWindow(ProgressWindow, boxInFront ? SW_SHOWNOACTIVATE : SW_SHOW);
    if (ToFront && !boxInFront) SetForegroundWindow(ProgressWindow);
    if (OpenBox) KeepClear(OpenBox);
    SetTimer(ProgressWindow, RefreshTimer, RefreshMs, nullptr);
    return true;
}

// The keys of the window while an error box's own loop runs: that loop offers every message
// here first, as all dialog loops do.
LRESULT CALLBACK DialogKeysProc(int code, WPARAM wParam, LPARAM lParam) {
    MSG *message = reinterpret_cast<MSG *>(lParam);
    if (code == MSGF_DIALOGBOX && ProgressWindow &&
        (message->hwnd == ProgressWindow || IsChild(ProgressWindow, message->hwnd)) &&
        IsDialogMessageW(ProgressWindow, message))
        return TRUE;
    return CallNextHookEx(DialogKeysHook, code, wParam, lParam);
}

// Shows the window once the run has taken a second.
void ShowWhenDue(ULONGLONG now) {
    if (ProgressWindow || WindowTried || StartTick == 0 || now - StartTick < ShowDelayMs) return;
    WindowTried = true;
    if (CreateProgressWindow())
        DialogKeysHook =
            SetWindowsHookExW(WH_MSGFILTER, DialogKeysProc, nullptr, GetCurrentThreadId());
}

// Hands the window what it has to do.
void Pump() {
    const ULONGLONG now = GetTickCount64();
    if (now < NextPumpTick) return;
    NextPumpTick = now + PumpMs;
    ShowWhenDue(now);
    // Also before the window shows: copies hand their folders over by message.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // The dialog manager gives the window Tab, Space, Enter and Escape.
        if (ProgressWindow && IsDialogMessageW(ProgressWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A run that waits in an error box has no steps that would show the window; the box's loop
// delivers this timer instead, and goes on handing out the messages itself: taken from it here,
// a key meant for the box would miss the box's dialog manager.
void CALLBACK ShowTimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    ShowTimer = 0;
    ShowWhenDue(GetTickCount64());
}

} // namespace

void StartProgress() {
    StartTick = GetTickCount64();
    BoxPlaceHook = SetWindowsHookExW(WH_CBT, BoxPlaceProc, nullptr, GetCurrentThreadId());
    ShowTimer = SetTimer(nullptr, 0, ShowDelayMs, ShowTimerProc);
}

void ReportFolderFound() {
    ++FoundCount;
}

void ReportRenaming(int32_t done, int32_t total) {
    DoneCount = done;
    TotalCount = total;
}

bool StopRequested() {
    // Every step of the run asks this, so it is where the window gets its turn.
    Pump();
    return StopFlag;
}

void BringRunToFront() {
    ToFront = true;
}

UINT RunBoxType(UINT type) {
    return ToFront ? type | MB_SETFOREGROUND : type;
}

bool WaitAnswering(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now; !StopFlag && (now = GetTickCount64()) < end;) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        NextPumpTick = 0;
        Pump();
    }
    return !StopFlag;
}

void FinishProgress() {
    if (ShowTimer) KillTimer(nullptr, ShowTimer);
    ShowTimer = 0;
    if (DialogKeysHook) UnhookWindowsHookEx(DialogKeysHook);
    DialogKeysHook = nullptr;
    if (!ProgressWindow) return;
    KillTimer(ProgressWindow, RefreshTimer);
    // It stays on the screen, and in front where it was, so that the summary opens in front of
    // it: gone, it would hand the foreground to another program's window, and the summary would
    // open behind that one.
    EnableWindow(ProgressWindow, FALSE);
}

void EndProgress() {
    FinishProgress();
    if (BoxPlaceHook) UnhookWindowsHookEx(BoxPlaceHook);
    BoxPlaceHook = nullptr;
    OpenBox = nullptr;
    if (ProgressWindow) DestroyWindow(ProgressWindow);
    ProgressWindow = nullptr;
    Taskbar.Reset();
    Com.reset();
    if (ProgressFont) DeleteObject(ProgressFont);
    ProgressFont = nullptr;
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
