// New folder names: where they go, how long they are, what counts as taken, and that the
// search ends even in a full parent.
#include "App.h"
#include "TempTree.h"

#include <gtest/gtest.h>

using driver::MakeDirs;
using driver::TTempDir;

namespace {

bool AllDigits(const std::wstring &text) {
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

bool IsFolder(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The digits that the next `count` draws of the generator spell, as MakeRandomName draws them.
std::wstring NextDigits(int32_t count) {
    std::wstring digits;
    for (int32_t i = 0; i < count; ++i)
        digits += static_cast<wchar_t>(L'0' + RandomBelow(10));
    return digits;
}

std::wstring FiveDigitName(int value) {
    std::wstring name = std::to_wstring(value);
    return std::wstring(5 - name.size(), L'0') + name;
}

// A folder that holds a folder for every 5-digit name. Removing 100000 folders takes longer
// than making them, even on the host, so the folder is kept in the temporary folder and only
// completed on later runs.
std::wstring FullParent() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring parent = std::wstring(temp) + L"fr-all-five-digit-names";
    MakeDirs(parent);
    // Wine looks for every new name case-insensitively through the whole folder, so 100000
    // creations there take many minutes; the host's shell does it in seconds.
    if (driver::RunHostShell(L"seq -w 0 99999 | xargs mkdir -p", parent)) return parent;
    for (int value = 0; value < 100000; ++value)
        CreateDirectoryW((parent + L"\\" + FiveDigitName(value)).c_str(), nullptr);
    return parent;
}

} // namespace

TEST(MakeRandomName, ReplacesOnlyTheLastComponentWithCountDigits) {
    const struct {
        std::wstring current;
        int32_t count;
        std::wstring parent;
    } cases[] = {
        {L"C:\\A", 1, L"C:\\"},
        {L"D:\\Work\\Old Name", 5, L"D:\\Work\\"},
        {L"C:\\no such folder\\x", 8, L"C:\\no such folder\\"},
        {L"C:\\no such folder\\x", 255, L"C:\\no such folder\\"},
        {L"C:\\no such folder\\a.b\\c", 12, L"C:\\no such folder\\a.b\\"},
        {L"C:file", 3, L"C:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.current.begin(), c.current.end()) + " count " +
                     std::to_string(c.count));
        for (int round = 0; round < 20; ++round) {
            const std::wstring made = MakeRandomName(c.current, c.count);
            ASSERT_EQ(made.compare(0, c.parent.size(), c.parent), 0) << "parent kept";
            const std::wstring name = made.substr(c.parent.size());
            EXPECT_TRUE(AllDigits(name));
            EXPECT_EQ(name.size(), static_cast<size_t>(c.count));
        }
    }
}

TEST(MakeRandomName, OnlyAFolderCountsAsTakenAndARedrawHasFiveDigits) {
    enum TTakenBy { Folder, File, TheFolderItself };
    const struct {
        const char *name;
        int32_t count;
        TTakenBy takenBy;
        bool redrawn;
    } cases[] = {
        {"1 digit taken by a folder", 1, Folder, true},
        {"5 digits taken by a folder", 5, Folder, true},
        {"8 digits taken by a folder", 8, Folder, true},
        {"12 digits, the folder's own name", 12, TheFolderItself, true},
        {"8 digits borne by a file", 8, File, false},
    };
    uint32_t seed = GetTickCount();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir parent(L"name");
        SeedRandomWith(++seed);
        const std::wstring first = NextDigits(c.count);
        std::wstring current = parent / L"old";
        if (c.takenBy == File) {
            ASSERT_TRUE(driver::WriteBytes(parent / first, "file"));
        } else {
            ASSERT_TRUE(MakeDirs(parent / first));
            if (c.takenBy == TheFolderItself) current = parent / first;
        }
        ASSERT_TRUE(MakeDirs(current));

        SeedRandomWith(seed);
        const std::wstring made = MakeRandomName(current, c.count);
        const std::wstring name = made.substr(parent.Path().size() + 1);
        ASSERT_EQ(made, parent / name);
        EXPECT_TRUE(AllDigits(name));
        if (c.redrawn) {
            EXPECT_NE(name, first);
            EXPECT_EQ(name.size(), 5u);
            EXPECT_EQ(GetFileAttributesW(made.c_str()), INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_EQ(name, first);
        }
    }
}

TEST(MakeRandomName, DigitsAreUniformInEveryPlace) {
    const std::wstring parent = L"C:\\no such folder\\";
    const int draws = 20000;
    int counts[5][10] = {};
    for (int i = 0; i < draws; ++i) {
        const std::wstring name = MakeRandomName(parent + L"x", 5).substr(parent.size());
        ASSERT_TRUE(name.size() == 5 && AllDigits(name));
        for (int place = 0; place < 5; ++place)
            ++counts[place][name[place] - L'0'];
    }
    // Chi-square with 9 degrees of freedom; 45 is passed by chance about once in 10^6 runs.
    for (int place = 0; place < 5; ++place) {
        double chiSquare = 0;
        const double expected = draws / 10.0;
        for (int digit = 0; digit < 10; ++digit) {
            const double d = counts[place][digit] - expected;
            chiSquare += d * d / expected;
        }
        EXPECT_LT(chiSquare, 45.0) << "place " << place;
    }
}

TEST(MakeRandomName, SearchEndsInAParentWithoutFreeFiveDigitNames) {
    const std::wstring parent = FullParent();
    const std::wstring current = parent + L"\\old";
    ASSERT_TRUE(MakeDirs(current));
    for (int value : {0, 50000, 99999})
        ASSERT_TRUE(IsFolder(parent + L"\\" + FiveDigitName(value)));

    // One name left free: the search has to find exactly that one, from any start.
    const std::wstring freePath = parent + L"\\" + FiveDigitName(GetTickCount() % 100000);
    ASSERT_TRUE(RemoveDirectoryW(freePath.c_str()));
    const std::wstring found = MakeRandomName(current, 5);
    ASSERT_TRUE(CreateDirectoryW(freePath.c_str(), nullptr));
    EXPECT_EQ(found, freePath);

    // None left: the search ends with a name that is taken, so the move fails and is reported.
    for (int round = 0; round < 2; ++round) {
        const std::wstring made = MakeRandomName(current, 5);
        ASSERT_EQ(made.compare(0, parent.size() + 1, parent + L"\\"), 0);
        const std::wstring name = made.substr(parent.size() + 1);
        EXPECT_TRUE(AllDigits(name));
        EXPECT_EQ(name.size(), 5u);
        EXPECT_TRUE(IsFolder(made)) << "a taken name";
    }
}
