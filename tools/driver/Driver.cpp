#include "Driver.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

namespace driver {

namespace {

const DWORD PollMs = 10;
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

bool IsDotName(const wchar_t *name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// The ids of the running copies of FolderRename.exe.
std::set<DWORD> ToolProcesses() {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, L"FolderRename.exe") == 0) ids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

// Explorer's calls for one drop, made on a thread of their own: Drop may not return.
struct TDropCall {
    CLSID classId = {};
    std::vector<std::wstring> items;
    HANDLE activated = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE attached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HRESULT result = E_FAIL;
    DWORD effect = DROPEFFECT_NONE; // what Drop hands back
    ~TDropCall() {
        for (HANDLE event : {activated, attached, returned})
            CloseHandle(event);
    }
};

HRESULT DropItems(TDropCall &call) {
    IDropTarget *target = nullptr;
    HRESULT hr = CoCreateInstance(call.classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDropTarget,
                                  reinterpret_cast<void **>(&target));
    SetEvent(call.activated);
    if (FAILED(hr)) return hr;
    WaitForSingleObject(call.attached, 20000);
    // Explorer may start the server and then never drop anything.
    if (call.items.empty()) return target->Release(), S_OK;
    // As in a folder's window: the items of one folder, each named within it.
    std::vector<PIDLIST_ABSOLUTE> lists;
    std::vector<LPCITEMIDLIST> children;
    for (const std::wstring &item : call.items) {
        PIDLIST_ABSOLUTE list = nullptr;
        if (FAILED(SHParseDisplayName(item.c_str(), nullptr, &list, 0, nullptr))) continue;
        lists.push_back(list);
        children.push_back(ILFindLastID(list));
    }
    PIDLIST_ABSOLUTE folder = lists.empty() ? nullptr : ILClone(lists.front());
    if (folder) ILRemoveLastID(folder);
    IDataObject *data = nullptr;
    hr = CIDLData_CreateFromIDArray(folder, static_cast<UINT>(children.size()), children.data(),
                                    &data);
    CoTaskMemFree(folder);
    if (SUCCEEDED(hr)) {
        DWORD &effect = call.effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        hr = target->DragEnter(data, MK_LBUTTON, POINTL{}, &effect);
        if (SUCCEEDED(hr)) hr = target->Drop(data, 0, POINTL{}, &effect);
        data->Release();
    }
    for (PIDLIST_ABSOLUTE list : lists)
        CoTaskMemFree(list);
    target->Release();
    return hr;
}

// The items, each "FOLDER\*" replaced by everything in that folder.
std::vector<std::wstring> Selection(const std::vector<std::wstring> &items) {
    std::vector<std::wstring> selection;
    for (const std::wstring &item : items) {
        const bool all = item.size() > 2 && item.compare(item.size() - 2, 2, L"\\*") == 0;
        if (!all) selection.push_back(item);
        WIN32_FIND_DATAW entry;
        HANDLE find = all ? FindFirstFileW(item.c_str(), &entry) : INVALID_HANDLE_VALUE;
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &entry))
            if (!IsDotName(entry.cFileName))
                selection.push_back(item.substr(0, item.size() - 1) + entry.cFileName);
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
    return selection;
}

} // namespace

std::string Utf8(const std::wstring &text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

bool WaitUntil(const std::function<bool()> &holds, DWORD ms) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end; Sleep(5))
        if (holds()) return true;
    return holds();
}

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
    // WM_GETTEXT is carried across processes by the system. No SMTO_NORMAL: a thread that
    // worked for seconds before it showed its box counts as hung until the box's loop runs, and
    // its text would be lost.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return std::wstring();
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_NORMAL, 5000, &copied);
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
    // A posted BM_CLICK is carried out even on a disabled button; a person cannot do that.
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
    return PostMessageW(button, BM_CLICK, 0, 0) != 0;
}

TProcess::~TProcess() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool TProcess::Start(const std::wstring &commandLine, const std::wstring &workDir, DWORD flags) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    // No program name: the system takes it from the command line, as the shell does.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    return true;
}

bool TProcess::StartTool(const std::wstring &arguments, const std::wstring &exePath,
                         const std::wstring &workDir, DWORD flags) {
    std::wstring line = L"\"" + (exePath.empty() ? ToolPath() : exePath) + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    return Start(line, workDir, flags);
}

HRESULT TProcess::StartByDrop(const std::wstring &classId, const std::vector<std::wstring> &items,
                              DWORD dropTimeoutMs, DWORD *effect) {
    auto call = std::make_shared<TDropCall>();
    call->items = Selection(items);
    if (FAILED(CLSIDFromString(classId.c_str(), &call->classId))) return E_INVALIDARG;
    const std::set<DWORD> before = ToolProcesses();
    std::thread([call] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        call->result = DropItems(*call);
        SetEvent(call->returned);
        CoUninitialize();
    }).detach();
    // The server is running from its activation until the drop, and waits for it.
    WaitForSingleObject(call->activated, 60000);
    for (DWORD id : ToolProcesses()) {
        if (before.count(id) || process_) continue;
        process_ = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
        id_ = id;
    }
    SetEvent(call->attached);
    if (WaitForSingleObject(call->returned, dropTimeoutMs) != WAIT_OBJECT_0)
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    if (effect) *effect = call->effect;
    return FAILED(call->result) || process_ ? call->result : E_FAIL;
}

bool TProcess::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> TProcess::Windows() const {
    TFindWindows search{id_, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found)
        seen_.insert(ClassName(window));
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
    // A box can be visible before its button and text are in place.
    WaitUntil([&] { return FindChild(window, L"Button") != nullptr; }, 2000);
    box.window = window;
    box.caption = WindowText(window);
    box.text = BoxText(window);
    return true;
}

bool TProcess::AnswerBox(const TBox &box, int button) const {
    return PressButton(GetDlgItem(box.window, button)) &&
           WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 10000);
}

bool TProcess::WaitExit(DWORD timeoutMs, DWORD &exitCode) const {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_, &exitCode);
    return true;
}

namespace {

std::wstring ServerKey(const std::wstring &classId) {
    return L"Software\\Classes\\CLSID\\" + classId + L"\\LocalServer32";
}

} // namespace

std::wstring EntryDropClass() {
    wchar_t id[64] = {}, server[MAX_PATH * 2] = {};
    DWORD size = sizeof id;
    if (RegGetValueW(HKEY_CURRENT_USER,
                     L"Software\\Classes\\Directory\\shell\\MorvandelsFolderRename\\DropTarget",
                     L"CLSID", RRF_RT_REG_SZ, nullptr, id, &size) != ERROR_SUCCESS)
        return L"";
    size = sizeof server;
    if (RegGetValueW(HKEY_CURRENT_USER, ServerKey(id).c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                     server, &size) == ERROR_SUCCESS)
        ServeClassFrom(id, server);
    return id;
}

void ServeClassFrom(const std::wstring &classId, const std::wstring &server) {
    PutText(ServerKey(classId), server, nullptr, HKEY_LOCAL_MACHINE);
}

void PutText(const std::wstring &key, const std::wstring &text, const wchar_t *name, HKEY root) {
    RegSetKeyValueW(root, key.c_str(), name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

TRunResult AnswerUntilExit(const TProcess &tool, DWORD timeoutMs) {
    TRunResult result;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    TBox box;
    while (GetTickCount64() < end) {
        if (!tool.WaitForBox(box, static_cast<DWORD>(end - GetTickCount64()))) break;
        result.boxes.push_back(box);
        if (!tool.AnswerBox(box)) break;
    }
    const ULONGLONG now = GetTickCount64();
    result.finished = tool.WaitExit(now < end ? static_cast<DWORD>(end - now) : 0, result.exitCode);
    return result;
}

std::wstring LongPath(const std::wstring &path) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return path;
    return L"\\\\?\\" + path;
}

bool RemoveTree(const std::wstring &path) {
    const std::wstring longPath = LongPath(path);
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(longPath.c_str()) != 0;
    // A link goes as an entry; what it points at is not touched.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((longPath + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!IsDotName(entry.cFileName)) names.push_back(entry.cFileName);
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        for (const std::wstring &name : names)
            RemoveTree(path + L"\\" + name);
    }
    return RemoveDirectoryW(longPath.c_str()) != 0;
}

int BuildTree(const std::wstring &root, int width, int depth) {
    int made = 0;
    for (int i = 0; depth > 0 && i < width; ++i) {
        const std::wstring child = root + L"\\d" + std::to_wstring(i);
        if (CreateDirectoryW(LongPath(child).c_str(), nullptr)) ++made;
        made += BuildTree(child, width, depth - 1);
    }
    return made;
}

// Wine starts a host program given by its Z: path, but its process cannot be waited on: the
// command leaves its exit status in a file, which is awaited.
int RunHostShell(const std::wstring &command, const std::wstring &workDir, DWORD timeoutMs) {
    const std::wstring status = workDir + L"\\host-status";
    // One left by an earlier command that ended after its wait gave up would pass for this one's.
    DeleteFileW(status.c_str());
    std::wstring line =
        L"sh -c \"" + command + L"; echo $? > host-status.tmp && mv host-status.tmp host-status\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.c_str(), &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    for (DWORD waited = 0; waited < timeoutMs; waited += 20, Sleep(20)) {
        FILE *file = _wfopen(status.c_str(), L"rb");
        if (!file) continue;
        int code = -1;
        if (fscanf(file, "%d", &code) != 1) code = -1;
        fclose(file);
        DeleteFileW(status.c_str());
        return code;
    }
    return -1;
}

TTempDir::TTempDir(const std::wstring &tag) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp);
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    static unsigned counter = 0;
    do {
        path_ = base + L"\\fr-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
    } while (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

} // namespace driver
