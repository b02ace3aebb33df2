#include "korfact/layout_model.hpp"
#include "korfact/placement.hpp"
#include "korfact/text_wrap.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

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

TEST(Placement, AGrowingLabelTakesWhatItsTextLacksUpToItsMaxHeight)
{
    ControlSpec label;
    label.y = 94;
    label.height = 72;
    label.maxHeight = 192;
    ControlSpec fixed = label;
    fixed.maxHeight = 0;
    const struct {
        const ControlSpec* label;
        int dpi;
        int textHeight;
        int extra;
    } cases[] = {
        {&label, 96, 40, 0},   {&label, 96, 72, 0},     {&label, 96, 73, 1},
        {&label, 96, 150, 78}, {&label, 96, 192, 120},  {&label, 96, 5000, 120},
        {&label, 144, 108, 0}, {&label, 144, 200, 92},  {&label, 144, 5000, 180},
        {&label, 192, 144, 0}, {&label, 192, 300, 156}, {&label, 192, 5000, 240},
        {&fixed, 96, 5000, 0}, {&fixed, 192, 5000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GrowthAtDpi(*c.label, c.textHeight, c.dpi), c.extra)
            << c.dpi << " dpi, " << c.textHeight << " px, max " << c.label->maxHeight;
}

// A grown label is taller by what it grew, what lies below it moves down by as much, what lies
// above or beside it stays, and its panel grows by as much and stays centred.
TEST(Placement, WhatLiesBelowAGrownLabelMovesDownAndItsPanelGrows)
{
    const Layout layout = ShippedLayout();
    const auto find = [&](const std::string& name) -> const ControlSpec& {
        for (const ControlSpec& spec : layout.controls)
            if (spec.name == name)
                return spec;
        throw std::runtime_error("no control " + name);
    };
    const ControlSpec& dialog = find("Main");
    const ControlSpec& panel = find("Result");
    const ControlSpec& message = find("Static_Msg");
    ASSERT_GT(message.maxHeight, message.height);
    for (const int dpi : {96, 144, 192}) {
        const int most = GrowthAtDpi(message, 1 << 20, dpi);
        for (const int extra : {0, 1, 37, most}) {
            SCOPED_TRACE(std::to_string(dpi) + " dpi, " + std::to_string(extra) + " px");
            const std::vector<Growth> grown = {{&message, extra}};
            const Rect before = PlaceAtDpi(panel, &dialog, dpi);
            const int dialogExtra =
                DialogGrowthAtDpi(dialog, PlaceAtDpi(panel, &dialog, dpi, grown).height, dpi);
            const Rect after = PlaceAtDpi(panel, &dialog, dpi, grown, dialogExtra);
            EXPECT_EQ(after.height, before.height + extra);
            EXPECT_EQ(after.width, before.width);
            // Centred over the dialog, which grew about its middle as far as it had to.
            EXPECT_LE(std::abs((after.y * 2 + after.height) -
                               (before.y * 2 + before.height + dialogExtra)),
                      1);
            Rect outer = PlaceAtDpi(dialog, nullptr, dpi);
            outer.height += dialogExtra;
            EXPECT_TRUE(Inside(after, outer));
            for (const ControlSpec& spec : layout.controls) {
                if (&spec == &panel || spec.parent < 0 || &layout.controls[spec.parent] != &panel)
                    continue;
                const Rect was = PlaceAtDpi(spec, &panel, dpi);
                const Rect now = PlaceAtDpi(spec, &panel, dpi, grown);
                const bool below = spec.y >= message.y + message.height;
                EXPECT_EQ(now.y, was.y + (below ? extra : 0)) << spec.name;
                EXPECT_EQ(now.height, was.height + (&spec == &message ? extra : 0)) << spec.name;
                EXPECT_TRUE(Inside(now, after)) << spec.name;
            }
        }
    }
}

// A label grows no further than its maxheight, nor than its panel and the dialog's margins leave
// of the screen's height.
TEST(Placement, AGrowingLabelStopsWhereItsScreenEnds)
{
    ControlSpec panel;
    panel.kind = Kind::Panel;
    panel.width = 384;
    panel.height = 244;
    ControlSpec label;
    label.y = 94;
    label.height = 72;
    label.maxHeight = 360;
    const struct {
        int dpi;
        int screenHeight;
        int most;
    } cases[] = {
        {96, 1024, 288}, {96, 548, 288},   {96, 547, 287},   {96, 500, 240},
        {96, 200, 0},    {192, 1400, 576}, {192, 1024, 504}, {144, 768, 378},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MostGrowthAtDpi(label, panel, c.screenHeight, c.dpi), c.most)
            << c.dpi << " dpi on a screen " << c.screenHeight << " px high";
}

// A dialog grows only as far as a panel with its margins needs, from its laid out height on.
TEST(Placement, ADialogGrowsToHoldAPanelWithItsMargins)
{
    ControlSpec dialog;
    dialog.kind = Kind::Dialog;
    dialog.width = 480;
    dialog.height = 380;
    const struct {
        int dpi;
        int panelHeight;
        int extra;
    } cases[] = {
        {96, 244, 0},  {96, 364, 0},    {96, 365, 1},  {96, 500, 136},  {144, 546, 0},
        {144, 547, 1}, {144, 800, 254}, {192, 728, 0}, {192, 900, 172},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialogGrowthAtDpi(dialog, c.panelHeight, c.dpi), c.extra)
            << c.dpi << " dpi, a panel " << c.panelHeight << " px high";
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
