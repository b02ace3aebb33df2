#include "korfact/dpi_win.hpp"

#include "korfact/placement.hpp"

namespace KorFact {

int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return UsableDpi(dpi);
}

int WindowDpi(HWND window)
{
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"));
    if (dpiForWindow && window)
        return UsableDpi(static_cast<int>(dpiForWindow(window)));
    return SystemDpi();
}

} // namespace KorFact
