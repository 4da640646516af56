// End-to-end driver: starts FolderRename.exe (or any program) with a chosen command line, finds
// its windows and message boxes, reads them, presses their buttons as a person would, and
// waits for the exit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// A message box as a person sees it.
struct TBox {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};

// The full path of FolderRename.exe beside the running test program.
std::wstring ToolPath();
// The folder of the running program, with a trailing backslash.
std::wstring OwnFolder();

// Text of any window, also one of another process.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The text of a message box (its static control).
std::wstring BoxText(HWND box);
// The first child of parent with that class (case-insensitive) and, when given, that text.
HWND FindChild(HWND parent, const std::wstring &className, const std::wstring &text = L"");
// Presses a button the way a person can: only when it is visible and enabled.
bool PressButton(HWND button);
// Types text into an edit control as keystrokes (after selecting and clearing what it holds).
void TypeText(HWND edit, const std::wstring &text);
// BM_GETCHECK of a button, also one of another process.
LRESULT ButtonCheck(HWND button);

// The fields of a shell link file as the shell reads them; COM must be initialised.
struct TLinkFields {
    std::wstring path; // as stored, not resolved
    std::wstring arguments, description, workingDirectory;
};
bool ReadLink(const std::wstring &file, TLinkFields &fields);

class TProcess {
  public:
    TProcess() = default;
    ~TProcess();
    TProcess(const TProcess &) = delete;
    TProcess &operator=(const TProcess &) = delete;

    // Starts program with commandLine given whole (the program name included, as a shell
    // would write it); an empty program lets the system find it in commandLine, as the shell
    // does for a registered command; an empty workDir keeps the current one.
    bool Start(const std::wstring &program, const std::wstring &commandLine,
               const std::wstring &workDir = L"");
    // Starts FolderRename.exe (or exePath) with the quoted program path, then arguments.
    bool StartTool(const std::wstring &arguments, const std::wstring &exePath = L"",
                   const std::wstring &workDir = L"");

    DWORD Id() const { return id_; }
    bool Running() const;
    // The visible top-level windows of the process right now.
    std::vector<HWND> Windows() const;
    // The first visible top-level window of the process of that class (any class when
    // empty); nullptr when the timeout passes or the process ends first.
    HWND WaitForWindow(const std::wstring &className, DWORD timeoutMs) const;
    // The next message box; false at the timeout or when the process ends first.
    bool WaitForBox(TBox &box, DWORD timeoutMs) const;
    // Presses OK on a message box and waits until it is gone.
    bool AnswerBox(const TBox &box, DWORD timeoutMs = 10000) const;
    // Waits for the end; false at the timeout. exitCode receives the process's code.
    bool WaitExit(DWORD timeoutMs, DWORD &exitCode) const;
    // Waits until the process first waits for input with none pending (its message loop).
    bool WaitIdle(DWORD timeoutMs) const;
    void Kill();

  private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A renaming run, driven to its end: every box read, then answered with OK.
struct TRunResult {
    bool started = false;
    bool finished = false; // ended within the time
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<TBox> boxes; // in the order they appeared
};
TRunResult RunAndAnswer(const std::wstring &arguments, const std::wstring &exePath = L"",
                        const std::wstring &workDir = L"", DWORD timeoutMs = 60000);
// The same for a whole command line, started the way the shell starts a registered command.
TRunResult RunCommandAndAnswer(const std::wstring &commandLine, DWORD timeoutMs = 60000);

} // namespace driver
