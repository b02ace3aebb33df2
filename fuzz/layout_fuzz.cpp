// The layout file: ParseLayout either refuses with a reason and leaves nothing, or gives a
// layout the windows can be built from: unique names and ids, each control after the window
// that holds it and inside its bounds, texts within their buffers, close buttons that exist,
// labels that grow only inside panels, never below their own height.
#include "fuzz/fuzz_check.hpp"

#include "korfact/layout_model.hpp"

#include <set>

using namespace KorFact;

namespace {

bool IsWindow(Kind kind)
{
    return kind == Kind::Dialog || kind == Kind::Panel;
}

void CheckControl(const Layout& layout, std::size_t index)
{
    const ControlSpec& spec = layout.controls[index];
    FuzzCheck(spec.id >= 1 && spec.id <= 0xFFFF, "ids fit the low word", spec.name);
    FuzzCheck(spec.width >= 1 && spec.height >= 1 && spec.x >= 0 && spec.y >= 0,
              "controls have an area", spec.name);
    const std::size_t capacity =
        spec.kind == Kind::Edit ? static_cast<std::size_t>(spec.limit) : kTextCapacity;
    FuzzCheck(spec.text.size() <= capacity, "texts fit their buffers", spec.name);
    if (spec.parent < 0) {
        FuzzCheck(spec.kind == Kind::Dialog, "only dialogs stand alone", spec.name);
        return;
    }
    FuzzCheck(static_cast<std::size_t>(spec.parent) < index, "windows come before what they hold",
              spec.name);
    const ControlSpec& window = layout.controls[spec.parent];
    FuzzCheck(IsWindow(window.kind) && spec.kind != Kind::Dialog, "controls lie in windows",
              spec.name);
    FuzzCheck(spec.x + spec.width <= window.width && spec.y + spec.height <= window.height,
              "controls lie inside their window", spec.name);
    if (spec.maxHeight > 0)
        FuzzCheck(spec.kind == Kind::Label && window.kind == Kind::Panel &&
                      spec.maxHeight >= spec.height,
                  "only labels in panels grow, never shrink", spec.name);
}

bool HasCloseButton(const Layout& layout, std::size_t window)
{
    for (const ControlSpec& control : layout.controls)
        if (control.parent == static_cast<int>(window) &&
            control.name == layout.controls[window].close)
            return control.kind == Kind::Button;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Layout layout;
    LayoutError error;
    bool loaded = false;
    RunOnProductStack([&] { loaded = ParseLayout(FuzzText(data, size), layout, error); });
    if (!loaded) {
        FuzzCheck(layout.controls.empty(), "a refused layout leaves nothing");
        FuzzCheck(!error.reason.empty() && !error.element.empty(), "a refusal says where and why");
        return 0;
    }
    FuzzCheck(!layout.controls.empty(), "a loaded layout has a dialog");
    std::set<std::string> names;
    std::set<int> ids;
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
        const ControlSpec& spec = layout.controls[i];
        FuzzCheck(!spec.name.empty() && names.insert(spec.name).second, "names are unique",
                  spec.name);
        FuzzCheck(ids.insert(spec.id).second, "ids are unique", std::to_string(spec.id));
        CheckControl(layout, i);
        if (IsWindow(spec.kind) && !spec.close.empty())
            FuzzCheck(HasCloseButton(layout, i), "a window's close control is its button",
                      spec.close);
    }
    return 0;
}
