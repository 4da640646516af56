// The texts and the settings path of the renaming run, without any window.
#include "App.h"

#include <gtest/gtest.h>

TEST(RenamingText, Summary) {
    const int64_t tenMHz = 10000000;
    const struct {
        int32_t found, renamed;
        int64_t frequency, start, stop;
        std::string expected;
    } cases[] = {
        {3, 2, tenMHz, 0, 42187,
         "Found: 3 folders\r\nRenamed: 2 of 3 folders\r\nNeeded:  0.0042187 seconds"},
        {0, 0, tenMHz, 500, 500,
         "Found: 0 folders\r\nRenamed: 0 of 0 folders\r\nNeeded:  0.0000000 seconds"},
        // Ten seconds and more fill the width: no leading space.
        {111110, 111110, 1000, 1000, 13500,
         "Found: 111110 folders\r\nRenamed: 111110 of 111110 folders\r\nNeeded: 12.5000000 "
         "seconds"},
        {1, 0, 1000, 0, 123500,
         "Found: 1 folders\r\nRenamed: 0 of 1 folders\r\nNeeded: 123.5000000 seconds"},
        // Without a usable counter the time line is left out, and no line break ends the text.
        {5, 4, 0, 0, 99, "Found: 5 folders\r\nRenamed: 4 of 5 folders"},
        {5, 5, -1, 0, 99, "Found: 5 folders\r\nRenamed: 5 of 5 folders"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SummaryText(c.found, c.renamed, c.frequency, c.start, c.stop), c.expected);
    }
}

TEST(RenamingText, MoveError) {
    EXPECT_EQ(MoveErrorText(L"C:\\R\\A", L"C:\\R\\01234"),
              L"An error occured by trying to move\r\nC:\\R\\A\r\nto\r\nC:\\R\\01234");
    // Paths are shown whole, characters outside any code page included.
    EXPECT_EQ(MoveErrorText(L"C:\\\u8868\\\u0416", L""),
              L"An error occured by trying to move\r\nC:\\\u8868\\\u0416\r\nto\r\n");
}

TEST(RenamingText, LongPathPrefixForEachKindOfFullPath) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\R\\A", L"\\\\?\\C:\\R\\A"},
        {L"\\\\server\\share\\R\\A", L"\\\\?\\UNC\\server\\share\\R\\A"},
        {L"\\\\?\\C:\\R\\A", L"\\\\?\\C:\\R\\A"},
        {L"\\\\?\\UNC\\server\\share\\A", L"\\\\?\\UNC\\server\\share\\A"},
        {L"\\\\.\\C:\\R\\A", L"\\\\.\\C:\\R\\A"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WithLongPathPrefix(c.first), c.second);
}

TEST(RenamingText, SettingsFileBesideTheProgram) {
    const struct {
        std::string exePath, expected;
    } cases[] = {
        {"C:\\Tools\\app.exe", "C:\\Tools\\app.ini"},
        {"C:\\Tools\\tool.exe", "C:\\Tools\\tool.ini"},
        {"C:\\a.b\\prog", "C:\\a.b\\prog.ini"},
        {"C:\\x\\name.with.dots.exe", "C:\\x\\name.with.dots.ini"},
        {"C:app.exe", "C:\\app.ini"},
        {"app.exe", "\\app.ini"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MakeIniPath(c.exePath), c.expected) << c.exePath;
}

TEST(RenamingText, DigitCountClamp) {
    const struct {
        int32_t setting, expected;
    } cases[] = {{0, 1},     {-4, 1},    {-2147483647 - 1, 1}, {1, 1},           {31, 31},
                 {255, 255}, {256, 255}, {300, 255},           {2147483647, 255}};
    for (const auto &c : cases)
        EXPECT_EQ(ClampDigitCount(c.setting), c.expected) << c.setting;
}
