// The setup window.
#include "App.h"

HWND MainWindow = nullptr;

void CreateSetupWindow() {}

void RunMessageLoop() {}
