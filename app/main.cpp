// Entry: chooses between the setup window, the context-menu entry's drop target and a renaming
// run.
#include "App.h"

#include <commctrl.h>
#include <versionhelpers.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 LoadConfig() {
    IMAGE_LOAD_CONFIG_DIRECTORY64 config = {};
    config.Size = sizeof config;
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32; // DependentLoadFlags in newer headers
    return config;
}

} // namespace

// Windows 10 1607 and later look for the imports that load with the program, before any of its
// code runs, in System32 alone. GNU ld keeps this (-u) but leaves the header's directory entry
// that points at it to scripts/load_config.py.
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = LoadConfig();

namespace {

template <typename TFunction> TFunction LoadedFunction(HMODULE module, const char *name) {
    return reinterpret_cast<TFunction>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// Windows looks for a DLL that is not one of its known DLLs in the program's folder first, and a
// downloaded copy is often started in Downloads, where any web page can leave a file.
void RestrictDllSearch() {
    // Missing on Vista, and on Windows 7 without update KB2533623. On Vista a shell link cannot be
    // saved once the search is restricted, and SendTo's Install saves one.
    const auto setDefaultDirectories = LoadedFunction<BOOL(WINAPI *)(DWORD)>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDirectories && IsWindows7OrGreater() &&
        setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Otherwise the current folder leaves the search, and the DLLs that Windows' own DLLs load by
    // name later are loaded now from System32, so that those loads find them loaded; their own
    // imports are searched for there too.
    SetDllDirectoryW(L"");
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    for (const wchar_t *name :
         {L"uxtheme", L"dwmapi",  L"propsys",  L"version", L"cryptbase", L"cryptsp", L"winmm",
          L"oleacc",  L"userenv", L"profapi",  L"dbghelp", L"wtsapi32",  L"msimg32", L"apphelp",
          L"ntmarta", L"sspicli", L"linkinfo", L"ntshrui", L"cscapi",    L"srvcli"})
        LoadLibraryExW((std::wstring(system) + L"\\" + name + L".dll").c_str(), nullptr,
                       LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Loaded, not imported: an import would load the common controls, and the DLLs they load, before
// WinMain could restrict the search. The manifest makes them version 6, from side-by-side.
void LoadCommonControls() {
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    const auto init = controls ? LoadedFunction<BOOL(WINAPI *)(const INITCOMMONCONTROLSEX *)>(
                                     controls, "InitCommonControlsEx")
                               : nullptr;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    if (init) init(&classes);
}

// A server that Explorer started but never called ends after this long.
const DWORD DropWaitMs = 30000;

// Every item that names a folder is chosen; anything else is passed over.
void RenameChosen(const mv::TStrArr &items, bool dropped) {
    mv::TStrArr folders;
    for (const std::wstring &item : items) {
        const std::wstring folder = ChosenFolderPath(item);
        if (IsExistingFolder(folder)) folders.push_back(folder);
    }
    if (!folders.empty() && !HandOverToRun(folders)) RunRenaming(dropped);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    LoadCommonControls();
    SeedRandom();
    if (ArgumentCount() == 0) {
        // The shortcut code needs COM on this thread; the window may call it at any time.
        mv::TComInit com;
        CreateSetupWindow();
        if (MainWindow) RunMessageLoop();
    } else if (ArgumentCount() == 1 && IsServerArgument(GetArgument(1))) {
        // COM stays for the whole run: Explorer's last calls arrive while it works.
        mv::TComInit com;
        RenameChosen(WaitForDrop(DropTargetClassId, DropWaitMs), true);
    } else {
        mv::TStrArr arguments;
        for (int32_t i = 1; i <= ArgumentCount(); ++i)
            arguments.push_back(mv::AnsiToWide(GetArgument(i)));
        RenameChosen(arguments, false);
    }
    return 0;
}
