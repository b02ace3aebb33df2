#include "korfact/dpi_win.hpp"

#include "korfact/gdi_win.hpp"
#include "korfact/placement.hpp"

namespace KorFact {

int SystemDpi()
{
    const WindowDc screen(nullptr);
    return UsableDpi(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

int WindowDpi(HWND window)
{
    using DpiForWindow = UINT(WINAPI*)(HWND);
    // Through void*: the looked-up address has a type of its own.
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow && window)
        return UsableDpi(static_cast<int>(dpiForWindow(window)));
    return SystemDpi();
}

} // namespace KorFact
