#pragma once
// Line breaking for labels: Chinese text has no spaces, so a line may also break between two
// CJK characters or between a CJK character and a Latin word (never before closing punctuation
// such as ，。」 nor after opening punctuation such as 「（); Latin words break only at blanks.
// Texts are UTF-16, so a character of the GBK text is never cut.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace KorFact {

struct Line {
    std::size_t start = 0;
    std::size_t length = 0; // without the blanks or line feed where it broke
};

// Width in pixels of text[start, start + length).
using MeasureText = std::function<int(std::size_t start, std::size_t length)>;

// The lines of `text` within `width` pixels. "\n" always breaks; a word wider than `width`
// is cut between characters.
std::vector<Line> WrapText(const std::u16string& text, int width, const MeasureText& measure);

// From one line's top to the next one's, for a font `textHeight` pixels high.
int LineAdvance(int textHeight);

// How high `lines` wrapped lines stand (the last one without the gap below it).
int WrappedHeight(std::size_t lines, int textHeight);

} // namespace KorFact
