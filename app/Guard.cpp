// The question before a run on a drive root, a share root or a folder Windows needs.
#include "App.h"

namespace {

const KNOWNFOLDERID *const GuardedFolderIds[] = {
    &FOLDERID_Windows,        &FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86,
    &FOLDERID_ProgramData,    &FOLDERID_UserProfiles, &FOLDERID_Profile,
    &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,
};

bool StartsWith(const std::wstring &text, const wchar_t *head) {
    return text.compare(0, wcslen(head), head) == 0;
}

// Ordinal and without case, as the file system compares names.
bool SamePath(const wchar_t *a, size_t aSize, const std::wstring &b) {
    return CompareStringOrdinal(a, static_cast<int>(aSize), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The path as people write it: "\\?\C:\x" is "C:\x", "\\?\UNC\server\share" is
// "\\server\share".
std::wstring WithoutLongPathPrefix(const std::wstring &path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
    if (StartsWith(path, L"\\\\?\\") && path.size() >= 6 && path[5] == L':') return path.substr(4);
    return path;
}

// A device path such as "\\?\Volume{...}\" or "\\.\C:\".
bool IsDevicePath(const std::wstring &path) {
    return StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\");
}

// The length of the root that a full path starts with: "C:\", "\\server\share", or a device;
// 0 for anything else.
size_t RootLength(const std::wstring &path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
    if (!StartsWith(path, L"\\\\")) return 0;
    const bool device = IsDevicePath(path);
    size_t end = path.find(L'\\', device ? 4 : 2);
    if (!device && end != std::wstring::npos) end = path.find(L'\\', end + 1);
    return end == std::wstring::npos ? path.size() : end;
}

// Full, without long-path prefix, with long names and no trailing backslash (a root keeps its
// own), so that two spellings of one folder compare equal without regard to case.
std::wstring ComparablePath(const std::wstring &path) {
    std::wstring full = WithoutLongPathPrefix(ChosenFolderPath(path));
    // Short 8.3 names become the names people see; a path that does not exist stays as it is.
    // The prefix is given only where it is needed: not every system takes it here.
    const std::wstring asked = full.size() < MAX_PATH ? full : WithLongPathPrefix(full);
    const DWORD size = GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring longPath(size, L'\0');
        const DWORD length = GetLongPathNameW(asked.c_str(), &longPath[0], size);
        if (length > 0 && length < size) full = WithoutLongPathPrefix(longPath.substr(0, length));
    }
    const size_t root = RootLength(full);
    while (full.size() > std::max<size_t>(root, 1) && full.back() == L'\\')
        full.pop_back();
    return full;
}

} // namespace

mv::TStrArr SystemFolders() {
    mv::TStrArr folders;
    for (const KNOWNFOLDERID *id : GuardedFolderIds) {
        mv::TCoTaskText path;
        // A folder the system does not have (Program Files (x86) on some systems) guards nothing.
        if (mv::HrSucceeded(SHGetKnownFolderPath(*id, 0, nullptr, path.Put())) && path.Get())
            folders.push_back(path.Get());
    }
    return folders;
}

TGuard GuardFor(const std::wstring &folder, const mv::TStrArr &systemFolders) {
    TGuard guard;
    guard.folder = ComparablePath(folder);
    const size_t root = RootLength(guard.folder);
    if (root > 0 && root == guard.folder.size()) {
        guard.kind = guard.folder[1] == L':' || IsDevicePath(guard.folder) ? TGuard::DriveRoot
                                                                           : TGuard::ShareRoot;
        return guard;
    }
    if (guard.folder.empty()) return guard;
    for (const std::wstring &system : systemFolders) {
        const std::wstring path = ComparablePath(system);
        if (path.empty()) continue;
        if (SamePath(path.data(), path.size(), guard.folder)) {
            guard.kind = TGuard::IsSystemFolder;
            guard.systemFolder = path;
            return guard;
        }
        // Whole names only: C:\Users2 does not hold C:\Users.
        if (guard.kind == TGuard::None && path.size() > guard.folder.size() &&
            path[guard.folder.size()] == L'\\' &&
            SamePath(path.data(), guard.folder.size(), guard.folder)) {
            guard.kind = TGuard::HoldsSystemFolder;
            guard.systemFolder = path;
        }
    }
    return guard;
}

std::wstring GuardText(const TGuard &guard) {
    std::wstring reason;
    switch (guard.kind) {
    case TGuard::DriveRoot:
        reason = L"It is the root folder of a drive.";
        break;
    case TGuard::ShareRoot:
        reason = L"It is the root folder of a network share.";
        break;
    case TGuard::IsSystemFolder:
        reason = L"It is a folder that Windows and your programs need.";
        break;
    case TGuard::HoldsSystemFolder:
        reason = L"It holds\r\n" + guard.systemFolder +
                 L"\r\na folder that Windows and your programs need.";
        break;
    case TGuard::None:
        return std::wstring();
    }
    return L"You chose the folder\r\n" + guard.folder + L"\r\n" + reason +
           L"\r\n\r\nEvery subfolder in it, at every depth, would be renamed to random digits, "
           L"and this cannot be undone.\r\n\r\nDo you want to go on?";
}

bool ConfirmRun(const std::wstring &folder) {
    const TGuard guard = GuardFor(folder, SystemFolders());
    if (guard.kind == TGuard::None) return true;
    // No is the default button, so Enter keeps the folders; a Yes/No box ignores Escape.
    return MessageBoxW(nullptr, GuardText(guard).c_str(), L"Morvandels Folder Renamer",
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
