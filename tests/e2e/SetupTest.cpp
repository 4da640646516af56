// Setup mode from end to end: the real window read and driven as a person would (typing into
// the edit box, pressing only enabled buttons, the close box), then the registry, the SendTo
// folder and the exit code checked; and renaming runs started the way the shell starts them.
#include "Driver.h"
#include "TempTree.h"
#include "mv.API.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

const wchar_t WindowClass[] = L"Morvandels_UI_CLASS";
const char ShellKey[] = "SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename";
const char VendorKey[] = "SOFTWARE\\Morvandel";
const char SettingsKey[] = "SOFTWARE\\Morvandel\\FolderRename";
const std::string DefaultName = "MV - Folder Rename";
const DWORD TimeoutMs = 20000;

std::string ExePath() {
    return mv::WideToAnsi(driver::ToolPath());
}
std::string CommandText() {
    return "\"" + ExePath() + "\" \"%1\"";
}
std::string IconText() {
    return "\"" + ExePath() + "\",0";
}
std::string OtherCommand() {
    return "\"C:\\Elsewhere\\FolderRename.exe\" \"%1\"";
}

std::string Upper(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::wstring SendToFolder() {
    mv::TCoTaskText path;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, path.Put()))) return L"";
    return path.Get();
}

// Keys are written and read here without the tool's own registry code.
void Put(const std::string &key, const char *name, const std::string &text) {
    mv::TRegKey handle;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              handle.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle.Get(), name, 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

void PutVerb(const std::string &menuName, const std::string &command) {
    Put(ShellKey, "", menuName);
    Put(ShellKey, "Icon", IconText());
    Put(std::string(ShellKey) + "\\command", "", command);
}

void PutLinkPath(const std::wstring &path) {
    Put(SettingsKey, "", mv::WideToAnsi(path));
}

std::string Get(const std::string &key, const char *name) {
    char data[2048] = {};
    DWORD size = sizeof data - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return std::string();
    return data;
}

// The registry as setup can touch it: one line per key and per value, below the verb's key
// and below the vendor key above the settings key.
void SnapshotKey(const std::string &path, std::vector<std::string> &lines) {
    mv::TRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return;
    lines.push_back("K " + path);
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key.Get(), i, name, &nameSize, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameSize = sizeof name;
        RegEnumValueA(key.Get(), i, name, &nameSize, nullptr, &type,
                      reinterpret_cast<BYTE *>(&data[0]), &size);
        lines.push_back("V " + path + "|" + name + "=" + std::to_string(type) + ":" + data);
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key.Get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        SnapshotKey(path + "\\" + name, lines);
    }
}

std::vector<std::string> Registry() {
    std::vector<std::string> lines;
    SnapshotKey(ShellKey, lines);
    SnapshotKey(VendorKey, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Expected snapshot lines: a key, and a REG_SZ value stored with its terminating zero.
std::string KeyLine(const std::string &path) {
    return "K " + path;
}
std::string ValueLine(const std::string &path, const std::string &name, const std::string &text) {
    return "V " + path + "|" + name + "=1:" + text + '\0';
}
std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}
// The three values of an installed verb.
std::vector<std::string> VerbLines(const std::string &menuName, const std::string &command) {
    const std::string commandKey = std::string(ShellKey) + "\\command";
    return {KeyLine(ShellKey), ValueLine(ShellKey, "", menuName),
            ValueLine(ShellKey, "Icon", IconText()), KeyLine(commandKey),
            ValueLine(commandKey, "", command)};
}

// A stored shortcut path, with the vendor key above it.
std::vector<std::string> LinkLines(const std::wstring &path) {
    return {KeyLine(VendorKey), KeyLine(SettingsKey),
            ValueLine(SettingsKey, "", mv::WideToAnsi(path))};
}
std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return Sorted(a);
}

struct TSetupWindow {
    HWND window = nullptr;
    HWND install = nullptr, uninstall = nullptr, edit = nullptr, context = nullptr,
         sendTo = nullptr;
};

// Starts the tool without arguments and finds the window once its message loop waits.
bool OpenSetup(driver::TProcess &tool, TSetupWindow &setup) {
    if (!tool.StartTool(L"")) return false;
    setup.window = tool.WaitForWindow(WindowClass, TimeoutMs);
    if (!setup.window || !tool.WaitIdle(TimeoutMs)) return false;
    setup.install = driver::FindChild(setup.window, L"Button", L"Install");
    setup.uninstall = driver::FindChild(setup.window, L"Button", L"Uninstall");
    setup.edit = driver::FindChild(setup.window, L"Edit");
    setup.context = driver::FindChild(setup.window, L"Button", L"Context");
    setup.sendTo = driver::FindChild(setup.window, L"Button", L"SendTo");
    return setup.install && setup.uninstall && setup.edit && setup.context && setup.sendTo &&
           driver::FindChild(setup.window, L"Static", L"Menu Name:") &&
           driver::FindChild(setup.window, L"Button", L"[Menu Location]");
}

// A posted click is carried out in turn; a person sees the mark before going on.
bool WaitChecked(HWND button) {
    for (int tries = 0; tries < 500; ++tries) {
        if (driver::ButtonCheck(button) == BST_CHECKED) return true;
        Sleep(10);
    }
    return false;
}

void CloseByCloseBox(HWND window) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

class SetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(sendTo_.empty());
        Clear();
    }
    void TearDown() override { Clear(); }

    // No keys, and nothing in SendTo or beside it that a test or the tool added.
    void Clear() {
        RegDeleteTreeA(HKEY_CURRENT_USER, ShellKey);
        RegDeleteTreeA(HKEY_CURRENT_USER, VendorKey);
        sendToBaseline_.RemoveAdded();
        parentBaseline_.RemoveAdded();
    }
    std::wstring SendToPath(const std::wstring &name) const { return sendTo_ + L"\\" + name; }

    mv::TComInit com_;
    const std::wstring sendTo_ = SendToFolder();
    const driver::TFolderBaseline sendToBaseline_{sendTo_};
    const driver::TFolderBaseline parentBaseline_{driver::ParentFolder(sendTo_)};
    driver::TTempDir temp_{L"setup"};
};

} // namespace

TEST_F(SetupTest, InitialStateShowsWhatIsInstalled) {
    const std::wstring folderX = temp_ / L"Folder X.lnk";
    const std::wstring noDot = temp_ / L"name";
    const std::wstring twice = temp_ / L"a.lnk b.lnk";
    for (const std::wstring &file : {folderX, noDot, twice})
        ASSERT_TRUE(driver::WriteBytes(file, "link"));
    ASSERT_TRUE(driver::MakeDirs(temp_ / L"Folder.lnk"));

    struct Case {
        const char *label;
        std::function<void()> arrange;
        std::string edit;
        bool context, sendTo, install, uninstall;
    };
    const Case cases[] = {
        {"no keys", [] {}, DefaultName, true, false, true, false},
        {"installed verb", [] { PutVerb("Rename here", CommandText()); }, "Rename here", true,
         false, false, true},
        {"verb of another program path", [] { PutVerb("Other path", OtherCommand()); },
         "Other path", true, false, true, false},
        {"verb of another letter case",
         [] { PutVerb("Other case", "\"" + Upper(ExePath()) + "\" \"%1\""); }, "Other case", true,
         false, true, false},
        {"empty verb name", [] { PutVerb("", CommandText()); }, DefaultName, true, false, false,
         true},
        {"verb and a stored shortcut",
         [&] {
             PutVerb("Both", CommandText());
             PutLinkPath(folderX);
         },
         "Both", true, false, false, true},
        {"shortcut Folder X.lnk", [&] { PutLinkPath(folderX); }, "Folder X", false, true, false,
         true},
        {"shortcut without a dot", [&] { PutLinkPath(noDot); }, "", false, true, false, true},
        {"shortcut a.lnk b.lnk", [&] { PutLinkPath(twice); }, "a", false, true, false, true},
        {"stored path of a folder", [&] { PutLinkPath(temp_ / L"Folder.lnk"); }, DefaultName, true,
         false, true, false},
        {"stored path of a missing file", [&] { PutLinkPath(temp_ / L"Gone.lnk"); }, DefaultName,
         true, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Clear();
        c.arrange();
        const auto registryBefore = Registry();

        driver::TProcess tool;
        TSetupWindow setup;
        ASSERT_TRUE(OpenSetup(tool, setup));
        EXPECT_EQ(driver::WindowText(setup.window), L"Morvandels Folder Rename");
        EXPECT_TRUE(GetWindowLongW(setup.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(mv::WideToAnsi(driver::WindowText(setup.edit)), c.edit);
        EXPECT_EQ(driver::ButtonCheck(setup.context) == BST_CHECKED, c.context);
        EXPECT_EQ(driver::ButtonCheck(setup.sendTo) == BST_CHECKED, c.sendTo);
        EXPECT_EQ(IsWindowEnabled(setup.install) != FALSE, c.install);
        EXPECT_EQ(IsWindowEnabled(setup.uninstall) != FALSE, c.uninstall);

        CloseByCloseBox(setup.window);
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(TimeoutMs, code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(Registry(), registryBefore);
        EXPECT_TRUE(sendToBaseline_.Added().empty());
    }
}

TEST_F(SetupTest, InstallAndUninstallLeaveExactlyTheirRegistration) {
    enum TChoice { KeepChoice, ChooseContext, ChooseSendTo, ChooseNeither };
    struct Case {
        const char *label;
        std::function<void()> arrange;
        const wchar_t *typed; // nullptr: the edit box is left as it is
        TChoice choice;
        std::function<void(const TSetupWindow &)> whileOpen;
        const wchar_t *button;
        bool pressable;
        std::function<std::vector<std::string>()> registryAfter; // empty: as before
        std::vector<std::wstring> sendToAfter;                   // beyond the baseline
        std::wstring mustRemain = L"";                           // a file that stays, if any
    };
    const std::string commandKey = std::string(ShellKey) + "\\command";
    const std::wstring stored = SendToPath(L"FrTest Stored.lnk");
    const std::wstring storedUpper = SendToPath(L"FrTest Stored.LNK");
    const std::wstring notes = temp_ / L"notes.txt";
    const std::wstring missing = SendToPath(L"FrTest Gone.lnk");
    auto storeLink = [](const std::wstring &path) {
        ASSERT_TRUE(driver::WriteBytes(path, "link"));
        PutLinkPath(path);
    };
    const std::vector<std::wstring> none;
    const std::wstring longName(1100, L'n');

    const Case cases[] = {
        {"install with Context", [] {}, L"Rename here", ChooseContext, nullptr, L"Install", true,
         [] { return Sorted(VerbLines("Rename here", CommandText())); }, none},
        {"install with an empty edit box", [] {}, L"", KeepChoice, nullptr, L"Install", true,
         [] { return Sorted(VerbLines(DefaultName, CommandText())); }, none},
        // Typing stops where the box is full (no ES_AUTOHSCROLL), so the long text is set.
        {"install with a name beyond 1024 bytes", [] {}, nullptr, KeepChoice,
         [&](const TSetupWindow &setup) {
             SendMessageW(setup.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(longName.c_str()));
         },
         L"Install", true, [] { return Sorted(VerbLines(std::string(1024, 'n'), CommandText())); },
         none},
        {"install with SendTo removes a verb",
         [] { PutVerb("Old", OtherCommand()); },
         L"Rename here",
         ChooseSendTo,
         nullptr,
         L"Install",
         true,
         [&] { return Sorted(LinkLines(SendToPath(L"Rename here.lnk"))); },
         {L"Rename here.lnk"}},
        {"install with SendTo and ?", [] { PutVerb("Old", OtherCommand()); }, L"Bad?Name",
         ChooseSendTo, nullptr, L"Install", true, nullptr, none},
        {"install with SendTo and \\", [] { PutVerb("Old", OtherCommand()); }, L"..\\Escape",
         ChooseSendTo, nullptr, L"Install", true, nullptr, none},
        {"install with SendTo and /", [] { PutVerb("Old", OtherCommand()); }, L"../Escape",
         ChooseSendTo, nullptr, L"Install", true, nullptr, none},
        {"install with SendTo and :", [] { PutVerb("Old", OtherCommand()); }, L"Name:stream",
         ChooseSendTo, nullptr, L"Install", true, nullptr, none},
        {"install with Context and a shortcut that appeared", [] {}, L"Rename here", KeepChoice,
         [&](const TSetupWindow &) { storeLink(stored); }, L"Install", true,
         [] { return Joined(VerbLines("Rename here", CommandText()), {KeyLine(VendorKey)}); },
         none},
        {"install with Context and a stored file that is no link", [] {}, L"Rename here",
         KeepChoice, [&](const TSetupWindow &) { storeLink(notes); }, L"Install", true,
         [&] { return Joined(VerbLines("Rename here", CommandText()), LinkLines(notes)); }, none,
         notes},
        {"install with neither radio button", [&] { PutLinkPath(missing); }, L"Rename here",
         ChooseNeither, nullptr, L"Install", true, nullptr, none},
        {"uninstall a verb", [] { PutVerb("Rename here", CommandText()); }, nullptr, KeepChoice,
         nullptr, L"Uninstall", true, [] { return std::vector<std::string>(); }, none},
        {"uninstall a verb with a missing stored file",
         [&] {
             PutVerb("Rename here", CommandText());
             PutLinkPath(missing);
         },
         nullptr, KeepChoice, nullptr, L"Uninstall", true,
         [&] { return Sorted(LinkLines(missing)); }, none},
        {"uninstall a verb with an extra subkey",
         [] {
             PutVerb("Rename here", CommandText());
             Put(std::string(ShellKey) + "\\Extra", "", "x");
         },
         nullptr, KeepChoice, nullptr, L"Uninstall", true,
         [] {
             const std::string extra = std::string(ShellKey) + "\\Extra";
             return Sorted({KeyLine(ShellKey), ValueLine(ShellKey, "", "Rename here"),
                            ValueLine(ShellKey, "Icon", IconText()), KeyLine(extra),
                            ValueLine(extra, "", "x")});
         },
         none},
        {"uninstall a shortcut", [&] { storeLink(stored); }, nullptr, KeepChoice, nullptr,
         L"Uninstall", true, [] { return std::vector<std::string>{KeyLine(VendorKey)}; }, none},
        {"uninstall a shortcut of upper-case extension", [&] { storeLink(storedUpper); }, nullptr,
         KeepChoice, nullptr, L"Uninstall", true,
         [] { return std::vector<std::string>{KeyLine(VendorKey)}; }, none},
        {"uninstall a shortcut and a verb of another path",
         [&] {
             storeLink(stored);
             PutVerb("Old", OtherCommand());
         },
         nullptr, KeepChoice, nullptr, L"Uninstall", true,
         [] { return std::vector<std::string>{KeyLine(VendorKey)}; }, none},
        {"uninstall leaves a stored file that is no link", [&] { storeLink(notes); }, nullptr,
         KeepChoice, nullptr, L"Uninstall", true, [&] { return Sorted(LinkLines(notes)); }, none,
         notes},
        {"uninstall cannot be pressed when nothing is installed",
         [] { PutVerb("Old", OtherCommand()); }, nullptr, KeepChoice, nullptr, L"Uninstall", false,
         nullptr, none},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Clear();
        DeleteFileW(notes.c_str());
        c.arrange();
        driver::TProcess tool;
        TSetupWindow setup;
        ASSERT_TRUE(OpenSetup(tool, setup));
        if (c.whileOpen) c.whileOpen(setup);
        const auto registryBefore = Registry();
        const auto parentBefore = driver::ChildNames(parentBaseline_.Folder());

        if (c.typed) driver::TypeText(setup.edit, c.typed);
        if (c.choice == ChooseContext || c.choice == ChooseSendTo) {
            HWND radio = c.choice == ChooseContext ? setup.context : setup.sendTo;
            ASSERT_TRUE(driver::PressButton(radio));
            ASSERT_TRUE(WaitChecked(radio));
        }
        if (c.choice == ChooseNeither) {
            // A person cannot uncheck a radio button by clicking; the test does it directly.
            SendMessageW(setup.context, BM_SETCHECK, BST_UNCHECKED, 0);
            SendMessageW(setup.sendTo, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        HWND button = c.button == std::wstring(L"Install") ? setup.install : setup.uninstall;
        ASSERT_EQ(driver::PressButton(button), c.pressable);
        if (!c.pressable) CloseByCloseBox(setup.window);

        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(TimeoutMs, code));
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(Registry(), c.registryAfter ? c.registryAfter() : registryBefore);
        EXPECT_EQ(sendToBaseline_.Added(), c.sendToAfter);
        EXPECT_EQ(driver::ChildNames(parentBaseline_.Folder()), parentBefore);
        if (!c.mustRemain.empty()) {
            EXPECT_EQ(driver::ReadBytes(c.mustRemain), "link");
        }
    }
}

// Installs through the window, then starts a renaming run of a folder the way the shell does
// for that place.
TEST_F(SetupTest, InstalledPlaceStartsARenamingRun) {
    struct Case {
        const char *label;
        bool sendTo;
    };
    const Case cases[] = {{"context-menu verb", false}, {"SendTo shortcut", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Clear();
        driver::TTempDir tree(L"shell run");
        ASSERT_GT(driver::BuildTree(tree.Path(), 2, 3), 0);
        ASSERT_TRUE(driver::WriteBytes(tree / L"top.txt", "top"));
        ASSERT_TRUE(driver::WriteBytes(tree / L"d0\\d1\\deep.txt", "deep"));
        const auto before = driver::Snapshot(tree.Path());

        driver::TProcess tool;
        TSetupWindow setup;
        ASSERT_TRUE(OpenSetup(tool, setup));
        driver::TypeText(setup.edit, L"Rename here");
        HWND radio = c.sendTo ? setup.sendTo : setup.context;
        ASSERT_TRUE(driver::PressButton(radio));
        ASSERT_TRUE(WaitChecked(radio));
        ASSERT_TRUE(driver::PressButton(setup.install));
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(TimeoutMs, code));

        std::wstring command;
        if (c.sendTo) {
            // The shell starts the link's target with the folder as one more argument.
            driver::TLinkFields link;
            ASSERT_TRUE(driver::ReadLink(SendToPath(L"Rename here.lnk"), link));
            command = L"\"" + link.path + L"\" " + link.arguments + L" \"" + tree.Path() + L"\"";
        } else {
            // The shell puts the folder where the stored command has %1.
            command = mv::AnsiToWide(Get(std::string(ShellKey) + "\\command", ""));
            const size_t at = command.find(L"%1");
            ASSERT_NE(at, std::wstring::npos);
            command.replace(at, 2, tree.Path());
        }
        const driver::TRunResult run = driver::RunCommandAndAnswer(command);
        ASSERT_TRUE(run.started);
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes.back().caption, L"Morvandels Folder Renamer");

        const auto after = driver::Snapshot(tree.Path());
        EXPECT_EQ(driver::FoldersPerDepth(after), driver::FoldersPerDepth(before));
        EXPECT_EQ(driver::FileContents(after), driver::FileContents(before));
        for (const driver::TEntry &entry : after) {
            if (!entry.folder) continue;
            EXPECT_FALSE(entry.name.empty());
            EXPECT_EQ(entry.name.find_first_not_of(L"0123456789"), std::wstring::npos)
                << mv::WideToAnsi(entry.path);
        }
    }
}
