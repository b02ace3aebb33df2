#pragma once
// Messages of the report server for pictures and tests of the result panel (GBK bytes through the
// build's execution character set).

namespace ServerMessages {

// The longest the server gives: a rated machine held back by two parts, each named with the 60
// characters the server keeps of a name (cut with "…"), with the smallest step up for both.
constexpr char kLongest[] =
    "您的电脑为 4 级（1 级最好，共 5 级），超过了 37% 的已参与电脑。拖慢评级的是显卡「NVIDIA "
    "GeForce GT 730 with a very long vendor suffix that runs on to sixty chars…」和 CPU「Intel(R) "
    "Pentium(R) CPU G3250 @ 3.20GHz with an equally long tail of text here…」。升一级的最小一步："
    "显卡换成 NVIDIA GeForce GTX 750 Ti，CPU 换成 Intel Core i3-4160。";

// Today's message for a machine, one line.
constexpr char kShort[] = "您的电脑为 3 级，超过了 37% 的已参与电脑。";

} // namespace ServerMessages
