#pragma once
// One UTF-16 code unit in the machine's ANSI code page (GBK, code page 936, on the machines the
// program is made for).
#include <cstdint>
#include <string>

// The unit's ANSI bytes up to the first zero byte: empty for unit 0, "?" for a unit the code
// page cannot hold (a lone surrogate, for example).
std::string AnsiFromCodeUnit(std::uint16_t unit);
