// The setup window: the menu name and its place, read from the registry at start, and the
// Install and Uninstall commands, each of which ends the program.
#include "App.h"

#include <cstdlib>

HWND MainWindow = nullptr;

namespace {

const char WindowClassName[] = "Morvandels_UI_CLASS";
const char WindowTitle[] = "Morvandels Folder Rename";
const char DefaultMenuName[] = "MV - Folder Rename";
const char LinkDescription[] = "Folder Rename by Morvandel";
const char ShellKeyPath[] = "SOFTWARE\\Classes\\Directory\\shell\\MorvandelsFolderRename\\";
const char CommandSubkey[] = "command\\";
const char SettingsKeyPath[] = "SOFTWARE\\Morvandel\\FolderRename\\";
const char DropTargetSubkey[] = "DropTarget\\";
const char ClassesKeyPath[] = "SOFTWARE\\Classes\\CLSID\\";
const char ServerSubkey[] = "LocalServer32\\";
// The key's unnamed value.
const char DefaultValue[] = "";

int32_t WindowWidth = 222;
int32_t WindowHeight = 150;
const int32_t FontHeight = -13;
const DWORD WindowStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER;
const DWORD WindowExStyle = WS_EX_WINDOWEDGE | WS_EX_TOPMOST;

// Client coordinates at 96 DPI; other DPIs scale all four numbers.
const mv::TPlace InstallPlace = {6, 5, 100, 25}, UninstallPlace = {110, 5, 100, 25},
                 LabelPlace = {6, 35, 202, 21}, EditPlace = {6, 55, 202, 21},
                 GroupPlace = {6, 85, 202, 51}, ContextPlace = {20, 105, 75, 21},
                 SendToPlace = {120, 105, 75, 21};

HINSTANCE AppInstance = nullptr;
WNDCLASSA SetupWindowClass = {};
HWND InstallButton = nullptr;
HWND UninstallButton = nullptr;
HWND MenuNameLabel = nullptr;
HWND MenuNameEdit = nullptr;
HWND LocationGroup = nullptr;
HWND ContextRadio = nullptr;
HWND SendToRadio = nullptr;
HFONT UIFont = nullptr;
// The DPI the window and its controls are laid out for.
uint32_t UIDpi = 96;
MSG LoopMessage = {};
std::string MenuName;

enum TInstallState { ContextInstalled, SendToInstalled, NotInstalled };

std::string CommandKeyPath() {
    return std::string(ShellKeyPath) + CommandSubkey;
}

std::string DropTargetKeyPath() {
    return std::string(ShellKeyPath) + DropTargetSubkey;
}
std::string ClassKeyPath() {
    return std::string(ClassesKeyPath) + DropTargetClassId + "\\";
}
std::string ServerKeyPath() {
    return ClassKeyPath() + ServerSubkey;
}

// COM ignores the classes of HKEY_CURRENT_USER for a process with full rights, and so for such
// an Explorer: a drop target there would leave the entry doing nothing. Explorer has full rights
// where User Account Control is off, and for the built-in Administrator, whose programs run
// elevated without a second, filtered token. This program runs with Explorer's token.
bool PerUserClassesServed() {
    DWORD enabled = 1, size = sizeof enabled;
    // A system without the value has User Account Control on.
    if (RegGetValueA(HKEY_LOCAL_MACHINE,
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "EnableLUA",
                     RRF_RT_REG_DWORD, nullptr, &enabled, &size) == ERROR_SUCCESS &&
        enabled == 0)
        return false;
    mv::TKernelHandle token;
    TOKEN_ELEVATION elevation = {};
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD got = 0;
    // A token that cannot be read is taken for an ordinary one.
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()) ||
        !GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &got) ||
        !GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &got))
        return true;
    return !elevation.TokenIsElevated || type != TokenElevationTypeDefault;
}

std::string QuotedExePath(const std::string &exePath) {
    return "\"" + exePath + "\"";
}
std::string CommandText(const std::string &exePath) {
    return QuotedExePath(exePath) + " \"%1\"";
}
std::string IconText(const std::string &exePath) {
    return QuotedExePath(exePath) + ",0";
}

int32_t Scaled(int32_t value) {
    return mv::ScaleForDpi(value, UIDpi);
}

HWND CreateChild(const char *className, const std::string &text, DWORD style,
                 const mv::TPlace &place) {
    // The controls have no identifiers: the window procedure knows them by their handles.
    return mv::CreateControl(className, text, style, Scaled(place.x), Scaled(place.y),
                             Scaled(place.width), Scaled(place.height), MainWindow, nullptr,
                             AppInstance, nullptr);
}

// The window at dpi: the client area it has at 96 DPI, scaled, inside the caption and frame of
// that DPI, and placed by the 96-DPI formula with the metrics of that DPI. At 96 DPI this is
// exactly the rectangle the window always had.
RECT SetupWindowRect(uint32_t dpi) {
    const int32_t captionHeight96 = mv::SystemMetricForDpi(SM_CYSIZE, 96);
    RECT frame96 = {}, frame = {};
    mv::AdjustWindowRectForDpi(frame96, WindowStyle, WindowExStyle, 96);
    mv::AdjustWindowRectForDpi(frame, WindowStyle, WindowExStyle, dpi);
    const int32_t clientWidth = WindowWidth - (frame96.right - frame96.left);
    const int32_t clientHeight = WindowHeight + captionHeight96 - (frame96.bottom - frame96.top);
    const int32_t width = mv::ScaleForDpi(clientWidth, dpi) + (frame.right - frame.left);
    const int32_t height = mv::ScaleForDpi(clientHeight, dpi) + (frame.bottom - frame.top);

    const int32_t captionHeight = mv::SystemMetricForDpi(SM_CYSIZE, dpi);
    // Each halving is made by itself, and the metrics are taken from the window's height less
    // its caption (WindowHeight at 96 DPI), not from the real height.
    const int32_t x = GetSystemMetrics(SM_CXFULLSCREEN) / 2 - width / 2;
    const int32_t y =
        GetSystemMetrics(SM_CYFULLSCREEN) / 2 -
        (height - captionHeight - (captionHeight + mv::SystemMetricForDpi(SM_CYMIN, dpi))) / 2;
    return {x, y, x + width, y + height};
}

HFONT CreateUIFont() {
    return CreateFontA(Scaled(FontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0,
                       "MS Sans Serif");
}

void PlaceControls() {
    const std::pair<HWND, mv::TPlace> places[] = {
        {InstallButton, InstallPlace}, {UninstallButton, UninstallPlace},
        {MenuNameLabel, LabelPlace},   {MenuNameEdit, EditPlace},
        {LocationGroup, GroupPlace},   {ContextRadio, ContextPlace},
        {SendToRadio, SendToPlace}};
    for (const auto &[control, place] : places)
        mv::MoveToPlace(control, place, UIDpi);
}

// The controls in creation order, the order the font is handed out in.
void SetUIFont(BOOL redraw) {
    for (HWND control : {InstallButton, UninstallButton, MenuNameLabel, MenuNameEdit, LocationGroup,
                         ContextRadio, SendToRadio})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(UIFont), redraw);
}

// The window moved to a monitor of another scale: the system suggests the rectangle.
void ChangeDpi(HWND window, uint32_t dpi, const RECT &suggested) {
    UIDpi = dpi;
    mv::MoveToRect(window, suggested);
    PlaceControls();
    // Before creation has made the font there is none to replace: it is made at this DPI then.
    if (!UIFont) return;
    const HFONT font = CreateUIFont();
    // Without a font for the new scale the controls keep the old one rather than none.
    if (!font) return;
    const HFONT oldFont = UIFont;
    UIFont = font;
    SetUIFont(TRUE);
    DeleteObject(oldFont);
}

TInstallState ReadInstallState(std::string &linkPath) {
    const std::string command =
        mv::RegReadString(HKEY_CURRENT_USER, CommandKeyPath(), DefaultValue);
    const std::string exePath = GetArgument(0);
    const std::string classId = mv::RegReadString(HKEY_CURRENT_USER, DropTargetKeyPath(), "CLSID");
    // An entry without its drop target, as earlier versions wrote it, is brought up to date by
    // Install; so is one with a drop target that Explorer would not serve.
    const bool dropTargetAsWritten =
        PerUserClassesServed() ? classId == DropTargetClassId &&
                                     mv::RegReadString(HKEY_CURRENT_USER, ServerKeyPath(),
                                                       DefaultValue) == QuotedExePath(exePath)
                               : classId.empty();
    if (command == CommandText(exePath) && dropTargetAsWritten) return ContextInstalled;
    linkPath = mv::RegReadString(HKEY_CURRENT_USER, SettingsKeyPath, DefaultValue);
    return mv::FileExists(linkPath) ? SendToInstalled : NotInstalled;
}

void ApplyInstallState(TInstallState state, const std::string &linkPath) {
    switch (state) {
    case ContextInstalled:
        mv::SetButtonCheck(ContextRadio, BST_CHECKED);
        mv::SetButtonCheck(SendToRadio, BST_UNCHECKED);
        EnableWindow(InstallButton, FALSE);
        EnableWindow(UninstallButton, TRUE);
        break;
    case SendToInstalled:
        mv::SetControlText(MenuNameEdit, MenuNameFromLink(linkPath));
        mv::SetButtonCheck(ContextRadio, BST_UNCHECKED);
        mv::SetButtonCheck(SendToRadio, BST_CHECKED);
        EnableWindow(InstallButton, FALSE);
        EnableWindow(UninstallButton, TRUE);
        break;
    case NotInstalled:
        EnableWindow(InstallButton, TRUE);
        mv::SetButtonCheck(ContextRadio, BST_CHECKED);
        break;
    }
}

bool IsChecked(HWND button) {
    return static_cast<uint32_t>(mv::GetButtonCheck(button)) == BST_CHECKED;
}

[[noreturn]] void CloseSetup() {
    DeleteObject(UIFont);
    // Fails while the window still exists; nothing depends on it.
    UnregisterClassA(WindowClassName, AppInstance);
    PostQuitMessage(0);
    // The process ends here, inside the window procedure: static objects are destroyed and
    // the system releases COM and the window with the process.
    std::exit(0);
}

void RemoveSendToShortcut() {
    const std::string linkPath =
        mv::RegReadString(HKEY_CURRENT_USER, SettingsKeyPath, DefaultValue);
    // Only a link is ever stored by Install; any other file named there is not ours to delete.
    if (!IsLinkPath(linkPath) || !mv::FileExists(linkPath)) return;
    // The path is forgotten even when the file cannot be deleted.
    DeleteFileA(linkPath.c_str());
    mv::RegDeleteKeyPath(HKEY_CURRENT_USER, SettingsKeyPath);
}

// Only a key without subkeys can be deleted: each key's subkeys go first.
void RemoveDropTarget() {
    mv::RegDeleteKeyPath(HKEY_CURRENT_USER, DropTargetKeyPath());
    mv::RegDeleteKeyPath(HKEY_CURRENT_USER, ServerKeyPath());
    mv::RegDeleteKeyPath(HKEY_CURRENT_USER, ClassKeyPath());
}

void RemoveContextMenu() {
    mv::RegDeleteKeyPath(HKEY_CURRENT_USER, CommandKeyPath());
    RemoveDropTarget();
    mv::RegDeleteKeyPath(HKEY_CURRENT_USER, ShellKeyPath);
}

[[noreturn]] void InstallCommand() {
    const std::string exePath = GetArgument(0);
    MenuName = mv::GetControlText(MenuNameEdit);
    if (MenuName.empty()) {
        MenuName = DefaultMenuName;
        mv::SetControlText(MenuNameEdit, MenuName);
    }
    if (IsChecked(ContextRadio)) {
        mv::RegWriteString(HKEY_CURRENT_USER, ShellKeyPath, DefaultValue, MenuName);
        mv::RegWriteString(HKEY_CURRENT_USER, ShellKeyPath, "Icon", IconText(exePath));
        // With a command alone Explorer shows the entry for up to 100 selected folders and starts
        // one copy per folder, which join one run; a launcher may still run the command.
        mv::RegWriteString(HKEY_CURRENT_USER, ShellKeyPath, "MultiSelectModel", "Player");
        mv::RegWriteString(HKEY_CURRENT_USER, CommandKeyPath(), DefaultValue, CommandText(exePath));
        // With the drop target Explorer shows it for any selection and starts the program once,
        // as a COM server, to drop the whole selection on it.
        if (PerUserClassesServed()) {
            mv::RegWriteString(HKEY_CURRENT_USER, ServerKeyPath(), DefaultValue,
                               QuotedExePath(exePath));
            mv::RegWriteString(HKEY_CURRENT_USER, DropTargetKeyPath(), "CLSID", DropTargetClassId);
        } else {
            RemoveDropTarget();
        }
        RemoveSendToShortcut();
    }
    if (IsChecked(SendToRadio)) {
        std::wstring linkPath;
        if (mv::MakeShortcut(QuotedExePath(exePath), LinkDescription, "", MenuName, "",
                             mv::LinkSendTo, true, linkPath)) {
            mv::RegWriteString(HKEY_CURRENT_USER, SettingsKeyPath, DefaultValue,
                               mv::WideToAnsi(linkPath));
            RemoveContextMenu();
        }
    }
    CloseSetup();
}

[[noreturn]] void UninstallCommand() {
    RemoveSendToShortcut();
    RemoveContextMenu();
    CloseSetup();
}

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The notification code in wParam is not looked at: any command from a button is a press.
    if (message == WM_COMMAND && reinterpret_cast<HWND>(lParam) == InstallButton) InstallCommand();
    if (message == WM_COMMAND && reinterpret_cast<HWND>(lParam) == UninstallButton)
        UninstallCommand();
    // Escape reaches us from the dialog manager as IDCANCEL with no sender: close as the close
    // box does.
    if (message == WM_COMMAND && lParam == 0 && LOWORD(wParam) == IDCANCEL) {
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_DPICHANGED) {
        ChangeDpi(window, LOWORD(wParam), *reinterpret_cast<const RECT *>(lParam));
        return 0;
    }
    if (message == WM_DESTROY) CloseSetup();
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

std::string MenuNameFromLink(const std::string &linkPath) {
    const std::string name = mv::ExtractFileName(linkPath);
    const std::string ext = mv::ExtractFileExt(name);
    // Cut at the first occurrence of the extension text, so "a.lnk b.lnk" gives "a".
    const size_t found = ext.empty() ? std::string::npos : name.find(ext);
    return found == std::string::npos ? std::string() : name.substr(0, found);
}

bool IsLinkPath(const std::string &path) {
    return mv::EndsWith(".lnk", mv::ExtractFileName(path), false);
}

void CreateSetupWindow() {
    AppInstance = GetModuleHandleA(nullptr);

    SetupWindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_CLASSDC | CS_PARENTDC;
    SetupWindowClass.lpfnWndProc = SetupWindowProc;
    SetupWindowClass.hInstance = AppInstance;
    SetupWindowClass.hIcon = LoadIconA(AppInstance, "MAINICON");
    SetupWindowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // A system colour index + 1 stands for a brush of that colour.
    SetupWindowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    SetupWindowClass.lpszMenuName = "";
    SetupWindowClass.lpszClassName = WindowClassName;
    RegisterClassA(&SetupWindowClass);

    // The window is made for the system's DPI; the DPI it then has is its own, which differs
    // where the monitor it lands on has another scale.
    UIDpi = mv::WindowDpi(nullptr);
    RECT place = SetupWindowRect(UIDpi);
    // DS_CENTER means nothing to a window of this class; the coordinates place it.
    MainWindow = CreateWindowExA(WindowExStyle, WindowClassName, WindowTitle, WindowStyle,
                                 place.left, place.top, place.right - place.left,
                                 place.bottom - place.top, nullptr, nullptr, AppInstance, nullptr);
    if (!MainWindow) {
        UnregisterClassA(WindowClassName, AppInstance);
        return;
    }
    if (mv::WindowDpi(MainWindow) != UIDpi) {
        UIDpi = mv::WindowDpi(MainWindow);
        place = SetupWindowRect(UIDpi);
        mv::MoveToRect(MainWindow, place);
    }

    UIFont = CreateUIFont();

    const DWORD pushStyle = WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP | BS_PUSHLIKE;
    const DWORD radioStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;
    InstallButton = CreateChild("Button", "Install", pushStyle, InstallPlace);
    UninstallButton = CreateChild("Button", "Uninstall", pushStyle, UninstallPlace);
    MenuNameLabel =
        CreateChild("Static", "Menu Name:", WS_CHILD | WS_VISIBLE | SS_CENTER, LabelPlace);

    MenuName = mv::RegReadString(HKEY_CURRENT_USER, ShellKeyPath, DefaultValue);
    if (MenuName.empty()) MenuName = DefaultMenuName;

    // ES_AUTOHSCROLL: a name longer than the box can still be typed.
    MenuNameEdit = CreateChild(
        "Edit", MenuName,
        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL, EditPlace);
    LocationGroup =
        CreateChild("Button", "[Menu Location]", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, GroupPlace);
    // The two radio buttons form one group that unchecks itself; WS_GROUP on the first keeps the
    // arrow keys between them.
    ContextRadio = CreateChild("Button", "Context", radioStyle | WS_GROUP, ContextPlace);
    SendToRadio = CreateChild("Button", "SendTo", radioStyle, SendToPlace);

    std::string linkPath;
    const TInstallState state = ReadInstallState(linkPath);
    ApplyInstallState(state, linkPath);

    // No redraw now: the first paint comes with the message loop.
    if (UIFont) SetUIFont(FALSE);
    // Wine paints a button the moment it is enabled, in the font it has then (none yet), and
    // that label stayed on the screen: the whole window is painted anew with the loop.
    RedrawWindow(MainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    // Typing replaces the name at once.
    SetFocus(MenuNameEdit);
    SendMessageA(MenuNameEdit, EM_SETSEL, 0, -1);
}

void RunMessageLoop() {
    UpdateWindow(MainWindow);
    // Every message of the thread, not only the window's: the input method's window and COM's
    // hidden window live on this thread too, and a message left queued for either can hang the
    // input method, and the window with it. A failure (-1) ends the loop as WM_QUIT does: going
    // on would spin on it.
    // The Unicode forms hand a typed character to the edit box whole; through the ANSI forms,
    // under the UTF-8 code page, every character outside ASCII arrived there as "?". The window
    // procedure still receives its own messages in their ANSI form.
    while (GetMessageW(&LoopMessage, nullptr, 0, 0) > 0) {
        // The dialog manager gives the window Tab, the arrow keys and Escape.
        if (IsDialogMessageW(MainWindow, &LoopMessage)) continue;
        TranslateMessage(&LoopMessage);
        DispatchMessageW(&LoopMessage);
    }
    DeleteObject(UIFont);
    UnregisterClassA(WindowClassName, AppInstance);
}
