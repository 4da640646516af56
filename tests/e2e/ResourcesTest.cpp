// What the built FolderRename.exe carries: its manifest and its icon.
#include "Driver.h"

#include <gtest/gtest.h>

TEST(Resources, ManifestAndIcon) {
    HMODULE tool = LoadLibraryExW(driver::ToolPath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(tool, nullptr);
    HRSRC found = FindResourceW(tool, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char *>(LockResource(LoadResource(tool, found))),
                               SizeofResource(tool, found));
    for (const char *text :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
          ">True/PM_V2</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>",
          ">false</longPathAware>", "SMI/2019/WindowsSettings\">UTF-8</activeCodePage>",
          "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
          "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) // 10 and 11
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
    EXPECT_NE(FindResourceW(tool, L"MAINICON", MAKEINTRESOURCEW(14)), nullptr); // RT_GROUP_ICON
    FreeLibrary(tool);
}
