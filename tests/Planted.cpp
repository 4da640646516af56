// Stands for a DLL that a web page left beside the program: once loaded, it leaves a file
// "NAME.dll.loaded" beside itself, whatever name it was given.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void *) {
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (reason != DLL_PROCESS_ATTACH || length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyW(path + length, L".loaded");
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}
