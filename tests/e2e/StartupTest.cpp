// Start-up: arguments that are not an existing folder end the program at once, silently.
#include "Driver.h"
#include "TempTree.h"

#include <gtest/gtest.h>

TEST(Startup, ArgumentThatIsNoFolderEndsSilentlyWithCodeZero) {
    driver::TTempDir sandbox(L"start");
    const std::wstring file = sandbox / L"file.txt";
    ASSERT_TRUE(driver::WriteBytes(file, "keep"));
    ASSERT_TRUE(driver::MakeDirs(sandbox / L"sub"));
    const auto before = driver::Snapshot(sandbox.Path());

    const std::wstring cases[] = {
        L"\"" + file + L"\"",                             // an existing file
        L"\"" + (sandbox / L"missing") + L"\"",           // a missing path
        L"\"\"",                                          // one empty argument
        L"\"" + file + L"\" \"" + sandbox.Path() + L"\"", // only the first argument counts
    };
    for (const std::wstring &arguments : cases) {
        SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
        driver::TProcess tool;
        ASSERT_TRUE(tool.StartTool(arguments));
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(10000, code)) << "still running";
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(tool.Windows().empty());
    }
    const auto after = driver::Snapshot(sandbox.Path());
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].path, before[i].path);
}
