// The renaming run as a person sees it: start the tool on a folder, read and answer every box,
// then check the tree. Each test runs its own copy of the tool with its own settings file.
#include "Driver.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>

using driver::MakeDirs;
using driver::TEntry;
using driver::TTempDir;
using driver::WriteBytes;

namespace {

const wchar_t SummaryCaption[] = L"Morvandels Folder Renamer";
const wchar_t ErrorCaption[] = L"Error Detected!";

std::string Narrow(const std::wstring &text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring Quoted(const std::wstring &text) {
    return L"\"" + text + L"\"";
}

// A copy of the tool in the sandbox, with settings as its FolderRename.ini (none when null).
std::wstring InstallTool(const TTempDir &sandbox, const char *settings) {
    const std::wstring folder = sandbox / L"tool";
    MakeDirs(folder);
    const std::wstring exe = folder + L"\\FolderRename.exe";
    CopyFileW(driver::ToolPath().c_str(), exe.c_str(), FALSE);
    if (settings) WriteBytes(folder + L"\\FolderRename.ini", settings);
    return exe;
}

// Puts a file into root and every folder below it, each with its own bytes.
void AddFiles(const std::wstring &root) {
    std::vector<std::wstring> folders = {L""};
    for (const TEntry &e : driver::Snapshot(root))
        if (e.folder) folders.push_back(e.path);
    for (const std::wstring &folder : folders) {
        const std::wstring path = folder.empty() ? root : root + L"\\" + folder;
        WriteBytes(path + L"\\data.bin", Narrow(folder) + std::string("\0\xff\r\n", 4));
        WriteBytes(path + L"\\empty.txt", "");
    }
}

// The tree with every folder name left out: equal before and after a run exactly when no
// folder was lost or moved to another parent and every file kept its folder, name and bytes.
std::wstring Shape(const std::vector<TEntry> &tree, const std::wstring &folder = L"") {
    std::vector<std::wstring> parts;
    for (const TEntry &e : tree) {
        const size_t slash = e.path.find_last_of(L'\\');
        const std::wstring parent = slash == std::wstring::npos ? L"" : e.path.substr(0, slash);
        if (parent != folder) continue;
        if (e.folder) {
            parts.push_back(L"(" + Shape(tree, e.path) + L")");
        } else {
            parts.push_back(e.name + L"=" + std::wstring(e.bytes.begin(), e.bytes.end()) + L";");
        }
    }
    std::sort(parts.begin(), parts.end());
    std::wstring shape;
    for (const std::wstring &part : parts)
        shape += part;
    return shape;
}

bool AllDigits(const std::wstring &text) {
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

struct TSummary {
    bool shown = false;
    int found = -1;
    int renamed = -1;
    bool timeLine = false;
};

// The last box must be the summary, with its exact form.
TSummary ReadSummary(const driver::TRunResult &run) {
    TSummary summary;
    if (run.boxes.empty() || run.boxes.back().caption != SummaryCaption) return summary;
    static const std::wregex form(L"Found: (\\d+) folders\r\nRenamed: (\\d+) of (\\d+) folders"
                                  L"(\r\nNeeded: ( *\\d+\\.\\d{7}) seconds)?");
    std::wsmatch match;
    const std::wstring &text = run.boxes.back().text;
    if (!std::regex_match(text, match, form) || match[1] != match[3]) return summary;
    summary.shown = true;
    summary.found = std::stoi(match[1]);
    summary.renamed = std::stoi(match[2]);
    summary.timeLine = match[4].matched && match[5].length() >= 10;
    return summary;
}

std::vector<driver::TBox> ErrorBoxes(const driver::TRunResult &run) {
    std::vector<driver::TBox> errors;
    for (const driver::TBox &box : run.boxes)
        if (box.caption == ErrorCaption) errors.push_back(box);
    return errors;
}

// A run that should go without a failed move: the summary is its one box, and the process
// ends with code 0. The summary is not shown when anything else happened.
TSummary RunWithoutErrors(const std::wstring &arguments, const std::wstring &exe,
                          const std::wstring &workDir = L"") {
    const driver::TRunResult run = driver::RunAndAnswer(arguments, exe, workDir);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    for (const driver::TBox &box : ErrorBoxes(run))
        ADD_FAILURE() << Narrow(box.text);
    EXPECT_EQ(run.boxes.size(), 1u) << "only the summary";
    return run.finished && run.boxes.size() == 1 ? ReadSummary(run) : TSummary();
}

int FolderCount(const std::vector<TEntry> &tree) {
    return static_cast<int>(
        std::count_if(tree.begin(), tree.end(), [](const TEntry &e) { return e.folder; }));
}

// What a user cares about after a run: nothing lost or moved, and every folder but the kept
// ones named with digits of an allowed length.
void ExpectRenamed(const std::vector<TEntry> &before, const std::vector<TEntry> &after,
                   const std::set<size_t> &lengths, const std::set<std::wstring> &kept = {}) {
    EXPECT_EQ(Shape(after), Shape(before)) << "a folder or file was lost or moved";
    EXPECT_EQ(driver::FoldersPerDepth(after), driver::FoldersPerDepth(before));
    EXPECT_EQ(driver::FileContents(after), driver::FileContents(before));
    std::set<std::wstring> oldNames;
    for (const TEntry &e : before)
        if (e.folder && !kept.count(e.name)) oldNames.insert(e.name);
    for (const TEntry &e : after) {
        if (!e.folder || kept.count(e.name)) continue;
        SCOPED_TRACE(Narrow(e.path));
        EXPECT_FALSE(oldNames.count(e.name)) << "old name left";
        EXPECT_TRUE(AllDigits(e.name));
        EXPECT_TRUE(lengths.count(e.name.size())) << "length " << e.name.size();
    }
}

// A run that found every folder of the tree and renamed it.
void ExpectEveryFolderRenamed(const TSummary &summary, const std::vector<TEntry> &before,
                              const std::wstring &root, const std::set<size_t> &lengths) {
    EXPECT_EQ(summary.found, FolderCount(before));
    EXPECT_EQ(summary.renamed, summary.found);
    ExpectRenamed(before, driver::Snapshot(root), lengths);
}

// The first error box's text, split into the old and the new path.
bool SplitErrorText(const std::wstring &text, std::wstring &source, std::wstring &target) {
    static const std::wregex form(L"An error occured by trying to move\r\n(.*)\r\nto\r\n(.*)");
    std::wsmatch match;
    if (!std::regex_match(text, match, form)) return false;
    source = match[1];
    target = match[2];
    return true;
}

} // namespace

TEST(Renaming, EveryFolderGetsADigitNameAndNothingIsLost) {
    const struct {
        const char *name;
        const char *settings;
        int width, depth;
        std::set<size_t> lengths; // a clash with a sibling redraws with 5 digits
    } cases[] = {
        {"empty folder", nullptr, 0, 0, {5}},
        {"three levels with files, no settings file", nullptr, 3, 3, {5}},
        {"Digits=0", "[Options]\r\nDigits=0\r\n", 3, 2, {1, 5}},
        {"Digits=-4", "[Options]\r\nDigits=-4\r\n", 3, 2, {1, 5}},
        {"Digits=300", "[Options]\r\nDigits=300\r\n", 2, 2, {255, 5}},
        {"Digits=abc", "[Options]\r\nDigits=abc\r\n", 2, 2, {5}},
        {"Digits=0x1F", "[Options]\r\nDigits=0x1F\r\n", 2, 2, {31, 5}},
        {"settings without the key", "[Options]\r\nWidth=3\r\n", 2, 2, {5}},
        {"garbage settings", "\x01\x02[Options\r\nDigits\r\n\xff\xfe=", 2, 2, {5}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir sandbox(L"run");
        const std::wstring exe = InstallTool(sandbox, c.settings);
        const std::wstring root = sandbox / L"tree";
        ASSERT_TRUE(MakeDirs(root));
        driver::BuildTree(root, c.width, c.depth);
        AddFiles(root);
        const auto before = driver::Snapshot(root);

        const TSummary summary = RunWithoutErrors(Quoted(root), exe);
        ASSERT_TRUE(summary.shown);
        EXPECT_TRUE(summary.timeLine);
        ExpectEveryFolderRenamed(summary, before, root, c.lengths);
    }
}

TEST(Renaming, FailedMoveIsReportedAndThePassGoesOn) {
    // Each setup makes a tree in which exactly the folder "stuck" cannot be moved, and returns
    // what has to stay alive during the run.
    using TSetup = std::function<std::shared_ptr<void>(const std::wstring &root)>;
    const struct {
        const char *name;
        const char *settings;
        TSetup setup;
        size_t newLength;
    } cases[] = {
        {"a folder in use without delete sharing", nullptr,
         [](const std::wstring &root) -> std::shared_ptr<void> {
             driver::BuildTree(root, 2, 2);
             MakeDirs(root + L"\\stuck");
             AddFiles(root);
             HANDLE folder = CreateFileW((root + L"\\stuck").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
             if (folder == INVALID_HANDLE_VALUE) return nullptr;
             return std::shared_ptr<void>(folder, CloseHandle);
         },
         5},
        {"files named 0 to 9 beside the folder", "[Options]\r\nDigits=1\r\n",
         [](const std::wstring &root) -> std::shared_ptr<void> {
             MakeDirs(root + L"\\stuck");
             WriteBytes(root + L"\\stuck\\inside.txt", "inside");
             for (char digit = '0'; digit <= '9'; ++digit)
                 WriteBytes(root + L"\\" + std::wstring(1, digit), std::string(3, digit));
             return std::make_shared<int>(0);
         },
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir sandbox(L"fail");
        const std::wstring exe = InstallTool(sandbox, c.settings);
        const std::wstring root = sandbox / L"tree";
        ASSERT_TRUE(MakeDirs(root));
        std::shared_ptr<void> hold = c.setup(root);
        ASSERT_TRUE(hold);
        const auto before = driver::Snapshot(root);

        const driver::TRunResult run = driver::RunAndAnswer(Quoted(root), exe);
        hold.reset();
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        const auto errors = ErrorBoxes(run);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(run.boxes.size(), 2u);
        std::wstring source, target;
        ASSERT_TRUE(SplitErrorText(errors[0].text, source, target)) << Narrow(errors[0].text);
        EXPECT_EQ(source, root + L"\\stuck");
        EXPECT_EQ(target.compare(0, root.size() + 1, root + L"\\"), 0) << Narrow(target);
        const std::wstring newName = target.substr(root.size() + 1);
        EXPECT_TRUE(AllDigits(newName) && newName.size() == c.newLength) << Narrow(newName);

        const TSummary summary = ReadSummary(run);
        ASSERT_TRUE(summary.shown);
        EXPECT_EQ(summary.found, FolderCount(before));
        EXPECT_EQ(summary.renamed, summary.found - 1);
        ExpectRenamed(before, driver::Snapshot(root), {5}, {L"stuck"});
        EXPECT_NE(GetFileAttributesW((root + L"\\stuck").c_str()), INVALID_FILE_ATTRIBUTES)
            << "the stuck folder keeps its name";
    }
}

TEST(Renaming, RelativeAndPrefixedArgumentsRenameEverything) {
    TTempDir sandbox(L"rel");
    const std::wstring forms[] = {L"tree",         L".\\tree\\",
                                  L"./tree",       L"tree/../tree",
                                  L"tree\\d0\\..", L"\\\\?\\" + (sandbox / L"tree")};
    const std::wstring exe = InstallTool(sandbox, nullptr);
    const std::wstring root = sandbox / L"tree";
    for (const std::wstring &form : forms) {
        SCOPED_TRACE(Narrow(form));
        ASSERT_TRUE(driver::RemoveTree(root) && MakeDirs(root));
        driver::BuildTree(root, 2, 3);
        AddFiles(root);
        const auto before = driver::Snapshot(root);

        const TSummary summary = RunWithoutErrors(Quoted(form), exe, sandbox.Path());
        ASSERT_TRUE(summary.shown);
        EXPECT_EQ(summary.found, 14);
        ExpectEveryFolderRenamed(summary, before, root, {5});
    }
}

TEST(Renaming, FolderLinksKeepTheirNamesAndTheirTargetsAreUntouched) {
    const struct {
        const char *name;
        bool targetInsideTree;
    } cases[] = {
        {"link to a folder outside the tree", false},
        {"link back up to the tree's root", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir sandbox(L"link");
        const std::wstring exe = InstallTool(sandbox, nullptr);
        const std::wstring root = sandbox / L"tree";
        const std::wstring outside = sandbox / L"outside";
        ASSERT_TRUE(MakeDirs(root) && MakeDirs(outside + L"\\x\\y"));
        driver::BuildTree(root, 2, 2);
        AddFiles(root);
        AddFiles(outside);
        ASSERT_TRUE(
            driver::MakeFolderLink(root + L"\\d0\\link", c.targetInsideTree ? root : outside));
        const auto outsideBefore = driver::Snapshot(outside);
        const auto before = driver::Snapshot(root);

        const TSummary summary = RunWithoutErrors(Quoted(root), exe);
        ASSERT_TRUE(summary.shown);
        EXPECT_EQ(summary.found, 6) << "the link is no folder of the tree";
        EXPECT_EQ(summary.renamed, 6);

        const auto after = driver::Snapshot(root);
        ExpectRenamed(before, after, {5}, {L"link"});
        const auto link = std::find_if(after.begin(), after.end(),
                                       [](const TEntry &e) { return e.name == L"link"; });
        ASSERT_NE(link, after.end());
        EXPECT_EQ(link->depth, 2);
        const auto outsideAfter = driver::Snapshot(outside);
        ASSERT_EQ(outsideAfter.size(), outsideBefore.size());
        for (size_t i = 0; i < outsideAfter.size(); ++i) {
            EXPECT_EQ(outsideAfter[i].path, outsideBefore[i].path);
            EXPECT_EQ(outsideAfter[i].bytes, outsideBefore[i].bytes);
        }
    }
}

TEST(Renaming, TreeDeeperThanThePathLimitLosesNothing) {
    TTempDir sandbox(L"deep");
    const std::wstring exe = InstallTool(sandbox, nullptr);
    const std::wstring root = sandbox / L"tree";
    std::wstring deepest = root;
    for (int level = 0; level < 24; ++level)
        deepest += L"\\folder-at-level-" + std::to_wstring(level);
    ASSERT_GT(deepest.size(), 300u);
    ASSERT_TRUE(MakeDirs(deepest));
    ASSERT_TRUE(MakeDirs(root + L"\\side"));
    AddFiles(root);
    const auto before = driver::Snapshot(root);

    const TSummary summary = RunWithoutErrors(Quoted(root), exe);
    ASSERT_TRUE(summary.shown);
    EXPECT_EQ(summary.renamed, summary.found);
    EXPECT_GT(summary.found, 5);
    // Windows stops the search at the ordinary path limit; Wine searches deeper.
    EXPECT_LE(summary.found, FolderCount(before));

    const auto after = driver::Snapshot(root);
    EXPECT_EQ(Shape(after), Shape(before));
    EXPECT_EQ(driver::FileContents(after), driver::FileContents(before));
    int renamed = 0;
    for (const TEntry &e : after)
        renamed += e.folder && AllDigits(e.name);
    EXPECT_EQ(renamed, summary.found);
}

// Run again by its own ctest entry under LC_ALL=ja_JP.UTF-8, which gives code page 932.
TEST(DoubleByteRenaming, NamesWithTrailByte5CUnderCodePage932) {
    if (GetACP() != 932) GTEST_SKIP() << "needs code page 932";
    TTempDir sandbox(L"cp932");
    const std::wstring exe = InstallTool(sandbox, nullptr);
    // U+8868, U+30BD and U+80FD are 95 5C, 83 5C and 94 5C in code page 932.
    const std::wstring root = sandbox / L"\u8868";
    for (const wchar_t *folder :
         {L"\u8868", L"\u8868\\\u8868\u8868", L"a\u30BDb\\c", L"\u80FD\\\u8868\\x", L"plain"})
        ASSERT_TRUE(MakeDirs(root + L"\\" + folder));
    AddFiles(root);
    const auto before = driver::Snapshot(root);

    const TSummary summary = RunWithoutErrors(Quoted(root), exe);
    ASSERT_TRUE(summary.shown);
    ExpectEveryFolderRenamed(summary, before, root, {5});
}
