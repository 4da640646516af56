// drive.exe: runs a program the way a person would watch it, printing every message box and
// answering it with OK, then returns the program's exit code.
//
//   drive.exe [--exe PROGRAM] [--cwd FOLDER] [--timeout SECONDS] [--] ARGUMENTS...
//   drive.exe --drop [--timeout SECONDS] ITEMS...
//
// Without --exe it starts FolderRename.exe beside itself. The arguments are passed on as they
// are written, each quoted. With --drop it plays Explorer's part for the installed context-menu
// entry instead: the items are dropped, all at once, on the program that COM starts for it.
// Exit code: the program's, or 124 when it did not end in time.
#include "Driver.h"

#include <cstdio>
#include <cwchar>

namespace {

void Print(const std::wstring &text) {
    const std::string bytes = driver::Utf8(text);
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    std::wstring exe, cwd, arguments;
    std::vector<std::wstring> items;
    bool drop = false;
    DWORD timeoutMs = 600000;
    int i = 1;
    for (; i < argc; ++i) {
        if (wcscmp(argv[i], L"--drop") == 0) {
            drop = true;
        } else if (wcscmp(argv[i], L"--exe") == 0 && i + 1 < argc) {
            exe = argv[++i];
        } else if (wcscmp(argv[i], L"--cwd") == 0 && i + 1 < argc) {
            cwd = argv[++i];
        } else if (wcscmp(argv[i], L"--timeout") == 0 && i + 1 < argc) {
            timeoutMs = static_cast<DWORD>(_wtoi(argv[++i])) * 1000;
        } else if (wcscmp(argv[i], L"--") == 0) {
            ++i;
            break;
        } else {
            break;
        }
    }
    for (; i < argc; ++i) {
        if (!arguments.empty()) arguments += L" ";
        arguments += L"\"" + std::wstring(argv[i]) + L"\"";
        items.push_back(argv[i]);
    }
    driver::TProcess tool;
    if (drop ? FAILED(tool.StartByDrop(driver::EntryDropClass(), items, timeoutMs))
             : !tool.StartTool(arguments, exe, cwd)) {
        Print(L"could not start the program\n");
        return 125;
    }
    const driver::TRunResult run = driver::AnswerUntilExit(tool, timeoutMs);
    for (const driver::TBox &box : run.boxes) {
        std::wstring text = box.text;
        for (size_t p = 0; (p = text.find(L"\r\n", p)) != std::wstring::npos;)
            text.replace(p, 2, L"\n    ");
        Print(L"[" + box.caption + L"]\n    " + text + L"\n");
    }
    if (!run.finished) {
        Print(L"the program did not end in time\n");
        return 124;
    }
    Print(L"exit code " + std::to_wstring(run.exitCode) + L"\n");
    return static_cast<int>(run.exitCode);
}
