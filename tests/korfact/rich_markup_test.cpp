#include "korfact/rich_markup.hpp"

#include <gtest/gtest.h>

using namespace KorFact;

namespace {

std::string Texts(const std::vector<TextRun>& runs)
{
    std::string out;
    for (const TextRun& run : runs)
        out += "[" + run.text + "]";
    return out;
}

} // namespace

TEST(RichMarkup, TheDialogsResultLine)
{
    const auto runs = ParseMarkup(
        "<font color=\"0x9b9b9b\" bold=\"1\" size=\"14\">检测成功,谢谢，您已成功参与检测。</font>");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].text, "检测成功,谢谢，您已成功参与检测。");
    EXPECT_TRUE(runs[0].style.hasColour);
    EXPECT_EQ(runs[0].style.colour, 0x9b9b9bu);
    EXPECT_TRUE(runs[0].style.bold);
    EXPECT_EQ(runs[0].style.size, 14);
}

TEST(RichMarkup, NestedRunsKeepWhatTheyDoNotSet)
{
    const auto runs = ParseMarkup("a<font color=\"#112233\">b<font bold=\"1\">c</font>d</font>e");
    ASSERT_EQ(Texts(runs), "[a][b][c][d][e]");
    EXPECT_FALSE(runs[0].style.hasColour);
    EXPECT_EQ(runs[1].style.colour, 0x332211u);
    EXPECT_FALSE(runs[1].style.bold);
    EXPECT_EQ(runs[2].style.colour, 0x332211u);
    EXPECT_TRUE(runs[2].style.bold);
    EXPECT_FALSE(runs[3].style.bold);
    EXPECT_FALSE(runs[4].style.hasColour);
}

TEST(RichMarkup, WhatIsNotUnderstoodIsShownOrDropped)
{
    // Unknown tags and a lone '<' stay text; a stray closing tag goes; an open run runs on.
    EXPECT_EQ(Texts(ParseMarkup("<b>x</b>")), "[<b>x</b>]");
    EXPECT_EQ(Texts(ParseMarkup("1 < 2")), "[1 < 2]");
    EXPECT_EQ(Texts(ParseMarkup("x</font>y")), "[xy]");
    EXPECT_EQ(Texts(ParseMarkup("<font color=\"0x9b9b9b\">open")), "[open]");
    EXPECT_EQ(Texts(ParseMarkup("<font color=\"0x9b9b9b>x")), "[<font color=\"0x9b9b9b>x]");
    EXPECT_EQ(Texts(ParseMarkup("<fontish>x")), "[<fontish>x]");
    EXPECT_EQ(Texts(ParseMarkup("&lt;&amp;&gt;&quot;&bogus;")), "[<&>\"&bogus;]");
    EXPECT_TRUE(ParseMarkup("").empty());
    // Unreadable values are ignored, the rest of the tag applies.
    const auto runs = ParseMarkup("<font color=\"teal\" size=\"-3\" bold=\"1\">x</font>");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_FALSE(runs[0].style.hasColour);
    EXPECT_EQ(runs[0].style.size, 0);
    EXPECT_TRUE(runs[0].style.bold);
}

TEST(RichMarkup, AdjacentRunsOfOneStyleMerge)
{
    EXPECT_EQ(Texts(ParseMarkup("a<font>b</font>c")), "[abc]");
}
