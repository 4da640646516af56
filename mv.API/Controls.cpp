// Window controls through the ANSI window functions.
#include "mv.API.h"

namespace mv {

namespace {

const int ControlTextCapacity = 1025;

} // namespace

HWND CreateControl(const std::string &className, const std::string &windowText, DWORD style,
                   int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu,
                   HINSTANCE instance, void *param) {
    return CreateWindowExA(0, className.c_str(), windowText.c_str(), style, x, y, width, height,
                           parent, menu, instance, param);
}

std::string GetControlText(HWND control) {
    char buffer[ControlTextCapacity] = {};
    SendMessageA(control, WM_GETTEXT, ControlTextCapacity, reinterpret_cast<LPARAM>(buffer));
    return std::string(buffer);
}

void SetControlText(HWND control, const std::string &text) {
    SendMessageA(control, WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(text.empty() ? nullptr : text.c_str()));
}

LRESULT GetButtonCheck(HWND button) {
    return SendMessageA(button, BM_GETCHECK, 0, 0);
}

void SetButtonCheck(HWND button, int32_t state) {
    SendMessageA(button, BM_SETCHECK, static_cast<WPARAM>(static_cast<intptr_t>(state)), 0);
}

} // namespace mv
