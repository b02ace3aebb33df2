#pragma once
// Where each window and control of a layout goes at a given DPI. The layout's sizes are logical
// pixels at 96 DPI; a window lays itself out afresh whenever the DPI of its monitor changes.
#include "korfact/geometry.hpp"
#include "korfact/layout_model.hpp"

namespace KorFact {

// The DPI a window is drawn at: what the system reports, or 96 when that makes no sense.
int UsableDpi(int reported);

// The control's window in its enclosing window's client area at `dpi`. A dialog's box holds only
// its size (where it stands on screen is decided apart); a panel is centred over its window.
Rect PlaceAtDpi(const ControlSpec& spec, const ControlSpec* window, int dpi);

// The edit window inside the box its enclosing window draws: padded left and right, one line of
// text (`textHeight` pixels of its font) high, centred up and down.
Rect EditWindowIn(const Rect& box, int textHeight, int dpi);

} // namespace KorFact
