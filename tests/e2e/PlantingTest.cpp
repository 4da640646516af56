// A downloaded copy runs no DLL that lies beside it. Wine is told to prefer, for this program
// only, a DLL in the program's folder, as Windows does for every DLL that is not a known DLL (this
// holds also when COM starts it); planted.dll lies there under the names of DLLs that Windows and
// Wine load by name, and leaves a file when loaded.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

using support::Utf8;

TEST(Planting, NoDllBesideTheProgramIsLoaded) {
    const std::wstring appKey = L"Software\\Wine\\AppDefaults\\FolderRename.exe",
                       classId = mv::AnsiToWide(DropTargetClassId);
    mv::TComInit com;
    mv::TCoTaskText known;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, known.Put())));
    const std::wstring link = std::wstring(known.Get()) + L"\\MV - Folder Rename.lnk";
    struct TUndo {
        std::wstring key, link, classKey;
        ~TUndo() {
            RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
            RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Morvandel");
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKey.c_str());
            DeleteFileW(link.c_str());
        }
    } undo{appKey, link, L"SOFTWARE\\Classes\\CLSID\\" + classId};
    driver::TTempDir sandbox(L"plant");
    const std::wstring exe = sandbox / L"FolderRename.exe", root = sandbox / L"tree",
                       planted = driver::OwnFolder() + L"planted.dll";
    ASSERT_TRUE(CopyFileW(driver::ToolPath().c_str(), exe.c_str(), FALSE));
    const wchar_t *const names[] = {L"uxtheme",   L"comctl32", L"dwmapi",  L"propsys",
                                    L"cryptbase", L"winmm",    L"oleacc",  L"userenv",
                                    L"dbghelp",   L"wtsapi32", L"profapi", L"cryptsp"};
    for (const wchar_t *name : names) {
        ASSERT_TRUE(CopyFileW(planted.c_str(), (sandbox / name + L".dll").c_str(), FALSE));
        driver::PutText(appKey + L"\\DllOverrides", L"native,builtin", name);
    }
    // Wine's advapi32 imports version.dll before the program starts: it is loaded from beside the
    // program, which shows that the planting is real, and the common controls then fail, so it
    // goes before the rows. A path that is no folder ends the tool at once.
    ASSERT_TRUE(CopyFileW(planted.c_str(), (sandbox / L"version.dll").c_str(), FALSE));
    driver::PutText(appKey + L"\\DllOverrides", L"native,builtin", L"version");
    driver::TProcess first;
    DWORD code = 1;
    ASSERT_TRUE(first.StartTool(L"missing", exe) && first.WaitExit(20000, code));
    EXPECT_NE(GetFileAttributesW((sandbox / L"version.dll.loaded").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(DeleteFileW((sandbox / L"version.dll").c_str()));
    driver::ServeClassFrom(classId, L"\"" + exe + L"\"");

    // Vista's path restricts nothing: it loads from System32 first what would be searched for.
    for (const wchar_t *version : {L"", L"vista"}) {
        if (*version) driver::PutText(appKey, version, L"Version");
        // A run held by the error box of a name Windows cannot hold, while its window shows; the
        // setup window's Install to SendTo; Explorer's drop.
        for (const char mode : {'R', 'S', 'D'}) {
            SCOPED_TRACE(std::string(1, mode) + " " + Utf8(version));
            for (const wchar_t *name : names)
                DeleteFileW((sandbox / name + L".dll.loaded").c_str());
            // The host makes and removes a name that Windows cannot hold.
            ASSERT_TRUE(support::RunHostShell(mode == 'R'
                                                  ? L"rm -rf tree; mkdir -p tree/a 'tree/bad?'"
                                                  : L"rm -rf tree; mkdir -p tree/a",
                                              sandbox.Path()));
            driver::TProcess tool;
            if (mode == 'S') {
                ASSERT_TRUE(tool.StartTool(L"", exe));
                HWND window = tool.WaitForWindow(L"Morvandels_UI_CLASS", 20000);
                ASSERT_TRUE(window && WaitForInputIdle(tool.Handle(), 20000) == 0);
                EXPECT_TRUE(driver::PressButton(driver::FindChild(window, L"Button", L"SendTo")));
                EXPECT_TRUE(driver::PressButton(driver::FindChild(window, L"Button", L"Install")));
                DWORD code = 1;
                EXPECT_TRUE(tool.WaitExit(20000, code));
                EXPECT_TRUE(DeleteFileW(link.c_str())) << "no SendTo shortcut";
            } else {
                if (mode == 'R') {
                    ASSERT_TRUE(tool.StartTool(L"\"" + root + L"\"", exe));
                    HWND window = tool.WaitForWindow(L"Morvandels_Progress_CLASS", 20000);
                    ASSERT_TRUE(window) << "no progress window";
                    EXPECT_TRUE(driver::FindChild(window, L"msctls_progress32"));
                } else {
                    EXPECT_EQ(tool.StartByDrop(classId, {root}, 10000), S_OK);
                }
                const driver::TRunResult run = driver::AnswerUntilExit(tool, 30000);
                ASSERT_TRUE(run.finished && !run.boxes.empty());
                const std::wstring summary = mode == 'R' ? L"Found: 2 folders\r\nRenamed: 1 of 2"
                                                         : L"Found: 1 folders\r\nRenamed: 1 of 1";
                EXPECT_EQ(Utf8(run.boxes.back().text.substr(0, summary.size())), Utf8(summary));
            }
            for (const wchar_t *name : names)
                EXPECT_EQ(GetFileAttributesW((sandbox / name + L".dll.loaded").c_str()) !=
                              INVALID_FILE_ATTRIBUTES,
                          name == std::wstring(L"version"))
                    << Utf8(name);
        }
    }
}
