// The question before a run on a drive root, a share root or a folder Windows needs.
#include "App.h"

namespace {

const KNOWNFOLDERID *const GuardedFolderIds[] = {
    &FOLDERID_Windows,        &FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86,
    &FOLDERID_ProgramData,    &FOLDERID_UserProfiles, &FOLDERID_Profile,
    &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,
};

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
        if (SamePath(path, guard.folder)) {
            guard.kind = TGuard::IsSystemFolder;
            guard.systemFolder = path;
            return guard;
        }
        if (guard.kind == TGuard::None && IsInside(path, guard.folder)) {
            guard.kind = TGuard::HoldsSystemFolder;
            guard.systemFolder = path;
        }
    }
    return guard;
}

namespace {

std::wstring Reason(const TGuard &guard) {
    switch (guard.kind) {
    case TGuard::DriveRoot:
        return L"It is the root folder of a drive.";
    case TGuard::ShareRoot:
        return L"It is the root folder of a network share.";
    case TGuard::IsSystemFolder:
        return L"It is a folder that Windows and your programs need.";
    case TGuard::HoldsSystemFolder:
        return L"It holds\r\n" + guard.systemFolder +
               L"\r\na folder that Windows and your programs need.";
    case TGuard::None:
        break;
    }
    return std::wstring();
}

} // namespace

std::wstring GuardText(const std::vector<TGuard> &guards) {
    std::wstring listed;
    size_t count = 0;
    for (const TGuard &guard : guards) {
        if (guard.kind == TGuard::None) continue;
        listed += (count++ ? L"\r\n\r\n" : L"\r\n") + guard.folder + L"\r\n" + Reason(guard);
    }
    if (count == 0) return std::wstring();
    return (count == 1 ? L"You chose the folder" : L"You chose these folders") + listed +
           L"\r\n\r\nEvery subfolder in " + (count == 1 ? L"it" : L"them") +
           L", at every depth, would be renamed to random digits, and this cannot be "
           L"undone.\r\n\r\nDo you want to go on?";
}

bool ConfirmRun(const mv::TStrArr &folders) {
    const mv::TStrArr systemFolders = SystemFolders();
    std::vector<TGuard> guards;
    for (const std::wstring &folder : folders)
        guards.push_back(GuardFor(folder, systemFolders));
    const std::wstring text = GuardText(guards);
    if (text.empty()) return true;
    // No is the default button, so Enter keeps the folders; a Yes/No box ignores Escape.
    return MessageBoxW(nullptr, text.c_str(), L"Morvandels Folder Renamer",
                       RunBoxType(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2)) == IDYES;
}
