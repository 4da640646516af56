#include "Driver.h"

#include <shobjidl.h>

#include <algorithm>

#include "mv.API.h"

namespace driver {

namespace {

const DWORD PollMs = 20;

// Message boxes keep their text in a static control with this identifier.
const int BoxTextId = 0xFFFF;

struct TFindWindows {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
    auto *search = reinterpret_cast<TFindWindows *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

struct TFindChild {
    std::wstring className;
    std::wstring text;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM param) {
    auto *search = reinterpret_cast<TFindChild *>(param);
    if (lstrcmpiW(ClassName(window).c_str(), search->className.c_str()) != 0) return TRUE;
    if (!search->text.empty() && WindowText(window) != search->text) return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring ToolPath() {
    return OwnFolder() + L"FolderRename.exe";
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT is carried across processes by the system; a hung window gives up after 5 s.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return std::wstring();
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return std::wstring(buffer.data(), std::min<size_t>(copied, length));
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring BoxText(HWND box) {
    HWND text = GetDlgItem(box, BoxTextId);
    return text ? WindowText(text) : std::wstring();
}

HWND FindChild(HWND parent, const std::wstring &className, const std::wstring &text) {
    TFindChild search{className, text, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool PressButton(HWND button) {
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
    return PostMessageW(button, BM_CLICK, 0, 0) != 0;
}

namespace {

// A message to another process's window that gives up when that process hangs, so a test
// fails instead of waiting forever.
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

void TypeText(HWND edit, const std::wstring &text) {
    SendBounded(edit, EM_SETSEL, 0, -1);
    SendBounded(edit, WM_CHAR, VK_BACK, 0);
    for (wchar_t c : text)
        SendBounded(edit, WM_CHAR, c, 0);
}

LRESULT ButtonCheck(HWND button) {
    return SendBounded(button, BM_GETCHECK, 0, 0);
}

bool ReadLink(const std::wstring &file, TLinkFields &fields) {
    mv::TComPtr<IShellLinkW> link;
    mv::TComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return false;
    wchar_t text[INFOTIPSIZE] = {};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    fields.path = text;
    text[0] = 0;
    link->GetArguments(text, INFOTIPSIZE);
    fields.arguments = text;
    text[0] = 0;
    link->GetDescription(text, INFOTIPSIZE);
    fields.description = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    fields.workingDirectory = text;
    return true;
}

TProcess::~TProcess() {
    if (process_) {
        if (Running()) Kill();
        CloseHandle(process_);
    }
}

bool TProcess::Start(const std::wstring &program, const std::wstring &commandLine,
                     const std::wstring &workDir) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, workDir.empty() ? nullptr : workDir.c_str(), &startup,
                        &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool TProcess::StartTool(const std::wstring &arguments, const std::wstring &exePath,
                         const std::wstring &workDir) {
    const std::wstring program = exePath.empty() ? ToolPath() : exePath;
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    return Start(program, line, workDir);
}

bool TProcess::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> TProcess::Windows() const {
    TFindWindows search{id_, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND TProcess::WaitForWindow(const std::wstring &className, DWORD timeoutMs) const {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        for (HWND window : Windows())
            if (className.empty() || lstrcmpiW(ClassName(window).c_str(), className.c_str()) == 0)
                return window;
        if (!Running() || GetTickCount64() >= end) return nullptr;
        Sleep(PollMs);
    }
}

bool TProcess::WaitForBox(TBox &box, DWORD timeoutMs) const {
    HWND window = WaitForWindow(L"#32770", timeoutMs);
    if (!window) return false;
    // A box is visible before its text is set in some versions; wait for the OK button.
    const ULONGLONG end = GetTickCount64() + 2000;
    while (!FindChild(window, L"Button") && GetTickCount64() < end)
        Sleep(PollMs);
    box.window = window;
    box.caption = WindowText(window);
    box.text = BoxText(window);
    return true;
}

bool TProcess::AnswerBox(const TBox &box, DWORD timeoutMs) const {
    HWND ok = FindChild(box.window, L"Button", L"OK");
    if (!PressButton(ok)) return false;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (IsWindow(box.window) && IsWindowVisible(box.window)) {
        if (GetTickCount64() >= end) return false;
        Sleep(5);
    }
    return true;
}

bool TProcess::WaitExit(DWORD timeoutMs, DWORD &exitCode) const {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_, &exitCode);
    return true;
}

bool TProcess::WaitIdle(DWORD timeoutMs) const {
    return process_ && WaitForInputIdle(process_, timeoutMs) == 0;
}

void TProcess::Kill() {
    if (process_) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
    }
}

namespace {

// Reads and answers every box of a started run until it ends or the time is up.
void AnswerUntilExit(const TProcess &tool, DWORD timeoutMs, TRunResult &result) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    TBox box;
    while (GetTickCount64() < end) {
        const ULONGLONG now = GetTickCount64();
        if (!tool.WaitForBox(box, static_cast<DWORD>(end - now))) break;
        result.boxes.push_back(box);
        if (!tool.AnswerBox(box)) break;
    }
    const ULONGLONG now = GetTickCount64();
    result.finished = tool.WaitExit(now < end ? static_cast<DWORD>(end - now) : 0, result.exitCode);
}

} // namespace

TRunResult RunAndAnswer(const std::wstring &arguments, const std::wstring &exePath,
                        const std::wstring &workDir, DWORD timeoutMs) {
    TRunResult result;
    TProcess tool;
    result.started = tool.StartTool(arguments, exePath, workDir);
    if (result.started) AnswerUntilExit(tool, timeoutMs, result);
    return result;
}

TRunResult RunCommandAndAnswer(const std::wstring &commandLine, DWORD timeoutMs) {
    TRunResult result;
    TProcess tool;
    result.started = tool.Start(L"", commandLine);
    if (result.started) AnswerUntilExit(tool, timeoutMs, result);
    return result;
}

} // namespace driver
