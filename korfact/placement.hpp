#pragma once
// Where each window and control of a layout goes at a given DPI. The layout's sizes are logical
// pixels at 96 DPI; a window lays itself out afresh whenever the DPI of its monitor changes.
#include "korfact/geometry.hpp"
#include "korfact/layout_model.hpp"

#include <vector>

namespace KorFact {

// Logical pixels between the text of a label that scrolls and its scroll bar.
constexpr int kScrollGap = 8;

// A label of a window that stands `extra` pixels taller than its layout box to show its text.
struct Growth {
    const ControlSpec* label;
    int extra;
};

// How much taller than its layout box `label` stands at `dpi` to show `textHeight` pixels of
// text: what it lacks, at most what its maxheight allows, none for a label that keeps its height.
int GrowthAtDpi(const ControlSpec& label, int textHeight, int dpi);

// The DPI a window is drawn at: what the system reports, or 96 when that makes no sense.
int UsableDpi(int reported);

// The control's window in its enclosing window's client area at `dpi`. A dialog's box holds only
// its size (where it stands on screen is decided apart); a panel is centred over its window.
// `grown` are the labels that grew: for a window its own, which make it taller by all they
// grew; for a control those of its window, which push it down when they lie above it.
Rect PlaceAtDpi(const ControlSpec& spec, const ControlSpec* window, int dpi,
                const std::vector<Growth>& grown = {});

// The edit window inside the box its enclosing window draws: padded left and right, one line of
// text (`textHeight` pixels of its font) high, centred up and down.
Rect EditWindowIn(const Rect& box, int textHeight, int dpi);

} // namespace KorFact
