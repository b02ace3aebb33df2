#pragma once
// The markup of rich text controls: plain text with <font color="0xRRGGBB" bold="1" size="14">
// runs, which nest (an inner run keeps what it does not set). Texts stay GBK bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace KorFact {

struct TextStyle {
    bool hasColour = false;
    std::uint32_t colour = 0; // COLORREF
    bool bold = false;
    int size = 0; // character height in logical pixels; 0 keeps the control's own
};

struct TextRun {
    std::string text;
    TextStyle style;
};

// Splits `markup` into runs of one style each, adjacent runs of equal style merged.
// &lt; &gt; &amp; &quot; &apos; become their characters. What is not understood is never
// an error:
// - a tag other than <font> or </font>, and a '<' without its '>', are shown as text;
// - a </font> without its <font> is dropped, and a <font> left open runs to the end;
// - an unknown attribute or an unreadable value is ignored, the rest of the tag applies.
std::vector<TextRun> ParseMarkup(const std::string& markup);

} // namespace KorFact
