// The driver: starts FolderRename.exe (or any program), finds its windows and message boxes,
// reads them, presses their buttons as a person would, and waits for the exit. drive.exe, the
// benchmark and the end-to-end tests rest on it.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace driver {

std::string Utf8(const std::wstring &text);
// Looks every 5 ms until the condition holds; false when it did not within that time.
bool WaitUntil(const std::function<bool()> &holds, DWORD ms = 5000);

// A message box as a person sees it.
struct TBox {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};

// The folder of the running program, with a trailing backslash.
std::wstring OwnFolder();
// FolderRename.exe beside the running program.
std::wstring ToolPath();

// Text and class of any window, also one of another process; gives up after 5 s without answer.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The text of a message box (its static control).
std::wstring BoxText(HWND box);
// The first child of parent with that class (case-insensitive) and, when given, that text.
HWND FindChild(HWND parent, const std::wstring &className, const std::wstring &text = L"");
// Presses a button the way a person can: only when it is visible and enabled.
bool PressButton(HWND button);

class TProcess {
  public:
    TProcess() = default;
    ~TProcess(); // ends a process that is still running
    TProcess(const TProcess &) = delete;
    TProcess &operator=(const TProcess &) = delete;

    // Starts commandLine, given whole as a shell writes it; an empty workDir keeps ours. The
    // flags are CreateProcess's (DEBUG_ONLY_THIS_PROCESS: this thread is its debugger).
    bool Start(const std::wstring &commandLine, const std::wstring &workDir = L"", DWORD flags = 0);
    // Starts FolderRename.exe (or exePath) with its quoted path, then arguments.
    bool StartTool(const std::wstring &arguments, const std::wstring &exePath = L"",
                   const std::wstring &workDir = L"", DWORD flags = 0);
    // Plays Explorer's part for a context-menu entry with a drop target: has COM start the
    // class's local server, attaches to that FolderRename.exe, and hands it the items (of one
    // folder, as a selection is; "FOLDER\*" stands for all that the folder holds, as after
    // Select All) as the shell's data object, DragEnter and then Drop, from a thread of its own;
    // no items: the server is started and never called. Gives Drop's result, and the effect it
    // handed back; HRESULT_FROM_WIN32(ERROR_TIMEOUT) when it has not returned within
    // dropTimeoutMs.
    HRESULT StartByDrop(const std::wstring &classId, const std::vector<std::wstring> &items,
                        DWORD dropTimeoutMs, DWORD *effect = nullptr);

    HANDLE Handle() const { return process_; }
    DWORD ThreadId() const { return threadId_; }
    bool Running() const;
    // The visible top-level windows of the process right now.
    std::vector<HWND> Windows() const;
    // The classes of every visible top-level window that Windows() has come across so far.
    const std::set<std::wstring> &SeenClasses() const { return seen_; }
    // The first visible top-level window of that class (any when empty); nullptr when the
    // time passes or the process ends first.
    HWND WaitForWindow(const std::wstring &className, DWORD timeoutMs) const;
    // The next message box; false at the timeout or when the process ends first.
    bool WaitForBox(TBox &box, DWORD timeoutMs) const;
    // Presses a button of a message box (IDOK, IDYES, IDNO...) and waits until the box is gone.
    bool AnswerBox(const TBox &box, int button = IDOK) const;
    // False at the timeout; exitCode receives the process's code.
    bool WaitExit(DWORD timeoutMs, DWORD &exitCode) const;

  private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD threadId_ = 0;
    mutable std::set<std::wstring> seen_;
};

// The class of the installed context-menu entry's drop target, or empty. Its per-user
// registration is copied to HKEY_LOCAL_MACHINE, where Wine's COM looks, as Windows would find it
// under HKEY_CURRENT_USER (under Wine only: on Windows it needs administrator rights, and
// Uninstall would leave the copy).
std::wstring EntryDropClass();
// Registers the local server (its command, the quoted program path) of the class for all users.
void ServeClassFrom(const std::wstring &classId, const std::wstring &server);
// A REG_SZ value (the key's default one without a name), stored with its terminating zero; the
// key is made where it is missing.
void PutText(const std::wstring &key, const std::wstring &text, const wchar_t *name = nullptr,
             HKEY root = HKEY_CURRENT_USER);

// A run driven to its end: every box read, then answered with OK.
struct TRunResult {
    bool finished = false; // ended within the time
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<TBox> boxes; // in the order they appeared
};
TRunResult AnswerUntilExit(const TProcess &tool, DWORD timeoutMs);

// Adds the long-path prefix to a full drive path, so that deep trees can be made and removed.
std::wstring LongPath(const std::wstring &path);
// Removes a file or a whole folder tree, links as entries; true when nothing is left.
bool RemoveTree(const std::wstring &path);
// Builds width subfolders d0, d1... per folder, depth levels deep, below root; returns how many.
int BuildTree(const std::wstring &root, int width, int depth);

// Runs a command of the host's shell in workDir (Wine only); its exit code, or -1 when it did
// not start or did not end within timeoutMs.
int RunHostShell(const std::wstring &command, const std::wstring &workDir, DWORD timeoutMs);

// A new, empty folder under %TEMP%, removed with everything in it when the object goes.
class TTempDir {
  public:
    explicit TTempDir(const std::wstring &tag = L"t");
    ~TTempDir() { RemoveTree(path_); }
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;

    const std::wstring &Path() const { return path_; } // no trailing backslash
    std::wstring operator/(const std::wstring &relative) const { return path_ + L"\\" + relative; }

  private:
    std::wstring path_;
};

} // namespace driver
