// Which chosen folders need a question before a run.
#include "App.h"
#include "Support.h"

#include <gtest/gtest.h>

using support::Utf8;

TEST(Guard, DecisionForEachKindOfFolderAndTheSystemsOwn) {
    driver::TTempDir sandbox(L"guard");
    ASSERT_TRUE(support::MakeDirs(sandbox / L"Long Folder Name\\Inner"));
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW((sandbox / L"Long Folder Name").c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortPath), sandbox / L"Long Folder Name") << "no short name here";
    // As they are on disk: the decision shows a folder by its real name.
    const mv::TStrArr system = {L"C:\\windows", L"C:\\users", L"C:\\users\\bob",
                                L"C:\\users\\bob\\AppData\\Roaming",
                                sandbox / L"Long Folder Name\\Inner"};
    ASSERT_TRUE(SetCurrentDirectoryW(sandbox.Path().c_str()));
    const struct {
        std::wstring path;
        TGuard::TKind kind;
        std::wstring systemFolder;
    } cases[] = {
        // clang-format off
        {L"C:\\", TGuard::DriveRoot, L""}, {L"C:\\Windows\\..", TGuard::DriveRoot, L""},
        {L"\\\\server\\share\\", TGuard::ShareRoot, L""}, {L"\\\\?\\UNC\\server\\share", TGuard::ShareRoot, L""},
        {L"\\\\server\\share\\x", TGuard::None, L""},
        {L"c:\\WINDOWS\\", TGuard::IsSystemFolder, L"C:\\windows"},
        {L"\\\\?\\C:\\Windows", TGuard::IsSystemFolder, L"C:\\windows"},
        {L"C:/Users/bob/./AppData/Roaming/Vendor/..", TGuard::IsSystemFolder, L"C:\\users\\bob\\AppData\\Roaming"},
        {L"C:\\users\\bob\\AppData", TGuard::HoldsSystemFolder, L"C:\\users\\bob\\AppData\\Roaming"},
        {L"C:\\users\\bob\\AppData\\Roaming\\Vendor", TGuard::None, L""},
        {L"C:\\Users2", TGuard::None, L""}, {L"C:\\Windows.old", TGuard::None, L""},
        // Only the beginning of a system folder's name: nothing is held.
        {L"C:\\Win", TGuard::None, L""}, {L"C:\\users\\bob\\AppDat", TGuard::None, L""},
        // The folder "Windows." is another than "Windows"; the run works on the name as given.
        {L"C:\\Windows.", TGuard::None, L""},
        {L"Long Folder Name", TGuard::HoldsSystemFolder, sandbox / L"Long Folder Name\\Inner"},
        {shortPath, TGuard::HoldsSystemFolder, sandbox / L"Long Folder Name\\Inner"},
        {std::wstring(shortPath) + L"\\INNER", TGuard::IsSystemFolder, sandbox / L"Long Folder Name\\Inner"},
        // clang-format on
    };
    for (const auto &c : cases) {
        const TGuard guard = GuardFor(c.path, system);
        EXPECT_EQ(guard.kind, c.kind) << Utf8(c.path);
        EXPECT_EQ(Utf8(guard.systemFolder), Utf8(c.systemFolder)) << Utf8(c.path);
        EXPECT_EQ(GuardText({guard}).empty(), c.kind == TGuard::None) << Utf8(c.path);
    }
    // One question names every folder that needs one, the later ones too.
    const std::wstring both =
        GuardText({GuardFor(L"C:\\", system), GuardFor(L"C:\\windows", system)});
    EXPECT_NE(both.find(L"\r\nC:\\windows\r\nIt is a folder"), std::wstring::npos) << Utf8(both);
    SetCurrentDirectoryW(L"C:\\");
    // The system's own folders as the environment names them, and the folder of all profiles.
    for (const wchar_t *variable :
         {L"%WINDIR%", L"%ProgramFiles%", L"%ProgramFiles(x86)%", L"%ProgramData%",
          L"%USERPROFILE%", L"%USERPROFILE%\\..", L"%APPDATA%", L"%LOCALAPPDATA%"}) {
        wchar_t path[MAX_PATH] = {};
        ASSERT_GT(ExpandEnvironmentStringsW(variable, path, MAX_PATH), 0u);
        EXPECT_EQ(GuardFor(path, SystemFolders()).kind, TGuard::IsSystemFolder) << Utf8(variable);
    }
}
