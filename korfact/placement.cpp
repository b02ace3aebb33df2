#include "korfact/placement.hpp"

#include <algorithm>
#include <climits>

namespace KorFact {
namespace {

// Windows offers 96 to 480 DPI (100 % to 500 %); anything else is a failed query.
constexpr int kLeastDpi = 48;
constexpr int kMostDpi = 960;
constexpr int kEditPadding = 8;

} // namespace

int UsableDpi(int reported)
{
    return reported >= kLeastDpi && reported <= kMostDpi ? reported : 96;
}

int GrowthAtDpi(const ControlSpec& label, int textHeight, int dpi)
{
    if (label.maxHeight <= label.height)
        return 0;
    const int height = ScaleToDpi(label.y + label.height, dpi) - ScaleToDpi(label.y, dpi);
    const int most = ScaleToDpi(label.y + label.maxHeight, dpi) - ScaleToDpi(label.y, dpi);
    return std::clamp(textHeight, height, most) - height;
}

Rect PlaceAtDpi(const ControlSpec& spec, const ControlSpec* window, int dpi,
                const std::vector<Growth>& grown, int windowExtra)
{
    Rect box = ScaleToDpi(Rect{spec.x, spec.y, spec.width, spec.height}, dpi);
    if (TraitsOf(spec.kind).window) {
        for (const Growth& growth : grown)
            box.height += growth.extra;
    } else {
        for (const Growth& growth : grown)
            if (growth.label == &spec)
                box.height += growth.extra;
            else if (growth.label->y + growth.label->height <= spec.y)
                box.y += growth.extra;
    }
    if (spec.kind == Kind::Dialog)
        return Rect{0, 0, box.width, box.height};
    if (spec.kind == Kind::Panel && window) {
        Rect outer = ScaleToDpi(Rect{0, 0, window->width, window->height}, dpi);
        outer.height += windowExtra;
        return CentreIn(box, outer);
    }
    return box;
}

int MostGrowthAtDpi(const ControlSpec& label, const ControlSpec& panel, int screenHeight, int dpi)
{
    const int left = screenHeight - 2 * ScaleToDpi(kPanelMargin, dpi) -
                     ScaleToDpi(Rect{0, 0, panel.width, panel.height}, dpi).height;
    return std::max(0, std::min(GrowthAtDpi(label, INT_MAX, dpi), left));
}

int DialogGrowthAtDpi(const ControlSpec& dialog, int panelHeight, int dpi)
{
    const int height = PlaceAtDpi(dialog, nullptr, dpi).height;
    return std::max(0, panelHeight + 2 * ScaleToDpi(kPanelMargin, dpi) - height);
}

Rect EditWindowIn(const Rect& box, int textHeight, int dpi)
{
    const int padding = ScaleToDpi(kEditPadding, dpi);
    const int height = std::max(0, std::min(textHeight + 2, box.height - 2));
    return Rect{box.x + padding, box.y + (box.height - height) / 2,
                std::max(0, box.width - 2 * padding), height};
}

} // namespace KorFact
