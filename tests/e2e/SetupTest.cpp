// Setup as a person does it: the real window read when it opens, driven with real key presses
// or button presses, then the registry (read in UTF-16), the SendTo folder and the exit code
// checked. Each row is one start of the tool; a row without arrange goes on from the last.
#include "Support.h"
#include "mv.API.h"

#include <gtest/gtest.h>
#include <shobjidl.h>

#include <algorithm>
#include <functional>
#include <set>

using driver::PutText;
using support::Utf8;
using TLines = std::vector<std::wstring>;

namespace {

const std::wstring ShellKey = L"SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename",
                   CommandKey = ShellKey + L"\\command", VendorKey = L"SOFTWARE\\Morvandel",
                   SettingsKey = VendorKey + L"\\FolderRename", DefaultName = L"MV - Folder Rename";
// Keys that are no characters: Tab, Escape, Backspace, Right arrow.
#define TAB L"\t"
#define ESC L"\x1b"
#define BACK L"\b"
#define RIGHT L"\u2192"

// One line per key and per value below path; a value as "key|name=type:data".
void DumpKey(const std::wstring &path, TLines &lines) {
    mv::TRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return;
    lines.push_back(path);
    wchar_t name[256];
    BYTE data[4096];
    for (DWORD i = 0, nameSize = 256, type, size = sizeof data;
         RegEnumValueW(key.Get(), i, name, &nameSize, nullptr, &type, data, &size) == ERROR_SUCCESS;
         ++i, nameSize = 256, size = sizeof data)
        lines.push_back(path + L"|" + name + L"=" + std::to_wstring(type) + L":" +
                        std::wstring(reinterpret_cast<wchar_t *>(data), size / 2));
    for (DWORD i = 0, nameSize = 256; RegEnumKeyExW(key.Get(), i, name, &nameSize, nullptr, nullptr,
                                                    nullptr, nullptr) == ERROR_SUCCESS;
         ++i, nameSize = 256)
        DumpKey(path + L"\\" + name, lines);
}

// A REG_SZ value stored with its terminating zero, as a line of DumpKey.
std::wstring Value(const std::wstring &key, const std::wstring &name, const std::wstring &text) {
    return key + L"|" + name + L"=1:" + text + L'\0';
}

// The target, arguments, description and working folder of a shell link.
struct TLink {
    std::wstring target, arguments, description, workDir;
};
TLink ReadLink(const std::wstring &file) {
    mv::TComPtr<IShellLinkW> link;
    mv::TComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return {L"(no link)", L"", L"", L""};
    wchar_t text[4][MAX_PATH] = {};
    link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(text[1], MAX_PATH);
    link->GetDescription(text[2], MAX_PATH);
    link->GetWorkingDirectory(text[3], MAX_PATH);
    return {text[0], text[1], text[2], text[3]};
}

// Sends real key presses to the window in front, each once the last has shown its effect (the
// focus, the text or a check mark changed, or the tool ended); characters that are no key go
// as Unicode.
void PressKeys(const driver::TProcess &tool, HWND window, HWND edit, HWND context,
               const std::wstring &keys) {
    auto seen = [&](HWND &focus) {
        GUITHREADINFO info = {sizeof info, 0,       nullptr, nullptr, nullptr,
                              nullptr,     nullptr, nullptr, {}};
        GetGUIThreadInfo(tool.ThreadId(), &info);
        focus = info.hwndFocus;
        return driver::WindowText(edit) + std::to_wstring(reinterpret_cast<UINT_PTR>(focus)) +
               std::to_wstring(SendMessageW(context, BM_GETCHECK, 0, 0) + tool.Running());
    };
    for (wchar_t c : keys) {
        const wchar_t specials[] = L"\t\x1b\b \u2192", *special = wcschr(specials, c);
        const WORD vk[] = {VK_TAB, VK_ESCAPE, VK_BACK, VK_SPACE, VK_RIGHT};
        const WORD key = special ? vk[special - specials] : 0;
        HWND focus = nullptr;
        const std::wstring before = seen(focus);
        support::PressKey(window, key, key ? 0 : c);
        support::WaitUntil([&] { return seen(focus) != before; });
        EXPECT_TRUE(key != VK_TAB || IsWindowEnabled(focus)) << "Tab on a disabled control";
    }
}

struct TSetupRow {
    const char *what;
    std::function<void()> arrange; // before the start, on a clean registry; null: as left
    // The copy in a folder named in Cyrillic (0), the one in a folder code page 1252 can spell
    // (1), or one in plain ASCII (2): Wine keeps a link's target in the system's code page.
    int tool;
    std::wstring shows; // in the box at the start
    const char *state;  // the checked radio button (C, S) and the enabled buttons (I, U)
    std::function<void(HWND edit, HWND context)> whileOpen;
    std::wstring keys;    // real key presses
    const wchar_t *click; // then a mouse press on this button, if any
    TLines after;
    std::set<std::wstring> sendTo; // what SendTo holds beyond what it held
    int dpi = 96;                  // the display scale the tool starts at
    bool closesIme = false;        // WM_CLOSE posted to the tool's input method window
};

// The window as a person sees it at that DPI: the client area of 96 DPI and every control scaled,
// the font of the scaled height, the whole title in the caption, and the enabled button's label
// as it was drawn first.
void ExpectLayout(HWND window, int dpi, std::vector<int> &places96) {
    const std::vector<int> places = support::ExpectScaled(window, dpi, places96);

    // The whole title fits in the caption beside the icon and the close box.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi));
    EXPECT_LE(support::TextSize(metrics.lfCaptionFont, driver::WindowText(window)).cx,
              places[0] - mv::SystemMetricForDpi(SM_CXSMICON, dpi) -
                  mv::SystemMetricForDpi(SM_CXSIZE, dpi))
        << "the title in the caption";

    // Another process's font cannot be read, but the edit box tells where its characters stand:
    // they stand as in the font of the scaled height.
    LOGFONTW font = {};
    font.lfHeight = -MulDiv(13, dpi, 96), font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET, font.lfQuality = ANTIALIASED_QUALITY;
    wcscpy(font.lfFaceName, L"MS Sans Serif");
    HWND edit = driver::FindChild(window, L"Edit");
    const std::wstring text = driver::WindowText(edit);
    const size_t last = std::min<size_t>(text.size(), 9) - 1; // no emoji among the first nine
    if (text.size() > 1) {
        EXPECT_EQ(short(LOWORD(SendMessageW(edit, EM_POSFROMCHAR, last, 0))) -
                      short(LOWORD(SendMessageW(edit, EM_POSFROMCHAR, 0, 0))),
                  support::TextSize(font, text.substr(0, last)).cx)
            << "the font's size: where the edit box's characters stand";
    }

    // The button that can be pressed shows on the screen the label it drew first, in the font of
    // the scaled height (a disabled one embosses).
    HWND button = driver::FindChild(window, L"Button", L"Install");
    if (!IsWindowEnabled(button)) button = driver::FindChild(window, L"Button", L"Uninstall");
    support::ExpectLabelInFont(button, font);
}

} // namespace

TEST(Setup, Rows) {
    mv::TComInit com;
    mv::TCoTaskText known;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, known.Put())));
    const std::wstring sendTo = known.Get();
    // What SendTo holds beyond what it held at the start.
    std::set<std::wstring> before;
    auto added = [&] {
        std::set<std::wstring> now;
        for (const support::TEntry &e : support::Snapshot(sendTo))
            if (e.path == e.name && !before.count(e.name)) now.insert(e.name);
        return now;
    };
    before = added(); // all it holds now
    driver::TTempDir temp(L"setup");
    const std::wstring tools[] = {temp / L"Программа 😀", temp / L"Caf\u00e9", temp / L"plain"};
    // clang-format off
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(support::MakeDirs(tools[i]) && CopyFileW(driver::ToolPath().c_str(), (tools[i] + L"\\FolderRename.exe").c_str(), 0));
    ASSERT_TRUE(support::WriteBytes(tools[0] + L"\\FolderRename.ini", "[Options]\r\nDigits=6\r\n"));
    // Every copy runs beside planted DLLs.
    for (const std::wstring &folder : tools)
        support::PlantDlls(folder);
    const std::wstring exe = tools[0] + L"\\FolderRename.exe", ours = L"\"" + exe + L"\" \"%1\"", icon = L"\"" + exe + L"\",0";
    const std::wstring other = L"\"C:\\Elsewhere\\FolderRename.exe\" \"%1\"", notes = temp / L"notes.txt";
    const std::wstring name40 = L"Rename every folder below this one now!!", cyrillic = L"Отправить 😀";
    const std::wstring missing = sendTo + L"\\FrTest Gone.lnk", stored = sendTo + L"\\FrTest Stored.lnk";
    // Wine runs everything with full rights and says that User Account Control is off; the rows
    // have it on, as most PCs do, unless they turn it off, and at the end it is off again.
    auto setLua = [](DWORD on) { RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"EnableLUA", REG_DWORD, &on, sizeof on); };
    // The entry's drop target names the program's class, which the user's classes hold.
    const std::wstring DropKey = ShellKey + L"\\DropTarget", ClassId = L"{FA8CA9B5-FF8C-45A3-90A2-51A62997D31F}";
    const std::wstring ClassKey = L"SOFTWARE\\Classes\\CLSID\\" + ClassId, ServerKey = ClassKey + L"\\LocalServer32";
    auto clear = [&] {
        RegDeleteTreeW(HKEY_CURRENT_USER, ShellKey.c_str()), RegDeleteTreeW(HKEY_CURRENT_USER, VendorKey.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, ClassKey.c_str()), setLua(1), support::SetToolDefaults(L"");
        for (const std::wstring &name : added())
            driver::RemoveTree(sendTo + L"\\" + name);
    };
    // The verb with its command and, unless an earlier version wrote it, its drop target and class.
    auto verb = [&](const std::wstring &name, const std::wstring &command, bool drop = true) {
        TLines lines = {ShellKey, Value(ShellKey, L"", name), Value(ShellKey, L"Icon", icon), CommandKey, Value(CommandKey, L"", command)};
        if (drop) lines.insert(lines.end(), {DropKey, Value(DropKey, L"CLSID", ClassId), ClassKey, ServerKey, Value(ServerKey, L"", L"\"" + exe + L"\"")});
        return lines;
    };
    auto putVerb = [&](const std::wstring &name, const std::wstring &command, bool drop = true) {
        PutText(ShellKey, name), PutText(ShellKey, icon, L"Icon"), PutText(CommandKey, command);
        if (drop) PutText(DropKey, ClassId, L"CLSID"), PutText(ServerKey, L"\"" + exe + L"\"");
    };
    auto link = [&](const std::wstring &path) { return TLines{VendorKey, SettingsKey, Value(SettingsKey, L"", path)}; };
    auto join = [](TLines a, const TLines &b) { return a.insert(a.end(), b.begin(), b.end()), a; };
    const TLines linked = link(sendTo + L"\\" + cyrillic + L".lnk");
    // What Install writes: the verb, shown by Explorer for up to 100 selected folders as a command, for any
    // number with its drop target.
    auto installed = [&](const std::wstring &name, bool drop = true) { return join(verb(name, ours, drop), {Value(ShellKey, L"MultiSelectModel", L"Player")}); };
    const TSetupRow rows[] = {
        {"nothing installed: type a name, Tab to Install, Space", [] {}, 0, DefaultName, "CI", nullptr,
         name40 + TAB TAB L" ", nullptr, installed(name40), {}},
        {"verb installed: Tab skips the disabled Install to Uninstall, Space", nullptr, 0, name40, "CU", nullptr,
         TAB TAB L" ", nullptr, {}, {}},
        {"a verb of another path: type a name, Tab, Right arrow to SendTo, Tab to Install, Space; on Vista, as the two "
         "rows after it", [&] { putVerb(L"Old", other), support::SetToolDefaults(L"vista"); }, 2, L"Old", "CI", nullptr, cyrillic + TAB RIGHT TAB L" ", nullptr, linked,
         {cyrillic + L".lnk"}},
        {"shortcut installed: Escape closes and changes nothing", nullptr, 2, cyrillic, "SU", nullptr, ESC, nullptr,
         linked, {cyrillic + L".lnk"}},
        {"shortcut installed: Uninstall deletes it", nullptr, 2, cyrillic, "SU", nullptr, L"", L"Uninstall",
         {VendorKey}, {}},
        {"a separator in a SendTo name: nothing made, the verb stays", [&] { putVerb(L"Old", other); }, 0, L"Old",
         "CI", nullptr, L"..\\Escape" TAB RIGHT TAB L" ", nullptr, verb(L"Old", other), {}},
        {"the verb in other letter case is not ours; an emptied box installs the default name",
         [&] { putVerb(L"Case", L"\"" + tools[0] + L"\\FOLDERRENAME.EXE\" \"%1\""); }, 0, L"Case", "CI", nullptr, BACK,
         L"Install", installed(DefaultName), {}},
        {"with User Account Control off, our entry with a drop target does nothing: not installed; Install makes it the "
         "classic entry alone", [&] { setLua(0), putVerb(L"Stale", ours); }, 0, L"Stale", "CI", nullptr, L"", L"Install",
         installed(L"Stale", false), {}},
        {"an earlier version's entry, without a drop target, is brought up to date; a shortcut stored while the window "
         "is open goes with Install; a name beyond 1024 bytes is cut", [&] { putVerb(DefaultName, ours, false); }, 0,
         DefaultName, "CI", [&](HWND edit, HWND) {
             SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(std::wstring(1100, L'n').c_str()));
             support::WriteBytes(stored, "link"), PutText(SettingsKey, stored);
         }, L"", L"Install", join(installed(std::wstring(1024, L'n')), {VendorKey}), {}},
        {"a stored file that is no link is neither deleted nor forgotten",
         [&] { support::WriteBytes(notes, "notes"), PutText(SettingsKey, notes); }, 0, L"notes", "SU", nullptr, L"",
         L"Uninstall", link(notes), {}},
        {"Install with neither radio button checked writes nothing", [&] { PutText(SettingsKey, missing); }, 0,
         DefaultName, "CI", [](HWND, HWND context) { SendMessageW(context, BM_SETCHECK, BST_UNCHECKED, 0); },
         L"", L"Install", link(missing), {}},
        {"Uninstall: a verb with an empty name and a key of its own, a stored file that is gone",
         [&] { putVerb(L"", ours), PutText(ShellKey + L"\\Extra", L"x"), PutText(SettingsKey, missing); }, 0, DefaultName,
         "CU", nullptr, L"", L"Uninstall", join(link(missing), {ShellKey, Value(ShellKey, L"", L""),
         Value(ShellKey, L"Icon", icon), ShellKey + L"\\Extra", Value(ShellKey + L"\\Extra", L"", L"x")}),
         {}},
        {"with User Account Control off, a verb written in code page 1252 by an earlier build is the whole entry: "
         "recognised and removed", [&] {
             setLua(0);
             const std::string command = "\"" + mv::WideToAnsi(tools[1]) + "\\FolderRename.exe\" \"%1\"";
             RegSetKeyValueA(HKEY_CURRENT_USER, mv::WideToAnsi(CommandKey).c_str(), nullptr, REG_SZ, command.c_str(),
                             command.size() + 1);
             RegSetKeyValueA(HKEY_CURRENT_USER, mv::WideToAnsi(ShellKey).c_str(), nullptr, REG_SZ, "Caf\xE9", 5);
         }, 1, L"Caf\u00e9", "CU", nullptr, L"", L"Uninstall", {}, {}},
        {"at 150%: the input method's window gets its messages; Escape closes", [] {}, 0, DefaultName, "CI",
         nullptr, ESC, nullptr, {}, {}, 144, true},
        {"at 200%: Uninstall removes the verb", [&] { putVerb(L"Big", ours); }, 0, L"Big", "CU", nullptr, L"",
         L"Uninstall", {}, {}, 192},
    };
    std::vector<int> places96; // set by the first row, at 96 DPI
    // clang-format on
    for (const TSetupRow &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.arrange) clear(), DeleteFileW(notes.c_str()), row.arrange();
        support::SetLogPixels(row.dpi);
        driver::TProcess tool;
        ASSERT_TRUE(tool.StartTool(L"", tools[row.tool] + L"\\FolderRename.exe"));
        HWND window = tool.WaitForWindow(L"Morvandels_UI_CLASS", 20000);
        ASSERT_TRUE(window) << "no window in 20 s";
        ASSERT_EQ(WaitForInputIdle(tool.Handle(), 20000), 0u) << "not waiting for input in 20 s";
        if (row.closesIme) {
            // Wine gives every GUI thread an input method window; the tool's closes only if the
            // loop hands it the message posted to it.
            HWND ime = FindWindowExW(nullptr, nullptr, L"IME", nullptr);
            while (ime && GetWindowThreadProcessId(ime, nullptr) != tool.ThreadId())
                ime = FindWindowExW(nullptr, ime, L"IME", nullptr);
            ASSERT_TRUE(ime) << "no input method window on the tool's thread";
            PostMessageW(ime, WM_CLOSE, 0, 0);
            EXPECT_TRUE(support::WaitUntil([&] { return !IsWindow(ime); }))
                << "the WM_CLOSE posted to the input method's window stayed in the queue";
        }
        HWND edit = driver::FindChild(window, L"Edit");
        HWND context = driver::FindChild(window, L"Button", L"Context");
        EXPECT_EQ(driver::WindowText(window), L"Morvandels Folder Rename");
        EXPECT_EQ(Utf8(driver::WindowText(edit)), Utf8(row.shows));
        // A radio button is on when checked, a push button when enabled.
        for (const char *name : {"Context", "SendTo", "Install", "Uninstall"}) {
            HWND button = FindWindowExA(window, nullptr, "Button", name);
            const bool on = name[1] == 'n' ? IsWindowEnabled(button)
                                           : SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
            EXPECT_EQ(on, strchr(row.state, name[0]) != nullptr) << name;
        }
        ExpectLayout(window, row.dpi, places96);
        if (row.whileOpen) row.whileOpen(edit, context);
        PressKeys(tool, window, edit, context, row.keys);
        EXPECT_TRUE(!row.click ||
                    driver::PressButton(driver::FindChild(window, L"Button", row.click)));
        DWORD code = 1;
        ASSERT_TRUE(tool.WaitExit(20000, code)) << "the tool did not end within 20 s";
        EXPECT_EQ(code, 0u);
        TLines registry, expected = row.after;
        DumpKey(ShellKey, registry), DumpKey(VendorKey, registry), DumpKey(ClassKey, registry);
        std::sort(registry.begin(), registry.end()), std::sort(expected.begin(), expected.end());
        EXPECT_EQ(registry, expected);
        EXPECT_EQ(added(), row.sendTo);

        // Start what was installed as the shell does: Explorer drops the folder on the verb's
        // class; SendTo starts the link's target in its working folder with
        // the folder as its argument.
        if (!row.sendTo.empty()) {
            const TLink link = ReadLink(sendTo + L"\\" + cyrillic + L".lnk");
            EXPECT_EQ(link.target, tools[2] + L"\\FolderRename.exe");
            EXPECT_EQ(link.arguments, L"");
            EXPECT_EQ(link.description, L"Folder Rename by Morvandel");
            EXPECT_EQ(link.workDir, tools[2] + L"\\");
        }
        if (&row != rows && &row != rows + 2) continue;
        const std::wstring root = temp / L"中文 run";
        ASSERT_TRUE(support::MakeDirs(root + L"\\中文\\子") &&
                    support::WriteBytes(root + L"\\中文\\f", "f"));
        const auto before = support::Snapshot(root);
        driver::TProcess run;
        if (row.sendTo.empty())
            EXPECT_EQ(run.StartByDrop(driver::EntryDropClass(), {root}, 10000), S_OK);
        else
            ASSERT_TRUE(
                run.StartTool(L"\"" + root + L"\"", tools[2] + L"\\FolderRename.exe", tools[2]));
        EXPECT_EQ(driver::AnswerUntilExit(run, 30000).boxes.size(), 1u) << "only the summary";
        support::ExpectRenamed(before, root,
                               {row.sendTo.empty() ? 6u : 5u}); // the settings file read
        driver::RemoveTree(root);
    }
    clear(), setLua(0), support::SetToolDefaults(nullptr);
    for (const std::wstring &folder : tools)
        support::PlantDlls(folder, false);
    // The other tests share this prefix: the display scale goes again.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
}
