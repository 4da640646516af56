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
        // Every argument that names a folder is chosen; anything else is passed over.
        mv::TStrArr folders;
        for (int32_t i = 1; i <= ArgumentCount(); ++i) {
            const std::wstring folder = ChosenFolderPath(mv::AnsiToWide(GetArgument(i)));
            if (IsExistingFolder(folder)) folders.push_back(folder);
        }
        if (!folders.empty() && !HandOverToRun(folders)) RunRenaming();
    }
    return 0;
}
