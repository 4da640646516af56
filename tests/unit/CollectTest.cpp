// Subfolder collection on real trees.
#include "App.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>

using driver::MakeDirs;
using driver::TTempDir;
using driver::WriteBytes;

namespace {

// The names of the folders directly in path, in the order the file system lists them.
std::vector<std::wstring> Listing(const std::wstring &path) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L".." && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

} // namespace

TEST(CollectSubfolders, EveryFolderBeforeItsDescendantsInListingOrder) {
    TTempDir root(L"collect");
    for (const wchar_t *folder : {L"A\\A1\\X", L"A\\A2", L"B\\B1"})
        ASSERT_TRUE(MakeDirs(root / folder));
    ASSERT_TRUE(WriteBytes(root / L"A\\file.txt", "x"));
    ASSERT_TRUE(WriteBytes(root / L"top.txt", "y"));

    // The shape of the result for R holding A and B, A holding A1 and A2, A1 holding X and B
    // holding B1: first R's own folders, then all of A's list, then all of B's.
    const std::vector<std::wstring> top = Listing(root.Path());
    ASSERT_EQ(top.size(), 2u);
    const std::wstring r = root.Path() + L"\\";
    std::vector<std::wstring> expected = {r + top[0], r + top[1]};
    for (const std::wstring &name : top) {
        const std::wstring folder = r + name;
        const std::vector<std::wstring> second = Listing(folder);
        for (const std::wstring &child : second)
            expected.push_back(folder + L"\\" + child);
        for (const std::wstring &child : second)
            for (const std::wstring &grandChild : Listing(folder + L"\\" + child))
                expected.push_back(folder + L"\\" + child + L"\\" + grandChild);
    }
    ASSERT_EQ(expected.size(), 6u);

    EXPECT_EQ(CollectSubfolders(root.Path(), true), expected);
    EXPECT_EQ(CollectSubfolders(root.Path() + L"\\", true), expected) << "trailing backslash";
    EXPECT_EQ(CollectSubfolders(root.Path(), false),
              std::vector<std::wstring>(expected.begin(), expected.begin() + 2));
}

TEST(CollectSubfolders, WhatCountsAsAFolder) {
    TTempDir root(L"collect");
    ASSERT_TRUE(MakeDirs(root / L".git\\objects"));
    ASSERT_TRUE(MakeDirs(root / L"hidden"));
    SetFileAttributesW((root / L"hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(WriteBytes(root / L"only-a-file", ""));
    ASSERT_TRUE(MakeDirs(root / L"empty"));

    std::vector<std::wstring> found = CollectSubfolders(root.Path(), true);
    std::sort(found.begin(), found.end());
    const std::vector<std::wstring> expected = {root / L".git", root / L".git\\objects",
                                                root / L"empty", root / L"hidden"};
    EXPECT_EQ(found, expected);

    EXPECT_TRUE(CollectSubfolders(root / L"empty", true).empty());
    EXPECT_TRUE(CollectSubfolders(root / L"only-a-file", true).empty());
    EXPECT_TRUE(CollectSubfolders(root / L"missing", true).empty());
    EXPECT_TRUE(CollectSubfolders(root / L"missing\\deeper", false).empty());
}

TEST(CollectSubfolders, DriveRootGivesSingleBackslashPaths) {
    const std::vector<std::wstring> found = CollectSubfolders(L"C:\\", false);
    ASSERT_FALSE(found.empty());
    for (const std::wstring &path : found) {
        EXPECT_EQ(path.compare(0, 3, L"C:\\"), 0);
        EXPECT_GT(path.size(), 3u);
        EXPECT_NE(path[3], L'\\');
    }
    EXPECT_NE(std::find_if(
                  found.begin(), found.end(),
                  [](const std::wstring &p) { return lstrcmpiW(p.c_str(), L"C:\\windows") == 0; }),
              found.end());
}

TEST(CollectSubfolders, FolderLinksAreNeitherListedNorSearched) {
    TTempDir outside(L"outside");
    ASSERT_TRUE(MakeDirs(outside / L"foreign\\deep"));
    TTempDir root(L"collect");
    ASSERT_TRUE(MakeDirs(root / L"real\\inner"));
    // One link out of the tree, one back up to its own root.
    ASSERT_TRUE(driver::MakeFolderLink(root / L"real\\out", outside.Path()));
    ASSERT_TRUE(driver::MakeFolderLink(root / L"loop", root.Path()));

    std::vector<std::wstring> found = CollectSubfolders(root.Path(), true);
    std::sort(found.begin(), found.end());
    const std::vector<std::wstring> expected = {root / L"real", root / L"real\\inner"};
    EXPECT_EQ(found, expected);
}

TEST(CollectSubfolders, UnicodeAndDoubleByteNames) {
    TTempDir root(L"collect");
    // U+8868 is 0x95 0x5C in code page 932: its second byte is a backslash.
    const std::wstring names[] = {L"\x8868",
                                  L"a\x8868"
                                  L"b",
                                  L"\x00e9t\x00e9"};
    for (const std::wstring &name : names)
        ASSERT_TRUE(MakeDirs(root / (name + L"\\" + name)));
    std::vector<std::wstring> found = CollectSubfolders(root.Path(), true);
    EXPECT_EQ(found.size(), 6u);
    for (const std::wstring &name : names) {
        EXPECT_NE(std::find(found.begin(), found.end(), root / name), found.end());
        EXPECT_NE(std::find(found.begin(), found.end(), root / (name + L"\\" + name)), found.end());
    }
}
