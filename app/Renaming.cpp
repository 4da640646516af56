// The pass over the chosen folders: every subfolder renamed deepest first, each failed move
// reported; and the texts of the run's boxes.
#include "App.h"

#include <algorithm>

namespace {

// A folder that a virus scanner, the search indexer or a thumbnail maker holds for a moment is
// tried again after growing waits, two seconds in all, before it counts as failed.
const DWORD FirstRetryMs = 10;
const DWORD MaxRetryMs = 2000;

mv::TStrArr FolderList;
int32_t FolderIndex = 0;
std::wstring SourceLongPath;
std::wstring NewFolderPath;
std::wstring TargetLongPath;

bool IsHeld(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

bool IsTaken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

// Where a folder is still held after its waits, the holder holds every folder above it too: on
// Windows a file open anywhere inside keeps each of them from being renamed. They are tried once.
mv::TStrArr HeldForGood;

bool HoldsHeldFolder(const std::wstring &folder) {
    return std::any_of(HeldForGood.begin(), HeldForGood.end(),
                       [&](const std::wstring &held) { return IsInside(held, folder); });
}

// The folder itself now stands for the held folders inside it.
void RememberHeld(const std::wstring &folder) {
    HeldForGood.erase(
        std::remove_if(HeldForGood.begin(), HeldForGood.end(),
                       [&](const std::wstring &held) { return IsInside(held, folder); }),
        HeldForGood.end());
    HeldForGood.push_back(folder);
}

// 0 once moved, else the error of the last try. The window answers during the waits, and a
// stop ends them.
DWORD MoveWhenFree(bool wait) {
    for (DWORD waited = 0, step = FirstRetryMs;; waited += step, step *= 2) {
        if (MoveFileW(SourceLongPath.c_str(), TargetLongPath.c_str())) return 0;
        const DWORD error = GetLastError();
        if (!wait || !IsHeld(error) || waited >= MaxRetryMs) return error;
        step = std::min(step, MaxRetryMs - waited);
        if (!WaitAnswering(step)) return error;
    }
}

// The move is its own name test: it never replaces anything, so a name that a folder or a
// file bears, or that another program took a moment ago, fails it and another is drawn. True
// when a stop left the folder unmoved.
bool MoveAndReport(int32_t digits, TRunCounts &counts) {
    const std::wstring &folder = FolderList[FolderIndex];
    const bool wait = !HoldsHeldFolder(folder);
    TNameDraw draw = StartNameDraw(folder, digits);
    DWORD error = ERROR_ALREADY_EXISTS;
    for (std::wstring candidate; IsTaken(error) && !(candidate = MakeRandomName(draw)).empty();) {
        NewFolderPath = candidate;
        TargetLongPath = WithLongPathPrefix(NewFolderPath);
        error = MoveWhenFree(wait);
    }
    if (error == 0) {
        ++counts.renamed;
        return false;
    }
    if (IsHeld(error)) RememberHeld(folder);
    // After a stop the person has seen enough; the summary counts what was left.
    if (StopRequested()) return true;
    MessageBoxW(nullptr,
                MoveErrorText(folder, NewFolderPath, error, mv::SystemErrorText(error)).c_str(),
                L"Error Detected!", RunBoxType(MB_OK));
    return false;
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

std::wstring MoveErrorText(const std::wstring &sourcePath, const std::wstring &targetPath,
                           DWORD error, const std::wstring &systemMessage) {
    std::wstring text =
        L"An error occured by trying to move\r\n" + sourcePath + L"\r\nto\r\n" + targetPath;
    if (!systemMessage.empty()) text += L"\r\n\r\n" + systemMessage;
    // What the system says of these two does not tell a person what to do.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        text += std::wstring(systemMessage.empty() ? L"\r\n\r\n" : L"\r\n") +
                L"A file in this folder may be open in another program: close it, then run "
                L"again. Or the folder may not be yours to rename.";
    return text;
}

std::string SummaryText(int32_t found, int32_t renamed, int64_t frequency, int64_t start,
                        int64_t stop, int32_t unlisted, bool stopped) {
    std::string text = "Found: " + mv::IntToStr(found) +
                       " folders\r\nRenamed: " + mv::IntToStr(renamed) + " of " +
                       mv::IntToStr(found) + " folders";
    if (frequency > 0) {
        const double seconds = static_cast<double>(stop - start) / static_cast<double>(frequency);
        text += "\r\nNeeded: " + mv::FloatToStr(seconds, 10, 7) + " seconds";
    }
    if (unlisted > 0)
        text += "\r\nNot searched: " + mv::IntToStr(unlisted) +
                " folders could not be opened, so what they hold keeps its names";
    if (stopped)
        text += "\r\nStopped before the end: " + mv::IntToStr(found - renamed) +
                " folders keep their old names";
    return text;
}

void RenameBelow(const mv::TStrArr &folders, int32_t digits, TRunCounts &counts) {
    const int32_t before = counts.found;
    ReportRenaming(before, -1);
    FolderList.clear();
    HeldForGood.clear();
    for (const std::wstring &folder : folders) {
        if (StopRequested()) break;
        mv::TStrArr below = CollectSubfolders(folder, true, &counts.unlisted);
        FolderList.insert(FolderList.end(), std::make_move_iterator(below.begin()),
                          std::make_move_iterator(below.end()));
    }
    const int32_t total = static_cast<int32_t>(FolderList.size());
    counts.found += total;
    counts.stopped = StopRequested();

    // Backwards, so every folder is renamed before its ancestors and each stored path still
    // names its folder when its turn comes. The chosen folders hold none of each other, so
    // their lists keep that order one after another.
    for (FolderIndex = total - 1; FolderIndex >= 0 && !counts.stopped; --FolderIndex) {
        ReportRenaming(before + total - 1 - FolderIndex, before + total);
        SourceLongPath = WithLongPathPrefix(FolderList[FolderIndex]);
        NewFolderPath.clear();
        bool leftByStop = false;
        try {
            leftByStop = MoveAndReport(digits, counts);
        } catch (...) {
            // One folder's failure must not end the pass; the summary still counts the rest.
        }
        // A stop takes effect between two folders, never within a move.
        counts.stopped = (FolderIndex > 0 || leftByStop) && StopRequested();
    }
}
