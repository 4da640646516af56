// The helpers that touch the platform, on real files, keys and links in a sandbox.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

#include <functional>

using driver::MakeDirs;
using driver::TTempDir;
using support::WriteBytes;

TEST(Platform, SettingsFileIsReadThroughTheProfileApi) {
    TTempDir folder(L"ini");
    const std::string file = mv::WideToAnsi(folder / L"FolderRename.ini");
    EXPECT_EQ(mv::IniReadInteger(file, "Options", "Digits", 5), 5) << "no file";
    ASSERT_TRUE(WriteBytes(folder / L"FolderRename.ini",
                           "[Other]\r\nA=8\r\n[options]\r\nA = 12 \r\nB=0X1f\r\nC=0x\r\nD=-0x10\r\n"
                           "E=abc\r\nF=\r\nG=" +
                               std::string(300, '9') + "\r\nH=" + std::string(2000, '1') + "\r\n"));
    const struct {
        const char *key;
        int32_t expected;
    } cases[] = {{"A", 12}, {"B", 31}, {"C", 5}, {"D", -16}, {"E", 5},
                 {"F", 5},  {"G", 5},  {"H", 5}, {"Z", 5}};
    for (const auto &c : cases)
        EXPECT_EQ(mv::IniReadInteger(file, "OPTIONS", c.key, 5), c.expected) << c.key;
    EXPECT_EQ(mv::IniReadString(file, "Options", "H", "").size(), 1023u);
    EXPECT_EQ(mv::IniReadString(file, "Options", "Y", "dflt"), "dflt");
    EXPECT_EQ(mv::IniReadString(file, "Options", "", "").find('A'), std::string::npos);
}

TEST(Platform, RegistryValuesAndKeys) {
    const std::string key = "Software\\FolderRenameTest\\a\\b";
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\FolderRenameTest");
    EXPECT_FALSE(mv::RegWriteValue(HKEY_CURRENT_USER, key, "v", REG_SZ, "x", -1));
    mv::TRegKey handle;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Put()),
              ERROR_FILE_NOT_FOUND)
        << "a refused write creates no key";
    const struct {
        const char *name;
        DWORD type;
        const char *data;
        int32_t size;
        const char *read;
    } values[] = {
        {"sz", REG_SZ, "abc", 4, "abc"},
        {"one", REG_SZ, "", 1, ""},
        {"dword", REG_DWORD, "abcd", 4, ""},
        {"expand", REG_EXPAND_SZ, "abc", 4, ""},
    };
    for (const auto &v : values) {
        EXPECT_TRUE(mv::RegWriteValue(HKEY_CURRENT_USER, key, v.name, v.type, v.data, v.size));
        EXPECT_EQ(mv::RegReadString(HKEY_CURRENT_USER, key, v.name), v.read) << v.name;
    }
    mv::RegWriteString(HKEY_CURRENT_USER, key, "", "");
    DWORD type = 0, size = 9;
    EXPECT_EQ(
        RegGetValueA(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_ANY, &type, nullptr, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type * 10 + size, REG_SZ * 10 + 1u) << "an empty text keeps its terminator";
    EXPECT_EQ(mv::RegReadString(HKEY_CURRENT_USER, key + "\\none", ""), "");
    EXPECT_FALSE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, "Software\\FolderRenameTest\\a\\"));
    EXPECT_TRUE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, key + "\\"));
    EXPECT_TRUE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, "Software\\FolderRenameTest\\a\\"));
    EXPECT_FALSE(mv::RegDeleteKeyPath(HKEY_CURRENT_USER, "Software\\FolderRenameTest\\a\\"));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\FolderRenameTest");
}

TEST(Platform, ShortcutFiles) {
    mv::TComInit com;
    std::wstring path;
    ASSERT_TRUE(mv::MakeShortcut("\"C:\\Tools\\app.exe\"", "Desc", "-x", "FrUnit Tool", "",
                                 mv::LinkSendTo, true, path));
    std::wstring target, arguments, folder;
    ASSERT_TRUE(support::ReadLink(path, target, arguments, folder));
    EXPECT_EQ(target + L"|" + arguments + L"|" + folder, L"C:\\Tools\\app.exe|-x|C:\\Tools\\");
    EXPECT_EQ(path.substr(path.size() - 16), L"\\FrUnit Tool.lnk");
    EXPECT_FALSE(mv::MakeShortcut("x", "", "", "FrUnit Tool", "", mv::LinkSendTo, false, path));
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted";

    // A sub-folder of Programs is made for the link and removed with it when empty.
    ASSERT_TRUE(mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "FrUnit Folder", mv::LinkPrograms,
                                 true, path));
    const std::wstring programsFolder = path.substr(0, path.find_last_of(L'\\'));
    EXPECT_EQ(programsFolder.substr(programsFolder.size() - 13), L"FrUnit Folder");
    mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "FrUnit Folder", mv::LinkPrograms, false, path);
    EXPECT_EQ(GetFileAttributesW(programsFolder.c_str()), INVALID_FILE_ATTRIBUTES);

    // Refused: a name that would leave its folder or name a stream, an unknown place.
    for (const char *name : {"..\\FrUnit", "../FrUnit", "FrUnit:stream"})
        EXPECT_FALSE(mv::MakeShortcut("C:\\a.exe", "", "", name, "", mv::LinkSendTo, true, path))
            << name;
    EXPECT_FALSE(
        mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "", mv::TLinkLocation(6), true, path));
    EXPECT_FALSE(mv::MakeShortcut("C:\\a.exe", "", "", "FrUnit", "", mv::LinkPrograms, true, path));
}

TEST(Platform, CollectSubfoldersListsEveryFolderBeforeItsDescendants) {
    TTempDir root(L"collect");
    for (const wchar_t *folder : {L"A\\A1\\X", L"A\\A2", L"B\\B1", L".git", L"L"})
        ASSERT_TRUE(MakeDirs(root / folder));
    ASSERT_TRUE(WriteBytes(root / L"A\\file", "f"));
    ASSERT_TRUE(support::MakeFolderLink(root / L"B\\link", root.Path()));
    ASSERT_TRUE(SetFileAttributesW((root / L"L").c_str(), FILE_ATTRIBUTE_HIDDEN));

    // The model: the direct subfolders in the order the system lists them, then the list of
    // each of them in turn; links left out.
    std::function<mv::TStrArr(const std::wstring &)> model = [&](const std::wstring &path) {
        mv::TStrArr direct;
        for (const support::TEntry &e : support::Snapshot(path))
            if (e.folder && e.name.back() != L'@' && e.path == e.name)
                direct.push_back(path + L"\\" + e.name);
        mv::TStrArr all = direct;
        for (const std::wstring &folder : direct)
            for (const std::wstring &below : model(folder))
                all.push_back(below);
        return all;
    };
    const mv::TStrArr expected = model(root.Path());
    EXPECT_EQ(expected.size(), 8u);
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
    const struct {
        const char *what;
        int32_t count;
        bool takenByFolder, takenByFile;
    } cases[] = {
        {"free", 12, false, false},
        {"taken by a folder", 1, true, false},
        {"taken by a file only", 8, false, true},
    };
    for (const auto &c : cases) {
        SeedRandomWith(77);
        std::wstring first;
        for (int i = 0; i < c.count; ++i)
            first += static_cast<wchar_t>(L'0' + RandomBelow(10));
        if (c.takenByFolder) ASSERT_TRUE(MakeDirs(parent / first));
        if (c.takenByFile) ASSERT_TRUE(WriteBytes(parent / first, "f"));
        SeedRandomWith(77);
        const std::wstring made = MakeRandomName(parent / L"old", c.count);
        EXPECT_EQ(made.substr(0, parent.Path().size() + 1), parent.Path() + L"\\") << c.what;
        const std::wstring name = made.substr(parent.Path().size() + 1);
        EXPECT_TRUE(support::AllDigits(name)) << c.what;
        EXPECT_EQ(name == first, !c.takenByFolder) << c.what;
        EXPECT_EQ(name.size(), c.takenByFolder ? 5u : first.size()) << c.what;
        driver::RemoveTree(parent / first);
    }
}

TEST(Platform, RandomNameSearchEndsInAFullParent) {
    TTempDir parent(L"full");
    ASSERT_TRUE(MakeDirs(parent / L"full"));
    ASSERT_TRUE(support::RunHostShell(L"seq -w 0 99999 | xargs mkdir", parent / L"full"));
    const std::wstring folder = parent / L"full";
    ASSERT_TRUE(MakeDirs(folder + L"\\old"));
    const std::wstring freePath = folder + L"\\" + std::to_wstring(10000 + GetTickCount() % 90000);
    ASSERT_TRUE(RemoveDirectoryW(freePath.c_str()));
    EXPECT_EQ(MakeRandomName(folder + L"\\old", 5), freePath) << "the one name left";
    ASSERT_TRUE(CreateDirectoryW(freePath.c_str(), nullptr));
    const std::wstring taken = MakeRandomName(folder + L"\\old", 5);
    EXPECT_EQ(taken.size(), folder.size() + 6);
    EXPECT_NE(GetFileAttributesW(taken.c_str()), INVALID_FILE_ATTRIBUTES) << "ends on a taken name";
    support::RunHostShell(L"rm -rf full", parent.Path());
}
