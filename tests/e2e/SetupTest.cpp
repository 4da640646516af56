// Setup as a person does it: the real window read when it opens, driven with real key presses
// or button presses, then the registry (read in UTF-16), the SendTo folder and the exit code
// checked. Each row is one start of the tool; a row without arrange goes on from the last.
#include "Support.h"
#include "mv.API.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using support::Utf8;
using TLines = std::vector<std::wstring>;

namespace {

const wchar_t ShellKey[] = L"SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename";
const wchar_t CommandKey[] =
    L"SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename\\command";
const wchar_t VendorKey[] = L"SOFTWARE\\Morvandel";
const wchar_t SettingsKey[] = L"SOFTWARE\\Morvandel\\FolderRename";
const std::wstring DefaultName = L"MV - Folder Rename";
// Keys that are no characters: Tab, Escape, Backspace, Right arrow.
#define TAB L"\t"
#define ESC L"\x1b"
#define BACK L"\b"
#define RIGHT L"\u2192"

void Put(const std::wstring &key, const wchar_t *name, const std::wstring &text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// One line per key and per value below the verb's key and the vendor key, sorted.
void DumpKey(const std::wstring &path, TLines &lines) {
    mv::TRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return;
    lines.push_back(L"K " + path);
    wchar_t name[256];
    BYTE data[4096];
    for (DWORD i = 0, nameSize = 256, type, size = sizeof data;
         RegEnumValueW(key.Get(), i, name, &nameSize, nullptr, &type, data, &size) == ERROR_SUCCESS;
         ++i, nameSize = 256, size = sizeof data)
        lines.push_back(L"V " + path + L"|" + name + L"=" + std::to_wstring(type) + L":" +
                        std::wstring(reinterpret_cast<wchar_t *>(data), size / 2));
    for (DWORD i = 0, nameSize = 256; RegEnumKeyExW(key.Get(), i, name, &nameSize, nullptr, nullptr,
                                                    nullptr, nullptr) == ERROR_SUCCESS;
         ++i, nameSize = 256)
        DumpKey(path + L"\\" + name, lines);
}

TLines Registry() {
    TLines lines;
    DumpKey(ShellKey, lines);
    DumpKey(VendorKey, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::wstring Value(const std::wstring &key, const std::wstring &name, const std::wstring &text) {
    return L"V " + key + L"|" + name + L"=1:" + text + L'\0';
}

class SetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mv::TCoTaskText path;
        ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, path.Put())));
        sendTo_ = path.Get();
        sendToNames_ = Names(sendTo_);
        parentNames_ = Names(sendTo_.substr(0, sendTo_.find_last_of(L'\\')));
        for (const std::wstring &folder : {toolFolder_, cafeFolder_}) {
            ASSERT_TRUE(driver::MakeDirs(folder));
            ASSERT_TRUE(CopyFileW(driver::ToolPath().c_str(),
                                  (folder + L"\\FolderRename.exe").c_str(), FALSE));
        }
        ASSERT_TRUE(
            support::WriteBytes(toolFolder_ + L"\\FolderRename.ini", "[Options]\r\nDigits=6\r\n"));
        Clear();
    }
    void TearDown() override { Clear(); }

    static std::vector<std::wstring> Names(const std::wstring &folder) {
        std::vector<std::wstring> names;
        for (const support::TEntry &e : support::Snapshot(folder))
            if (e.path == e.name) names.push_back(e.name);
        return names;
    }
    std::vector<std::wstring> AddedToSendTo() const {
        std::vector<std::wstring> added;
        for (const std::wstring &name : Names(sendTo_))
            if (std::find(sendToNames_.begin(), sendToNames_.end(), name) == sendToNames_.end())
                added.push_back(name);
        return added;
    }
    void Clear() {
        RegDeleteTreeW(HKEY_CURRENT_USER, ShellKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, VendorKey);
        for (const std::wstring &name : AddedToSendTo())
            driver::RemoveTree(sendTo_ + L"\\" + name);
        DeleteFileW(Notes().c_str());
    }

    std::wstring Exe() const { return toolFolder_ + L"\\FolderRename.exe"; }
    std::wstring CommandText() const { return L"\"" + Exe() + L"\" \"%1\""; }
    std::wstring Notes() const { return temp_ / L"notes.txt"; }
    std::wstring SendToPath(const std::wstring &name) const { return sendTo_ + L"\\" + name; }
    TLines Verb(const std::wstring &name, const std::wstring &command = L"") const {
        return {L"K " + std::wstring(ShellKey), Value(ShellKey, L"", name),
                Value(ShellKey, L"Icon", L"\"" + Exe() + L"\",0"), L"K " + std::wstring(CommandKey),
                Value(CommandKey, L"", command.empty() ? CommandText() : command)};
    }
    TLines Link(const std::wstring &path) const {
        return {L"K " + std::wstring(VendorKey), L"K " + std::wstring(SettingsKey),
                Value(SettingsKey, L"", path)};
    }
    void PutVerb(const std::wstring &name, const std::wstring &command) const {
        Put(ShellKey, L"", name);
        Put(ShellKey, L"Icon", L"\"" + Exe() + L"\",0");
        Put(CommandKey, L"", command);
    }

    // Starts what was installed the way the shell does, on a folder with a Chinese name: every
    // folder below it gets 6 digits, read from the settings file beside the program.
    void RunInstalled(const std::wstring &command, const std::wstring &workDir, size_t digits) {
        const std::wstring root = temp_ / L"中文 run";
        ASSERT_TRUE(driver::MakeDirs(root + L"\\中文\\子") &&
                    support::WriteBytes(root + L"\\中文\\f", "f"));
        const auto before = support::Snapshot(root);
        std::wstring line = command;
        line.replace(line.find(L"%1"), 2, root);
        driver::TProcess tool;
        ASSERT_TRUE(tool.Start(line, workDir)) << Utf8(line);
        const driver::TRunResult run = driver::AnswerUntilExit(tool, 30000);
        EXPECT_TRUE(run.finished && run.boxes.size() == 1) << Utf8(line);
        support::ExpectRenamed(before, root, {digits});
        driver::RemoveTree(root);
    }

    mv::TComInit com_;
    std::wstring sendTo_;
    std::vector<std::wstring> sendToNames_, parentNames_;
    driver::TTempDir temp_{L"setup"};
    const std::wstring toolFolder_ = temp_ / L"Программа 😀";
    const std::wstring cafeFolder_ = temp_ / L"Caf\u00e9";
};

// Sends real key presses to the window in front; characters that are no key go as Unicode.
void PressKeys(const driver::TProcess &tool, const std::wstring &keys) {
    for (wchar_t c : keys) {
        const WORD key = c == L'\t'       ? VK_TAB
                         : c == L'\x1b'   ? VK_ESCAPE
                         : c == L'\b'     ? VK_BACK
                         : c == L' '      ? VK_SPACE
                         : c == L'\u2192' ? VK_RIGHT
                                          : 0;
        INPUT input[2] = {};
        for (INPUT &i : input) {
            i.type = INPUT_KEYBOARD;
            i.ki = {key, static_cast<WORD>(key ? 0 : c), DWORD(key ? 0 : KEYEVENTF_UNICODE)};
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        ASSERT_EQ(SendInput(2, input, sizeof(INPUT)), 2u);
        Sleep(40);
        GUITHREADINFO info = {sizeof info};
        GetGUIThreadInfo(tool.ThreadId(), &info);
        if (key == VK_TAB)
            EXPECT_TRUE(IsWindowEnabled(info.hwndFocus)) << "Tab on a disabled control";
    }
}

struct TSetupRow {
    const char *what;
    std::function<void()> arrange; // before the start, after Clear(); null: as the last row left it
    // The copy in a folder named in Cyrillic (0), the one in a folder code page 1252 can spell
    // (1), or the build's own (2): Wine keeps a link's target in the system's code page.
    int tool;
    std::wstring shows; // in the box at the start
    const char *state;  // the checked radio button (C, S) and the enabled buttons (I, U)
    std::function<void(HWND edit, HWND context)> whileOpen;
    std::wstring keys;    // real key presses
    const wchar_t *click; // then a mouse press on this button, if any
    TLines after;
    std::vector<std::wstring> sendTo; // what SendTo holds beyond what it held
    bool run;                         // start what was installed
};

} // namespace

TEST_F(SetupTest, Rows) {
    const std::wstring name40 = L"Rename every folder below this one now!!",
                       cyrillic = L"Отправить 😀";
    const std::wstring missing = SendToPath(L"FrTest Gone.lnk"),
                       stored = SendToPath(L"FrTest Stored.lnk");
    const std::wstring other = L"\"C:\\Elsewhere\\FolderRename.exe\" \"%1\"",
                       extra = ShellKey + std::wstring(L"\\Extra");
    auto join = [](TLines a, const TLines &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const TLines linked = Link(SendToPath(cyrillic + L".lnk")), vendor = {L"K SOFTWARE\\Morvandel"};
    // clang-format off
    const TSetupRow rows[] = {
        {"nothing installed: type a name, Tab to Install, Space", [] {}, 0, DefaultName, "CI", nullptr,
         name40 + TAB TAB L" ", nullptr, Verb(name40), {}, true},
        {"verb installed: Tab skips the disabled Install to Uninstall, Space", nullptr, 0, name40, "CU", nullptr,
         TAB TAB L" ", nullptr, {}, {}, false},
        {"a verb of another path: type a name, Tab, Right arrow to SendTo, Tab to Install, Space",
         [&] { PutVerb(L"Old", other); }, 2, L"Old", "CI", nullptr, cyrillic + TAB RIGHT TAB L" ", nullptr,
         linked, {cyrillic + L".lnk"}, true},
        {"shortcut installed: Escape closes and changes nothing", nullptr, 2, cyrillic, "SU", nullptr, ESC,
         nullptr, linked, {cyrillic + L".lnk"}, false},
        {"shortcut installed: Uninstall deletes it", nullptr, 2, cyrillic, "SU", nullptr, L"", L"Uninstall",
         vendor, {}, false},
        {"a separator in a SendTo name: nothing made, the verb stays", [&] { PutVerb(L"Old", other); }, 0,
         L"Old", "CI", nullptr, L"..\\Escape" TAB RIGHT TAB L" ", nullptr, Verb(L"Old", other), {}, false},
        {"the verb in other letter case is not ours; an emptied box installs the default name",
         [&] { PutVerb(L"Case", L"\"" + std::wstring(CharUpperW(&Exe()[0])) + L"\" \"%1\""); }, 0, L"Case",
         "CI", nullptr, BACK, L"Install", Verb(DefaultName), {}, false},
        {"a shortcut stored while the window is open goes with Install; a name beyond 1024 bytes is cut",
         [] {}, 0, DefaultName, "CI", [&](HWND edit, HWND) {
             SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(std::wstring(1100, L'n').c_str()));
             support::WriteBytes(stored, "link");
             Put(SettingsKey, L"", stored);
         }, L"", L"Install", join(Verb(std::wstring(1024, L'n')), vendor), {}, false},
        {"a stored file that is no link is neither deleted nor forgotten",
         [&] { support::WriteBytes(Notes(), "notes"), Put(SettingsKey, L"", Notes()); }, 0, L"notes", "SU",
         nullptr, L"", L"Uninstall", Link(Notes()), {}, false},
        {"Install with neither radio button checked writes nothing", [&] { Put(SettingsKey, L"", missing); },
         0, DefaultName, "CI", [](HWND, HWND context) { SendMessageW(context, BM_SETCHECK, BST_UNCHECKED, 0); },
         L"", L"Install", Link(missing), {}, false},
        {"Uninstall: a verb with an empty name and a key of its own, a stored file that is gone",
         [&] { PutVerb(L"", CommandText()), Put(extra, L"", L"x"), Put(SettingsKey, L"", missing); }, 0,
         DefaultName, "CU", nullptr, L"", L"Uninstall", join(Link(missing), {L"K " + std::wstring(ShellKey),
         Value(ShellKey, L"", L""), Value(ShellKey, L"Icon", L"\"" + Exe() + L"\",0"), L"K " + extra,
         Value(extra, L"", L"x")}), {}, false},
        {"a verb written in code page 1252 by an earlier build is recognised and removed", [&] {
             const std::string path = mv::WideToAnsi(cafeFolder_) + "\\FolderRename.exe", command = "\"" + path + "\" \"%1\"";
             RegSetKeyValueA(HKEY_CURRENT_USER, mv::WideToAnsi(CommandKey).c_str(), nullptr, REG_SZ, command.c_str(), command.size() + 1);
             RegSetKeyValueA(HKEY_CURRENT_USER, mv::WideToAnsi(ShellKey).c_str(), nullptr, REG_SZ, "Caf\xE9", 5);
         }, 1, L"Caf\u00e9", "CU", nullptr, L"", L"Uninstall", {}, {}, false},
    };
    // clang-format on
    for (const TSetupRow &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.arrange) Clear(), row.arrange();
        driver::TProcess tool;
        const std::wstring exes[] = {Exe(), cafeFolder_ + L"\\FolderRename.exe",
                                     driver::ToolPath()};
        ASSERT_TRUE(tool.StartTool(L"", exes[row.tool]));
        HWND window = tool.WaitForWindow(L"Morvandels_UI_CLASS", 20000);
        ASSERT_TRUE(window && WaitForInputIdle(tool.Handle(), 20000) == 0)
            << "no setup window in 20 s";
        HWND edit = driver::FindChild(window, L"Edit");
        HWND context = driver::FindChild(window, L"Button", L"Context");
        EXPECT_EQ(driver::WindowText(window), L"Morvandels Folder Rename");
        EXPECT_EQ(Utf8(driver::WindowText(edit)), Utf8(row.shows));
        std::string state;
        for (const wchar_t *button : {L"Context", L"SendTo", L"Install", L"Uninstall"}) {
            HWND control = driver::FindChild(window, L"Button", button);
            if (button[0] == L'C' || button[0] == L'S'
                    ? SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED
                    : IsWindowEnabled(control) != FALSE)
                state += static_cast<char>(button[0]);
        }
        EXPECT_EQ(state, row.state);
        if (row.whileOpen) row.whileOpen(edit, context);
        SetForegroundWindow(window);
        PressKeys(tool, row.keys);
        if (row.click)
            EXPECT_TRUE(driver::PressButton(driver::FindChild(window, L"Button", row.click)));
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(20000, code)) << "the tool did not end within 20 s";
        EXPECT_EQ(code, 0u);
        TLines expected = row.after;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Registry(), expected);
        EXPECT_EQ(AddedToSendTo(), row.sendTo);
        EXPECT_EQ(Names(sendTo_.substr(0, sendTo_.find_last_of(L'\\'))), parentNames_);
        if (row.run && row.sendTo.empty()) {
            wchar_t command[1024] = {};
            DWORD size = sizeof command;
            RegGetValueW(HKEY_CURRENT_USER, CommandKey, nullptr, RRF_RT_REG_SZ, nullptr, command,
                         &size);
            RunInstalled(command, L"", 6);
        } else if (row.run) {
            // The shell starts the link's target in its working folder, the program's own.
            std::wstring target, arguments, workDir;
            ASSERT_TRUE(support::ReadLink(SendToPath(row.sendTo[0]), target, arguments, workDir));
            EXPECT_EQ(target + L"|" + arguments + L"|" + workDir,
                      driver::ToolPath() + L"||" + driver::OwnFolder());
            RunInstalled(L"\"" + target + L"\" \"%1\"", workDir, 5);
        }
    }
}
