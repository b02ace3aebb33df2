#include "eval/canonical_name.hpp"

#include <array>

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the text at `at` starts with `word` (lower case), ASCII case ignored.
bool StartsWithFolded(std::string_view text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (LowerAscii(text[at + i]) != word[i])
            return false;
    return true;
}

// Length of the trademark mark at `at`, or 0. The signs have no GBK code: converted to this
// program's code page they arrive as "?", while UTF-8 or Windows-1252 texts keep their bytes.
std::size_t MarkLength(std::string_view text, std::size_t at)
{
    static constexpr std::array<std::string_view, 7> kMarks = {
        "(r)", "(tm)", "\xC2\xAE", "\xE2\x84\xA2", "\xAE", "\x99", "?"};
    const char c = text[at];
    if (c != '(' && c != '?' && static_cast<unsigned char>(c) < 0x80)
        return 0; // most bytes: spares the comparisons
    for (const std::string_view mark : kMarks)
        if (StartsWithFolded(text, at, mark))
            return mark.size();
    return 0;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

std::string CanonicalDeviceName(std::string_view name)
{
    std::string canonical;
    AppendCanonicalDeviceName(canonical, name);
    return canonical;
}

void AppendCanonicalDeviceName(std::string& text, std::string_view name)
{
    const std::size_t start = text.size();
    for (std::size_t at = 0; at < name.size();) {
        if (const std::size_t mark = MarkLength(name, at)) {
            at += mark;
        } else if (IsBlank(name[at])) {
            if (text.size() > start && text.back() != ' ')
                text += ' ';
            ++at;
        } else {
            text += LowerAscii(name[at++]);
        }
    }
    if (text.size() > start && text.back() == ' ')
        text.pop_back();
    for (bool cut = true; cut;) {
        cut = false;
        for (const std::string_view suffix : {" series", " graphics"}) {
            if (EndsWith(std::string_view(text).substr(start), suffix)) {
                text.resize(text.size() - suffix.size());
                cut = true;
            }
        }
    }
    for (const std::string_view vendor : {"nvidia ", "amd ", "ati ", "intel "}) {
        if (std::string_view(text).substr(start, vendor.size()) == vendor) {
            text.erase(start, vendor.size());
            break;
        }
    }
}
