// Registry access against the real registry, in a key of the tests' own under HKEY_CURRENT_USER,
// and the byte routines the key-path split rests on.
#include "mv.API.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>

using namespace mv;

namespace {

// RegDeleteKeyPath opens the first component and deletes the rest below it, as for the real keys.
const char TestRoot[] = "Software\\FolderRenameTests";

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot); }

    static std::string Key(const std::string &relative) {
        return relative.empty() ? TestRoot : std::string(TestRoot) + "\\" + relative;
    }
    static bool KeyExists(const std::string &relative) {
        TRegKey key;
        return RegOpenKeyExA(HKEY_CURRENT_USER, Key(relative).c_str(), 0, KEY_READ, key.Put()) ==
               ERROR_SUCCESS;
    }
    static void MakeKey(const std::string &relative) {
        TRegKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key(relative).c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
    }
    // The value exactly as stored: its type and its bytes through the ANSI interface.
    static bool RawValue(const std::string &relative, const char *name, DWORD &type,
                         std::string &bytes) {
        TRegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Key(relative).c_str(), 0, KEY_READ, key.Put()) !=
            ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        bytes.assign(size, '\0');
        return RegQueryValueExA(key.Get(), name, nullptr, &type,
                                reinterpret_cast<BYTE *>(&bytes[0]), &size) == ERROR_SUCCESS;
    }
};

} // namespace

TEST_F(RegistryTest, ReadStringGivesSizeMinusOneBytesOfRegSzOnly) {
    struct Case {
        const char *label;
        bool makeKey;
        const char *storedName; // nullptr: nothing stored
        DWORD type;
        std::string data; // handed over with its length as the size
        const char *readName;
        std::string expected;
    };
    const DWORD number = 7;
    const Case cases[] = {
        {"missing key", false, nullptr, REG_SZ, "", "", ""},
        {"missing value", true, nullptr, REG_SZ, "", "v", ""},
        {"with terminator", true, "v", REG_SZ, std::string("abc\0", 4), "v", "abc"},
        // The byte after the size is not a zero, so the platform does not add a terminator.
        {"without terminator", true, "v", REG_SZ, "abc", "v", "ab"},
        {"size 0", true, "v", REG_SZ, "", "v", ""},
        {"size 1", true, "v", REG_SZ, std::string("\0", 1), "v", ""},
        {"zero inside", true, "v", REG_SZ, std::string("a\0b\0", 4), "v", std::string("a\0b", 3)},
        {"default value", true, "", REG_SZ, std::string("Rename here\0", 12), "", "Rename here"},
        {"long value", true, "v", REG_SZ, std::string(3000, 'x') + '\0', "v",
         std::string(3000, 'x')},
        {"REG_DWORD", true, "v", REG_DWORD,
         std::string(reinterpret_cast<const char *>(&number), sizeof number), "v", ""},
        {"REG_EXPAND_SZ", true, "v", REG_EXPAND_SZ, std::string("abc\0", 4), "v", ""},
        {"REG_MULTI_SZ", true, "v", REG_MULTI_SZ, std::string("abc\0\0", 5), "v", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        if (c.makeKey) MakeKey("read");
        if (c.storedName) {
            std::string buffer = c.data + (c.data.empty() || c.data.back() ? "d" : "");
            TRegKey key;
            ASSERT_EQ(
                RegOpenKeyExA(HKEY_CURRENT_USER, Key("read").c_str(), 0, KEY_WRITE, key.Put()),
                ERROR_SUCCESS);
            ASSERT_EQ(RegSetValueExA(key.Get(), c.storedName, 0, c.type,
                                     reinterpret_cast<const BYTE *>(buffer.data()),
                                     static_cast<DWORD>(c.data.size())),
                      ERROR_SUCCESS);
        }
        EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, Key("read"), c.readName), c.expected);
    }
}

TEST_F(RegistryTest, WriteStoresExactlyWhatItWasGiven) {
    struct Case {
        const char *label;
        const char *subKey;
        const char *name;
        DWORD type;
        std::string data;
        int32_t size;
        bool result;
        bool keyAfter;
        std::string stored; // the bytes read back when the value exists
    };
    const Case cases[] = {
        {"string", "w", "v", REG_SZ, std::string("abc\0", 4), 4, true, true,
         std::string("abc\0", 4)},
        {"default value", "w", "", REG_SZ, std::string("x\0", 2), 2, true, true,
         std::string("x\0", 2)},
        {"negative size", "w", "v", REG_SZ, std::string("abc\0", 4), -1, false, false, ""},
        {"whole missing path", "a\\b\\c", "v", REG_SZ, std::string("y\0", 2), 2, true, true,
         std::string("y\0", 2)},
        {"dword", "w", "n", REG_DWORD, std::string("\x07\0\0\0", 4), 4, true, true,
         std::string("\x07\0\0\0", 4)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        EXPECT_EQ(
            RegWriteValue(HKEY_CURRENT_USER, Key(c.subKey), c.name, c.type, c.data.data(), c.size),
            c.result);
        EXPECT_EQ(KeyExists(c.subKey), c.keyAfter);
        // Not even the parent of the key appears for a refused write.
        if (!c.keyAfter) {
            EXPECT_FALSE(KeyExists(""));
        }
        DWORD type = 0;
        std::string bytes;
        if (c.result) {
            ASSERT_TRUE(RawValue(c.subKey, c.name, type, bytes));
            EXPECT_EQ(type, c.type);
            EXPECT_EQ(bytes, c.stored);
        }
    }
}

TEST_F(RegistryTest, WriteStringStoresItsTerminatorAndReadsBack) {
    const std::string texts[] = {"", "Rename here", "\"C:\\Tools\\FolderRename.exe\" \"%1\"",
                                 std::string(1024, 'n')};
    for (const std::string &text : texts) {
        SCOPED_TRACE(text);
        RegWriteString(HKEY_CURRENT_USER, Key("s\\t"), "", text);
        DWORD type = 0;
        std::string bytes;
        ASSERT_TRUE(RawValue("s\\t", "", type, bytes));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(bytes, text + '\0');
        EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, Key("s\\t"), ""), text);
    }
}

TEST_F(RegistryTest, DeleteKeyPathDeletesOneKeyWithoutSubkeys) {
    struct Step {
        const char *label;
        std::string path;
        bool result;
        const char *existsAfter; // nullptr when nothing is checked
        bool exists;
    };
    MakeKey("verb\\command");
    MakeKey("verb\\extra");
    MakeKey("single");
    const std::string root = std::string(TestRoot) + "\\";
    // Each step runs on the keys the earlier steps left.
    const Step steps[] = {
        {"key with subkeys", root + "verb\\", false, "verb", true},
        {"subkey first", root + "verb\\command\\", true, "verb\\command", false},
        {"an extra subkey keeps the key", root + "verb\\", false, "verb\\extra", true},
        {"without trailing backslash", root + "verb\\extra", true, "verb\\extra", false},
        {"then the key", "\\" + root + "verb\\", true, "verb", false},
        {"missing key", root + "verb\\", false, nullptr, false},
        {"head that cannot be opened", "NoSuchHeadFolderRename\\x\\", false, nullptr, false},
        // Refused: the platform would be asked to delete the opened key itself.
        {"one component", "Software\\", false, "", true},
        {"empty path", "", false, "", true},
        {"lone backslash", "\\", false, "", true},
        // An empty head opens the root itself; the rest is below it.
        {"two leading backslashes", "\\\\" + root + "single\\", true, "single", false},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.label);
        EXPECT_EQ(RegDeleteKeyPath(HKEY_CURRENT_USER, s.path), s.result);
        if (s.existsAfter) {
            EXPECT_EQ(KeyExists(s.existsAfter), s.exists);
        }
    }
}

TEST(SplitKeyPath, SplitsAtTheFirstBackslashAfterTrimmingOneAtEachEnd) {
    struct Case {
        const char *path, *head, *rest;
    };
    const Case cases[] = {
        {"SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename\\", "SOFTWARE",
         "Classes\\Directory\\shell\\MorvandelsFolderRename"},
        {"SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename\\command\\", "SOFTWARE",
         "Classes\\Directory\\shell\\MorvandelsFolderRename\\command"},
        {"SOFTWARE\\Morvandel\\FolderRename\\", "SOFTWARE", "Morvandel\\FolderRename"},
        {"\\SOFTWARE\\Morvandel\\FolderRename\\", "SOFTWARE", "Morvandel\\FolderRename"},
        {"SOFTWARE\\Morvandel\\FolderRename", "SOFTWARE", "Morvandel\\FolderRename"},
        {"\\\\SOFTWARE\\Morvandel\\", "", "SOFTWARE\\Morvandel"},
        {"SOFTWARE\\Morvandel\\\\", "SOFTWARE", "Morvandel\\"},
        {"SOFTWARE\\Morvandel\\\\\\", "SOFTWARE", "Morvandel\\\\"},
        {"SOFTWARE\\", "SOFTWARE", ""},
        {"SOFTWARE", "SOFTWARE", ""},
        {"\\", "", ""},
        {"\\\\", "", ""},
        {"\\\\\\", "", ""},
        {"", "", ""},
        {"a\\\\b", "a", "\\b"},
        // Bytes above 127 are ordinary bytes here.
        {"\x95\\\x95\\", "\x95", "\x95"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        std::string head = "old", rest = "old";
        SplitKeyPath(c.path, head, rest);
        EXPECT_EQ(head, c.head);
        EXPECT_EQ(rest, c.rest);
    }
}

// Positions and counts at their edges; prefixes, suffixes and byte order have the model tests
// below.
TEST(ByteRoutines, EdgePositionsAndCounts) {
    struct Case {
        const char *call;
        std::string result, expected;
    };
    const Case cases[] = {
        {"CopyFrom abc 0", CopyFrom("abc", 0), "abc"},
        {"CopyFrom abc -5", CopyFrom("abc", -5), "abc"},
        {"CopyFrom abc 2", CopyFrom("abc", 2), "bc"},
        {"CopyFrom abc 3", CopyFrom("abc", 3), "c"},
        {"CopyFrom abc 4", CopyFrom("abc", 4), ""},
        {"CopyFrom empty 2", CopyFrom("", 2), ""},
        {"CopyLeft abc 0", CopyLeft("abc", 0), ""},
        {"CopyLeft abc -1", CopyLeft("abc", -1), ""},
        {"CopyLeft abc 2", CopyLeft("abc", 2), "ab"},
        {"CopyLeft abc 3", CopyLeft("abc", 3), "abc"},
        {"CopyLeft abc 9", CopyLeft("abc", 9), "abc"},
        {"CopyLeft empty 1", CopyLeft("", 1), ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.result, c.expected) << c.call;

    struct Number {
        const char *call;
        int32_t result, expected;
    };
    const Number numbers[] = {
        {"FindCharFrom start 0", FindCharFrom('\\', "a\\b\\", 0), 2},
        {"FindCharFrom start -3", FindCharFrom('\\', "a\\b\\", -3), 2},
        {"FindCharFrom start 2", FindCharFrom('\\', "a\\b\\", 2), 2},
        {"FindCharFrom start 3", FindCharFrom('\\', "a\\b\\", 3), 4},
        {"FindCharFrom start 5", FindCharFrom('\\', "a\\b\\", 5), 0},
        {"FindCharFrom none", FindCharFrom('\\', "abc", 1), 0},
        {"FindCharFrom empty", FindCharFrom('\\', "", 0), 0},
        {"CompareBytes count 0", CompareBytes("a", "b", 0), 3},
        {"CompareBytes count -1", CompareBytes("a", "b", -1), 3},
        {"CompareBytes equal", CompareBytes("abc", "abd", 2), 1},
        {"CompareBytes first difference", CompareBytes("az", "ba", 2), 0},
        {"CompareBytesNoCase count 0", CompareBytesNoCase("A", "a", 0), 3},
    };
    for (const Number &n : numbers)
        EXPECT_EQ(n.result, n.expected) << n.call;

    struct Match {
        const char *call;
        bool result, expected;
    };
    const Match matches[] = {
        {"MatchAt pos 1", MatchAt("ab", "abc", 1), true},
        {"MatchAt pos 2", MatchAt("bc", "abc", 2), true},
        {"MatchAt past end", MatchAt("bc", "abc", 3), false},
        {"MatchAt pos 0", MatchAt("ab", "abc", 0), false},
        {"MatchAt empty sub", MatchAt("", "abc", 1), false},
        {"MatchAt empty s", MatchAt("a", "", 1), false},
        {"MatchAt case", MatchAt("AB", "abc", 1), false},
        {"MatchAtNoCase", MatchAtNoCase("AB", "abc", 1), true},
        {"MatchAtNoCase past end", MatchAtNoCase("C", "abc", 4), false},
    };
    for (const Match &m : matches)
        EXPECT_EQ(m.result, m.expected) << m.call;
}

// Every pair of bytes against a model: only "A" to "Z" fold, bytes compare without sign.
TEST(ByteRoutines, CompareBytesNoCaseFoldsOnlyAsciiCapitals) {
    auto fold = [](int b) { return b >= 'A' && b <= 'Z' ? b + 32 : b; };
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const char x[2] = {static_cast<char>(a), 0};
            const char y[2] = {static_cast<char>(b), 0};
            const int32_t expectedCase = a < b ? 0 : a > b ? 2 : 1;
            const int32_t expectedNoCase = fold(a) < fold(b) ? 0 : fold(a) > fold(b) ? 2 : 1;
            ASSERT_EQ(CompareBytes(x, y, 1), expectedCase) << a << " " << b;
            ASSERT_EQ(CompareBytesNoCase(x, y, 1), expectedNoCase) << a << " " << b;
        }
    }
}

// Random texts over a small alphabet against std::string as the model.
TEST(ByteRoutines, PrefixAndSuffixAgreeWithAModel) {
    std::mt19937 random(12345);
    const std::string alphabet = "aAbB\\\xC1\xE1";
    auto text = [&](int maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (char &c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    auto lower = [](std::string s) {
        for (char &c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string s = text(6), sub = text(3);
        const bool caseSensitive = random() % 2 == 0;
        const std::string ls = caseSensitive ? s : lower(s);
        const std::string lsub = caseSensitive ? sub : lower(sub);
        const bool starts =
            !sub.empty() && ls.compare(0, lsub.size(), lsub) == 0 && sub.size() <= s.size();
        const bool ends = !sub.empty() && sub.size() <= s.size() &&
                          ls.compare(s.size() - sub.size(), sub.size(), lsub) == 0;
        ASSERT_EQ(StartsWith(sub, s, caseSensitive), starts) << s << " / " << sub;
        ASSERT_EQ(EndsWith(sub, s, caseSensitive), ends) << s << " / " << sub;
        ASSERT_EQ(RemovePrefix(s, sub, caseSensitive), starts ? s.substr(sub.size()) : s);
        ASSERT_EQ(RemoveSuffix(s, sub, caseSensitive),
                  ends ? s.substr(0, s.size() - sub.size()) : s);
    }
}
