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

// Punctuation keeps to its words: closing marks never start a line, opening marks never end
// one; a Latin word beside Chinese moves down whole rather than being cut.
TEST(TextWrap, PunctuationAndLatinWordsStayWithTheirNeighbours)
{
    const struct {
        std::u16string text;
        int width;
        Lines lines;
    } cases[] = {
        {u"显卡「ABC」", 50, {u"显卡", u"「ABC」"}},
        {u"点击“开始检测”", 30, {u"点击", u"“开始", u"检测”"}},
        {u"名字很长…」和", 40, {u"名字很", u"长…」和"}},
        {u"升级到Intel", 50, {u"升级到", u"Intel"}},
        {u"换成 Intel Core i3。", 60, {u"换成", u"Intel", u"Core", u"i3。"}},
        {u"为 4 级（1 级最好）", 60, {u"为 4 级", u"（1 级最", u"好）"}},
        {u"超过37％的电脑", 40, {u"超过", u"37％的", u"电脑"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Wrap(c.text, c.width), c.lines) << std::string(c.text.begin(), c.text.end());
}
