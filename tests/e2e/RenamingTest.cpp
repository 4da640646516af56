// The renaming run as a person sees it: start a copy of the tool on a folder, read and answer
// every box, then check the tree. Each row is one run; one tree carries many cases at once.
#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

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
// Enough folders for a run of a few seconds under Wine, a file in a hundred of them.
const wchar_t LongRunTree[] = L"$bash -c 'mkdir -p d{0..9}/d{0..9}/d{0..49} && for d in d*/*/; "
                              L"do echo $d > $d/f; done'";
const wchar_t ProgressClass[] = L"Morvandels_Progress_CLASS";

struct TRunRow {
    const char *what;
    const wchar_t *toolFolder, *root;
    const char *settings; // FolderRename.ini beside the tool
    // Folders below the root, or "$" and a host shell command run in the root. Folders whose
    // name starts with "in use" are held open without delete sharing: they cannot be moved.
    std::vector<std::wstring> tree;
    const wchar_t *failing;  // what the names of the folders whose moves fail start with
    const wchar_t *argument; // "*" stands for the sandbox; null: the root's full path, quoted
    std::set<size_t> lengths;
    // The button that answers the question before the run; 0: none may come; -1: the tool ends
    // at once without any box.
    int answer = 0;
    // How the run is stopped once its window shows: Escape while it still searches, the Stop
    // button once the renaming count grows, or Escape on the window while an error box is open
    // (after an Enter answered the box before). 0: it runs to its end and shows only its boxes.
    char stop = 0;
    int dpi = 96; // the display scale the tool starts at
};

// clang-format off
const TRunRow Rows[] = {
    {"every case in one tree", L"Инструмент 😀", L"Корень😀", "[Options]\r\nDigits=7\r\n",
     {L"a\\b\\c", L"hidden\\x", L"readonly\\x", L"12345\\0", L".git\\objects", L"in use\\x", L"Фото\\2023\\写真",
      L"plain\\写真\\a", L"x😀\\y", L"\u8868\\\u8868\u8868", L"a\u30BDb\\c", L"\u80FD\\\u8868\\x", L"trailing dot.\\x",
      L"trailing space \\x", L" leading space\\x", L"CON\\x", L"aux\\x", L"%1 & ^ !x!\\x", L"a;b,c=d+e[f]\\x",
      DeepBranch, L"$mkdir -p ../outside/x && ln -s .. a/up && ln -s ../outside out"}, L"in use", nullptr, {7}},
    {"1 digit clamped up; files 0 to 9 beside a folder; a relative argument with / and ..", L"tool", L"tree",
     "[Options]\r\nDigits=0\r\n", {L"stuck\\a\\b", L"$touch 0 1 2 3 4 5 6 7 8 9"}, L"stuck", L"tree/../tree \"ignored\"", {1, 5}},
    {"255 digits clamped down; a prefixed argument", L"tool", L"tree", "[Options]\r\nDigits=300\r\n",
     {L"a\\b", L"c"}, L"", L"\"\\\\?\\*\\tree\"", {255}},
    // The next three trees are equal: their runs must draw other names.
    {"a chosen folder whose name ends in a dot", L"tool", L"trail.", "[Options]\r\nDigits=9\r\n", {L"a\\b", L"c"},
     L"", nullptr, {9}},
    {"a chosen folder whose name ends in a space", L"tool", L"space ", "[Options]\r\nDigits=9\r\n", {L"a\\b", L"c"},
     L"", nullptr, {9}},
    {"a chosen folder beyond 260 characters", L"tool", LongRoot.c_str(), "[Options]\r\nDigits=9\r\n", {L"a\\b", L"c"},
     L"", nullptr, {9}},
    {"a file as first argument, a folder as second: ends silently", L"tool", L"tree", "", {L"a"}, L"",
     L"\"*\\tree\\a\\f.bin\" \"*\\tree\"", {5}, -1},
    {"a missing folder ends silently", L"tool", L"tree", "", {L"a"}, L"", L"\"*\\missing\"", {5}, -1},
    {"an empty argument ends silently", L"tool", L"tree", "", {L"a"}, L"", L"\"\"", {5}, -1},
    {"a drive root: No renames nothing", L"tool", L"drive", "", {L"a\\b", MapDriveR}, L"", L"R:\\", {5}, IDNO},
    {"a drive root: Yes renames everything", L"tool", L"drive", "", {L"a\\b", MapDriveR}, L"", L"R:\\.\\a\\..", {5}, IDYES},
    // The window shows when a fifth to a third of these folders are found (Wine, two cores).
    {"a long run stopped by Escape while it searches: nothing renamed", L"tool", L"big", "",
     {L"$bash -c 'mkdir -p d{0..9}/d{0..9}/d{0..9}/d{0..9}'"}, L"", nullptr, {}, 0, 'E'},
    {"a long run at 200% stopped by its button", L"tool", L"big", "", {LongRunTree}, L"", nullptr, {5}, 0, 'B', 192},
    {"an Enter answers the box the window came beside; Stop while the next is open", L"tool", L"storm", "",
     {L"$bash -c 'mkdir in\\ use\\ {1..40}'"}, L"in use", nullptr, {5}, 0, 'S'},
};
// clang-format on

// Waits until the window counts renamed folders and the count has grown; false after 20 s.
bool SeeRenamingGrow(HWND progress) {
    for (int waited = 0, first = -1, done = -1, total; waited < 20000; waited += 20, Sleep(20)) {
        const std::wstring status = driver::WindowText(driver::FindChild(progress, L"Static"));
        if (swscanf(status.c_str(), L"Renaming: %d of %d", &done, &total) != 2) continue;
        if (first >= 0 && done > first) return true;
        if (first < 0) first = done;
    }
    return false;
}

} // namespace

TEST(RenamingRun, EveryCaseInOneTree) {
    std::set<std::wstring> earlierNames; // of the rows with 9 digits
    std::vector<int> places96;           // of the progress window, from a row at 96 DPI
    for (const TRunRow &row : Rows) {
        SCOPED_TRACE(row.what);
        // Under code page 932 the first row is enough: it has the names that hold a 0x5C byte.
        if (GetACP() == 932 && &row != Rows) break;
        driver::TTempDir sandbox(L"run");
        const std::wstring tool = sandbox / row.toolFolder, root = sandbox / row.root;
        ASSERT_TRUE(
            support::MakeDirs(tool) && support::MakeDirs(root) &&
            support::WriteBytes(tool + L"\\FolderRename.ini", row.settings) &&
            CopyFileW(driver::ToolPath().c_str(), (tool + L"\\FolderRename.exe").c_str(), 0));
        for (const std::wstring &entry : row.tree)
            ASSERT_TRUE(entry[0] == L'$' ? support::RunHostShell(entry.substr(1), root)
                                         : support::MakeDirs(root + L"\\" + entry))
                << Utf8(entry);
        // A file with bytes of its own in every folder of a small tree, hidden or read-only
        // folders by name, and the folders in use held open.
        int folders = 0, failing = 0;
        std::vector<HANDLE> inUse;
        std::set<std::wstring> oldNames;
        // A tree that is still searched when the window shows is too large to be read here.
        auto before = row.stop == 'E' ? std::vector<support::TEntry>() : support::Snapshot(root);
        for (const support::TEntry &e : before) {
            if (!e.folder || e.name.back() == L'@') continue;
            const std::wstring path = driver::LongPath(root + L"\\" + e.path);
            if (!row.stop)
                ASSERT_TRUE(support::WriteBytes(path + L"\\f.bin",
                                                Utf8(e.path) + std::string("\0\xff", 2)));
            if (e.name == L"hidden")
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            if (e.name == L"readonly") SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
            if (e.name.compare(0, 6, L"in use") == 0) {
                inUse.push_back(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
                ASSERT_NE(inUse.back(), INVALID_HANDLE_VALUE) << Utf8(e.path);
            }
            if (*row.failing && e.name.compare(0, wcslen(row.failing), row.failing) == 0) {
                oldNames.insert(e.name);
                ++failing;
            }
            if (row.stop || row.answer == IDNO || row.answer < 0) oldNames.insert(e.name);
            ++folders;
        }
        if (!row.stop) before = support::Snapshot(root); // with the files written above
        const auto outside = support::Snapshot(sandbox / L"outside");
        std::wstring argument = row.argument ? row.argument : L"\"" + root + L"\"";
        for (size_t star; (star = argument.find(L'*')) != std::wstring::npos;)
            argument.replace(star, 1, sandbox.Path());
        support::SetLogPixels(row.dpi);
        driver::TProcess process;
        ASSERT_TRUE(process.StartTool(argument, tool + L"\\FolderRename.exe", sandbox.Path()));

        std::vector<driver::TBox> boxes;
        if (row.answer > 0) {
            // Enter is a person's answer No: the default button.
            driver::TBox question;
            ASSERT_TRUE(process.WaitForBox(question, 20000)) << "no question";
            EXPECT_EQ(question.caption, L"Morvandels Folder Renamer");
            EXPECT_NE(question.text.find(L"\r\nR:\\\r\nIt is the root folder of a drive."),
                      std::wstring::npos)
                << Utf8(question.text);
            if (row.answer == IDYES) EXPECT_TRUE(process.AnswerBox(question, IDYES));
            if (row.answer == IDNO) support::PressKey(question.window, VK_RETURN);
            for (int waited = 0; IsWindowVisible(question.window) && waited < 5000; waited += 10)
                Sleep(10);
            EXPECT_FALSE(IsWindowVisible(question.window)) << "the question stayed";
        }
        if (row.stop) {
            driver::TBox errorBox;
            if (row.stop == 'S') ASSERT_TRUE(process.WaitForBox(errorBox, 20000)) << "no box";
            HWND progress = process.WaitForWindow(ProgressClass, 20000);
            ASSERT_NE(progress, nullptr) << "no progress window within 20 s";
            EXPECT_EQ(driver::WindowText(progress), L"Morvandels Folder Renamer");
            HWND stop = driver::FindChild(progress, L"Button", L"Stop");
            support::ExpectScaled(progress, row.dpi, places96);
            if (row.stop == 'B') {
                // The message font at the row's scale, measured first: the stop must find folders
                // left.
                NONCLIENTMETRICSW metrics = {sizeof metrics};
                SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                           row.dpi);
                support::ExpectLabelInFont(stop, metrics.lfMessageFont);
                EXPECT_TRUE(SeeRenamingGrow(progress)) << "the count stood";
                EXPECT_TRUE(driver::PressButton(stop));
            }
            if (row.stop == 'S') {
                // The box keeps the keyboard: an Enter on whatever has it answers the box. It comes
                // once the run has handed the new window its first messages: a key that comes
                // meanwhile misses the box's own loop.
                Sleep(500);
                support::PressKey(nullptr, VK_RETURN);
                EXPECT_TRUE(support::WaitUntil([&] { return !IsWindowVisible(errorBox.window); }))
                    << "the Enter did not answer the box";
                boxes.push_back(errorBox);
                ASSERT_TRUE(process.WaitForBox(errorBox, 20000)) << "the run did not go on";
                // It is answered below, once the run is stopped.
            }
            if (row.stop != 'B') support::PressKey(progress, VK_ESCAPE);
            EXPECT_TRUE(support::WaitUntil([&] { return !IsWindowEnabled(stop); }))
                << "the stop was not taken";
        }
        const driver::TRunResult run = driver::AnswerUntilExit(process, 60000);
        for (HANDLE handle : inUse)
            CloseHandle(handle);
        if (wcscmp(row.root, L"drive") == 0)
            support::RunHostShell(L"rm -f ${PWD%%/drive_c/*}/dosdevices/r:", root);
        ASSERT_TRUE(run.finished) << "the run did not end within 60 s";
        EXPECT_EQ(run.exitCode, 0u);
        boxes.insert(boxes.end(), run.boxes.begin(), run.boxes.end());
        if (!row.stop)
            EXPECT_EQ(process.SeenClasses(), row.answer < 0 ? std::set<std::wstring>{}
                                                            : std::set<std::wstring>{L"#32770"});
        if (row.answer == IDNO || row.answer < 0) {
            EXPECT_TRUE(boxes.empty()) << "a box after No, or at all";
            support::ExpectRenamed(before, root, {}, oldNames); // every folder as it was
            continue;
        }
        // Every failing folder gets its error box until a stop (after two in the row that stops
        // while a box is open).
        const size_t failed = row.stop == 'S' ? 2 : row.stop ? 0 : failing;
        ASSERT_EQ(boxes.size(), failed + 1);
        for (size_t i = 0; i < failed; ++i) {
            const std::wstring head =
                L"An error occured by trying to move\r\n" + root + L"\\" + row.failing;
            const std::wstring &text = boxes[i].text;
            const std::wstring name = text.substr(text.find_last_of(L'\\') + 1);
            EXPECT_EQ(boxes[i].caption, L"Error Detected!");
            EXPECT_EQ(Utf8(text.substr(0, head.size())), Utf8(head));
            EXPECT_TRUE(support::AllDigits(name)) << Utf8(text);
            EXPECT_EQ(name.size(), *row.lengths.begin()) << Utf8(text);
        }
        const driver::TBox &summary = boxes.back();
        EXPECT_EQ(summary.caption, L"Morvandels Folder Renamer");
        std::wsmatch counts;
        ASSERT_TRUE(std::regex_match(
            summary.text, counts,
            std::wregex(L"Found: ([0-9]+) folders\r\nRenamed: ([0-9]+) of \\1 folders\r\n"
                        L"Needed: [ 0-9]{2,}\\.[0-9]{7} seconds"
                        L"(\r\nStopped before the end: ([0-9]+) folders keep their old names)?")))
            << Utf8(summary.text);
        const int found = std::stoi(counts[1]), renamed = std::stoi(counts[2]);
        if (row.stop != 'E') EXPECT_EQ(found, folders);
        if (!row.stop) EXPECT_EQ(renamed, folders - static_cast<int>(failed));
        EXPECT_EQ(counts[3].matched, row.stop != 0) << "the line of a stopped run";
        if (row.stop) {
            EXPECT_LT(renamed, found);
            EXPECT_EQ(counts[4].matched ? std::stoi(counts[4]) : -1, found - renamed);
        }
        if (row.stop == 'E')
            EXPECT_TRUE(support::RunHostShell(L"! find . -name '[0-9]*' | grep -q .", root))
                << "a folder renamed";
        else
            support::ExpectRenamed(before, root, row.lengths, oldNames);
        EXPECT_EQ(support::Shape(support::Snapshot(sandbox / L"outside")), support::Shape(outside));
        // The generator is seeded anew in every run: no name comes back in another.
        if (row.lengths.count(9)) {
            for (const support::TEntry &e : support::Snapshot(root)) {
                if (!e.folder) continue;
                EXPECT_EQ(earlierNames.count(e.name), 0u) << "drawn before: " << Utf8(e.name);
                earlierNames.insert(e.name);
            }
        }
        // Thousands of folders go at once through the host, in seconds through Wine.
        if (row.stop) support::RunHostShell(L"rm -rf ./*", root);
    }
}
