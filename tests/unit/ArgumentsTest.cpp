#include "App.h"

#include <gtest/gtest.h>

TEST(SplitCommandLine, Smoke) {
    auto t = SplitCommandLine("prog \"C:\\My Folder\"");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1], "C:\\My Folder");
}
