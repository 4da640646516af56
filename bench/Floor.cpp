// The floor of the benchmark: what any renamer of this kind cannot avoid doing. It collects
// the folders with the same search calls and the same order as FolderRename.exe, then, deepest
// first, makes one existence check and one MoveFileW per folder, and shows one message box.
// Nothing else: no settings, no code-page conversions, no random names.
//
// Built a second time with LEAN_FLOOR as LeanFloor.exe, which skips the existence check: MoveFileW
// never replaces a folder, so a failed move is the test. Under Wine a look-up of a missing name
// reads its whole folder, and the check is one such look-up per folder more.
//
//   Floor.exe FOLDER
//   LeanFloor.exe FOLDER
#include <windows.h>

#include <string>
#include <vector>

namespace {

// FIND_FIRST_EX_LARGE_FETCH | FIND_FIRST_EX_ON_DISK_ENTRIES_ONLY, as the tool asks.
const DWORD SearchFlags = 2 | 4;

#ifdef LEAN_FLOOR
const bool CheckFirst = false;
#else
const bool CheckFirst = true;
#endif

// The first argument, quotes removed; the program name is skipped.
std::wstring FirstArgument() {
    const wchar_t *p = GetCommandLineW();
    bool quoted = false;
    while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
        if (*p == L'"') quoted = !quoted;
        ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    std::wstring argument;
    for (; *p; ++p)
        if (*p != L'"') argument += *p;
    while (!argument.empty() && argument.back() == L' ')
        argument.pop_back();
    return argument;
}

void Collect(const std::wstring &path, std::vector<std::wstring> &list) {
    const std::wstring parent = path.back() == L'\\' ? path : path + L"\\";
    const size_t first = list.size();
    WIN32_FIND_DATAW entry;
    // The long-path prefix, as the tool's search has it.
    HANDLE find = FindFirstFileExW((L"\\\\?\\" + parent + L"*.*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchLimitToDirectories, nullptr, SearchFlags);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t *name = entry.cFileName;
        const bool dots = name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2]));
        if (!dots && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            list.push_back(parent + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    const size_t last = list.size();
    for (size_t i = first; i < last; ++i)
        Collect(list[i], list);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring root = FirstArgument();
    std::vector<std::wstring> list;
    if (!root.empty()) Collect(root, list);
    unsigned serial = GetTickCount();
    int renamed = 0;
    for (size_t i = list.size(); i-- > 0;) {
        const std::wstring &path = list[i];
        const std::wstring parent = path.substr(0, path.find_last_of(L'\\') + 1);
        const auto draw = [&] {
            wchar_t name[8];
            wsprintfW(name, L"%05u", serial++ % 100000);
            return parent + name;
        };
        std::wstring target = draw();
        while (CheckFirst && GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
            target = draw();
        // Names left by an earlier run on the same tree can be drawn again; after a check they
        // cannot, without one the move tells.
        bool moved;
        while (!(moved = MoveFileW(path.c_str(), target.c_str())) &&
               GetLastError() == ERROR_ALREADY_EXISTS)
            target = draw();
        if (moved) ++renamed;
    }
    char text[96];
    wsprintfA(text, "Found: %d folders\r\nRenamed: %d of %d folders", static_cast<int>(list.size()),
              renamed, static_cast<int>(list.size()));
    MessageBoxA(nullptr, text, "Floor", MB_OK);
    return 0;
}
