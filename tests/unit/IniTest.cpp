// The digit setting: number parsing, and reading through the real profile API.
#include "mv.API.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <random>

using mv::IniReadInteger;
using mv::IniReadString;
using mv::StrToIntDef;

namespace {

// The same rules, spelt differently: validate the digits first, then decide overflow by
// comparing digit texts with the limit written in the same base, then let the C library
// convert.
int32_t ModelStrToIntDef(const std::string &text, int32_t defaultValue) {
    if (text.empty() || text.size() > 255) return defaultValue;
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return defaultValue;
    std::string s = text.substr(first);
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    int base = 10;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.erase(0, 2);
    } else if (!s.empty() && std::string("$xX&%").find(s[0]) != std::string::npos) {
        base = s[0] == '&' ? 8 : s[0] == '%' ? 2 : 16;
        s.erase(0, 1);
    }
    if (s.empty()) return defaultValue;
    const std::string digits = std::string("0123456789abcdef").substr(0, base);
    for (char &c : s) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (digits.find(c) == std::string::npos) return defaultValue;
    }
    s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
    const std::string limit = base == 10
                                  ? (negative ? "9223372036854775808" : "9223372036854775807")
                              : base == 16 ? "ffffffffffffffff"
                              : base == 8  ? "1777777777777777777777"
                                           : std::string(64, '1');
    if (s.size() > limit.size() || (s.size() == limit.size() && s > limit)) return defaultValue;
    uint64_t value = std::stoull(s, nullptr, base);
    if (negative) value = 0 - value;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// Texts built from the pieces the rules care about, near-limit numbers among them.
std::string GeneratedNumberText(std::mt19937 &random) {
    static const char *const blanks[] = {"", "", "", " ", "\t", "  ", " \t"};
    static const char *const signs[] = {"", "", "", "-", "+", "--", "+-", "- "};
    static const char *const prefixes[] = {"", "", "", "$", "x", "X", "0x", "0X", "&", "%", "0"};
    static const char *const zeros[] = {"", "", "0", "000", "0000000000"};
    static const char *const limits[] = {"9223372036854775807",
                                         "9223372036854775808",
                                         "9223372036854775809",
                                         "18446744073709551615",
                                         "ffffffffffffffff",
                                         "10000000000000000",
                                         "FFFFFFFF",
                                         "1777777777777777777777",
                                         "2000000000000000000000",
                                         "4294967295",
                                         "4294967296",
                                         "2147483647",
                                         "2147483648",
                                         "99999999999999999999"};
    static const char digitChars[] = "0123456789abcdefABCDEFgG .;\t";
    auto pick = [&random](auto &list) { return list[random() % (sizeof list / sizeof list[0])]; };
    std::string text = std::string(pick(blanks)) + pick(signs) + pick(prefixes) + pick(zeros);
    if (random() % 4 == 0) {
        text += pick(limits);
    } else {
        const int length = static_cast<int>(random() % 22);
        for (int i = 0; i < length; ++i) {
            // Mostly plain digits, so that many texts are valid numbers.
            text += random() % 5 ? static_cast<char>('0' + random() % 10)
                                 : digitChars[random() % (sizeof digitChars - 1)];
        }
    }
    if (random() % 8 == 0) text += pick(blanks);
    if (random() % 50 == 0) text = std::string(250 + random() % 10, '1');
    return text;
}

} // namespace

TEST(StrToIntDef, Rules) {
    const std::string nines(20, '9');
    const struct {
        std::string text;
        int32_t expected;
    } cases[] = {
        {"8", 8},
        {"+8", 8},
        {"008", 8},
        {" 8", 8},
        {"\t8", 8},
        {" \t 8", 8},
        {"-3", -3},
        {"0", 0},
        {"00", 0},
        {"-0", 0},
        {"$0", 0},
        {"0x0", 0},
        {"0x1F", 31},
        {"0X1F", 31},
        {"$1F", 31},
        {"x1F", 31},
        {"X1f", 31},
        {"$1f", 31},
        {"&17", 15},
        {"%110", 6},
        {"-0x10", -16},
        {"-$10", -16},
        {"+x10", 16},
        // Invalid texts give the default.
        {"", 5},
        {" ", 5},
        {"8 ", 5},
        {"8;comment", 5},
        {"8.0", 5},
        {"1e3", 5},
        {"0x", 5},
        {"$", 5},
        {"-", 5},
        {"+", 5},
        {"- 8", 5},
        {"--8", 5},
        {"+-8", 5},
        {"&8", 5},
        {"%2", 5},
        {"A", 5},
        {"$G", 5},
        {"00x1", 5},
        {"0 x1", 5},
        {"-x", 5},
        // Only the low 32 bits of a 64-bit value are kept; past 64 bits is invalid.
        {nines, 5},
        {"4294967301", 5},
        {"2147483648", -2147483647 - 1},
        {"$FFFFFFFF", -1},
        {"9223372036854775807", -1},
        {"9223372036854775808", 5},
        {"-9223372036854775808", 0},
        {"-9223372036854775809", 5},
        {"$FFFFFFFFFFFFFFFF", -1},
        {"$10000000000000000", 5},
        {"-$FFFFFFFFFFFFFFFF", 1},
        {"&1777777777777777777777", -1},
        {"&2000000000000000000000", 5},
        {"%" + std::string(64, '1'), -1},
        {"%1" + std::string(64, '0'), 5},
        // Leading zeros do not count towards the limit; the length of the text does.
        {std::string(200, '0') + "9223372036854775807", -1},
        {std::string(254, '0') + "7", 7},
        {std::string(255, '0') + "7", 5},
        {std::string(256, '9'), 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("text '" + c.text + "'");
        EXPECT_EQ(StrToIntDef(c.text, 5), c.expected);
    }
    EXPECT_EQ(StrToIntDef("junk", -7), -7) << "the caller's default comes back";
}

TEST(StrToIntDef, AgreesWithAnIndependentModelOnGeneratedTexts) {
    std::mt19937 random(20240605);
    int valid = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string text = GeneratedNumberText(random);
        const int32_t expected = ModelStrToIntDef(text, 5);
        ASSERT_EQ(StrToIntDef(text, 5), expected) << "text '" << text << "'";
        if (ModelStrToIntDef(text, -99) != -99) ++valid;
    }
    // Both outcomes must be well represented for the comparison to mean anything.
    EXPECT_GT(valid, 40000);
    EXPECT_LT(valid, 160000);
}

TEST(IniReadInteger, RealFilesThroughTheProfileApi) {
    driver::TTempDir folder(L"ini");
    const std::string huge(2000, '1');
    const struct {
        const char *name;
        bool exists;
        std::string content;
        int32_t expected;
    } cases[] = {
        {"missing file", false, "", 5},
        {"plain", true, "[Options]\r\nDigits=8\r\n", 8},
        {"no section", true, "[Other]\r\nDigits=8\r\n", 5},
        {"no key", true, "[Options]\r\nWidth=8\r\n", 5},
        {"empty value", true, "[Options]\r\nDigits=\r\n", 5},
        {"empty file", true, "", 5},
        {"names in other case", true, "[options]\r\ndigits=7\r\n", 7},
        {"spaces around", true, "[Options]\r\nDigits =  12  \r\n", 12},
        {"0x rewritten", true, "[Options]\r\nDigits=0x1F\r\n", 31},
        {"0X rewritten", true, "[Options]\r\nDigits=0X1f\r\n", 31},
        {"0x alone", true, "[Options]\r\nDigits=0x\r\n", 5},
        {"signed 0x", true, "[Options]\r\nDigits=-0x10\r\n", -16},
        {"largest", true, "[Options]\r\nDigits=0x7FFFFFFF\r\n", 2147483647},
        {"low 32 bits", true, "[Options]\r\nDigits=4294967301\r\n", 5},
        {"negative", true, "[Options]\r\nDigits=-4\r\n", -4},
        {"letters", true, "[Options]\r\nDigits=abc\r\n", 5},
        {"too long", true, "[Options]\r\nDigits=" + std::string(300, '9') + "\r\n", 5},
        {"cut to 1023 bytes", true, "[Options]\r\nDigits=" + huge + "\r\n", 5},
        {"garbage bytes", true, std::string("\xff\xfe\x00\x01[Options]\x00Digits=\x80\x81", 17), 5},
        {"unix line ends, later section", true, "[A]\nx=1\n[Options]\nDigits=9\n", 9},
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder / (L"case" + std::to_wstring(++index) + L".ini");
        if (c.exists) {
            ASSERT_TRUE(driver::WriteBytes(path, c.content));
        }
        const std::string narrow = mv::WideToAnsi(path);
        EXPECT_EQ(IniReadInteger(narrow, "Options", "Digits", 5), c.expected);
        EXPECT_EQ(driver::ReadBytes(path), c.content) << "the file is only read";
    }
}

TEST(IniReadString, DefaultAndLengthLimit) {
    driver::TTempDir folder(L"ini");
    const std::wstring path = folder / L"values.ini";
    const std::string longValue(2000, 'a');
    ASSERT_TRUE(driver::WriteBytes(path, "[S]\r\nshort=abc\r\nlong=" + longValue + "\r\n"));
    const std::string file = mv::WideToAnsi(path);
    const struct {
        const char *key;
        std::string defaultValue;
        std::string expected;
    } cases[] = {
        {"short", "dflt", "abc"},
        {"absent", "dflt", "dflt"},
        {"absent", "", ""},
        {"long", "", longValue.substr(0, 1023)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(IniReadString(file, "S", c.key, c.defaultValue), c.expected);
    }
    // An empty key is handed over as "", never as null, which would list the section's keys.
    EXPECT_EQ(IniReadString(file, "S", "", "").find("short"), std::string::npos);
}
