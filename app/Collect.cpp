// Subfolder collection: every folder before its descendants, siblings in enumeration order.
#include "App.h"

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

bool IsDotName(const wchar_t *name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

} // namespace

mv::TStrArr CollectSubfolders(const std::wstring &path, bool recursive) {
    mv::TStrArr result;
    const std::wstring parent = mv::IncludeTrailingBackslashW(path);
    {
        // With the prefix the system neither drops a trailing dot or space from a folder name
        // nor stops at the ordinary path limit; the list itself keeps the plain paths.
        const std::wstring pattern = WithLongPathPrefix(parent + L"*.*");
        WIN32_FIND_DATAW entry;
        mv::TFindHandle find(FindFirstFileExW(
            pattern.c_str(), FindExInfoBasic, &entry, FindExSearchLimitToDirectories, nullptr,
            FIND_FIRST_EX_LARGE_FETCH | FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY));
        // Vista knows neither the basic information level nor these flags, and Windows 7 not
        // the on-disk flag: both refuse the call as a whole, so ask again the old way.
        if (!find.Valid() && GetLastError() == ERROR_INVALID_PARAMETER)
            find.Reset(FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &entry,
                                        FindExSearchLimitToDirectories, nullptr, 0));
        if (!find.Valid()) return result;
        do {
            // The directories-only search is a hint a file system may ignore.
            if (IsDotName(entry.cFileName) || !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            if (IsFolderLink(entry)) continue;
            result.push_back(parent + entry.cFileName);
            ReportFolderFound();
        } while (!StopRequested() && FindNextFileW(find.Get(), &entry));
        // The handle closes here, so only one search is open at any depth.
    }
    if (recursive) {
        const size_t direct = result.size();
        for (size_t i = 0; i < direct && !StopRequested(); ++i) {
            mv::TStrArr below = CollectSubfolders(result[i], true);
            result.insert(result.end(), std::make_move_iterator(below.begin()),
                          std::make_move_iterator(below.end()));
        }
    }
    return result;
}
