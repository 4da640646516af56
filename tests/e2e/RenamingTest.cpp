// The renaming run as a person sees it: start a copy of the tool on a folder, read and answer
// every box, then check the tree. Each row is one run; one tree carries many cases at once.
#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using support::Utf8;

namespace {

std::wstring DeepBranch() {
    std::wstring path = L"deep";
    while (path.size() < 300)
        path += L"\\folder at level " + std::to_wstring(path.size());
    return path;
}

struct TRunRow {
    const char *what;
    const wchar_t *toolFolder, *root;
    const char *settings; // FolderRename.ini beside the tool
    // Folders below the root, or "$" and a host shell command run in the root.
    std::vector<std::wstring> tree;
    const wchar_t *argument; // "*" stands for the sandbox; null: the root's full path, quoted
    std::set<size_t> lengths;
    std::wstring kept; // the one folder whose move fails, if any
};

// clang-format off
const TRunRow Rows[] = {
    {"every case in one tree", L"Инструмент 😀", L"Корень😀", "[Options]\r\nDigits=7\r\n",
     {L"a\\b\\c", L"hidden\\x", L"readonly\\x", L"12345\\0", L".git\\objects", L"in use\\x", L"Фото\\2023\\写真",
      L"plain\\写真\\a", L"x😀\\y", L"\u8868\\\u8868\u8868", L"a\u30BDb\\c", L"\u80FD\\\u8868\\x", L"trailing dot.\\x",
      L"trailing space \\x", L" leading space\\x", L"CON\\x", L"aux\\x", L"%1 & ^ !x!\\x", L"a;b,c=d+e[f]\\x",
      DeepBranch(), L"$mkdir -p ../outside/x && ln -s .. a/up && ln -s ../outside out"}, nullptr, {7}, L"in use"},
    {"1 digit clamped up; files 0 to 9 beside a folder; a relative argument with / and ..", L"tool", L"tree",
     "[Options]\r\nDigits=0\r\n", {L"stuck\\a\\b", L"$touch 0 1 2 3 4 5 6 7 8 9"}, L"tree/../tree \"ignored\"", {1, 5}, L"stuck"},
    {"255 digits clamped down; a prefixed argument", L"tool", L"tree", "[Options]\r\nDigits=300\r\n",
     {L"a\\b", L"c"}, L"\"\\\\?\\*\\tree\"", {255}, L""},
};
// clang-format on

} // namespace

TEST(RenamingRun, EveryCaseInOneTree) {
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
        // A file with bytes of its own in every folder, and hidden or read-only folders by name.
        int folders = 0;
        for (const support::TEntry &e : support::Snapshot(root)) {
            if (!e.folder || e.name.back() == L'@') continue;
            const std::wstring path = driver::LongPath(root + L"\\" + e.path);
            ASSERT_TRUE(
                support::WriteBytes(path + L"\\f.bin", Utf8(e.path) + std::string("\0\xff", 2)));
            if (e.name == L"hidden")
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            if (e.name == L"readonly") SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
            ++folders;
        }
        const auto before = support::Snapshot(root),
                   outside = support::Snapshot(sandbox / L"outside");
        // A folder in use without delete sharing cannot be moved.
        HANDLE inUse = CreateFileW((root + L"\\in use").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_TRUE(row.kept != L"in use" || inUse != INVALID_HANDLE_VALUE);
        std::wstring argument = row.argument ? row.argument : L"\"" + root + L"\"";
        if (argument.find(L'*') != std::wstring::npos)
            argument.replace(argument.find(L'*'), 1, sandbox.Path());
        driver::TProcess process;
        ASSERT_TRUE(process.StartTool(argument, tool + L"\\FolderRename.exe", sandbox.Path()));
        const driver::TRunResult run = driver::AnswerUntilExit(process, 60000);
        CloseHandle(inUse);
        ASSERT_TRUE(run.finished) << "the run did not end within 60 s";
        EXPECT_EQ(run.exitCode, 0u);

        const int failed = row.kept.empty() ? 0 : 1;
        ASSERT_EQ(run.boxes.size(), failed + 1u);
        if (failed) {
            const std::wstring head = L"An error occured by trying to move\r\n" + root + L"\\" +
                                      row.kept + L"\r\nto\r\n" + root + L"\\";
            const std::wstring &text = run.boxes[0].text,
                               name = text.substr(std::min(head.size(), text.size()));
            EXPECT_EQ(run.boxes[0].caption, L"Error Detected!");
            EXPECT_TRUE(text.compare(0, head.size(), head) == 0 && support::AllDigits(name) &&
                        name.size() == *row.lengths.begin())
                << Utf8(text);
        }
        const std::wstring found = std::to_wstring(folders);
        EXPECT_EQ(run.boxes.back().caption, L"Morvandels Folder Renamer");
        EXPECT_TRUE(
            std::regex_match(run.boxes.back().text,
                             std::wregex(L"Found: " + found + L" folders\r\nRenamed: " +
                                         std::to_wstring(folders - failed) + L" of " + found +
                                         L" folders\r\nNeeded: [ 0-9]{2,}\\.[0-9]{7} seconds")))
            << Utf8(run.boxes.back().text);
        support::ExpectRenamed(before, root, row.lengths, {row.kept});
        EXPECT_EQ(support::Shape(support::Snapshot(sandbox / L"outside")), support::Shape(outside));
    }
}

TEST(RenamingRun, AnyOtherFirstArgumentEndsSilently) {
    driver::TTempDir sandbox(L"start");
    // A run would show its summary box and not end by itself.
    ASSERT_TRUE(support::WriteBytes(sandbox / L"file", "keep"));
    for (const std::wstring &arguments :
         {L"\"" + (sandbox / L"file") + L"\" \"" + sandbox.Path() + L"\"",
          L"\"" + (sandbox / L"missing") + L"\"", std::wstring(L"\"\"")}) {
        driver::TProcess tool;
        DWORD code = 1;
        ASSERT_TRUE(tool.StartTool(arguments) && tool.WaitExit(10000, code))
            << "still running after 10 s";
        EXPECT_EQ(code, 0u);
    }
}
