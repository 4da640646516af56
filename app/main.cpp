// Entry: chooses between the setup window and a renaming run.
#include "App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SeedRandom();
    if (ArgumentCount() == 0) {
        // The shortcut code needs COM on this thread; the window may call it at any time.
        mv::TComInit com;
        CreateSetupWindow();
        if (MainWindow) RunMessageLoop();
    } else {
        const std::wstring folder = ChosenFolderPath(mv::AnsiToWide(GetArgument(1)));
        if (IsExistingFolder(folder)) RunRenaming(folder);
    }
    return 0;
}
