// What the built FolderRename.exe carries: its manifest, its icon and its load configuration.
#include "Driver.h"

#include <gtest/gtest.h>
#include <imagehlp.h>

TEST(Resources, ManifestIconAndLoadConfiguration) {
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

    // The load configuration, entered in the header after the link, with the flag for the
    // start-up imports; the header's checksum over the file as it is now.
    ULONG size = 0, stored = 0, computed = 0;
    const auto *config = static_cast<const IMAGE_LOAD_CONFIG_DIRECTORY64 *>(
        ImageDirectoryEntryToData(reinterpret_cast<void *>(reinterpret_cast<ULONG_PTR>(tool) & ~3),
                                  TRUE, IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, &size));
    EXPECT_EQ(size, config ? config->Size : 0) << "the directory's size";
    EXPECT_EQ(config ? config->Reserved1 : 0, LOAD_LIBRARY_SEARCH_SYSTEM32) << "DependentLoadFlags";
    EXPECT_EQ(MapFileAndCheckSumW(driver::ToolPath().c_str(), &stored, &computed), 0u);
    EXPECT_EQ(stored, computed);
    FreeLibrary(tool);
}
