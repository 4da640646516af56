// Copies of the tool started together join one run. Explorer starts one copy per selected
// folder, all at once: the first becomes the run, the others hand their folders to it and end.
// The run is a message-only window of this user's in this session. A copy looks for it and
// hands over under a lock that the run also takes when it ends, so a copy either reaches a run
// that will still take its folders in, or finds none and becomes the run itself.
#include "App.h"

#include <sddl.h>

#include <deque>

namespace {

const wchar_t RunClassName[] = L"Morvandels_Run_CLASS";
// Marks a hand-over among whatever else WM_COPYDATA may bring.
const ULONG_PTR HandOverTag = 0x4D564652;
// A run that answers neither the lock nor the hand-over within this time is taken for hung;
// the copy then runs on its own.
const DWORD HandOverTimeoutMs = 10000;

HWND RunWindow = nullptr;
std::deque<mv::TStrArr> HandedOver;
ULONGLONG LastArrivalTick = 0;

// The user's SID as text: another user's run has another name, so it is never found.
std::wstring UserTag() {
    mv::TKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return L"";
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, &buffer, sizeof buffer, &size)) return L"";
    mv::TLocalText text;
    if (!ConvertSidToStringSidW(buffer.user.User.Sid, text.Put())) return L"";
    return text.Get();
}

// The run's window and its lock bear this name; the lock lives in the session's own namespace.
const std::wstring &RunName() {
    static const std::wstring name = L"MorvandelsFolderRename." + UserTag();
    return name;
}

LRESULT CALLBACK RunWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
    const auto *copy = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    if (copy->dwData != HandOverTag || !copy->lpData || copy->cbData % sizeof(wchar_t) != 0)
        return FALSE;
    // The paths, each ended by a zero; nothing is read beyond the bytes that came.
    const wchar_t *text = static_cast<const wchar_t *>(copy->lpData);
    const std::wstring joined(text, text + copy->cbData / sizeof(wchar_t));
    mv::TStrArr folders;
    for (size_t start = 0, end; (end = joined.find(L'\0', start)) != std::wstring::npos;
         start = end + 1)
        if (end > start) folders.push_back(joined.substr(start, end - start));
    HandedOver.push_back(folders);
    LastArrivalTick = GetTickCount64();
    return TRUE;
}

} // namespace

TRunLock::TRunLock() : mutex_(CreateMutexW(nullptr, FALSE, (L"Local\\" + RunName()).c_str())) {}

TRunLock::~TRunLock() {
    if (held_) ReleaseMutex(mutex_.Get());
}

void TRunLock::Acquire(bool answerHandOvers) {
    HANDLE mutex = mutex_.Get();
    if (!mutex) return;
    for (;;) {
        const DWORD result =
            answerHandOvers
                ? MsgWaitForMultipleObjects(1, &mutex, FALSE, HandOverTimeoutMs, QS_SENDMESSAGE)
                : WaitForSingleObject(mutex, HandOverTimeoutMs);
        // A copy that ended while it held the lock leaves it abandoned, and free.
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) held_ = true;
        if (result != WAIT_OBJECT_0 + 1) return;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

bool SendToRun(const mv::TStrArr &folders) {
    HWND run = FindWindowExW(HWND_MESSAGE, nullptr, RunClassName, RunName().c_str());
    if (!run) return false;
    std::wstring joined;
    for (const std::wstring &folder : folders)
        joined += folder + L'\0';
    COPYDATASTRUCT copy = {HandOverTag, static_cast<DWORD>(joined.size() * sizeof(wchar_t)),
                           &joined[0]};
    DWORD_PTR taken = FALSE;
    return SendMessageTimeoutW(run, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL,
                               HandOverTimeoutMs, &taken) &&
           taken == TRUE;
}

bool HandOverToRun(const mv::TStrArr &folders) {
    TRunLock lock;
    // Without the lock a copy still works, only alone.
    lock.Acquire(false);
    if (SendToRun(folders)) return true;
    // This copy is the run. Its window is there before the lock goes, so the next copy finds it.
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RunWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = RunClassName;
    RegisterClassW(&windowClass);
    RunWindow = CreateWindowExW(0, RunClassName, RunName().c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, windowClass.hInstance, nullptr);
    HandedOver.push_back(folders);
    return false;
}

bool HandOverWaiting() {
    return !HandedOver.empty();
}

ULONGLONG LastHandOverTick() {
    return LastArrivalTick;
}

bool TakeHandedOver(mv::TStrArr &folders) {
    if (HandedOver.empty()) return false;
    folders = std::move(HandedOver.front());
    HandedOver.pop_front();
    return true;
}

bool CloseRun() {
    TRunLock lock;
    lock.Acquire(true);
    if (!HandedOver.empty()) return false;
    if (RunWindow) DestroyWindow(RunWindow);
    RunWindow = nullptr;
    return true;
}
