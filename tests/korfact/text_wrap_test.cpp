#include "korfact/text_wrap.hpp"

#include <gtest/gtest.h>

using namespace KorFact;

namespace {

// Every character 10 pixels wide.
std::vector<std::u16string> Wrap(const std::u16string& text, int width)
{
    const auto lines =
        WrapText(text, width, [](std::size_t, std::size_t length) { return int(length) * 10; });
    std::vector<std::u16string> out;
    for (const Line& line : lines)
        out.push_back(text.substr(line.start, line.length));
    return out;
}

using Lines = std::vector<std::u16string>;

} // namespace

TEST(TextWrap, LatinBreaksAtBlanks)
{
    EXPECT_EQ(Wrap(u"alpha beta gamma", 110), (Lines{u"alpha beta", u"gamma"}));
    EXPECT_EQ(Wrap(u"short", 100), (Lines{u"short"}));
}

TEST(TextWrap, ChineseBreaksBetweenCharactersButNotBeforeClosingPunctuation)
{
    EXPECT_EQ(Wrap(u"数据提交失败请稍后", 40), (Lines{u"数据提交", u"失败请稍", u"后"}));
    // "，" may not start a line: the character before it moves down too.
    EXPECT_EQ(Wrap(u"检测成功，谢谢", 40), (Lines{u"检测成", u"功，谢谢"}));
}

TEST(TextWrap, LineFeedsAndOverlongWords)
{
    EXPECT_EQ(Wrap(u"a\nb", 100), (Lines{u"a", u"b"}));
    EXPECT_EQ(Wrap(u"abcdefgh", 30), (Lines{u"abc", u"def", u"gh"}));
    EXPECT_EQ(Wrap(u"", 30), (Lines{u""}));
    // Narrower than one character still moves on.
    EXPECT_EQ(Wrap(u"ab", 5), (Lines{u"a", u"b"}));
}
