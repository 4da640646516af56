// What the built FolderRename.exe carries: its manifest, version information and icon.
#include "Driver.h"

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

class ToolModule {
  public:
    ToolModule()
        : module_(LoadLibraryExW(driver::ToolPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ToolModule() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE Get() const { return module_; }

    std::string Resource(LPCWSTR type, LPCWSTR name) const {
        HRSRC found = FindResourceW(module_, name, type);
        if (!found) return std::string();
        HGLOBAL loaded = LoadResource(module_, found);
        const char *data = static_cast<const char *>(LockResource(loaded));
        return data ? std::string(data, SizeofResource(module_, found)) : std::string();
    }

  private:
    HMODULE module_;
};

std::wstring VersionString(const std::vector<char> &info, const wchar_t *name) {
    struct Translation {
        WORD language, codePage;
    } *translations = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void **>(&translations), &size) ||
        size < sizeof(Translation))
        return L"?";
    wchar_t query[100];
    swprintf(query, 100, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
             translations[0].codePage, name);
    wchar_t *value = nullptr;
    if (!VerQueryValueW(info.data(), query, reinterpret_cast<void **>(&value), &size)) return L"?";
    return value;
}

} // namespace

TEST(Resources, ManifestAsksForCommonControlsAsInvokerPerMonitorDpiAndNoLongPaths) {
    ToolModule tool;
    ASSERT_NE(tool.Get(), nullptr);
    const std::string manifest = tool.Resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty());
    const char *expected[] = {
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "level=\"asInvoker\"",
        ">True/PM_V2</dpiAware>",
        ">PerMonitorV2, PerMonitor</dpiAwareness>",
        ">false</longPathAware>",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10
    };
    for (const char *text : expected)
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
}

TEST(Resources, VersionInformationNamesTheProduct) {
    const std::wstring path = driver::ToolPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &fixedSize));
    EXPECT_EQ(fixed->dwFileVersionMS, 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, 4u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, 4u);
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Folder Renamer");
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Morvandels Folder Renamer");
}

TEST(Resources, MainIconLoadsAsTheProgramsFirstIcon) {
    ToolModule tool;
    ASSERT_NE(tool.Get(), nullptr);
    EXPECT_FALSE(tool.Resource(MAKEINTRESOURCEW(14), L"MAINICON").empty()); // RT_GROUP_ICON
    // The verb's "Icon" value names icon index 0 of the file: that must be MAINICON's picture.
    HICON first = ExtractIconW(GetModuleHandleW(nullptr), driver::ToolPath().c_str(), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, reinterpret_cast<HICON>(1));
    DestroyIcon(first);
}
