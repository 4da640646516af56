// The helpers that touch the platform, on real files, keys and links in a sandbox.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

using driver::TTempDir;
using support::MakeDirs;

// A SendTo name that would put the link outside the folder, or into a stream, or that the
// system cannot hold: nothing is made.
TEST(Platform, ShortcutNamesThatLeaveTheFolder) {
    mv::TComInit com;
    std::wstring path;
    for (const char *name : {"../FrUnit", "FrUnit:stream", "FrUnit?"}) {
        EXPECT_FALSE(
            mv::MakeShortcut("C:\\a.exe", "", "", name, "FrUnit", mv::LinkPrograms, true, path))
            << name;
        EXPECT_EQ(path, L"") << name;
    }
}

namespace {

struct TDeepSearch {
    std::wstring root;
    size_t found = 0;
};

// Spends the thread's stack down to its last 64 KiB, then searches: a search that took stack for
// every level would overflow it a hundred levels down.
void SearchOnLittleStack(TDeepSearch &search) {
    volatile char page[4096];
    page[0] = 0;
    MEMORY_BASIC_INFORMATION stack = {};
    VirtualQuery(const_cast<char *>(page), &stack, sizeof stack);
    if (reinterpret_cast<ULONG_PTR>(page) - reinterpret_cast<ULONG_PTR>(stack.AllocationBase) >
        64 * 1024)
        SearchOnLittleStack(search);
    else
        search.found = CollectSubfolders(search.root, true).size();
    page[1] = 0; // no tail call: each frame keeps its page
}

} // namespace

TEST(Platform, CollectSubfoldersListsEveryFolderBeforeItsDescendants) {
    TTempDir root(L"collect");
    for (const wchar_t *folder : {L"A\\A1\\X", L"A\\A2", L"B\\B1", L".git", L"L", L"N\\N1"})
        ASSERT_TRUE(MakeDirs(root / folder));
    ASSERT_TRUE(support::WriteBytes(root / L"A\\file", "f"));
    ASSERT_TRUE(support::RunHostShell(L"ln -s .. link", root / L"B"));
    ASSERT_TRUE(SetFileAttributesW((root / L"L").c_str(), FILE_ATTRIBUTE_HIDDEN));
    // Refuses its listing, as a folder of another user does: what it holds is not found.
    ASSERT_TRUE(support::RunHostShell(L"chmod 000 N", root.Path()));
    // The snapshot lists the direct subfolders in the order the system lists them, then the
    // list of each in turn: the order a folder needs to be renamed after all below it.
    mv::TStrArr expected;
    for (const support::TEntry &e : support::Snapshot(root.Path()))
        if (e.folder && e.name.back() != L'@') expected.push_back(root / e.path);
    int32_t unlisted = 0, missingUnlisted = 0;
    EXPECT_EQ(CollectSubfolders(root.Path() + L"\\", true, &unlisted), expected);
    EXPECT_EQ(unlisted, 1) << "the folder that refused its listing is counted";
    EXPECT_EQ(CollectSubfolders(root.Path(), false),
              mv::TStrArr(expected.begin(), expected.begin() + 5));
    EXPECT_TRUE(CollectSubfolders(root / L"missing", true, &missingUnlisted).empty());
    EXPECT_EQ(missingUnlisted, 0) << "a folder that is not there hides nothing";
    EXPECT_FALSE(mv::FileExists(mv::WideToAnsi(root / L"A"))) << "a folder is no file";
    ASSERT_TRUE(support::RunHostShell(L"chmod 755 N", root.Path()));

    // Any depth: the search keeps its own list of what is left to visit.
    ASSERT_TRUE(support::RunHostShell(L"mkdir -p deep/$(printf 'd/%.0s' $(seq 300))", root.Path()));
    TDeepSearch search = {root / L"deep"};
    HANDLE thread = CreateThread(
        nullptr, 64 * 1024,
        [](void *param) -> DWORD {
            return SearchOnLittleStack(*static_cast<TDeepSearch *>(param)), 0;
        },
        &search, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(search.found, 300u);
    // A stop lasts for the rest of the process, as it does for a run: this comes last. The
    // search opens no folder after it.
    RequestStop();
    EXPECT_EQ(CollectSubfolders(root / L"deep", true).size(), 1u) << "folders found after a stop";
    support::RunHostShell(L"rm -rf deep", root.Path()); // at once, where Wine takes a while
}
