#include "korfact/text_wrap.hpp"

namespace KorFact {
namespace {

bool IsCjk(char16_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

bool IsClosingPunctuation(char16_t c)
{
    static const std::u16string kClosing = u"，。、；：？！）》」』】〉〕］｝％”’…,.;:?!)]}%";
    return kClosing.find(c) != std::u16string::npos;
}

bool IsOpeningPunctuation(char16_t c)
{
    static const std::u16string kOpening = u"（《「『【〈〔［｛“‘([{";
    return kOpening.find(c) != std::u16string::npos;
}

// May a line end before text[i] (i > start)? Not so that closing punctuation starts a line or
// opening punctuation ends one.
bool CanBreakBefore(const std::u16string& text, std::size_t i)
{
    const char16_t before = text[i - 1];
    const char16_t here = text[i];
    if (IsClosingPunctuation(here) || IsOpeningPunctuation(before))
        return false;
    return before == u' ' || IsCjk(before) || IsCjk(here);
}

} // namespace

std::vector<Line> WrapText(const std::u16string& text, int width, const MeasureText& measure)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::string::npos)
            end = text.size();
        // Longest prefix of [start, end) that fits, ending at a break opportunity.
        std::size_t fit = end;
        if (end > start && measure(start, end - start) > width) {
            std::size_t lastBreak = start;
            std::size_t lastFit = start;
            for (std::size_t i = start + 1; i <= end; ++i) {
                if (measure(start, i - start) > width)
                    break;
                lastFit = i;
                if (i == end || CanBreakBefore(text, i))
                    lastBreak = i;
            }
            fit = lastBreak > start ? lastBreak : (lastFit > start ? lastFit : start + 1);
        }
        std::size_t length = fit - start;
        while (length > 0 && text[start + length - 1] == u' ')
            --length;
        lines.push_back({start, length});
        std::size_t next = fit;
        while (next < end && text[next] == u' ')
            ++next;
        if (next == end) {
            if (end == text.size())
                break;
            ++next; // past the line feed
        }
        start = next;
    }
    return lines;
}

int LineAdvance(int textHeight)
{
    return textHeight + textHeight / 4;
}

int WrappedHeight(std::size_t lines, int textHeight)
{
    return lines == 0 ? 0 : static_cast<int>(lines - 1) * LineAdvance(textHeight) + textHeight;
}

} // namespace KorFact
