#include "korfact/layout_model.hpp"
#include "korfact/placement.hpp"
#include "korfact/text_wrap.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace KorFact;

namespace {

Layout ShippedLayout()
{
    std::ifstream in(VXM_KORFACT_DIR "/Main.vxm", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    Layout layout;
    LayoutError error;
    EXPECT_TRUE(ParseLayout(content.str(), layout, error)) << error.element << error.reason;
    return layout;
}

bool Inside(const Rect& inner, const Rect& outer)
{
    return inner.x >= 0 && inner.y >= 0 && inner.x + inner.width <= outer.width &&
           inner.y + inner.height <= outer.height;
}

} // namespace

TEST(Placement, TheShippedLayoutGrowsWithTheDpiAndStaysInsideItsWindows)
{
    const Layout layout = ShippedLayout();
    ASSERT_FALSE(layout.controls.empty());
    for (const int dpi : {96, 120, 144, 192, 288}) {
        SCOPED_TRACE(dpi);
        for (const ControlSpec& spec : layout.controls) {
            const ControlSpec* window = spec.parent >= 0 ? &layout.controls[spec.parent] : nullptr;
            const Rect at = PlaceAtDpi(spec, window, dpi);
            // Edges scale by dpi/96 to the pixel: the outer size is the 96 DPI size times that.
            EXPECT_EQ(at.width, ScaleToDpi(spec.x + spec.width, dpi) - ScaleToDpi(spec.x, dpi))
                << spec.name;
            EXPECT_NEAR(at.height, spec.height * dpi / 96.0, 1.0) << spec.name;
            if (window) {
                EXPECT_TRUE(Inside(at, PlaceAtDpi(*window, nullptr, dpi))) << spec.name;
            }
        }
    }
}

TEST(Placement, DialogsKeepOnlyTheirSizeAndPanelsStayCentred)
{
    ControlSpec dialog;
    dialog.kind = Kind::Dialog;
    dialog.x = 30;
    dialog.y = 40;
    dialog.width = 480;
    dialog.height = 380;
    const Rect main = PlaceAtDpi(dialog, nullptr, 144);
    EXPECT_EQ(main.x, 0);
    EXPECT_EQ(main.y, 0);
    EXPECT_EQ(main.width, 720);
    EXPECT_EQ(main.height, 570);

    ControlSpec panel;
    panel.kind = Kind::Panel;
    panel.width = 384;
    panel.height = 244;
    for (const int dpi : {96, 120, 144, 192}) {
        const Rect at = PlaceAtDpi(panel, &dialog, dpi);
        const Rect outer = PlaceAtDpi(dialog, nullptr, dpi);
        EXPECT_LE(std::abs((at.x * 2 + at.width) - outer.width), 1) << dpi;
        EXPECT_LE(std::abs((at.y * 2 + at.height) - outer.height), 1) << dpi;
    }
}

TEST(Placement, AnEditIsOneLineHighAndPaddedInsideItsBox)
{
    const Rect box{40, 142, 400, 38};
    const Rect at96 = EditWindowIn(box, 19, 96);
    EXPECT_EQ(at96.x, 48);
    EXPECT_EQ(at96.width, 384);
    EXPECT_EQ(at96.height, 21);
    EXPECT_EQ(at96.y, 142 + (38 - 21) / 2);
    const Rect at192 = EditWindowIn(Rect{80, 284, 800, 76}, 38, 192);
    EXPECT_EQ(at192.x, 96);
    EXPECT_EQ(at192.width, 768);
    EXPECT_EQ(at192.height, 40);
    // A font taller than the box is cut to the box, less its border.
    EXPECT_EQ(EditWindowIn(box, 60, 96).height, 36);
    EXPECT_EQ(EditWindowIn(Rect{0, 0, 10, 1}, 19, 96).height, 0);
    EXPECT_EQ(EditWindowIn(Rect{0, 0, 10, 1}, 19, 96).width, 0);
}

TEST(Placement, FailedDpiQueriesCountAsNinetySix)
{
    EXPECT_EQ(UsableDpi(0), 96);
    EXPECT_EQ(UsableDpi(-144), 96);
    EXPECT_EQ(UsableDpi(100000), 96);
    for (const int dpi : {72, 96, 120, 144, 192, 480})
        EXPECT_EQ(UsableDpi(dpi), dpi);
}

TEST(Placement, WrappedLinesStandOneAdvanceApart)
{
    EXPECT_EQ(WrappedHeight(0, 20), 0);
    EXPECT_EQ(WrappedHeight(1, 20), 20);
    EXPECT_EQ(WrappedHeight(3, 20), 20 + 2 * 25);
    EXPECT_EQ(LineAdvance(19), 23);
}
