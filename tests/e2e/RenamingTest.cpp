// The renaming run as a person sees it: start a copy of the tool on a folder, read and answer
// every box, then check the tree. Each row is one run; one tree carries many cases at once.
#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>

using driver::TTempDir;
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
    const wchar_t *toolFolder;
    const char *settings; // FolderRename.ini beside the tool, none when null
    // Folders below the root; "+name" is a file, "name>root" and "name>outside" are links.
    std::vector<std::wstring> tree;
    // The first argument, "*" standing for the sandbox; null: the root's full path.
    const wchar_t *argument;
    std::set<size_t> lengths; // of the new names
    std::wstring kept;        // the one folder whose move fails, if any
};

const TRunRow Rows[] = {
    {"every case in one tree",
     L"Инструмент 😀",
     "[Options]\r\nDigits=7\r\n",
     {L"a\\b\\c",
      L"hidden\\x",
      L"readonly\\x",
      L"12345\\0",
      L".git\\objects",
      L"in use\\x",
      L"Фото\\2023\\写真",
      L"plain\\写真\\a",
      L"x😀\\y",
      L"\u8868\\\u8868\u8868",
      L"a\u30BDb\\c",
      L"\u80FD\\\u8868\\x",
      L"trailing dot.\\x",
      L"trailing space \\x",
      L" leading space\\x",
      L"CON\\x",
      L"aux\\x",
      L"%1 & ^ !x!\\x",
      L"a;b,c=d+e[f]\\x",
      DeepBranch(),
      L"a\\up>root",
      L"out>outside"},
     nullptr,
     {7},
     L"in use"},
    {"1 digit clamped up; files 0 to 9 beside a folder; a relative argument with / and ..",
     L"tool",
     "[Options]\r\nDigits=0\r\n",
     {L"stuck\\a\\b", L"+0", L"+1", L"+2", L"+3", L"+4", L"+5", L"+6", L"+7", L"+8", L"+9"},
     L"tree/../tree \"ignored\"",
     {1, 5},
     L"stuck"},
    {"255 digits clamped down; a prefixed argument",
     L"tool",
     "[Options]\r\nDigits=300\r\n",
     {L"a\\b", L"c"},
     L"\"\\\\?\\*\\tree\"",
     {255},
     L""},
};

void MakeTree(const TTempDir &sandbox, const std::wstring &root, const TRunRow &row) {
    ASSERT_TRUE(driver::MakeDirs(root) && driver::MakeDirs(sandbox / L"outside\\x"));
    for (const std::wstring &entry : row.tree) {
        const size_t arrow = entry.find(L'>');
        if (entry[0] == L'+') {
            ASSERT_TRUE(support::WriteBytes(root + L"\\" + entry.substr(1), Utf8(entry)));
        } else if (arrow != std::wstring::npos) {
            const std::wstring target =
                entry.substr(arrow + 1) == L"root" ? root : sandbox / L"outside";
            ASSERT_TRUE(support::MakeFolderLink(root + L"\\" + entry.substr(0, arrow), target));
        } else {
            ASSERT_TRUE(driver::MakeDirs(root + L"\\" + entry)) << Utf8(entry);
        }
    }
    // A file with its own bytes in every folder, and hidden or read-only folders by name.
    for (const support::TEntry &e : support::Snapshot(root)) {
        if (!e.folder || e.name.back() == L'@') continue;
        const std::wstring path = driver::LongPath(root + L"\\" + e.path);
        ASSERT_TRUE(
            support::WriteBytes(path + L"\\f.bin", Utf8(e.path) + std::string("\0\xff", 2)));
        if (e.name == L"hidden")
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (e.name == L"readonly") SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
}

} // namespace

TEST(RenamingRun, EveryCaseInOneTree) {
    for (const TRunRow &row : Rows) {
        SCOPED_TRACE(row.what);
        // Under code page 932 the first row is enough: the names that hold a 0x5C byte there.
        if (GetACP() == 932 && &row != Rows) break;
        TTempDir sandbox(L"run");
        const std::wstring exe = sandbox / (std::wstring(row.toolFolder) + L"\\FolderRename.exe");
        ASSERT_TRUE(driver::MakeDirs(sandbox / row.toolFolder));
        ASSERT_TRUE(CopyFileW(driver::ToolPath().c_str(), exe.c_str(), FALSE));
        if (row.settings)
            ASSERT_TRUE(support::WriteBytes(sandbox / row.toolFolder + L"\\FolderRename.ini",
                                            row.settings));
        const std::wstring root = sandbox / (row.kept == L"in use" ? L"Корень😀" : L"tree");
        MakeTree(sandbox, root, row);
        if (HasFatalFailure()) return;
        const auto before = support::Snapshot(root);
        const auto outsideBefore = support::Snapshot(sandbox / L"outside");
        // A folder in use without delete sharing cannot be moved.
        std::shared_ptr<void> inUse(CreateFileW((root + L"\\in use").c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                                    CloseHandle);

        std::wstring argument = row.argument ? row.argument : L"\"" + root + L"\"";
        if (argument.find(L'*') != std::wstring::npos)
            argument.replace(argument.find(L'*'), 1, sandbox.Path());
        driver::TProcess tool;
        ASSERT_TRUE(tool.StartTool(argument, exe, sandbox.Path()));
        const driver::TRunResult run = driver::AnswerUntilExit(tool, 60000);
        inUse.reset();
        ASSERT_TRUE(run.finished) << "the run did not end within 60 s";
        EXPECT_EQ(run.exitCode, 0u);

        int folders = 0;
        for (const support::TEntry &e : before)
            folders += e.folder && e.name.back() != L'@';
        const int failed = row.kept.empty() ? 0 : 1;
        ASSERT_EQ(run.boxes.size(), failed + 1u);
        if (failed) {
            const std::wstring head = L"An error occured by trying to move\r\n" + root + L"\\" +
                                      row.kept + L"\r\nto\r\n" + root + L"\\";
            const std::wstring &text = run.boxes[0].text;
            const std::wstring name = text.substr(std::min(head.size(), text.size()));
            EXPECT_EQ(run.boxes[0].caption, L"Error Detected!");
            EXPECT_TRUE(text.compare(0, head.size(), head) == 0 && support::AllDigits(name) &&
                        name.size() == *row.lengths.begin())
                << Utf8(text);
        }
        const std::wstring counts = L"Found: " + std::to_wstring(folders) +
                                    L" folders\r\nRenamed: " + std::to_wstring(folders - failed) +
                                    L" of " + std::to_wstring(folders) + L" folders\r\nNeeded: ";
        EXPECT_EQ(run.boxes.back().caption, L"Morvandels Folder Renamer");
        EXPECT_TRUE(std::regex_match(run.boxes.back().text,
                                     std::wregex(counts + L"[ 0-9]{2,}\\.[0-9]{7} seconds")))
            << Utf8(run.boxes.back().text);
        support::ExpectRenamed(before, root, row.lengths, {row.kept});
        EXPECT_EQ(support::Shape(support::Snapshot(sandbox / L"outside")),
                  support::Shape(outsideBefore));
    }
}

TEST(RenamingRun, AnyOtherFirstArgumentEndsSilently) {
    TTempDir sandbox(L"start");
    ASSERT_TRUE(support::WriteBytes(sandbox / L"file.txt", "keep") &&
                driver::MakeDirs(sandbox / L"sub"));
    const std::wstring cases[] = {
        L"\"" + (sandbox / L"file.txt") + L"\" \"" + sandbox.Path() + L"\"",
        L"\"" + (sandbox / L"missing") + L"\"",
        L"\"\"",
    };
    for (const std::wstring &arguments : cases) {
        driver::TProcess tool;
        ASSERT_TRUE(tool.StartTool(arguments));
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(10000, code)) << "still running after 10 s: " << Utf8(arguments);
        EXPECT_EQ(code, 0u);
    }
    EXPECT_EQ(support::Snapshot(sandbox.Path()).size(), 2u) << "nothing renamed";
}
