// The Windows conversion. It lives in the core library rather than in a _win file because the
// reply decoding that needs it is core code, and the core tests run it under Wine as well.
#ifdef _WIN32
#include "report/ansi_text.hpp"

#include <windows.h>

std::string AnsiFromCodeUnit(std::uint16_t unit)
{
    const wchar_t wide = static_cast<wchar_t>(unit);
    char bytes[4] = {};
    WideCharToMultiByte(CP_ACP, 0, &wide, 1, bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, strnlen(bytes, sizeof bytes));
}
#endif
