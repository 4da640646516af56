// Display scale: the DPI a window is drawn at, and sizes made for 96 DPI scaled to it.
#include "mv.API.h"

namespace mv {

namespace {

const int32_t DesignDpi = 96;

// The per-window DPI functions exist from Windows 10 1607 on; earlier systems get the
// system-wide values, so the program still starts on Vista.
template <typename TFunction> TFunction User32Function(const char *name) {
    return reinterpret_cast<TFunction>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

uint32_t SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<uint32_t>(dpi) : DesignDpi;
}

} // namespace

uint32_t WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<UINT(WINAPI *)(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi ? dpi : SystemDpi();
}

int32_t ScaleForDpi(int32_t value, uint32_t dpi) {
    return MulDiv(value, static_cast<int>(dpi), DesignDpi);
}

int32_t SystemMetricForDpi(int32_t index, uint32_t dpi) {
    static const auto getMetric =
        User32Function<int(WINAPI *)(int, UINT)>("GetSystemMetricsForDpi");
    return getMetric ? getMetric(index, dpi) : GetSystemMetrics(index);
}

bool AdjustWindowRectForDpi(RECT &rect, DWORD style, DWORD exStyle, uint32_t dpi) {
    static const auto adjust = User32Function<BOOL(WINAPI *)(RECT *, DWORD, BOOL, DWORD, UINT)>(
        "AdjustWindowRectExForDpi");
    return adjust ? adjust(&rect, style, FALSE, exStyle, dpi) != 0
                  : AdjustWindowRectEx(&rect, style, FALSE, exStyle) != 0;
}

void MoveToPlace(HWND window, const TPlace &place, uint32_t dpi) {
    SetWindowPos(window, nullptr, ScaleForDpi(place.x, dpi), ScaleForDpi(place.y, dpi),
                 ScaleForDpi(place.width, dpi), ScaleForDpi(place.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveToRect(HWND window, const RECT &rect) {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace mv
