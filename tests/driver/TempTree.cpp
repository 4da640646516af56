#include "TempTree.h"

#include <algorithm>
#include <cstring>

namespace driver {

namespace {

bool IsDotName(const wchar_t *name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

void SnapshotInto(const std::wstring &root, const std::wstring &relative, int depth,
                  std::vector<TEntry> &out) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<TEntry> level;
    do {
        if (IsDotName(entry.cFileName)) continue;
        TEntry e;
        e.depth = depth;
        e.folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        e.name = entry.cFileName;
        e.path = relative.empty() ? e.name : relative + L"\\" + e.name;
        if (!e.folder) e.bytes = ReadBytes(root + L"\\" + e.path);
        level.push_back(e);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    for (const TEntry &e : level) {
        out.push_back(e);
        if (!e.folder) continue;
        const DWORD attributes = GetFileAttributesW(LongPath(root + L"\\" + e.path).c_str());
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            SnapshotInto(root, e.path, depth + 1, out);
    }
}

// The Unix path of a Windows path (UTF-8, widened), through Wine's own export; empty outside
// Wine.
std::wstring UnixPath(const std::wstring &path) {
    using TGetUnixName = char *(CDECL *)(LPCWSTR);
    auto getUnixName = reinterpret_cast<TGetUnixName>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!getUnixName) return std::wstring();
    char *name = getUnixName(path.c_str());
    if (!name) return std::wstring();
    std::wstring result(strlen(name) + 1, L'\0');
    result.resize(
        MultiByteToWideChar(CP_UTF8, 0, name, -1, &result[0], static_cast<int>(result.size())) - 1);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

} // namespace

// Wine runs a host program given by its Z: path, in the Unix form of workDir, but its process
// handle cannot be waited on: the command leaves its exit status in a file, which is awaited.
bool RunHostShell(const std::wstring &command, const std::wstring &workDir) {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return false;
    const std::wstring status = workDir + L"\\host-status";
    DeleteFileW(status.c_str());
    std::wstring line = L"sh -c \"" + command + L"; echo $? > host-status.tmp && " +
                        L"mv host-status.tmp host-status\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    for (int waited = 0; waited < 120000; waited += 50) {
        if (GetFileAttributesW(status.c_str()) != INVALID_FILE_ATTRIBUTES) {
            const std::string code = ReadBytes(status);
            DeleteFileW(status.c_str());
            return code == "0\n";
        }
        Sleep(50);
    }
    return false;
}

bool MakeFolderLink(const std::wstring &linkPath, const std::wstring &targetPath) {
    const std::wstring target = UnixPath(targetPath);
    const std::wstring link = UnixPath(linkPath);
    if (target.empty() || link.empty()) return false;
    if (!RunHostShell(L"ln -s '" + target + L"' '" + link + L"'",
                      linkPath.substr(0, linkPath.find_last_of(L'\\'))))
        return false;
    const DWORD attributes = GetFileAttributesW(linkPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TTempDir::TTempDir(const std::wstring &tag) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp);
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    static unsigned counter = 0;
    for (;;) {
        path_ = base + L"\\fr-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

TTempDir::~TTempDir() {
    RemoveTree(path_);
}

std::wstring TTempDir::operator/(const std::wstring &relative) const {
    return path_ + L"\\" + relative;
}

std::wstring LongPath(const std::wstring &path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.size() < 3 || path[1] != L':') return path;
    return L"\\\\?\\" + path;
}

bool MakeDirs(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2) MakeDirs(path.substr(0, slash));
    return CreateDirectoryW(LongPath(path).c_str(), nullptr) != 0;
}

bool WriteBytes(const std::wstring &path, const std::string &bytes) {
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring &path) {
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool RemoveTree(const std::wstring &path) {
    const std::wstring longPath = LongPath(path);
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(longPath.c_str()) != 0;
    }
    // A link is removed as an entry; what it points at is not touched.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((longPath + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            std::vector<std::wstring> names;
            do {
                if (!IsDotName(entry.cFileName)) names.push_back(entry.cFileName);
            } while (FindNextFileW(find, &entry));
            FindClose(find);
            for (const std::wstring &name : names)
                RemoveTree(path + L"\\" + name);
        }
    }
    SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryW(longPath.c_str()) != 0;
}

std::vector<TEntry> Snapshot(const std::wstring &root) {
    std::vector<TEntry> out;
    SnapshotInto(root, L"", 1, out);
    return out;
}

std::vector<int> FoldersPerDepth(const std::vector<TEntry> &tree) {
    std::vector<int> counts(1, 0);
    for (const TEntry &e : tree) {
        if (!e.folder) continue;
        if (static_cast<int>(counts.size()) <= e.depth) counts.resize(e.depth + 1, 0);
        ++counts[e.depth];
    }
    return counts;
}

std::vector<std::pair<int, std::string>> FileContents(const std::vector<TEntry> &tree) {
    std::vector<std::pair<int, std::string>> files;
    for (const TEntry &e : tree)
        if (!e.folder) files.emplace_back(e.depth, e.bytes);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::wstring> ChildNames(const std::wstring &folder) {
    std::vector<std::wstring> names;
    for (const TEntry &entry : Snapshot(folder))
        if (entry.depth == 1) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ParentFolder(const std::wstring &path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

TFolderBaseline::TFolderBaseline(const std::wstring &folder)
    : folder_(folder), names_(ChildNames(folder)) {}

std::vector<std::wstring> TFolderBaseline::Added() const {
    std::vector<std::wstring> added;
    for (const std::wstring &name : ChildNames(folder_))
        if (!std::binary_search(names_.begin(), names_.end(), name)) added.push_back(name);
    return added;
}

void TFolderBaseline::RemoveAdded() const {
    for (const std::wstring &name : Added())
        RemoveTree(folder_ + L"\\" + name);
}

int BuildTree(const std::wstring &root, int width, int depth) {
    if (depth <= 0) return 0;
    int made = 0;
    for (int i = 0; i < width; ++i) {
        const std::wstring child = root + L"\\d" + std::to_wstring(i);
        if (CreateDirectoryW(LongPath(child).c_str(), nullptr)) ++made;
        made += BuildTree(child, width, depth - 1);
    }
    return made;
}

} // namespace driver
