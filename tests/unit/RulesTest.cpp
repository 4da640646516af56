// The pure text rules, where faults hide: one table per rule.
#include "App.h"

#include <gtest/gtest.h>

#include <set>

using namespace mv;

TEST(Rules, SplitCommandLine) {
    const struct {
        const char *line;
        std::vector<std::string> tokens;
    } cases[] = {
        // clang-format off
        {"", {}}, {" \t\x01\x1f ", {}},
        {"\"C:\\Tools\\app.exe\" \"C:\\My Folder\"", {"C:\\Tools\\app.exe", "C:\\My Folder"}},
        {"app \"C:\\\"", {"app", "C:\\"}},              // a backslash before a quote is plain
        {"app a\"\"b \"a\"\"b\"", {"app", "ab", "ab"}}, // a doubled quote adds nothing
        {"app C:\\\"My Folder\"\\x", {"app", "C:\\My Folder\\x"}},
        {"app \"\" x", {"app", "", "x"}},    // an empty argument still counts
        {"app \"\"\"a b\"", {"app", "a b"}}, // a pair, then an opening quote
        {"app \"a\tb\x01\"c a\x01z", {"app", "a\tb\x01" "c", "a", "z"}},
        {"app \"open to the end", {"app", "open to the end"}},
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.tokens) << c.line;
    // The runner's own command line: argument 0 is the module file name.
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_EQ(GetArgument(0), module);
    EXPECT_EQ(GetArgument(ArgumentCount() + 1), "") << "one past the last";
    // COM starts its local server with this one argument.
    // clang-format off
    for (const auto &c : {std::make_pair("-Embedding", true), {"/EMBEDDING", true}, {"Embedding", false},
                          {"--Embedding", false}, {"-Embeddings", false}})
        EXPECT_EQ(IsServerArgument(c.first), c.second) << c.first;
    // clang-format on
}

TEST(Rules, RandomIsMt19937ScaledByMultiplying) {
    SeedRandomWith(5489);
    for (uint32_t expected : {3499211612u, 581869302u, 3890346734u})
        EXPECT_EQ(NextRandom(), expected);
    SeedRandomWith(5489);
    // (3499211612 * 10) >> 32 = 8, (581869302 * 10) >> 32 = 1.
    EXPECT_EQ(RandomBelow(10), 8);
    EXPECT_EQ(RandomBelow(10), 1);
    EXPECT_EQ(RandomBelow(0x7fffffff), 1945173366);
}

TEST(Rules, NamesDrawnForOneFolder) {
    SeedRandomWith(77);
    TNameDraw draw = StartNameDraw(L"C:\\p\\12345", 12);
    const std::wstring first = MakeRandomName(draw);
    EXPECT_EQ(first.substr(0, 5), L"C:\\p\\") << "beside the folder";
    EXPECT_EQ(first.size(), 17u) << "the count's digits first";
    EXPECT_EQ(MakeRandomName(draw).size(), 10u) << "5 digits once a name was taken";
    for (int taken = 2; taken <= 1000; ++taken)
        MakeRandomName(draw);
    std::set<std::wstring> walked;
    for (std::wstring name; !(name = MakeRandomName(draw)).empty();)
        walked.insert(name);
    EXPECT_EQ(walked.size(), 99999u) << "then every other 5-digit name once, and no more";
    EXPECT_EQ(walked.count(L"C:\\p\\12345"), 0u) << "the folder's own name is no new name";
}

TEST(Rules, StrToIntDef) {
    const struct {
        std::string text;
        int32_t expected;
    } cases[] = {
        // clang-format off
        {"+8", 8}, {" \t008", 8}, {"-3", -3}, {"-0", 0}, {"0X1F", 31}, {"$1f", 31}, {"x1F", 31}, {"&17", 15},
        {"%110", 6}, {"-$10", -16}, {"", 5}, {" ", 5}, {"8 ", 5}, {"8.0", 5}, {"0x", 5}, {"$", 5}, {"-", 5},
        {"--8", 5}, {"&8", 5}, {"%2", 5}, {"$G", 5}, {"00x1", 5}, {"2147483648", -2147483647 - 1},
        {"9223372036854775807", -1}, {"9223372036854775808", 5}, {"-9223372036854775808", 0},
        {"-9223372036854775809", 5}, {"$FFFFFFFFFFFFFFFF", -1}, {"$10000000000000000", 5},
        {"%1" + std::string(64, '0'), 5}, {std::string(254, '0') + "7", 7}, {std::string(255, '0') + "7", 5},
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(StrToIntDef(c.text, 5), c.expected) << "'" << c.text << "'";
}

// A path of one key, or none, leaves no rest: the key delete refuses it rather than delete the
// key it opened.
TEST(Rules, KeyPaths) {
    const char *const cases[][3] = {
        // clang-format off
        {"SOFTWARE\\Morvandel\\FolderRename\\", "SOFTWARE", "Morvandel\\FolderRename"},
        {"\\SOFTWARE\\", "SOFTWARE", ""}, {"\\", "", ""},
        // clang-format on
    };
    for (const auto &c : cases) {
        std::string head = "old", rest = "old";
        SplitKeyPath(c[0], head, rest);
        EXPECT_EQ(head, c[1]) << c[0];
        EXPECT_EQ(rest, c[2]) << c[0];
    }
}

TEST(Rules, RunTexts) {
    EXPECT_EQ(SummaryText(3, 2, 10000000, 5, 42192),
              "Found: 3 folders\r\nRenamed: 2 of 3 folders\r\nNeeded:  0.0042187 seconds");
    EXPECT_EQ(SummaryText(0, 0, 0, 5, 9), "Found: 0 folders\r\nRenamed: 0 of 0 folders");
    EXPECT_EQ(SummaryText(7, 6, 2, 0, 25).substr(43), "Needed: 12.5000000 seconds");
    // The end-to-end rows compare their boxes with this text, so its form is fixed here.
    EXPECT_EQ(MoveErrorText(L"C:\\a", L"C:\\12345", ERROR_SHARING_VIOLATION, L"In use."),
              L"An error occured by trying to move\r\nC:\\a\r\nto\r\nC:\\12345\r\n\r\nIn use.\r\nA "
              L"file in this folder may be open in another program: close it, then run again. Or "
              L"the folder may not be yours to rename.");
    const std::wstring denied = SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty()) << "the system has a message for access denied";
    EXPECT_NE(denied.back(), L'\n') << "the message's line break is cut";
    for (const auto &c : {std::make_pair(999ull, "0:00"),
                          {61000ull, "1:01"},
                          {3599999ull, "59:59"},
                          {3725000ull, "1:02:05"}})
        EXPECT_EQ(DurationText(c.first), c.second) << c.first;
    EXPECT_EQ(IntToStr(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(MakeIniPath("C:t.x.exe"), "C:\\t.x.ini");
    // The search pattern and the move take the same prefix for each kind of path.
    const std::wstring paths[][2] = {
        // clang-format off
        {L"C:\\a\\trailing dot.\\*.*", L"\\\\?\\C:\\a\\trailing dot.\\*.*"},
        {L"\\\\server\\share\\a", L"\\\\?\\UNC\\server\\share\\a"}, {L"\\\\?\\C:\\a", L"\\\\?\\C:\\a"},
        {L"\\\\.\\C:\\a", L"\\\\.\\C:\\a"}, {L"relative\\a", L"relative\\a"},
        // clang-format on
    };
    for (const auto &p : paths)
        EXPECT_EQ(WithLongPathPrefix(p[0]), p[1]) << p[0];
}

TEST(Rules, MenuNameFromLink) {
    const char *const cases[][2] = {
        // clang-format off
        {"C:\\SendTo\\Folder X.lnk", "Folder X"}, {"C:\\a.lnk b.lnk", "a"}, {"C:\\x.y\\name", ""},
        {"C:\\.lnk", ""}, {"\xd0\x9e\xf0\x9f\x98\x80.lnk", "\xd0\x9e\xf0\x9f\x98\x80"},
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(MenuNameFromLink(c[0]), c[1]) << c[0];
    EXPECT_TRUE(IsLinkPath("C:\\a\\b.LNK"));
    EXPECT_FALSE(IsLinkPath("C:\\a.lnk\\b")) << "the folder's name does not count";
}
