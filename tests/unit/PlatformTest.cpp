// The helpers that touch the platform, on real files, keys and links in a sandbox.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

using driver::TTempDir;
using support::MakeDirs;

TEST(Platform, SettingsFileIsReadThroughTheProfileApi) {
    TTempDir folder(L"ini");
    const std::string file = mv::WideToAnsi(folder / L"FolderRename.ini");
    // The section in any letter case, the value trimmed, "0X" as much as "0x".
    ASSERT_TRUE(
        support::WriteBytes(folder / L"FolderRename.ini",
                            "[Other]\r\nA=8\r\n[options]\r\nA = 12 \r\nB=0X1f\r\nD=-0x10\r\nH=" +
                                std::string(2000, '1')));
    for (const auto &k : {std::make_pair("A", 12), {"B", 31}, {"D", -16}, {"Z", 5}})
        EXPECT_EQ(mv::IniReadInteger(file, "OPTIONS", k.first, 5), k.second) << k.first;
    EXPECT_EQ(mv::IniReadString(file, "Options", "H", "").size(), 1023u);
    EXPECT_EQ(mv::IniReadString(file, "Options", "", "").find('A'), std::string::npos);
}

TEST(Platform, RegistryValuesAndKeys) {
    const std::string top = "Software\\FolderRenameTest", key = top + "\\a\\b";
    RegDeleteTreeA(HKEY_CURRENT_USER, top.c_str());
    EXPECT_FALSE(mv::RegWriteValue(HKEY_CURRENT_USER, key, "v", REG_SZ, "x", -1));
    mv::TRegKey handle;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Put()), 0)
        << "a refused write creates no key";
    // A text comes back as its size less one byte, whatever the bytes: the terminator goes, a
    // text stored without one loses its last byte, a zero inside stays. Only a text is read.
    const struct {
        const char *what;
        DWORD type;
        const char *bytes;
        int32_t size;
        std::string read;
    } values[] = {
        // clang-format off
        {"text", REG_SZ, "abc", 4, "abc"}, {"expandable text", REG_EXPAND_SZ, "abc", 4, ""},
        {"no bytes", REG_SZ, "", 0, ""},
        // The byte after the size is no zero, so the platform adds no terminator.
        {"no terminator", REG_SZ, "abcd", 3, "ab"}, {"zero inside", REG_SZ, "a\0b", 4, {"a\0b", 3}},
        // clang-format on
    };
    for (const auto &v : values) {
        EXPECT_TRUE(mv::RegWriteValue(HKEY_CURRENT_USER, key, "v", v.type, v.bytes, v.size))
            << v.what;
        EXPECT_EQ(mv::RegReadString(HKEY_CURRENT_USER, key, "v"), v.read) << v.what;
    }
    mv::RegWriteString(HKEY_CURRENT_USER, key, "", "");
    DWORD size = 9;
    RegGetValueA(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_ANY, nullptr, nullptr, &size);
    EXPECT_EQ(size, 1u) << "an empty text keeps its terminator";
    EXPECT_FALSE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, top + "\\a\\")) << "it has a subkey";
    EXPECT_TRUE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, key + "\\"));
    EXPECT_TRUE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, top + "\\a\\"));
    EXPECT_FALSE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, top + "\\a\\"));
    RegDeleteTreeA(HKEY_CURRENT_USER, top.c_str());
}

TEST(Platform, ShortcutFilesOutsideSendTo) {
    mv::TComInit com;
    std::wstring path;
    // Refused: names that would leave the folder or name a stream, and one the system cannot
    // hold. Nothing is left in the folder, which goes with the one link below only when empty.
    for (const char *name : {"..\\FrUnit", "../FrUnit", "FrUnit:stream", "FrUnit?"}) {
        EXPECT_FALSE(mv::MakeShortcut("C:\\a.exe", "", "", name, "FrUnit Folder", mv::LinkPrograms,
                                      true, path))
            << name;
        EXPECT_EQ(path, L"") << name;
    }
    // A sub-folder of Programs is made for the link and removed with it when empty.
    ASSERT_TRUE(mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "FrUnit Folder", mv::LinkPrograms,
                                 true, path));
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    EXPECT_EQ(folder.substr(folder.size() - 14), L"\\FrUnit Folder");
    EXPECT_FALSE(mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "FrUnit Folder", mv::LinkPrograms,
                                  false, path));
    EXPECT_EQ(path, L"") << "a delete gives no path";
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(mv::MakeShortcut("a", "", "", "FrUnit", "", mv::TLinkLocation(6), true, path));
    EXPECT_FALSE(mv::MakeShortcut("a", "", "", "FrUnit", "", mv::LinkPrograms, true, path));
}

TEST(Platform, CollectSubfoldersListsEveryFolderBeforeItsDescendants) {
    TTempDir root(L"collect");
    for (const wchar_t *folder : {L"A\\A1\\X", L"A\\A2", L"B\\B1", L".git", L"L"})
        ASSERT_TRUE(MakeDirs(root / folder));
    ASSERT_TRUE(support::WriteBytes(root / L"A\\file", "f"));
    ASSERT_TRUE(support::RunHostShell(L"ln -s .. link", root / L"B"));
    ASSERT_TRUE(SetFileAttributesW((root / L"L").c_str(), FILE_ATTRIBUTE_HIDDEN));
    // The snapshot lists the direct subfolders in the order the system lists them, then the
    // list of each in turn: the order a folder needs to be renamed after all below it.
    mv::TStrArr expected;
    for (const support::TEntry &e : support::Snapshot(root.Path()))
        if (e.folder && e.name.back() != L'@') expected.push_back(root / e.path);
    EXPECT_EQ(CollectSubfolders(root.Path() + L"\\", true), expected);
    EXPECT_EQ(CollectSubfolders(root.Path(), false),
              mv::TStrArr(expected.begin(), expected.begin() + 4));
    EXPECT_TRUE(CollectSubfolders(root / L"missing", true).empty());
    EXPECT_FALSE(mv::FileExists(mv::WideToAnsi(root / L"A"))) << "a folder is no file";
}
