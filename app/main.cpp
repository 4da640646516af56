// Entry: chooses between the setup window and a renaming run.
#include "App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SeedRandom();
    if (ArgumentCount() == 0) {
        // The shortcut code needs COM on this thread; the window may call it at any time.
        mv::TComInit com;
        CreateSetupWindow();
        if (MainWindow) RunMessageLoop();
    } else if (mv::DirectoryExists(GetArgument(1))) {
        RunRenaming();
    }
    return 0;
}
