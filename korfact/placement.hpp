#pragma once
// Where each window and control of a layout goes at a given DPI. The layout's sizes are logical
// pixels at 96 DPI; a window lays itself out afresh whenever the DPI of its monitor changes.
#include "korfact/geometry.hpp"
#include "korfact/layout_model.hpp"

#include <vector>

namespace KorFact {

// Logical pixels between the text of a label that scrolls and its scroll bar.
constexpr int kScrollGap = 8;
// Logical pixels a panel that grew taller than its dialog allows keeps from the dialog's edges.
constexpr int kPanelMargin = 8;

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
// grew; for a control those of its window, which push it down when they lie above it. A panel
// is centred over its dialog standing `windowExtra` pixels taller than laid out.
Rect PlaceAtDpi(const ControlSpec& spec, const ControlSpec* window, int dpi,
                const std::vector<Growth>& grown = {}, int windowExtra = 0);

// The most `label` of `panel` may grow at `dpi` when the panel's dialog may stand at most
// `screenHeight` pixels tall: what its maxheight allows, or what that height leaves, whichever
// is less.
int MostGrowthAtDpi(const ControlSpec& label, const ControlSpec& panel, int screenHeight, int dpi);

// How much taller than laid out `dialog` stands at `dpi` to hold a panel of `panelHeight` pixels
// with kPanelMargin above and below it: none while the panel fits as laid out.
int DialogGrowthAtDpi(const ControlSpec& dialog, int panelHeight, int dpi);

// The edit window inside the box its enclosing window draws: padded left and right, one line of
// text (`textHeight` pixels of its font) high, centred up and down.
Rect EditWindowIn(const Rect& box, int textHeight, int dpi);

} // namespace KorFact
