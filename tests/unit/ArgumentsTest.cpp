// Command-line splitting and the random generator.
#include "App.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>

namespace {

using TTokens = std::vector<std::string>;

// An independent reading of the splitting rules as a grammar: a token is a run of elements,
// each a doubled quote (adds nothing), a quoted section (a doubled quote inside adds nothing;
// it may run to the end of the line) or one character that is neither blank nor a quote.
TTokens ModelSplit(const std::string &line) {
    static const std::regex token("(?:\"\"|\"(?:\"\"|[^\"])*(?:\"|$)|[^\\x01-\\x20\"])+");
    static const std::regex element("\"\"|\"((?:\"\"|[^\"])*)(?:\"|$)|([^\\x01-\\x20\"])");
    TTokens tokens;
    for (std::sregex_iterator t(line.begin(), line.end(), token), end; t != end; ++t) {
        const std::string text = t->str();
        std::string value;
        for (std::sregex_iterator e(text.begin(), text.end(), element); e != end; ++e) {
            if ((*e)[2].matched) value += (*e)[2].str();
            if ((*e)[1].matched) value += std::regex_replace((*e)[1].str(), std::regex("\"\""), "");
        }
        tokens.push_back(value);
    }
    return tokens;
}

} // namespace

TEST(SplitCommandLine, Rules) {
    struct Case {
        const char *line;
        TTokens tokens;
    };
    const Case cases[] = {
        {"", {}},
        {" \t\x01\x1f ", {}},
        {"\"C:\\Tools\\app.exe\" \"C:\\My Folder\"", {"C:\\Tools\\app.exe", "C:\\My Folder"}},
        {"app \"C:\\\"", {"app", "C:\\"}}, // backslash before a quote is plain
        {"app a\"\"b", {"app", "ab"}},     // a doubled quote adds nothing
        {"app C:\\\"My Folder\"\\x", {"app", "C:\\My Folder\\x"}},
        {"app \"\"", {"app", ""}}, // an empty argument still counts
        {"app \"\" x", {"app", "", "x"}},
        {"app \"a\"\"b\"", {"app", "ab"}},   // doubled quote inside quotes stays quoted
        {"app \"\"\"a b\"", {"app", "a b"}}, // pair, then an opening quote
        {"app \"a\tb\x01\"c",
         {"app", "a\tb\x01"
                 "c"}}, // blanks inside quotes belong
        {"app a\x01"
         "b",
         {"app", "a", "b"}}, // control characters separate
        {"app \"open to the end", {"app", "open to the end"}},
        {"  app   x  ", {"app", "x"}},
        {"app \xe9\x81\x5c", {"app", "\xe9\x81\x5c"}}, // high bytes are ordinary
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(SplitCommandLine(c.line), c.tokens);
        EXPECT_EQ(ModelSplit(c.line), c.tokens) << "the model disagrees with the table";
    }
}

TEST(SplitCommandLine, AgreesWithTheGrammarOnGeneratedLines) {
    const char alphabet[] = {'a', 'b', ' ', '\t', '"', '"', '"', '\\', '\x01', '\x1f', '\xe9', '!'};
    std::mt19937 generator(20261206);
    for (int i = 0; i < 5000; ++i) {
        std::string line;
        const int length = static_cast<int>(generator() % 24);
        for (int j = 0; j < length; ++j)
            line += alphabet[generator() % sizeof alphabet];
        ASSERT_EQ(SplitCommandLine(line.c_str()), ModelSplit(line)) << "line: [" << line << "]";
    }
}

TEST(Arguments, ProcessCommandLine) {
    // The test runner's own command line: the program name and no argument, or its filters.
    EXPECT_EQ(ArgumentCount(),
              static_cast<int32_t>(SplitCommandLine(GetCommandLineA()).size()) - 1);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_EQ(GetArgument(0), std::string(module).substr(0, 255));
    EXPECT_EQ(GetArgument(-1), "");
    EXPECT_EQ(GetArgument(ArgumentCount() + 1), "");
    EXPECT_EQ(GetArgument(0x7fffffff), "");
}

TEST(Random, MatchesTheMt19937Reference) {
    // Published reference outputs of MT19937 for the default seed 5489.
    SeedRandomWith(5489);
    const uint32_t first[] = {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u};
    for (uint32_t expected : first)
        EXPECT_EQ(NextRandom(), expected);
    SeedRandomWith(5489);
    for (int i = 1; i < 10000; ++i)
        NextRandom();
    EXPECT_EQ(NextRandom(), 4123659995u);
    SeedRandomWith(1);
    EXPECT_EQ(NextRandom(), 1791095845u);
}

TEST(Random, BelowScalesTheOutputByMultiplying) {
    SeedRandomWith(5489);
    // (3499211612 * 10) >> 32 = 8, (581869302 * 10) >> 32 = 1, (3890346734 * 10) >> 32 = 9.
    EXPECT_EQ(RandomBelow(10), 8);
    EXPECT_EQ(RandomBelow(10), 1);
    EXPECT_EQ(RandomBelow(10), 9);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(RandomBelow(1), 0);
    for (int i = 0; i < 1000; ++i) {
        const int32_t v = RandomBelow(0x7fffffff);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 0x7fffffff);
    }
}

TEST(Random, DigitsAreUniform) {
    SeedRandom();
    const int draws = 200000;
    int counts[10] = {};
    for (int i = 0; i < draws; ++i) {
        const int32_t d = RandomBelow(10);
        ASSERT_GE(d, 0);
        ASSERT_LE(d, 9);
        ++counts[d];
    }
    double chiSquare = 0;
    for (int c : counts)
        chiSquare += std::pow(c - draws / 10.0, 2) / (draws / 10.0);
    // 9 degrees of freedom: 33.7 is exceeded by chance once in ten thousand runs.
    EXPECT_LT(chiSquare, 33.7);
}
