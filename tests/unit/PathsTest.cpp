// Path splitting and the double-byte rules of the ANSI code page.
#include "mv.API.h"

#include <gtest/gtest.h>

using namespace mv;

namespace {

// Lead bytes of code page 932: 81-9F and E0-FC.
const BYTE ShiftJisLeadBytes[12] = {0x81, 0x9F, 0xE0, 0xFC};

// Switches the module to a lead-byte table for one test, then back to the system's.
struct TTestCodePage {
    TTestCodePage(bool dbcs, const BYTE ranges[12]) { LoadLeadBytes(dbcs, ranges); }
    ~TTestCodePage() { InitLocaleInfo(); }
};

} // namespace

TEST(PathSplitting, SingleByte) {
    const BYTE none[12] = {};
    TTestCodePage page(false, none);
    const char *const cases[][5] = {
        // clang-format off
        // path, ExtractFilePath, ExtractFileName, ExtractFileExt, ExtractFileNameWithoutExt
        {"C:\\dir\\file.tar.gz", "C:\\dir\\", "file.tar.gz", ".gz", "file.tar"}, {"C:file", "C:", "file", "", "file"},
        {"C:\\dir\\", "C:\\dir\\", "", "", ""}, {"file.", "", "file.", ".", "file"}, {"", "", "", "", ""},
        {"C:\\a.b\\c", "C:\\a.b\\", "c", ".b\\c", "c"},
        // With one byte per character a 0x5C after a high byte separates.
        {"C:\\\x95\x5C", "C:\\\x95\\", "", "", ""},
        // clang-format on
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ExtractFilePath(c[0]), c[1]) << c[0];
        EXPECT_EQ(ExtractFileName(c[0]), c[2]) << c[0];
        EXPECT_EQ(ExtractFileExt(c[0]), c[3]) << c[0];
        EXPECT_EQ(ExtractFileNameWithoutExt(c[0]), c[4]) << c[0];
    }
    for (const auto &c : {std::make_pair("C:", "C:\\"), {"\\", "\\"}, {"", "\\"}})
        EXPECT_EQ(IncludeTrailingBackslash(c.first), c.second) << "'" << c.first << "'";
    const char *text = "a\\b:c\\d";
    EXPECT_EQ(FindLastChar(text, '\\') - text, 5);
    EXPECT_EQ(FindLastChar(text, '\0') - text, 7) << "the terminator";
}

TEST(PathSplitting, DoubleByteTrailBackslashIsNoSeparatorForThePath) {
    TTestCodePage page(true, ShiftJisLeadBytes);
    // clang-format off
    const char *const cases[][3] = { // path, ExtractFilePath, ExtractFileName (by plain bytes)
        {"C:\\\x95\x5C", "C:\\", ""}, {"C:\\\x95\x5C\\x", "C:\\\x95\x5C\\", "x"}, {"\xE0\x5C:x", "\xE0\x5C:", "x"},
        // Two lead bytes form one character, so the 0x5C after them stands alone.
        {"A\x81\x81\\b", "A\x81\x81\\", "b"}, {"\x81\x81\x81\\b", "", "b"}};
    const struct { const char *text; int32_t index; TByteKind kind; } kinds[] = {
        {"\x41\x81\x81\x5C", 3, SingleByte}, {"\x81\x81\x81\x5C", 3, TrailByte}, {"\x81\x5C", 0, LeadByte},
        {"\x9F\xE0\xFC\xE0", 3, TrailByte}, {"\x80\xA0\xFD", 0, SingleByte}, {"\x81", 1, SingleByte}};
    // clang-format on
    for (const auto &c : cases) {
        EXPECT_EQ(ExtractFilePath(c[0]), c[1]) << c[0];
        EXPECT_EQ(ExtractFileName(c[0]), c[2]) << c[0];
    }
    for (const auto &k : kinds)
        EXPECT_EQ(TextByteKind(k.text, k.index), k.kind) << k.text << " at " << k.index;
    EXPECT_EQ(TextByteKind(nullptr, 0), SingleByte);
    EXPECT_EQ(StringByteKind("\x81\x5C", 2), TrailByte);
    EXPECT_EQ(LastDelimiter("\x95\\", "\x95\x5C"), 0) << "a trail byte takes its lead byte along";
    const BYTE odd[12] = {0x90, 0x80, 0xA1, 0xA2, 0, 0, 0xB0, 0xB1};
    TTestCodePage oddPage(true, odd);
    // The pair's ends count; a reversed pair and the pairs after the end mark add nothing.
    for (const auto &b : {std::make_pair(0xA1, true), {0xA2, true}, {0x85, false}, {0xB0, false}})
        EXPECT_EQ(IsLeadByte(b.first), b.second) << std::hex << b.first;
}

TEST(DoubleByte, TheModuleReadsTheSystemsLeadBytes) {
    if (GetACP() != 932) GTEST_SKIP() << "runs under the Japanese locale";
    EXPECT_TRUE(DbcsEnabled());
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(IsLeadByte(b), (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) << b;
    EXPECT_EQ(ExtractFilePath(WideToAnsi(L"C:\\\u8868\\x")), "C:\\\x95\x5C\\");
}
