#pragma once
// The DPI a window is drawn at. Per-monitor DPI comes from calls that Windows 10 added; they are
// looked up at run time, so the library still loads on older systems, which have one DPI.
#include <windows.h>

namespace KorFact {

// The DPI of the screen as a whole (the primary monitor's when the process is DPI aware).
int SystemDpi();

// The DPI of the monitor `window` is on, or the system's where the system cannot tell.
int WindowDpi(HWND window);

} // namespace KorFact
