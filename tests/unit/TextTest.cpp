// Path and text helpers, with and without a double-byte code page.
#include "mv.API.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

using namespace mv;

namespace {

// Lead bytes of code page 932: 81-9F and E0-FC.
const BYTE ShiftJisLeadBytes[12] = {0x81, 0x9F, 0xE0, 0xFC};

const BYTE NoLeadBytes[12] = {};

// Switches the module to a given lead-byte table for one test, then back to the system's.
class TestCodePage {
  public:
    TestCodePage(bool dbcsEnabled, const BYTE ranges[12]) { LoadLeadBytes(dbcsEnabled, ranges); }
    ~TestCodePage() { InitLocaleInfo(); }
};

// Forward reading of a text: every lead byte takes the next byte as its trail byte.
TByteKind ModelByteKind(const std::string &text, size_t index) {
    size_t i = 0;
    while (i < index)
        i += (IsLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1]) ? 2 : 1;
    if (i > index) return TrailByte;
    return IsLeadByte(static_cast<unsigned char>(text[index])) ? LeadByte : SingleByte;
}

} // namespace

TEST(PathSplitting, SingleByte) {
    TestCodePage page(false, NoLeadBytes);
    struct Case {
        const char *path, *filePath, *fileName, *fileExt, *withoutExt;
    };
    const Case cases[] = {
        {"C:\\dir\\file.ini", "C:\\dir\\", "file.ini", ".ini", "file"},
        {"C:file", "C:", "file", "", "file"},
        {"file.ini", "", "file.ini", ".ini", "file"},
        {"C:\\dir\\", "C:\\dir\\", "", "", ""},
        {"name", "", "name", "", "name"},
        {"file.tar.gz", "", "file.tar.gz", ".gz", "file.tar"},
        {"file.", "", "file.", ".", "file"},
        {"C:\\a.b\\c", "C:\\a.b\\", "c", ".b\\c", "c"},
        {"C:\\dir\\prog.exe", "C:\\dir\\", "prog.exe", ".exe", "prog"},
        {"C:\\dir\\.ini", "C:\\dir\\", ".ini", ".ini", ""},
        {"", "", "", "", ""},
        // With one byte per character, a 0x5C after a high byte is a separator for both.
        {"C:\\\x95\x5C", "C:\\\x95\\", "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ExtractFilePath(c.path), c.filePath);
        EXPECT_EQ(ExtractFileName(c.path), c.fileName);
        EXPECT_EQ(ExtractFileExt(c.path), c.fileExt);
        EXPECT_EQ(ExtractFileNameWithoutExt(c.path), c.withoutExt);
    }
}

TEST(PathSplitting, DoubleByteTrailBackslashIsNoSeparatorForThePath) {
    TestCodePage page(true, ShiftJisLeadBytes);
    struct Case {
        const char *path, *filePath, *fileName;
        int32_t lastDelimiter;
    };
    const Case cases[] = {
        // C:\ then one character whose second byte is 0x5C.
        {"C:\\\x95\x5C", "C:\\", "", 3},
        {"C:\\\x95\x5C\\x", "C:\\\x95\x5C\\", "x", 6},
        {"C:\\\x95\\abc", "C:\\", "abc", 3},
        // Two lead bytes form one character, so the 0x5C after them stands alone.
        {"A\x81\x81\\b", "A\x81\x81\\", "b", 4},
        {"\x81\x81\x81\\b", "", "b", 0},
        {"\xE0\x5C:x", "\xE0\x5C:", "x", 3},
        {"\x95\x5C", "", "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(LastDelimiter("\\:", c.path), c.lastDelimiter);
        EXPECT_EQ(ExtractFilePath(c.path), c.filePath);
        EXPECT_EQ(ExtractFileName(c.path), c.fileName);
    }
}

TEST(ByteKind, ParityRule) {
    TestCodePage page(true, ShiftJisLeadBytes);
    struct Case {
        const char *text;
        int32_t index;
        TByteKind kind;
    };
    const Case cases[] = {
        {"\x41\x81\x81\x5C", 3, SingleByte}, {"\x81\x81\x81\x5C", 3, TrailByte},
        {"\x81\x5C", 0, LeadByte},           {"\x81\x5C", 1, TrailByte},
        {"\x41\x5C", 1, SingleByte},         {"\x41", 1, SingleByte}, // the terminator
        {"\x81\x81", 2, SingleByte},         {"\x9F\xE0\xFC\xE0", 3, TrailByte},
        {"\x80\xA0\xFD", 0, SingleByte},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TextByteKind(c.text, c.index), c.kind) << "index " << c.index;
    }
    EXPECT_EQ(TextByteKind(nullptr, 0), SingleByte);
    EXPECT_EQ(StringByteKind("\x81\x5C", 2), TrailByte);
    EXPECT_EQ(StringByteKind("", 1), SingleByte);
}

TEST(ByteKind, AgreesWithAForwardReadingOnGeneratedTexts) {
    TestCodePage page(true, ShiftJisLeadBytes);
    const unsigned char bytes[] = {0x41, 0x5C, 0x3A, 0x81, 0x9F, 0xA0, 0xE0, 0xFC, 0xFD, 0x80};
    std::mt19937 generator(7);
    for (int n = 0; n < 5000; ++n) {
        std::string text;
        const int length = 1 + static_cast<int>(generator() % 12);
        for (int i = 0; i < length; ++i)
            text += static_cast<char>(bytes[generator() % sizeof bytes]);
        for (int i = 0; i < length; ++i)
            ASSERT_EQ(TextByteKind(text.c_str(), i), ModelByteKind(text, i))
                << "text #" << n << " index " << i;
    }
}

TEST(ByteKind, EverythingIsSingleWithoutDoubleByteSupport) {
    TestCodePage page(false, NoLeadBytes);
    for (int b = 1; b < 256; ++b) {
        const std::string text = {static_cast<char>(b), static_cast<char>(b), '\\'};
        for (int32_t position = 1; position <= 3; ++position)
            ASSERT_EQ(StringByteKind(text, position), SingleByte);
    }
}

TEST(ByteKind, LeadBytesComeFromTheCodePageRanges) {
    const BYTE reversed[12] = {0x90, 0x80, 0xA1, 0xA2, 0, 0, 0xB0, 0xB1};
    {
        TestCodePage page(true, reversed);
        EXPECT_FALSE(IsLeadByte(0x85)); // a pair with high below low adds nothing
        EXPECT_TRUE(IsLeadByte(0xA1));
        EXPECT_TRUE(IsLeadByte(0xA2));
        EXPECT_FALSE(IsLeadByte(0xB0)); // after the 0,0 pair nothing counts
    }
    if (!DbcsEnabled())
        for (int b = 0; b < 256; ++b)
            EXPECT_FALSE(IsLeadByte(b)) << b;
}

TEST(CodePage932, TheModuleReadsTheSystemsLeadBytes) {
    if (GetACP() != 932) GTEST_SKIP() << "runs under the Japanese locale";
    EXPECT_TRUE(DbcsEnabled());
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(IsLeadByte(b), (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) << b;
}

TEST(CharSearch, FirstLastAndSets) {
    const char *text = "a\\b:c\\d";
    EXPECT_EQ(FindFirstChar(text, '\\'), text + 1);
    EXPECT_EQ(FindLastChar(text, '\\'), text + 5);
    EXPECT_EQ(FindFirstChar(text, 'x'), nullptr);
    EXPECT_EQ(FindLastChar(text, 'x'), nullptr);
    EXPECT_EQ(FindFirstChar(text, '\0'), text + 7);
    EXPECT_EQ(FindLastChar(text, '\0'), text + 7);
    EXPECT_EQ(FindLastOfChars(text, ":"), text + 3);
    EXPECT_EQ(FindLastOfChars(text, ":\\"), text + 5);
    EXPECT_EQ(FindLastOfChars(text, "xyz"), text + 7);
    const char *empty = "";
    EXPECT_EQ(FindLastOfChars(empty, "."), empty);
}

TEST(TrailingBackslash, AddedOnlyWhenMissing) {
    const std::pair<std::string, std::string> narrow[] = {
        {"", "\\"}, {"C:\\dir", "C:\\dir\\"}, {"C:\\dir\\", "C:\\dir\\"}, {"C:", "C:\\"}};
    for (const auto &c : narrow)
        EXPECT_EQ(IncludeTrailingBackslash(c.first), c.second);
    const std::pair<std::wstring, std::wstring> wide[] = {{L"", L"\\"},
                                                          {L"C:\\dir", L"C:\\dir\\"},
                                                          {L"C:\\dir\\", L"C:\\dir\\"},
                                                          {L"\x8868", L"\x8868\\"}};
    for (const auto &c : wide)
        EXPECT_EQ(IncludeTrailingBackslashW(c.first), c.second);
    EXPECT_EQ(IncludeTrailingChar("ab", 'b'), "ab");
    EXPECT_EQ(IncludeTrailingChar("ab", 'c'), "abc");
}

TEST(Numbers, IntToStr) {
    const std::pair<int32_t, const char *> cases[] = {{0, "0"},
                                                      {-5, "-5"},
                                                      {7, "7"},
                                                      {1000000, "1000000"},
                                                      {INT_MAX, "2147483647"},
                                                      {INT_MIN, "-2147483648"}};
    for (const auto &c : cases)
        EXPECT_EQ(IntToStr(c.first), c.second);
}

TEST(Numbers, FloatToStrFixedPointPaddedLeft) {
    struct Case {
        double value;
        int32_t width, decimals;
        const char *text;
    };
    const Case cases[] = {
        {0.0, 10, 7, " 0.0000000"},
        {0.25, 10, 7, " 0.2500000"},
        {12.5, 10, 7, "12.5000000"},
        {123.5, 10, 7, "123.5000000"},
        {1234.5678, 10, 7, "1234.5678000"},
        {0.0042187, 10, 7, " 0.0042187"},
        {0.00000005000001, 10, 7, " 0.0000001"}, // rounds to nearest
        {9.99999996, 10, 7, "10.0000000"},
        {2.4, 0, 0, "2"},
        {3.6, 4, 0, "   4"},
        {-1.5, 6, 2, " -1.50"},
        {-0.26, 0, 1, "-0.3"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FloatToStr(c.value, c.width, c.decimals), c.text) << c.value;
}

TEST(Conversions, AnsiRoundTripAndSubstitutes) {
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(AnsiToWide(WideToAnsi(L"C:\\Plain 123")), L"C:\\Plain 123");
    // A character no code page of these tests holds comes back as a substitute.
    const std::wstring back = AnsiToWide(WideToAnsi(L"a\x0950"
                                                    L"b"));
    EXPECT_EQ(back.size(), 3u);
    EXPECT_NE(back[1], L'\x0950');
}
