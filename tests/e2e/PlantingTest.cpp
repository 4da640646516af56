// A downloaded copy runs no DLL that lies beside it. Wine is told to prefer, for this program
// only, a DLL in the program's folder, as Windows does for every DLL that is not a known DLL (this
// holds also when COM starts it); libplanted.dll lies there under the names of DLLs that Windows
// and Wine load by name, and leaves a folder when loaded.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

TEST(Planting, NoDllBesideTheProgramIsLoaded) {
    const std::wstring appKey = L"Software\\Wine\\AppDefaults\\FolderRename.exe",
                       classId = mv::AnsiToWide(DropTargetClassId);
    mv::TCoTaskText sendTo;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, sendTo.Put())));
    const std::wstring link = std::wstring(sendTo.Get()) + L"\\MV - Folder Rename.lnk";
    driver::TTempDir sandbox(L"plant");
    const std::wstring exe = sandbox / L"FolderRename.exe", tree = sandbox / L"tree";
    const std::wstring planted = driver::OwnFolder() + L"libplanted.dll";
    ASSERT_TRUE(CopyFileW(driver::ToolPath().c_str(), exe.c_str(), FALSE));
    // The last one only shows that the planting is real: Wine's advapi32 imports version.dll
    // before the program starts, so it is loaded from beside the program. It lacks what Wine calls
    // in it later, so it goes after that start, before the rows (a path that is no folder ends
    // the tool at once).
    const wchar_t *const names[] = {L"uxtheme", L"comctl32", L"dwmapi",  L"propsys", L"cryptbase",
                                    L"winmm",   L"oleacc",   L"userenv", L"dbghelp", L"wtsapi32",
                                    L"profapi", L"cryptsp",  L"version"};
    for (const wchar_t *name : names) {
        ASSERT_TRUE(CopyFileW(planted.c_str(), (sandbox / name + L".dll").c_str(), FALSE));
        driver::PutText(appKey + L"\\DllOverrides", L"native,builtin", name);
    }
    driver::TProcess first;
    ASSERT_TRUE(first.StartTool(L"missing", exe) && driver::AnswerUntilExit(first, 20000).finished);
    EXPECT_TRUE(RemoveDirectoryW((sandbox / L"version.dll.loaded").c_str())) << "the control";
    ASSERT_TRUE(DeleteFileW((sandbox / L"version.dll").c_str()));
    driver::ServeClassFrom(classId, L"\"" + exe + L"\"");
    // Its name holds the runs at their first folder's error box; the host makes it, and removes it.
    ASSERT_TRUE(support::RunHostShell(L"mkdir -p tree/a 'tree/bad?'", sandbox.Path()));

    // A run whose window shows while its error box waits, the setup window's Install to SendTo,
    // Explorer's drop; then each again as on Vista, whose path restricts nothing but loads from
    // System32 first what would be searched for.
    for (auto row : {L"R win10", L"S win10", L"D win10", L"R vista", L"S vista", L"D vista"}) {
        SCOPED_TRACE(driver::Utf8(row));
        driver::PutText(appKey, row + 2, L"Version");
        driver::TProcess tool;
        if (*row == 'S') {
            ASSERT_TRUE(tool.StartTool(L"", exe));
            HWND window = tool.WaitForWindow(L"Morvandels_UI_CLASS", 20000);
            ASSERT_TRUE(window && WaitForInputIdle(tool.Handle(), 20000) == 0);
            EXPECT_TRUE(driver::PressButton(driver::FindChild(window, L"Button", L"SendTo")));
            EXPECT_TRUE(driver::PressButton(driver::FindChild(window, L"Button", L"Install")));
        } else if (*row == 'R') {
            ASSERT_TRUE(tool.StartTool(L"\"" + tree + L"\"", exe));
            const HWND window = tool.WaitForWindow(L"Morvandels_Progress_CLASS", 20000);
            EXPECT_TRUE(driver::FindChild(window, L"msctls_progress32")) << "no progress bar";
        } else {
            EXPECT_EQ(tool.StartByDrop(classId, {tree}, 10000), S_OK);
        }
        // An error box and the summary; none in setup.
        const driver::TRunResult run = driver::AnswerUntilExit(tool, 30000);
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(run.boxes.size(), *row == 'S' ? 0u : 2u);
        EXPECT_EQ(DeleteFileW(link.c_str()) != 0, *row == 'S') << "the SendTo shortcut";
        for (const wchar_t *name : names)
            EXPECT_FALSE(RemoveDirectoryW((sandbox / name + L".dll.loaded").c_str()))
                << driver::Utf8(name);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, appKey.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Morvandel");
    support::RunHostShell(L"rm -rf tree", sandbox.Path());
}
