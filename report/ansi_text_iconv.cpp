// The conversion on the native build, where the core tests run without Windows: glibc's
// CP936 table stands in for the ANSI code page of the machines the program is made for.
#ifndef _WIN32
#include "report/ansi_text.hpp"

#include <iconv.h>

#include <cstring>

namespace {

// One converter per thread: opening one loads glibc's conversion module, which cost more than
// everything else a reply's decoding does.
iconv_t Converter()
{
    thread_local const struct Holder {
        iconv_t cd = iconv_open("CP936", "UTF-16LE");
        ~Holder()
        {
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
        }
    } holder;
    return holder.cd;
}

} // namespace

std::string AnsiFromCodeUnit(std::uint16_t unit)
{
    const iconv_t cd = Converter();
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "?";
    char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char bytes[4] = {};
    char* inPtr = in;
    char* outPtr = bytes;
    std::size_t inLeft = sizeof in;
    std::size_t outLeft = sizeof bytes;
    const std::size_t converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
    // Windows writes its default character, "?", for what the code page cannot hold.
    if (converted == static_cast<std::size_t>(-1) || inLeft != 0)
        return "?";
    return std::string(bytes, strnlen(bytes, sizeof bytes));
}
#endif
