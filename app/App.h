// The program's own operations, shared between its files and its tests.
#pragma once

#include "mv.API.h"

#include <cstdint>
#include <string>
#include <vector>

// Start-up: arguments and the random generator.

// Splits a narrow command line into all of its tokens, the program name included.
std::vector<std::string> SplitCommandLine(const char *commandLine);
// Number of tokens of the process's command line minus one; -1 for an empty command line.
int32_t ArgumentCount();
// Argument 0 is the module file name cut to 255 bytes; out of range gives the empty string.
std::string GetArgument(int32_t index);

void SeedRandom();
void SeedRandomWith(uint32_t seed);
// The next tempered 32-bit MT19937 output.
uint32_t NextRandom();
// (x * n) >> 32 for the next output x: a value in 0 .. n-1.
int32_t RandomBelow(int32_t n);

// Renaming run.

// Every folder below path, each before its descendants; links to folders and the folders Windows
// keeps for itself (hidden and system) are left out, with all they hold. Adds to unlisted the
// folders whose listing failed, so that what they hold was not found. A stop request ends the
// search early with what was found so far.
mv::TStrArr CollectSubfolders(const std::wstring &path, bool recursive,
                              int32_t *unlisted = nullptr);

// The names one folder may take, drawn one after another as the last one proves taken.
struct TNameDraw {
    std::wstring parent; // with its trailing backslash
    std::wstring ownName;
    int32_t count = 5;
    int32_t attempts = 0;
    int32_t orderedStart = 0;
};
TNameDraw StartNameDraw(const std::wstring &currentPath, int32_t count);
// The next full path to try beside the folder: first count digits; after a taken name 5 digits;
// after 1000 taken 5-digit names every 5-digit name in turn from a random start. The folder's
// own name is passed over. Empty once every 5-digit name was tried.
std::wstring MakeRandomName(TNameDraw &draw);

// The forms of a chosen folder's path.

// The folder a run works on: the argument's full path. The system's full path drops a trailing
// dot or space from the last name; they are put back, since the folder bears them.
std::wstring ChosenFolderPath(const std::wstring &argument);
// True when the path, with the long-path prefix, names an existing folder.
bool IsExistingFolder(const std::wstring &path);
// The path with the long-path prefix for the search and the move: "\\?\" in front of a full
// drive path, "\\?\UNC\" in place of a network path's "\\"; any other path is left as it is.
std::wstring WithLongPathPrefix(const std::wstring &path);
// A device path such as "\\?\Volume{...}\" or "\\.\C:\".
bool IsDevicePath(const std::wstring &path);
// The length of the root that a full path starts with: "C:\", "\\server\share", or a device;
// 0 for anything else.
size_t RootLength(const std::wstring &path);
// Full, without long-path prefix, with long names and no trailing backslash (a root keeps its
// own), so that two spellings of one folder compare equal without regard to case.
std::wstring ComparablePath(const std::wstring &path);
// Ordinal and without regard to case, as the file system compares names.
bool SamePath(const std::wstring &a, const std::wstring &b);
// True when inner lies below outer, both comparable: whole names only.
bool IsInside(const std::wstring &inner, const std::wstring &outer);

// Copies started together: the first becomes the run, the others hand their folders to it.

// Held while a copy looks for the run and hands over, and while the run closes, so that a copy
// either reaches a run that will still take its folders in, or finds none.
class TRunLock {
  public:
    TRunLock();
    ~TRunLock();
    TRunLock(const TRunLock &) = delete;
    TRunLock &operator=(const TRunLock &) = delete;
    // The run answers hand-overs while it waits: the copy that holds the lock may be waiting
    // for exactly that answer. Without the lock within ten seconds, goes on without it.
    void Acquire(bool answerHandOvers);

  private:
    mv::TKernelHandle mutex_;
    bool held_ = false;
};
// True when the run of this user in this session took the folders.
bool SendToRun(const mv::TStrArr &folders);
// True when a run of this user in this session took the folders; otherwise this copy is now
// that run, with the folders as its first hand-over.
bool HandOverToRun(const mv::TStrArr &folders);
bool HandOverWaiting();
// When the last copy's folders arrived (GetTickCount64); 0 before any came.
ULONGLONG LastHandOverTick();
// The next hand-over, in the order they came; false when none waits.
bool TakeHandedOver(mv::TStrArr &folders);
// True when the run may end: nothing was handed over meanwhile, and later copies now find no
// run and make their own.
bool CloseRun();

struct TRunCounts {
    int32_t found = 0;
    int32_t renamed = 0;
    int32_t unlisted = 0; // folders whose listing failed: what they hold was not found
    bool stopped = false; // a stop came while folders were left
};
// Renames everything below the folders, deepest first, and adds to the counts; none of the
// folders may hold another.
void RenameBelow(const mv::TStrArr &folders, int32_t digits, TRunCounts &counts);
// Takes in every hand-over, asks where a folder needs it, renames, and shows the summary. A run
// that a drop started has its whole selection and waits for no copies; its windows and boxes
// come to the front.
void RunRenaming(bool dropped);
// The settings file beside the executable: same folder, same name, extension ".ini".
std::string MakeIniPath(const std::string &exePath);
// Below 1 gives 1, above 255 gives 255.
int32_t ClampDigitCount(int32_t digits);
// The error box text of one failed move: both paths as given, without long-path prefix; then,
// after an empty line, the system's message for the error, and for a folder refused or held the
// likely reasons in plain words.
std::wstring MoveErrorText(const std::wstring &sourcePath, const std::wstring &targetPath,
                           DWORD error, const std::wstring &systemMessage);
// The summary box text; the time line is left out when frequency is not positive. Folders that
// could not be searched get a line, and so does a stopped run, with how many folders keep their
// old names.
std::string SummaryText(int32_t found, int32_t renamed, int64_t frequency, int64_t start,
                        int64_t stop, int32_t unlisted = 0, bool stopped = false);

// The question before a run on a folder that everything else depends on.

struct TGuard {
    enum TKind { None, DriveRoot, ShareRoot, IsSystemFolder, HoldsSystemFolder };
    TKind kind = None;
    // Both full, without long-path prefix, with long names and no trailing backslash.
    std::wstring folder;       // the chosen folder
    std::wstring systemFolder; // the system folder it is or holds
};
// The Windows folder, both Program Files, ProgramData, the profiles' folder, the user's profile,
// Roaming and Local AppData, as the system names them.
mv::TStrArr SystemFolders();
// Why the folder needs a question, if it does: a root, or a system folder it is or holds.
TGuard GuardFor(const std::wstring &folder, const mv::TStrArr &systemFolders);
// One question for every folder that needs one; empty when there is nothing to ask.
std::wstring GuardText(const std::vector<TGuard> &guards);
// True when the run may go on with these folders: nothing to ask, or the user answered Yes.
bool ConfirmRun(const mv::TStrArr &folders);

// The context-menu entry's drop target, served when Explorer starts the program for it.

// The class, as the registry spells it.
extern const char DropTargetClassId[];
// "-Embedding" or "/Embedding", in any letter case: COM started the program as its server.
bool IsServerArgument(const std::string &argument);
// Serves the drop target as that class until a drop came, for at most that long; what was
// dropped, files too.
mv::TStrArr WaitForDrop(const std::string &classId, DWORD timeoutMs);

// Progress of a long run: a window shown once the run has taken about a second. The run reports
// its counts, and each time it asks whether to stop the window gets its messages.

void StartProgress();
void ReportFolderFound();
// A total below 0: the run searches again.
void ReportRenaming(int32_t done, int32_t total);
bool StopRequested();
// Stop, as the window's button asks it: for the rest of the process.
void RequestStop();
// Explorer lets the program it started for a drop come to the front: the window and every box
// of the run take the foreground.
void BringRunToFront();
// The type of a box of the run: MB_SETFOREGROUND added where the run comes to the front.
UINT RunBoxType(UINT type);
// Waits that long while the window answers; false, at once, on a stop.
bool WaitAnswering(DWORD milliseconds);
// The run is over: the window, if it was shown, stays as it is but takes no more input.
void FinishProgress();
// Closes the window, if it was shown.
void EndProgress();
// "m:ss", or "h:mm:ss" from an hour on.
std::string DurationText(uint64_t milliseconds);

// Setup window.

extern HWND MainWindow;
void CreateSetupWindow();
void RunMessageLoop();
// The menu name shown for a stored shortcut path: its file name cut before the first
// occurrence of its extension text; empty for a name without a dot.
std::string MenuNameFromLink(const std::string &linkPath);
// True when the path's file name ends in ".lnk", in any letter case.
bool IsLinkPath(const std::string &path);
