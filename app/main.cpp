// Entry: chooses between the setup window, the context-menu entry's drop target and a renaming
// run.
#include "App.h"

namespace {

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
