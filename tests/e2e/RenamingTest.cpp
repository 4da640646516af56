// The renaming run as a person sees it: start a copy of the tool on a folder, read and answer
// every box, then check the tree. Each row is one run; one tree carries many cases at once.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <thread>

using support::Utf8;

namespace {

std::wstring DeepPath(const std::wstring &start, size_t length) {
    std::wstring path = start;
    while (path.size() < length)
        path += L"\\folder at level " + std::to_wstring(path.size());
    return path;
}
const std::wstring DeepBranch = DeepPath(L"deep", 300), LongRoot = DeepPath(L"long", 250);

// Drive R: stands for the run's root folder: Wine keeps its drive letters as links in the
// prefix, beside drive_c, in which the sandbox lies.
const wchar_t MapDriveR[] = L"$ln -sfn $PWD ${PWD%%/drive_c/*}/dosdevices/r:";
const wchar_t ProgressClass[] = L"Morvandels_Progress_CLASS";

struct TRunRow {
    const char *what;
    const wchar_t *toolFolder, *root;
    const char *settings; // FolderRename.ini beside the tool
    // Folders below the root, or "$" and a host shell command run in the root. Folders whose
    // name starts with "in use" are held open without delete sharing: they cannot be moved. A
    // folder "held" is held so too; once "held\watch" went, it is made immutable and let go,
    // then made movable again.
    // Folders whose name starts with "chosen" keep it: they are chosen in the arguments, or lie in
    // a folder handed over after a stop.
    std::vector<std::wstring> tree;
    // What the names of the folders whose moves fail start with. Folders named "refused..." fail
    // too: they are made immutable, and Wine answers access denied, as Windows does to a folder
    // above a file that is open.
    const wchar_t *failing;
    // "*\" stands for the sandbox's path; null: the root's full path, quoted. Copies of the tool
    // split by "|" start together; one after ">" starts once the first one's window shows (in a row
    // that stops, once the stop is taken).
    const wchar_t *argument;
    std::set<size_t> lengths;
    // The button that answers the question before the run; 0: none may come; -1: the tool ends
    // at once without any box.
    int answer = 0;
    // How the run is stopped once its window shows: Escape while it still searches, each
    // listing of a folder slowed down by the test ('E'); the Stop button while an error box is
    // open, after an Enter answered the box before and the count grew ('S'); or Escape while the
    // last folder is waited for ('W'). 0: it runs to its end and shows only its boxes.
    char stop = 0;
    int dpi = 96; // the display scale the tool starts at
    // Copies started after the first, one after another, on "chosen 2", "chosen 3"...; then the
    // test hands the next "chosen" folder over itself, as a copy does, while it holds the run's
    // lock until the run comes to its end.
    int moreCopies = 0;
    // Each start is instead Explorer's drop, on the entry's class, of the argument's items (of one
    // folder; "\*" at the end: everything in that folder). Drop must return before any box.
    bool drop = false;
    // The tool is told that it runs on Windows Vista.
    bool vista = false;
};

// clang-format off
const TRunRow Rows[] = {
    {"every case in one tree", L"Инструмент 😀", L"Корень😀", "[Options]\r\nDigits=7\r\n",
     {L"a\\b\\c", L"hidden\\x", L"readonly\\x", L"12345\\0", L".git\\objects", L"Фото\\2023\\写真",
      L"plain\\写真\\a", L"x😀\\y", L"\u8868\\\u8868\u8868", L"a\u30BDb\\c", L"\u80FD\\\u8868\\x", L"trailing dot.\\x",
      L"trailing space \\x", L" leading space\\x", L"CON\\x", L"aux\\x", L"%1 & ^ !x!\\x", L"a;b,c=d+e[f]\\x",
      DeepBranch, L"$mkdir -p ../outside/x && ln -s .. a/up && ln -s ../outside out"}, L"", nullptr, {7}},
    {"1 digit clamped up; files 0 to 9 beside a folder take its names; a relative argument with / and ..; a folder "
     "held for a moment, then refused with access denied for a moment", L"tool", L"tree", "[Options]\r\nDigits=0\r\n",
     {L"a\\b\\c", L"$touch 0 1 2 3 4 5 6 7 8 9", L"held\\watch"}, L"", L"tree/../tree \"ignored\"", {1, 5}},
    {"a chosen folder beyond 260 characters, in which the names 0 to 9 are taken", L"tool", LongRoot.c_str(),
     "[Options]\r\nDigits=1\r\n", {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"a\\b"}, L"", nullptr,
     {1, 5}},
    {"a file, a missing path, an empty argument: ends silently", L"tool", L"tree", "", {L"a"}, L"",
     L"\"*\\tree\\a\\f.bin\" \"*\\missing\" \"\"", {5}, -1},
    // The next two runs must draw other names.
    {"thirty copies one after another, the first with names ending in a dot or a space, a prefixed one; passed over: "
     "a file, a folder inside a chosen one, a missing path, other spellings; a hand-over while the run waits to close",
     L"tool", L"tree", "[Options]\r\nDigits=9\r\n", {L"chosen 1\\a\\b", L"chosen dot.\\c", L"chosen space \\d\\e",
     L"$bash -c 'mkdir -p chosen\\ {2..31}/a/b'"}, L"",
     L"\"*\\tree\\chosen 1\\a\\f.bin\" \"*\\tree\\chosen 1\\a\" \"*\\missing\" \"\\\\?\\*\\tree\\chosen 1\" \"*\\TREE\\CHOSEN 1\\\" "
     L"\"*\\tree\\chosen dot.\" \"*\\tree\\chosen space \" \"*\\tree\\chosen dot.\\..\\chosen 1\" \"*\\tree\\CHOSEN 1\\A\"",
     {9}, 0, 0, 96, 29},
    // The run waits for its folder in use until its window shows; then the second copy starts.
    {"a copy started during a run joins it, its folder that the run has taken already adds nothing; a box names a "
     "folder held for good; a file open in it holds every folder above it, each tried once after it", L"tool",
     L"Корень😀", "[Options]\r\nDigits=9\r\n",
     {L"chosen 1\\a\\b", L"chosen 1\\refused A\\refused B\\in use", L"chosen 2\\c"}, L"in use",
     L"\"*\\Корень😀\\chosen 1\">\"*\\Корень😀\\chosen 2\" \"*\\Корень😀\\CHOSEN 1\\\"",
     {9}},
    {"a drive root among the chosen folders: No renames nothing", L"tool", L"drive", "", {L"a\\b", MapDriveR}, L"",
     L"\"*\\drive\\a\" R:\\", {5}, IDNO},
    {"Explorer drops a drive root: the question; Yes renames everything but Windows' own folders; 255 digits clamped "
     "down; on Vista", L"tool", L"drive", "[Options]\r\nDigits=300\r\n", {L"a\\b", L"hidden\\h", L"system\\s",
     L"$mkdir -p '$RECYCLE.BIN/S-1-5-21-1000'", L"System Volume Information\\tracking", MapDriveR}, L"", L"R:\\",
     {255}, IDYES, 0, 96, 0, true, true},
    {"Explorer drops 150 folders and two files at once: one run, one summary, the files passed over; one folder that "
     "cannot be searched; a second selection dropped while a box waits joins the run", L"tool", L"drop", "",
     {L"$bash -c 'mkdir -p chosen\\ sel/chosen\\ {1..150}/a chosen\\ sel/chosen\\ 1/bad\\? chosen\\ later/b && touch "
     L"chosen\\ sel/f{1,2}'"}, L"bad?", L"\"*\\drop\\chosen sel\\*\">\"*\\drop\\chosen later\"", {5}, 0, 0, 96, 0, true},
    {"a run stopped by Escape while it searches: nothing renamed", L"tool", L"big", "",
     {L"$bash -c 'mkdir -p d{0..9}/d{0..9}/d{0..2}'"}, L"", nullptr, {5}, 0, 'E'},
    {"Escape while a held folder is waited for; on Vista", L"tool", L"big", "", {L"in use\\a"}, L"in use", nullptr, {5},
     0, 'W', 96, 0, false, true},
    // Windows refuses names with "?" that the host made: their moves fail at once, with no retry.
    // The pass begins with "chosen 3\bad?": its box holds the run until the window is there; the
    // folders in "plain" come next, then a box for a "bad?" of "chosen 1" holds it again.
    {"a box before the window, clear of it, answered by Enter; the count grows; Stop while the next box is open brings "
     "it to the front; after the stop a drive root asks nothing; the summary in front; 200%; two folders unsearched",
     L"tool", L"storm", "", {L"$bash -c 'mkdir -p chosen\\ 1/bad\\?{1..40} chosen\\ 1/plain/d{1..20} chosen\\ 3/bad\\?'",
     L"chosen 2\\chosen a", MapDriveR}, L"bad?",
     L"\"*\\storm\\chosen 1\" \"*\\storm\\chosen 3\">\"*\\storm\\chosen 2\" R:\\", {5}, 0, 'S', 192},
};
// clang-format on

// Starts the tool with this thread as its debugger (only the thread that starts a process gets
// its debug events) and a breakpoint where FindFirstFileExW begins: each listing of a folder
// first waits delayMs, so that a search lasts as long as the row needs on any machine.
bool StartSlowSearch(driver::TProcess &tool, const std::wstring &arguments, const std::wstring &exe,
                     const std::wstring &workDir, DWORD delayMs) {
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool ok = false;
    std::thread([&, arguments, exe, workDir, delayMs, started] {
        const bool running = ok = tool.StartTool(arguments, exe, workDir, DEBUG_ONLY_THIS_PROCESS);
        SetEvent(started);
        // Wine maps its own DLLs at one place in every process.
        BYTE *const listing = reinterpret_cast<BYTE *>(
            GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "FindFirstFileExW"));
        const BYTE trap = 0xCC;
        HANDLE process = nullptr;
        DEBUG_EVENT event;
        while (running && WaitForDebugEvent(&event, INFINITE)) {
            const EXCEPTION_RECORD &e = event.u.Exception.ExceptionRecord;
            const bool hit =
                e.ExceptionCode == EXCEPTION_BREAKPOINT && e.ExceptionAddress == listing;
            DWORD status = DBG_CONTINUE;
            if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT)
                process = event.u.CreateProcessInfo.hProcess,
                CloseHandle(event.u.CreateProcessInfo.hFile);
            if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) CloseHandle(event.u.LoadDll.hFile);
            // The loader's own breakpoint comes once the program's DLLs are there: the trap goes
            // in. At the trap, the wait, then the first instruction as it was, one step, and the
            // trap again.
            if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
                if (hit) {
                    Sleep(delayMs);
                    HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE,
                                               event.dwThreadId);
                    CONTEXT context = {};
                    context.ContextFlags = CONTEXT_CONTROL;
                    GetThreadContext(thread, &context);
                    context.Rip = reinterpret_cast<DWORD64>(listing), context.EFlags |= 0x100;
                    SetThreadContext(thread, &context), CloseHandle(thread);
                } else if (e.ExceptionCode != EXCEPTION_BREAKPOINT &&
                           e.ExceptionCode != EXCEPTION_SINGLE_STEP) {
                    status = DBG_EXCEPTION_NOT_HANDLED;
                }
                WriteProcessMemory(process, listing, hit ? listing : &trap, 1, nullptr);
                FlushInstructionCache(process, listing, 1);
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
            if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) break;
        }
    }).detach();
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
    return ok;
}

// True when a lies in front of b: without a window manager Wine keeps the stacking itself.
bool InFront(HWND a, HWND b) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
        if (window == a || window == b) return window == a;
    return false;
}

// One launch (or several copies) of the tool on one row's tree.
void RunRow(const TRunRow &row, std::set<std::wstring> &earlierNames, std::vector<int> &places96) {
    SCOPED_TRACE(row.what);
    driver::TTempDir sandbox(L"run");
    const std::wstring tool = sandbox / row.toolFolder, root = sandbox / row.root;
    ASSERT_TRUE(support::MakeDirs(tool) && support::MakeDirs(root) &&
                support::WriteBytes(tool + L"\\FolderRename.ini", row.settings) &&
                CopyFileW(driver::ToolPath().c_str(), (tool + L"\\FolderRename.exe").c_str(), 0));
    // Every copy of every row runs beside planted DLLs. Wine's advapi32 loads version.dll before
    // the program starts: planted beside the copy that ends at once, it shows that the planting
    // is real.
    support::PlantDlls(tool);
    support::SetToolDefaults(row.vista ? L"vista" : L"");
    const std::wstring control = tool + L"\\version.dll";
    ASSERT_TRUE(row.answer >= 0 ||
                CopyFileW((driver::OwnFolder() + L"libplanted.dll").c_str(), control.c_str(), 0));
    for (const std::wstring &entry : row.tree)
        ASSERT_TRUE(entry[0] == L'$' ? support::RunHostShell(entry.substr(1), root)
                                     : support::MakeDirs(root + L"\\" + entry))
            << Utf8(entry);
    // A file with bytes of its own in every folder of a small tree, hidden or read-only
    // folders by name, and the folders in use held open.
    int folders = 0, unlisted = 0;
    bool refusing = false;
    std::vector<HANDLE> inUse;
    std::set<std::wstring> oldNames, chosen, failingPaths;
    const auto startsWith = [](const std::wstring &name, const std::wstring &start) {
        return name.compare(0, start.size(), start) == 0;
    };
    auto before = support::Snapshot(root);
    for (const support::TEntry &e : before) {
        if (!e.folder || e.name.back() == L'@') continue;
        const std::wstring path = driver::LongPath(root + L"\\" + e.path);
        // Wine refuses to list a folder whose name Windows could not hold, or to write in it.
        const bool unlistable = e.name.find(L'?') != std::wstring::npos;
        unlisted += unlistable;
        ASSERT_TRUE(
            row.stop || unlistable ||
            support::WriteBytes(path + L"\\f.bin", Utf8(e.path) + std::string("\0\xff", 2)));
        // Windows keeps its own folders hidden and system: they and all they hold keep their
        // names and are not found.
        const bool windowsOwn =
            startsWith(e.path, L"$RECYCLE.BIN") || startsWith(e.path, L"System Volume");
        const DWORD attribute = windowsOwn ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                                : e.name == L"hidden"   ? FILE_ATTRIBUTE_HIDDEN
                                : e.name == L"system"   ? FILE_ATTRIBUTE_SYSTEM
                                : e.name == L"readonly" ? FILE_ATTRIBUTE_READONLY
                                                        : 0;
        if (attribute) SetFileAttributesW(path.c_str(), attribute);
        if (windowsOwn) {
            oldNames.insert(e.name);
            continue;
        }
        if (e.name.compare(0, 6, L"chosen") == 0) {
            chosen.insert(e.path);
            oldNames.insert(e.name);
            continue;
        }
        if (e.name.compare(0, 6, L"in use") == 0 || e.name == L"held") {
            inUse.push_back(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            ASSERT_NE(inUse.back(), INVALID_HANDLE_VALUE) << Utf8(e.path);
        }
        refusing |= startsWith(e.name, L"refused");
        if ((*row.failing && startsWith(e.name, row.failing)) || startsWith(e.name, L"refused")) {
            oldNames.insert(e.name);
            failingPaths.insert(root + L"\\" + e.path);
        }
        if (row.stop || row.answer == IDNO || row.answer < 0) oldNames.insert(e.name);
        ++folders;
    }
    // Once their files are written. On Windows the file held open below them would refuse these.
    ASSERT_TRUE(!refusing ||
                support::RunHostShell(L"find . -name 'refused*' -exec chattr +i {} +", root));
    if (!row.stop) before = support::Snapshot(root); // with the files written above
    const auto outside = support::Snapshot(sandbox / L"outside");
    std::wstring argument = row.argument ? row.argument : L"\"" + root + L"\"";
    for (size_t star; (star = argument.find(L"*\\")) != std::wstring::npos;)
        argument.replace(star, 1, sandbox.Path());
    support::SetLogPixels(row.dpi);
    // The entry's class as Windows sees it for the user, where Wine's COM looks.
    const std::wstring classId = mv::AnsiToWide(DropTargetClassId);
    driver::ServeClassFrom(classId, L"\"" + tool + L"\\FolderRename.exe\"");
    std::vector<std::unique_ptr<driver::TProcess>> copies;
    const auto start = [&](const std::wstring &arguments) {
        copies.push_back(std::make_unique<driver::TProcess>());
        // 411 listings of 20 ms: a search of at least eight seconds, or until it is stopped.
        if (!row.drop && row.stop == 'E')
            return StartSlowSearch(*copies.back(), arguments, tool + L"\\FolderRename.exe",
                                   sandbox.Path(), 20);
        if (!row.drop)
            return copies.back()->StartTool(arguments, tool + L"\\FolderRename.exe",
                                            sandbox.Path());
        // Split as the shell splits, so that no name goes through a code page.
        int count = 0;
        LPWSTR *split = CommandLineToArgvW(arguments.c_str(), &count);
        const std::vector<std::wstring> items(split, split + count);
        LocalFree(split);
        DWORD effect = DROPEFFECT_COPY;
        EXPECT_EQ(copies.back()->StartByDrop(classId, items, 20000, &effect), S_OK)
            << "Drop must return at once, before any box";
        EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE)) << "nothing was copied or moved";
        return true;
    };
    const size_t later = argument.find(L'>');
    std::wstring together = argument.substr(0, later);
    for (size_t bar; (bar = together.find(L'|')) != std::wstring::npos; together.erase(0, bar + 1))
        ASSERT_TRUE(start(together.substr(0, bar)));
    ASSERT_TRUE(start(together));
    for (int i = 2; i <= row.moreCopies + 1; ++i)
        ASSERT_TRUE(start(L"\"" + root + L"\\chosen " + std::to_wstring(i) + L"\""));
    const driver::TProcess &process = *copies.front();
    const auto gone = [&](const wchar_t *folder) {
        const std::wstring path = driver::LongPath(root + L"\\" + folder);
        return support::WaitUntil(
            [&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000);
    };
    // The held folder is first tried right after the folder inside it went.
    ASSERT_TRUE(row.stop != 'W' || gone(L"in use\\a"));
    const ULONGLONG firstTry = GetTickCount64();
    if (later != std::wstring::npos && !row.stop) {
        ASSERT_NE(process.WaitForWindow(ProgressClass, 20000), nullptr) << "no progress window";
        ASSERT_TRUE(start(argument.substr(later + 1)));
    }
    if (row.moreCopies > 0) {
        // Once a copy has handed over and ended (the run itself waits for its summary to be
        // answered), the test takes the lock, as a copy does, and the copies still to hand over
        // wait for it. Every hand-over came before: the run, open a second after the last one,
        // has come to its close a little later and waits for the lock while it answers
        // hand-overs. (A run still at work then takes the folder all the same.)
        const auto running = [&] {
            return std::count_if(copies.begin(), copies.end(),
                                 [](const auto &copy) { return copy->Running(); });
        };
        ASSERT_TRUE(support::WaitUntil([&] { return running() <= row.moreCopies; }, 20000));
        {
            TRunLock lock;
            lock.Acquire(false);
            Sleep(1200);
            EXPECT_TRUE(SendToRun({root + L"\\chosen " + std::to_wstring(row.moreCopies + 2)}))
                << "not taken while the run waits for its lock";
        }
        ASSERT_TRUE(support::WaitUntil([&] { return running() == 1; }, 20000))
            << "copies still running: the run did not take them all";
    }
    if (std::count(row.tree.begin(), row.tree.end(), L"held\\watch")) {
        // "held" is tried a moment after the folder inside it went, and again over two seconds.
        // It is then made immutable (a rename is refused even to root: Wine answers access
        // denied, as Windows does while a program holds a file inside), freed from its handle,
        // and made movable again: each error in turn is waited out.
        ASSERT_TRUE(gone(L"held\\watch"));
        EXPECT_TRUE(support::RunHostShell(L"chattr +i held", root));
        for (HANDLE handle : inUse)
            CloseHandle(handle);
        inUse.clear();
        EXPECT_TRUE(support::RunHostShell(L"chattr -i held", root));
    }

    std::vector<driver::TBox> boxes;
    if (row.answer > 0) {
        // Enter is a person's answer No: the default button.
        driver::TBox question;
        ASSERT_TRUE(process.WaitForBox(question, 20000)) << "no question";
        EXPECT_EQ(question.caption, L"Morvandels Folder Renamer");
        EXPECT_NE(question.text.find(L"\r\nR:\\\r\nIt is the root folder of a drive."),
                  std::wstring::npos)
            << Utf8(question.text);
        EXPECT_TRUE(row.answer != IDYES || process.AnswerBox(question, IDYES));
        if (row.answer == IDNO) support::PressKey(question.window, VK_RETURN);
        EXPECT_TRUE(support::WaitUntil([&] { return !IsWindowVisible(question.window); }))
            << "the question stayed";
    }
    if (row.stop) {
        driver::TBox errorBox;
        ASSERT_TRUE(row.stop != 'S' || process.WaitForBox(errorBox, 20000)) << "no box";
        // In the row 'S' the window must come while the first box waits.
        HWND progress = process.WaitForWindow(ProgressClass, 20000);
        ASSERT_NE(progress, nullptr) << "no progress window within 20 s";
        EXPECT_EQ(driver::WindowText(progress), L"Morvandels Folder Renamer");
        EXPECT_NE(driver::FindChild(progress, PROGRESS_CLASSW), nullptr) << "no progress bar";
        HWND stop = driver::FindChild(progress, L"Button", L"Stop");
        support::ExpectScaled(progress, row.dpi, places96);
        if (row.stop == 'S') {
            // The message font at the row's scale; the run waits for its box meanwhile.
            NONCLIENTMETRICSW metrics = {};
            metrics.cbSize = sizeof metrics;
            SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                       row.dpi);
            support::ExpectLabelInFont(stop, metrics.lfMessageFont);
        }
        // Early in the last wait step (10, 20 ... 640 ms from the first try, then the 730 ms left
        // of the two seconds): a stop that let the step run out would come 0.7 s late.
        while (row.stop == 'W' && GetTickCount64() < firstTry + 1300)
            Sleep(1);
        // The box open when the window came, and the next one, stand clear of it.
        const auto covers = [&](const driver::TBox &box) {
            RECT boxPlace, windowPlace, overlap;
            GetWindowRect(box.window, &boxPlace), GetWindowRect(progress, &windowPlace);
            return IntersectRect(&overlap, &boxPlace, &windowPlace) != FALSE;
        };
        if (row.stop == 'S') {
            EXPECT_FALSE(covers(errorBox)) << "the window and the box cover each other";
            // The box keeps the keyboard: an Enter on whatever has it answers the box.
            support::PressKey(nullptr, VK_RETURN);
            EXPECT_TRUE(support::WaitUntil([&] { return !IsWindowVisible(errorBox.window); }))
                << "the Enter did not answer the box";
            boxes.push_back(errorBox);
            ASSERT_TRUE(process.WaitForBox(errorBox, 20000)) << "the run did not go on";
            EXPECT_FALSE(covers(errorBox)) << "the window and the next box cover each other";
            // The folders in "plain" went between the two boxes; this one is answered once the
            // run is stopped.
            const auto renamed = [&] {
                int done = 0;
                swscanf(driver::WindowText(driver::FindChild(progress, L"Static")).c_str(),
                        L"Renaming: %d", &done);
                return done > 0;
            };
            EXPECT_TRUE(support::WaitUntil(renamed, 20000)) << "the count stood";
            EXPECT_TRUE(driver::PressButton(stop));
        }
        EXPECT_TRUE(row.stop != 'E' ||
                    driver::WindowText(driver::FindChild(progress, L"Static")).find(L"Search") == 0)
            << "the search was over";
        if (row.stop != 'S') support::PressKey(progress, VK_ESCAPE);
        EXPECT_TRUE(support::WaitUntil([&] { return !IsWindowEnabled(stop); }))
            << "the stop was not taken";
        // The box the run still waits for comes to the front, with the keyboard.
        EXPECT_TRUE(row.stop != 'S' ||
                    support::WaitUntil([&] { return GetForegroundWindow() == errorBox.window; }))
            << "the box did not come to the front";
        // The stop ends the wait for a held folder at once, not after its two seconds.
        EXPECT_TRUE(row.stop != 'W' ||
                    (process.WaitForWindow(L"#32770", 20000) && GetTickCount64() < firstTry + 1850))
            << "the summary came late after the stop";
        driver::TBox summary;
        // A copy started now hands its folders over to a run that is stopped.
        if (later != std::wstring::npos) {
            ASSERT_TRUE(start(argument.substr(later + 1)));
            EXPECT_TRUE(driver::AnswerUntilExit(*copies.back(), 20000).finished);
        }
        if (row.stop == 'S') {
            boxes.push_back(errorBox);
            ASSERT_TRUE(process.AnswerBox(errorBox));
            // The summary opens in front of the window, which is still there; nothing asks first.
            ASSERT_TRUE(process.WaitForBox(summary, 20000)) << "no summary";
            EXPECT_TRUE(IsWindow(progress) && InFront(summary.window, progress))
                << "the summary is not in front of the window";
            EXPECT_EQ(summary.text.find(L"go on?"), std::wstring::npos)
                << "a question after the stop";
            boxes.push_back(summary);
            process.AnswerBox(summary,
                              summary.text.find(L"go on?") == std::wstring::npos ? IDOK : IDNO);
        }
    }
    // Every copy ends with 0; whichever made the run shows its boxes.
    int showing = 0; // copies that showed a window or a box
    for (const auto &copy : copies) {
        const driver::TRunResult run = driver::AnswerUntilExit(*copy, 60000);
        EXPECT_TRUE(run.finished) << "a copy did not end within 60 s";
        EXPECT_EQ(run.exitCode, 0u);
        boxes.insert(boxes.end(), run.boxes.begin(), run.boxes.end());
        showing += !copy->SeenClasses().empty();
    }
    support::PlantDlls(tool, false);
    EXPECT_TRUE(row.answer >= 0 || RemoveDirectoryW((control + L".loaded").c_str()))
        << "a planted version.dll was not loaded: Wine searched as Windows does not";
    for (HANDLE handle : inUse)
        CloseHandle(handle);
    // Undone with the tree's removal: the drive letter, and what was made immutable.
    std::wstring undo = refusing ? L"chattr -R -i . && " : L"";
    if (std::count(row.tree.begin(), row.tree.end(), MapDriveR))
        undo += L"rm -f ${PWD%%/drive_c/*}/dosdevices/r: && ";
    // Short runs show only their boxes; a copy that joins a run shows nothing.
    if (!row.stop && !*row.failing && copies.size() == 1) {
        EXPECT_EQ(process.SeenClasses(),
                  row.answer < 0 ? std::set<std::wstring>{} : std::set<std::wstring>{L"#32770"});
    }
    EXPECT_LE(showing, 1) << "more than one copy showed a window or a box";
    if (row.answer == IDNO || row.answer < 0) {
        EXPECT_TRUE(boxes.empty()) << "a box after No, or at all";
        support::ExpectRenamed(before, root, {}, oldNames); // every folder as it was
        support::RunHostShell(undo + L"rm -rf ./*", sandbox.Path());
        return;
    }
    // Every failing folder gets its error box until a stop (after two in the row that stops
    // while a box is open).
    const size_t failed = row.stop == 'S' ? 2 : row.stop ? 0 : failingPaths.size();
    ASSERT_EQ(boxes.size(), failed + 1);
    for (size_t i = 0; i < failed; ++i) {
        // Each names a failing folder, once, and a new name beside it; then why it failed.
        const std::wstring &text = boxes[i].text, head = L"An error occured by trying to move\r\n";
        const size_t to = text.find(L"\r\nto\r\n"), end = text.find(L"\r\n", to + 6);
        const std::wstring source = text.substr(head.size(), to - head.size());
        const std::wstring target = text.substr(to + 6, end - to - 6);
        const std::wstring name = target.substr(target.find_last_of(L'\\') + 1);
        EXPECT_EQ(boxes[i].caption, L"Error Detected!");
        EXPECT_EQ(failingPaths.erase(source), 1u) << Utf8(text);
        EXPECT_TRUE(support::AllDigits(name)) << Utf8(text);
        EXPECT_EQ(name.size(), *row.lengths.begin()) << Utf8(text);
        const wchar_t *last = source.c_str() + source.find_last_of(L'\\') + 1;
        const DWORD error = startsWith(last, L"in use")    ? ERROR_SHARING_VIOLATION
                            : startsWith(last, L"refused") ? ERROR_ACCESS_DENIED
                                                           : ERROR_INVALID_NAME;
        EXPECT_EQ(Utf8(text),
                  Utf8(MoveErrorText(source, target, error, mv::SystemErrorText(error))));
    }
    const driver::TBox &summary = boxes.back();
    EXPECT_EQ(summary.caption, L"Morvandels Folder Renamer");
    std::wsmatch counts;
    ASSERT_TRUE(std::regex_match(
        summary.text, counts,
        std::wregex(L"Found: ([0-9]+) folders\r\nRenamed: ([0-9]+) of \\1 folders\r\n"
                    L"Needed: ([ 0-9]{2,}\\.[0-9]{7}) seconds(\r\nNot searched: ([0-9]+) folders "
                    L"could not be opened, so what they hold keeps its names)?"
                    L"(\r\nStopped before the end: ([0-9]+) folders keep their old names)?")))
        << Utf8(summary.text);
    const int found = std::stoi(counts[1]), renamed = std::stoi(counts[2]);
    if (row.stop != 'E') {
        EXPECT_EQ(found, folders);
    } else {
        EXPECT_LT(found, folders) << "the search went on after the stop";
        EXPECT_EQ(renamed, 0) << "a folder renamed after a stop in the search";
    }
    if (!row.stop) {
        EXPECT_EQ(renamed, folders - static_cast<int>(failed));
    }
    // A folder held for good gets its box within a few seconds; the folders above it are tried
    // once each, so that all of them take one folder's waits (three would take six seconds).
    if (failed > 0 && !row.stop) {
        EXPECT_LT(std::stod(counts[3]), refusing ? 5.0 : 8.0);
    }
    EXPECT_EQ(counts[5].matched ? std::stoi(counts[5]) : 0, unlisted)
        << "the folders that could not be searched";
    EXPECT_EQ(counts[6].matched, row.stop != 0) << "the line of a stopped run";
    if (row.stop) {
        EXPECT_LT(renamed, found);
        EXPECT_EQ(counts[7].matched ? std::stoi(counts[7]) : -1, found - renamed);
    }
    support::ExpectRenamed(before, root, row.lengths, oldNames);
    for (const std::wstring &path : chosen)
        EXPECT_NE(GetFileAttributesW(driver::LongPath(root + L"\\" + path).c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << "a chosen folder lost its name: " << Utf8(path);
    EXPECT_EQ(support::Shape(support::Snapshot(sandbox / L"outside")), support::Shape(outside));
    // The generator is seeded anew in every run: no name comes back in another.
    if (row.lengths.count(9)) {
        for (const support::TEntry &e : support::Snapshot(root)) {
            if (!e.folder || !support::AllDigits(e.name)) continue;
            EXPECT_EQ(earlierNames.count(e.name), 0u) << "drawn before: " << Utf8(e.name);
            earlierNames.insert(e.name);
        }
    }
    // The host removes a tree in a moment, where Wine takes a while.
    support::RunHostShell(undo + L"rm -rf ./*", sandbox.Path());
}

} // namespace

TEST(RenamingRun, EveryCaseInOneTree) {
    // Under code page 932 the first row is enough: it has the names that hold a 0x5C byte.
    const bool all = GetACP() != 932;
    // Explorer may start the entry's server and never drop anything: it ends by itself half a
    // minute later, while the rows run. The activation it was started for uses it up, so the
    // rows' drops each start a server of their own.
    driver::TProcess idle;
    const std::wstring classId = mv::AnsiToWide(DropTargetClassId);
    driver::ServeClassFrom(classId, L"\"" + driver::ToolPath() + L"\"");
    ASSERT_TRUE(!all || idle.StartByDrop(classId, {}, 20000) == S_OK);
    const ULONGLONG idleStart = GetTickCount64();
    std::set<std::wstring> earlierNames; // of the rows with 9 digits
    std::vector<int> places96;           // of the progress window, from a row at 96 DPI
    for (const TRunRow &row : Rows) {
        RunRow(row, earlierNames, places96);
        if (!all) break;
    }
    support::SetToolDefaults(nullptr);
    if (!all) return;
    DWORD code = 1;
    const ULONGLONG now = GetTickCount64(), end = idleStart + 60000;
    ASSERT_TRUE(idle.WaitExit(now < end ? static_cast<DWORD>(end - now) : 0, code))
        << "a server never called still runs a minute after it started";
    FILETIME times[4];
    GetProcessTimes(idle.Handle(), &times[0], &times[1], &times[2], &times[3]);
    const auto ms = [](const FILETIME &t) {
        return ULARGE_INTEGER{{t.dwLowDateTime, t.dwHighDateTime}}.QuadPart / 10000;
    };
    EXPECT_GE(ms(times[1]) - ms(times[0]), 29900u) << "a server never called ended early";
    EXPECT_EQ(code, 0u);
}
