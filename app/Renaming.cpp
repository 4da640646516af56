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
    } else if (!StopRequested()) {
        // After a stop the person has seen enough; the summary counts what was left.
        MessageBoxW(nullptr, MoveErrorText(FolderList[FolderIndex], NewFolderPath).c_str(),
                    L"Error Detected!", MB_OK);
    }
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

std::wstring ChosenFolderPath(const std::wstring &argument) {
    // A prefixed path is not normalised by the system either; it names the folder as it stands.
    if (argument.empty() || argument.compare(0, 4, LongPathPrefix) == 0) return argument;
    std::wstring path = argument;
    const bool driveRoot = path.size() == 3 && path[1] == L':';
    while (path.size() > 1 && IsSeparator(path.back()) && !driveRoot)
        path.pop_back();
    const size_t separator = path.find_last_of(L"\\/");
    const size_t nameStart = separator != std::wstring::npos       ? separator + 1
                             : path.size() >= 2 && path[1] == L':' ? 2
                                                                   : 0;
    const std::wstring name = path.substr(nameStart);
    std::wstring full = FullPath(path);
    // "." and ".." are steps, not names; a name of other dots and spaces is no folder's.
    const size_t lastKept = name.find_last_not_of(L". ");
    if (lastKept == std::wstring::npos || lastKept + 1 == name.size()) return full;
    const size_t fullKept = full.find_last_not_of(L". ");
    return full.substr(0, fullKept + 1) + name.substr(lastKept + 1);
}

bool IsExistingFolder(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(WithLongPathPrefix(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
                        int64_t stop, bool stopped) {
    std::string text = "Found: " + mv::IntToStr(found) +
                       " folders\r\nRenamed: " + mv::IntToStr(renamed) + " of " +
                       mv::IntToStr(found) + " folders";
    if (frequency > 0) {
        const double seconds = static_cast<double>(stop - start) / static_cast<double>(frequency);
        text += "\r\nNeeded: " + mv::FloatToStr(seconds, 10, 7) + " seconds";
    }
    if (stopped)
        text += "\r\nStopped before the end: " + mv::IntToStr(found - renamed) +
                " folders keep their old names";
    return text;
}

void RunRenaming(const std::wstring &folder) {
    // The question, when there is one, comes before the clock starts and before any search.
    if (!ConfirmRun(folder)) return;

    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&counter);
    CounterFrequency = counter.QuadPart;
    QueryPerformanceCounter(&counter);
    CounterStart = counter.QuadPart;
    StartProgress();

    IniPath = MakeIniPath(GetArgument(0));
    DigitCount = ClampDigitCount(mv::IniReadInteger(IniPath, "Options", "Digits", 5));
    RenamedCount = 0;
    FolderList = CollectSubfolders(folder, true);
    const int32_t total = static_cast<int32_t>(FolderList.size());
    bool stopped = StopRequested();

    // Backwards, so every folder is renamed before its ancestors and each stored path still
    // names its folder when its turn comes.
    for (FolderIndex = total - 1; FolderIndex >= 0 && !stopped; --FolderIndex) {
        ReportRenaming(total - 1 - FolderIndex, total);
        SourceLongPath = WithLongPathPrefix(FolderList[FolderIndex]);
        NewFolderPath = MakeRandomName(FolderList[FolderIndex], DigitCount);
        TargetLongPath = WithLongPathPrefix(NewFolderPath);
        try {
            MoveAndReport();
        } catch (...) {
            // One folder's failure must not end the pass; the summary still counts the rest.
        }
        // A stop takes effect between two folders, never within a move.
        stopped = FolderIndex > 0 && StopRequested();
    }

    QueryPerformanceCounter(&counter);
    CounterStop = counter.QuadPart;
    EndProgress();
    MessageBoxA(
        nullptr,
        SummaryText(total, RenamedCount, CounterFrequency, CounterStart, CounterStop, stopped)
            .c_str(),
        "Morvandels Folder Renamer", MB_OK);
}
