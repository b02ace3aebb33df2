#include "korfact/colour.hpp"

#include "common/hex_digit.hpp"

namespace KorFact {

bool ParseColour(const std::string& text, std::uint32_t& colorref)
{
    std::size_t start = 0;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
        start = 2;
    else if (text.rfind('#', 0) == 0)
        start = 1;
    else
        return false;
    if (text.size() != start + 6)
        return false;
    std::uint32_t rgb = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0)
            return false;
        rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
    }
    colorref = (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16);
    return true;
}

} // namespace KorFact
