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

// Every folder below path, each before its descendants; links to folders are left out. A stop
// request ends the search early with what was found so far.
mv::TStrArr CollectSubfolders(const std::wstring &path, bool recursive);
// A full path beside currentPath whose all-digit name no directory bears at the moment.
std::wstring MakeRandomName(const std::wstring &currentPath, int32_t count);
// The folder a run works on: the argument's full path. The system's full path drops a trailing
// dot or space from the last name; they are put back, since the folder bears them.
std::wstring ChosenFolderPath(const std::wstring &argument);
// True when the path, with the long-path prefix, names an existing folder.
bool IsExistingFolder(const std::wstring &path);
// Asks first where the folder needs it, then renames everything below it.
void RunRenaming(const std::wstring &folder);
// The settings file beside the executable: same folder, same name, extension ".ini".
std::string MakeIniPath(const std::string &exePath);
// Below 1 gives 1, above 255 gives 255.
int32_t ClampDigitCount(int32_t digits);
// The path with the long-path prefix for the search and the move: "\\?\" in front of a full
// drive path, "\\?\UNC\" in place of a network path's "\\"; any other path is left as it is.
std::wstring WithLongPathPrefix(const std::wstring &path);
// The error box text of one failed move: both paths as given, without long-path prefix.
std::wstring MoveErrorText(const std::wstring &sourcePath, const std::wstring &targetPath);
// The summary box text; the time line is left out when frequency is not positive. A stopped
// run ends with a line that says so and how many folders keep their old names.
std::string SummaryText(int32_t found, int32_t renamed, int64_t frequency, int64_t start,
                        int64_t stop, bool stopped = false);

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
// The question's text; empty when there is nothing to ask.
std::wstring GuardText(const TGuard &guard);
// True when the run may go on: nothing to ask, or the user answered Yes.
bool ConfirmRun(const std::wstring &folder);

// Progress of a long run: a window shown once the run has taken about a second. The run reports
// its counts, and each time it asks whether to stop the window gets its messages.

void StartProgress();
void ReportFolderFound();
void ReportRenaming(int32_t done, int32_t total);
bool StopRequested();
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
