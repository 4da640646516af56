#include "Support.h"

#include "mv.API.h"

#include <gtest/gtest.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>

namespace support {

using driver::LongPath;

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
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::string Utf8(const std::wstring &text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

namespace {

void SnapshotInto(const std::wstring &root, const std::wstring &relative,
                  std::vector<TEntry> &out) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<TEntry> level;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        level.push_back({isFolder, path, name, isFolder ? "" : ReadBytes(root + L"\\" + path)});
        // A link is an entry of the tree, not a way into another.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) level.back().name += L"@";
    } while (FindNextFileW(find, &found));
    FindClose(find);
    for (const TEntry &entry : level) {
        out.push_back(entry);
        if (entry.folder && entry.name.back() != L'@') SnapshotInto(root, entry.path, out);
    }
}

// The Unix path of a Windows path through Wine's own export; empty outside Wine.
std::wstring UnixPath(const std::wstring &path) {
    using TGetUnixName = char *(CDECL *)(LPCWSTR);
    auto getUnixName = reinterpret_cast<TGetUnixName>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char *name = getUnixName ? getUnixName(path.c_str()) : nullptr;
    if (!name) return std::wstring();
    std::wstring result(strlen(name) + 1, L'\0');
    result.resize(MultiByteToWideChar(CP_UTF8, 0, name, -1, &result[0], result.size()) - 1);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

} // namespace

std::vector<TEntry> Snapshot(const std::wstring &root) {
    std::vector<TEntry> out;
    SnapshotInto(root, L"", out);
    return out;
}

std::wstring Shape(const std::vector<TEntry> &tree, const std::wstring &folder) {
    std::vector<std::wstring> parts;
    for (const TEntry &e : tree) {
        const size_t slash = e.path.find_last_of(L'\\');
        if ((slash == std::wstring::npos ? L"" : e.path.substr(0, slash)) != folder) continue;
        if (e.name.back() == L'@')
            parts.push_back(L"link " + e.name);
        else if (e.folder)
            parts.push_back(L"(" + Shape(tree, e.path) + L")");
        else
            parts.push_back(e.name + L"=" + std::wstring(e.bytes.begin(), e.bytes.end()) + L";");
    }
    std::sort(parts.begin(), parts.end());
    std::wstring shape;
    for (const std::wstring &part : parts)
        shape += part;
    return shape;
}

bool AllDigits(const std::wstring &text) {
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// Wine runs a host program given by its Z: path, but its process cannot be waited on: the
// command leaves its exit status in a file, which is awaited.
bool RunHostShell(const std::wstring &command, const std::wstring &workDir) {
    const std::wstring status = workDir + L"\\host-status";
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
    for (int waited = 0; waited < 120000; waited += 20, Sleep(20)) {
        if (GetFileAttributesW(status.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const std::string code = ReadBytes(status);
        DeleteFileW(status.c_str());
        return code == "0\n";
    }
    ADD_FAILURE() << "the host shell did not end within 2 minutes: " << Utf8(command);
    return false;
}

bool MakeFolderLink(const std::wstring &linkPath, const std::wstring &targetPath) {
    const std::wstring target = UnixPath(targetPath), link = UnixPath(linkPath);
    if (target.empty() || link.empty() ||
        !RunHostShell(L"ln -s '" + target + L"' '" + link + L"'",
                      linkPath.substr(0, linkPath.find_last_of(L'\\'))))
        return false;
    return GetFileAttributesW(linkPath.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT;
}

bool ReadLink(const std::wstring &file, std::wstring &target, std::wstring &arguments,
              std::wstring &workDir) {
    mv::TComPtr<IShellLinkW> link;
    mv::TComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return false;
    wchar_t text[3][MAX_PATH] = {};
    link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(text[1], MAX_PATH);
    link->GetWorkingDirectory(text[2], MAX_PATH);
    target = text[0];
    arguments = text[1];
    workDir = text[2];
    return true;
}

void ExpectRenamed(const std::vector<TEntry> &before, const std::wstring &root,
                   const std::set<size_t> &lengths, const std::set<std::wstring> &kept) {
    const std::vector<TEntry> after = Snapshot(root);
    EXPECT_EQ(Utf8(Shape(after)), Utf8(Shape(before))) << "a folder or file was lost or moved";
    std::set<std::wstring> oldNames;
    for (const TEntry &e : before)
        if (e.folder && !kept.count(e.name)) oldNames.insert(e.name);
    for (const TEntry &e : after) {
        if (!e.folder || e.name.back() == L'@' || kept.count(e.name)) continue;
        EXPECT_TRUE(!oldNames.count(e.name) && AllDigits(e.name) && lengths.count(e.name.size()))
            << "not renamed: " << Utf8(e.path);
    }
}

} // namespace support
