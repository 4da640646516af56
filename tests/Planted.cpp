// Stands for a DLL that a web page left beside the program: once loaded, it leaves a folder
// "NAME.dll.loaded" beside itself, whatever name it was given.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void *) {
    wchar_t path[MAX_PATH + 8] = {};
    if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameW(self, path, MAX_PATH) < MAX_PATH)
        CreateDirectoryW(lstrcatW(path, L".loaded"), nullptr);
    return TRUE;
}
