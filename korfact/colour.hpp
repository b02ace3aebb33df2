#pragma once
// Colours in layouts and markup are written in web order ("0xRRGGBB" or "#RRGGBB"); the
// windows take a COLORREF (0x00BBGGRR).
#include <cstdint>
#include <string>

namespace KorFact {

// The COLORREF of `text`; false for anything but six hex digits after "0x" or "#".
bool ParseColour(const std::string& text, std::uint32_t& colorref);

} // namespace KorFact
