// The helpers that touch the platform, on real files, keys and links in a sandbox.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

using driver::TTempDir;
using support::MakeDirs;

TEST(Platform, SettingsFileIsReadThroughTheProfileApi) {
    TTempDir folder(L"ini");
    const std::string file = mv::WideToAnsi(folder / L"FolderRename.ini");
    EXPECT_EQ(mv::IniReadInteger(file, "Options", "Digits", 5), 5) << "no file";
    ASSERT_TRUE(support::WriteBytes(folder / L"FolderRename.ini",
                                    "[Other]\r\nA=8\r\n[options]\r\nA = 12 \r\nB=0X1f\r\nC=0x\r\n"
                                    "D=-0x10\r\nE=abc\r\nF=\r\nG=" +
                                        std::string(300, '9') + "\r\nH=" + std::string(2000, '1')));
    const int32_t expected[] = {12, 31, 5, -16, 5, 5, 5, 5, 5};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(mv::IniReadInteger(file, "OPTIONS", std::string(1, "ABCDEFGHZ"[i]), 5),
                  expected[i]);
    EXPECT_EQ(mv::IniReadString(file, "Options", "H", "").size(), 1023u);
    EXPECT_EQ(mv::IniReadString(file, "Options", "Y", "dflt"), "dflt");
    EXPECT_EQ(mv::IniReadString(file, "Options", "", "").find('A'), std::string::npos);
}

TEST(Platform, RegistryValuesAndKeys) {
    const std::string top = "Software\\FolderRenameTest", key = top + "\\a\\b";
    RegDeleteTreeA(HKEY_CURRENT_USER, top.c_str());
    EXPECT_FALSE(mv::RegWriteValue(HKEY_CURRENT_USER, key, "v", REG_SZ, "x", -1));
    mv::TRegKey handle;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Put()), 0)
        << "a refused write creates no key";
    for (const DWORD type : {REG_SZ, REG_DWORD, REG_EXPAND_SZ}) {
        EXPECT_TRUE(mv::RegWriteValue(HKEY_CURRENT_USER, key, "v", type, "abc", 4));
        EXPECT_EQ(mv::RegReadString(HKEY_CURRENT_USER, key, "v"), type == REG_SZ ? "abc" : "");
    }
    mv::RegWriteString(HKEY_CURRENT_USER, key, "", "");
    DWORD type = 0, size = 9;
    RegGetValueA(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_ANY, &type, nullptr, &size);
    EXPECT_EQ(type * 10 + size, REG_SZ * 10 + 1u) << "an empty text keeps its terminator";
    EXPECT_EQ(mv::RegReadString(HKEY_CURRENT_USER, key + "\\none", ""), "");
    EXPECT_FALSE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, top + "\\a\\")) << "it has a subkey";
    EXPECT_TRUE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, key + "\\"));
    EXPECT_TRUE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, top + "\\a\\"));
    EXPECT_FALSE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, top + "\\a\\"));
    RegDeleteTreeA(HKEY_CURRENT_USER, top.c_str());
}

TEST(Platform, ShortcutFilesOutsideSendTo) {
    mv::TComInit com;
    std::wstring path;
    // A sub-folder of Programs is made for the link and removed with it when empty.
    ASSERT_TRUE(mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "FrUnit Folder", mv::LinkPrograms,
                                 true, path));
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    EXPECT_EQ(folder.substr(folder.size() - 14), L"\\FrUnit Folder");
    EXPECT_FALSE(mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "FrUnit Folder", mv::LinkPrograms,
                                  false, path) ||
                 !path.empty());
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    // Refused: names that would leave the folder or name a stream, an unknown place.
    for (const char *name : {"..\\FrUnit", "../FrUnit", "FrUnit:stream"})
        EXPECT_FALSE(mv::MakeShortcut("C:\\a.exe", "", "", name, "", mv::LinkDesktop, true, path));
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
    const std::string folder = mv::WideToAnsi(root / L"A"), file = folder + "\\file";
    EXPECT_TRUE(mv::DirectoryExists(folder) && mv::FileExists(file));
    EXPECT_FALSE(mv::DirectoryExists(file) || mv::FileExists(folder) || mv::FileExists(file + "x"));
}

TEST(Platform, RandomNameIsFreeAndARedrawHasFiveDigits) {
    TTempDir parent(L"name");
    ASSERT_TRUE(MakeDirs(parent / L"old"));
    // Each count with what bears the first drawn name: nothing, a folder, a file.
    for (const auto &c : {std::make_pair(12, 'n'), {1, 'd'}, {8, 'f'}}) {
        SeedRandomWith(77);
        std::wstring first;
        for (int i = 0; i < c.first; ++i)
            first += static_cast<wchar_t>(L'0' + RandomBelow(10));
        if (c.second == 'd') ASSERT_TRUE(MakeDirs(parent / first));
        if (c.second == 'f') ASSERT_TRUE(support::WriteBytes(parent / first, "f"));
        SeedRandomWith(77);
        const std::wstring made = MakeRandomName(parent / L"old", c.first);
        const std::wstring name = made.substr(parent.Path().size() + 1);
        EXPECT_EQ(made, parent / name) << c.second;
        EXPECT_TRUE(support::AllDigits(name) && (name == first) == (c.second != 'd')) << c.second;
        EXPECT_EQ(name.size(), c.second == 'd' ? 5u : first.size());
        driver::RemoveTree(parent / first);
    }
}

TEST(Platform, RandomNameSearchEndsInAFullParent) {
    TTempDir parent(L"full");
    const std::wstring folder = parent / L"full";
    ASSERT_TRUE(MakeDirs(folder + L"\\old"));
    ASSERT_TRUE(support::RunHostShell(L"seq -w 0 99999 | xargs mkdir", folder));
    const std::wstring freePath = folder + L"\\" + std::to_wstring(10000 + GetTickCount() % 90000);
    ASSERT_TRUE(RemoveDirectoryW(freePath.c_str()));
    EXPECT_EQ(MakeRandomName(folder + L"\\old", 5), freePath) << "the one name left";
    ASSERT_TRUE(CreateDirectoryW(freePath.c_str(), nullptr));
    const std::wstring taken = MakeRandomName(folder + L"\\old", 5);
    EXPECT_EQ(taken.size(), folder.size() + 6);
    EXPECT_NE(GetFileAttributesW(taken.c_str()), INVALID_FILE_ATTRIBUTES) << "ends on a taken name";
    support::RunHostShell(L"rm -rf full", parent.Path());
}
