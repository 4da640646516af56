// Shell link files in the user's known folders, through the shell's link object.
#include "mv.API.h"

#include <shobjidl.h>

namespace mv {

namespace {

// Indexed by TLinkLocation.
const KNOWNFOLDERID *const LinkFolderIds[] = {
    &FOLDERID_Desktop,  &FOLDERID_StartMenu, &FOLDERID_Startup,
    &FOLDERID_Programs, &FOLDERID_SendTo,    &FOLDERID_QuickLaunch,
};
const size_t LinkFolderCount = sizeof LinkFolderIds / sizeof LinkFolderIds[0];

// A separator or a drive colon in the name would put the link outside its folder, or into an
// alternate data stream of a file there. The name is judged in UTF-16, as the file system sees
// it, so the second byte of a double-byte character is no separator.
bool IsPlainLinkName(const std::string &linkName) {
    return AnsiToWide(linkName).find_first_of(L"\\/:") == std::wstring::npos;
}

// The text without one pair of enclosing double quotes.
std::string Unquoted(const std::string &text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace

bool HrSucceeded(HRESULT hr) {
    return hr >= 0;
}

TComPtr<IUnknown> NewComInstance(const CLSID &classId) {
    TComPtr<IUnknown> object;
    CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                     object.PutVoid());
    return object;
}

bool MakeShortcut(const std::string &targetPath, const std::string &description,
                  const std::string &arguments, const std::string &linkName,
                  const std::string &subFolder, TLinkLocation location, bool create,
                  std::wstring &linkPath) {
    linkPath.clear();
    if (!IsPlainLinkName(linkName)) return false;
    // Without a sub-folder the delete would try to remove the Programs folder itself.
    if (location == LinkPrograms && subFolder.empty()) return false;

    TComPtr<IUnknown> object = NewComInstance(CLSID_ShellLink);
    TComPtr<IShellLinkW> link;
    TComPtr<IPersistFile> file;
    if (!object || !HrSucceeded(object->QueryInterface(IID_IShellLinkW, link.PutVoid())) ||
        !HrSucceeded(object->QueryInterface(IID_IPersistFile, file.PutVoid())))
        return false;

    // Whether the link file exists afterwards is the only test, so the setters go unexamined.
    // The fields are converted here, in the process's code page: Wine's narrow link interface
    // converts some of them in the system's code page instead, which is not ours under UTF-8.
    link->SetPath(AnsiToWide(targetPath).c_str());
    link->SetArguments(AnsiToWide(arguments).c_str());
    link->SetDescription(AnsiToWide(description).c_str());
    // The target's own folder, without the quotes a target path may be written in.
    link->SetWorkingDirectory(AnsiToWide(ExtractFilePath(Unquoted(targetPath))).c_str());

    if (location >= LinkFolderCount) return false;
    TCoTaskText knownFolder;
    if (!HrSucceeded(SHGetKnownFolderPath(*LinkFolderIds[location], 0, nullptr, knownFolder.Put())))
        return false;
    std::string folder = WideToAnsi(knownFolder.Get());
    if (location == LinkPrograms) {
        folder += "\\" + subFolder;
        // An existing sub-folder is no error.
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    const std::wstring linkFolder = AnsiToWide(IncludeTrailingBackslash(folder));
    const std::wstring linkFile = linkFolder + AnsiToWide(linkName + ".lnk");

    if (!create) {
        // A missing link, or a sub-folder that still holds other files, is no error.
        DeleteFileW(linkFile.c_str());
        if (location == LinkPrograms) RemoveDirectoryW(linkFolder.c_str());
        return false;
    }
    file->Save(linkFile.c_str(), FALSE);
    if (!FileExists(WideToAnsi(linkFile))) return false;
    linkPath = linkFile;
    return true;
}

} // namespace mv
