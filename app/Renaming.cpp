// The renaming run: every subfolder renamed deepest first, each failed move reported, then a
// summary with the counts and the time taken.
#include "App.h"

namespace {

const wchar_t LongPathPrefix[] = L"\\\\?\\";

std::string IniPath;
int32_t DigitCount = 0;
mv::TStrArr FolderList;
int32_t FolderIndex = 0;
std::wstring SourceLongPath;
std::wstring NewFolderPath;
std::wstring TargetLongPath;
int32_t RenamedCount = 0;
int64_t CounterFrequency = 0;
int64_t CounterStart = 0;
int64_t CounterStop = 0;

// The long-path prefix turns off normalisation, so a relative path or one with "/", "." or
// ".." parts would make every move fail; the run works on the plain full path instead.
std::wstring FullPath(const std::wstring &path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

void MoveAndReport() {
    if (MoveFileW(SourceLongPath.c_str(), TargetLongPath.c_str())) {
        ++RenamedCount;
    } else {
        MessageBoxW(nullptr, MoveErrorText(FolderList[FolderIndex], NewFolderPath).c_str(),
                    L"Error Detected!", MB_OK);
    }
}

} // namespace

std::string MakeIniPath(const std::string &exePath) {
    return mv::IncludeTrailingBackslash(mv::ExtractFilePath(exePath)) +
           mv::ExtractFileNameWithoutExt(exePath) + ".ini";
}

int32_t ClampDigitCount(int32_t digits) {
    if (digits < 1) digits = 1;
    if (digits > 255) digits = 255;
    return digits;
}

std::wstring WithLongPathPrefix(const std::wstring &path) {
    // A path that already has a prefix keeps it, and a network path takes the prefix's UNC
    // form: "\\?\" in front of "\\server\share" names nothing, and every move would fail.
    if (path.compare(0, 4, LongPathPrefix) == 0 || path.compare(0, 4, L"\\\\.\\") == 0) return path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return std::wstring(LongPathPrefix) + L"UNC" + path.substr(1);
    // Only a full drive path can take the prefix; anything else would name nothing with it.
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return path;
    return LongPathPrefix + path;
}

std::wstring MoveErrorText(const std::wstring &sourcePath, const std::wstring &targetPath) {
    return L"An error occured by trying to move\r\n" + sourcePath + L"\r\nto\r\n" + targetPath;
}

std::string SummaryText(int32_t found, int32_t renamed, int64_t frequency, int64_t start,
                        int64_t stop) {
    std::string text = "Found: " + mv::IntToStr(found) +
                       " folders\r\nRenamed: " + mv::IntToStr(renamed) + " of " +
                       mv::IntToStr(found) + " folders";
    if (frequency > 0) {
        const double seconds = static_cast<double>(stop - start) / static_cast<double>(frequency);
        text += "\r\nNeeded: " + mv::FloatToStr(seconds, 10, 7) + " seconds";
    }
    return text;
}

void RunRenaming() {
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&counter);
    CounterFrequency = counter.QuadPart;
    QueryPerformanceCounter(&counter);
    CounterStart = counter.QuadPart;

    IniPath = MakeIniPath(GetArgument(0));
    DigitCount = ClampDigitCount(mv::IniReadInteger(IniPath, "Options", "Digits", 5));
    RenamedCount = 0;
    FolderList = CollectSubfolders(FullPath(mv::AnsiToWide(GetArgument(1))), true);

    // Backwards, so every folder is renamed before its ancestors and each stored path still
    // names its folder when its turn comes.
    for (FolderIndex = static_cast<int32_t>(FolderList.size()) - 1; FolderIndex >= 0;
         --FolderIndex) {
        SourceLongPath = WithLongPathPrefix(FolderList[FolderIndex]);
        NewFolderPath = MakeRandomName(FolderList[FolderIndex], DigitCount);
        TargetLongPath = WithLongPathPrefix(NewFolderPath);
        try {
            MoveAndReport();
        } catch (...) {
            // One folder's failure must not end the pass; the summary still counts the rest.
        }
    }

    QueryPerformanceCounter(&counter);
    CounterStop = counter.QuadPart;
    MessageBoxA(nullptr,
                SummaryText(static_cast<int32_t>(FolderList.size()), RenamedCount, CounterFrequency,
                            CounterStart, CounterStop)
                    .c_str(),
                "Morvandels Folder Renamer", MB_OK);
}
