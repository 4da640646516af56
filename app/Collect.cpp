// Subfolder collection: every folder before its descendants, siblings in enumeration order.
#include "App.h"

#include <utility>

// Not every SDK header has these (values from the Windows SDK).
#ifndef FIND_FIRST_EX_LARGE_FETCH
#define FIND_FIRST_EX_LARGE_FETCH 0x00000002
#endif
#ifndef FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY
#define FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY 0x00000004
#endif

namespace {

// Junctions, directory symbolic links and mount points lead outside the tree or back up into
// it, and a move on a link may move its target; they are neither listed nor searched.
// Wine reports a symlinked folder with the reparse attribute and no tag at all.
bool IsFolderLink(const WIN32_FIND_DATAW &entry) {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    DWORD tag = entry.dwReserved0;
    return tag == 0 || IsReparseTagNameSurrogate(tag);
}

// Hidden and system together mark what Windows keeps for itself ("protected operating system
// files" to Explorer): $RECYCLE.BIN and System Volume Information on every drive. Either alone
// is a user's choice (desktop.ini marks a customised folder system), and such a folder is renamed.
bool IsWindowsOwn(const WIN32_FIND_DATAW &entry) {
    const DWORD both = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (entry.dwFileAttributes & both) == both;
}

bool IsDotName(const wchar_t *name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Neither an empty root nor a folder gone since it was listed hides anything from the run.
bool IsListingFailure(DWORD error) {
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
           error != ERROR_NO_MORE_FILES;
}

// Appends the folders directly in parent to result; false when the listing failed for a reason
// that may hide folders.
bool ListFolders(const std::wstring &parent, mv::TStrArr &result) {
    // With the prefix the system neither drops a trailing dot or space from a folder name nor
    // stops at the ordinary path limit; the list itself keeps the plain paths.
    const std::wstring pattern = WithLongPathPrefix(parent + L"*.*");
    WIN32_FIND_DATAW entry;
    mv::TFindHandle find(
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchLimitToDirectories,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH | FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY));
    // Vista knows neither the basic information level nor these flags, and Windows 7 not the
    // on-disk flag: both refuse the call as a whole, so ask again the old way.
    if (!find.Valid() && GetLastError() == ERROR_INVALID_PARAMETER)
        find.Reset(FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &entry,
                                    FindExSearchLimitToDirectories, nullptr, 0));
    if (!find.Valid()) return !IsListingFailure(GetLastError());
    do {
        // The directories-only search is a hint a file system may ignore.
        if (IsDotName(entry.cFileName) || !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (IsFolderLink(entry) || IsWindowsOwn(entry)) continue;
        result.push_back(parent + entry.cFileName);
        ReportFolderFound();
        if (StopRequested()) return true;
    } while (FindNextFileW(find.Get(), &entry));
    return !IsListingFailure(GetLastError());
}

} // namespace

mv::TStrArr CollectSubfolders(const std::wstring &path, bool recursive, int32_t *unlisted) {
    mv::TStrArr result;
    int32_t failures = 0;
    failures += !ListFolders(mv::IncludeTrailingBackslashW(path), result);
    // The folders whose lists are still to come, as ranges of result: the innermost on top. A
    // folder's whole list follows the list of its elder sibling, as a recursive search would
    // give it; the depth costs heap, not stack, so a tree of thousands of levels is searched
    // in full.
    std::vector<std::pair<size_t, size_t>> pending;
    if (recursive) pending.emplace_back(0, result.size());
    while (!pending.empty() && !StopRequested()) {
        std::pair<size_t, size_t> &top = pending.back();
        if (top.first == top.second) {
            pending.pop_back();
            continue;
        }
        const size_t folder = top.first++, first = result.size();
        failures += !ListFolders(result[folder] + L"\\", result);
        // The handle is closed by now, so only one search is open at any depth.
        if (result.size() > first) pending.emplace_back(first, result.size());
    }
    if (unlisted) *unlisted += failures;
    return result;
}
