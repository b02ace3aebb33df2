#include "korfact/colour.hpp"
#include "korfact/geometry.hpp"

#include <gtest/gtest.h>

using namespace KorFact;

TEST(Colour, WebOrderBecomesColorref)
{
    std::uint32_t colour = 0;
    ASSERT_TRUE(ParseColour("0x06D5C1", colour));
    EXPECT_EQ(colour, 0xC1D506u); // the teal green of a success
    ASSERT_TRUE(ParseColour("#c51717", colour));
    EXPECT_EQ(colour, 0x1717C5u);
    for (const char* bad : {"", "0x", "9b9b9b", "0x9b9b9", "0x9b9b9b9", "#12345g", "0x-12345"})
        EXPECT_FALSE(ParseColour(bad, colour)) << bad;
}

TEST(Geometry, ScalesEdgesToTheDpi)
{
    EXPECT_EQ(ScaleToDpi(40, 96), 40);
    EXPECT_EQ(ScaleToDpi(40, 144), 60);
    EXPECT_EQ(ScaleToDpi(1, 120), 1); // 1.25
    EXPECT_EQ(ScaleToDpi(2, 120), 3); // 2.5 rounds up
    EXPECT_EQ(ScaleToDpi(-2, 120), -3);
    // Two neighbours 0..33 and 33..66 stay flush at 120 DPI.
    const Rect a = ScaleToDpi(Rect{0, 0, 33, 10}, 120);
    const Rect b = ScaleToDpi(Rect{33, 0, 33, 10}, 120);
    EXPECT_EQ(a.x + a.width, b.x);
}

TEST(Geometry, CentresOverItsWindow)
{
    const Rect r = CentreIn(Rect{0, 0, 380, 240}, Rect{100, 50, 480, 380});
    EXPECT_EQ(r.x, 150);
    EXPECT_EQ(r.y, 120);
    EXPECT_EQ(r.width, 380);
    const Rect big = CentreIn(Rect{0, 0, 500, 10}, Rect{0, 0, 480, 10});
    EXPECT_EQ(big.x, -10);
}
