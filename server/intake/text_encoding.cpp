#include "server/intake/text_encoding.hpp"

#include "common/hex_digit.hpp"

#include <iconv.h>

#include <cerrno>

namespace {

constexpr const char kReplacement[] = "\xEF\xBF\xBD";

// One converter per thread, closed when the thread ends: iconv descriptors keep state and are
// not shared between threads.
iconv_t GbkConverter()
{
    struct Converter {
        iconv_t cd = iconv_open("UTF-8", "CP936");
        ~Converter() { iconv_close(cd); }
    };
    thread_local const Converter converter;
    return converter.cd;
}

// "\u" and four lower-case hex digits: every reply writes several, so without a format call.
void AppendEscape(std::string& out, unsigned unit)
{
    const char text[] = {'\\',
                         'u',
                         "0123456789abcdef"[unit >> 12 & 0xF],
                         "0123456789abcdef"[unit >> 8 & 0xF],
                         "0123456789abcdef"[unit >> 4 & 0xF],
                         "0123456789abcdef"[unit & 0xF]};
    out.append(text, sizeof text);
}

// Decodes one UTF-8 sequence at `at`; a malformed one reads as U+FFFD of length one.
char32_t NextCodePoint(std::string_view text, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return 0xFFFD;
    }
    char32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        point = point << 6 | (next & 0x3F);
    }
    at += length;
    return point;
}

} // namespace

std::string Utf8FromGbk(std::string_view gbk, Undecodable undecodable)
{
    const iconv_t cd = GbkConverter();
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 4);
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    char buffer[512];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: mark it and go on after its first byte.
            if (undecodable == Undecodable::Escape) {
                const auto byte = static_cast<unsigned char>(*in);
                out += "\\x";
                out += UpperHexDigit(byte >> 4);
                out += UpperHexDigit(byte);
            } else {
                out += kReplacement;
            }
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

namespace {

// The JSON short form of a control character, or null.
const char* ShortEscape(char32_t point)
{
    switch (point) {
    case '\b':
        return "\\b";
    case '\f':
        return "\\f";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        return nullptr;
    }
}

} // namespace

// The program turns every "\uXXXX" into its own code page's bytes before its JSON reader runs,
// also right after an escaped backslash, so a "u" there goes out escaped itself; and a control
// character written "\u00XX" would reach that reader raw, which refuses it.
std::string JsonEscapeUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    bool afterBackslash = false;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t point = NextCodePoint(utf8, at);
        const bool escapeU = point == 'u' && afterBackslash;
        afterBackslash = point == '\\';
        if (point == '"' || point == '\\') {
            out += '\\';
            out += static_cast<char>(point);
        } else if (escapeU) {
            AppendEscape(out, point);
        } else if (const char* brief = ShortEscape(point)) {
            out += brief;
        } else if (point < 0x20) {
            AppendEscape(out, 0xFFFD);
        } else if (point >= 0x20 && point < 0x7F) {
            out += static_cast<char>(point);
        } else if (point < 0x10000) {
            AppendEscape(out, point);
        } else {
            const char32_t offset = point - 0x10000;
            AppendEscape(out, 0xD800 + (offset >> 10));
            AppendEscape(out, 0xDC00 + (offset & 0x3FF));
        }
    }
    return out;
}

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string CutUtf8(std::string_view utf8, std::size_t characters)
{
    std::size_t at = 0;
    for (std::size_t counted = 0; at < utf8.size(); ++at) {
        // Each character starts at a byte that is not a continuation byte (10xxxxxx).
        if ((static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80 && counted++ == characters)
            return std::string(utf8.substr(0, at)) + "…";
    }
    return std::string(utf8);
}
