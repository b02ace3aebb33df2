#pragma once
// Text conversions at the server's edges: stored report values are GBK bytes, the page and the
// export are UTF-8, and the JSON reply carries everything outside ASCII as \u escapes.
#include <string>
#include <string_view>

// How a byte sequence the code page does not hold is written: as U+FFFD (the page), or its
// first byte as "\xNN" (the export, where the byte must still be told).
enum class Undecodable { Replace, Escape };

// GBK (code page 936) bytes as UTF-8; what the code page does not hold is written as asked, so a
// hostile value cannot break the page.
std::string Utf8FromGbk(std::string_view gbk, Undecodable undecodable = Undecodable::Replace);

// The UTF-8 text as the contents of a JSON string: quote and backslash escaped, every character
// outside ASCII written as \uXXXX (UTF-16 code units, lower-case hex), written so that the
// program, which decodes those escapes before it parses, reads the same text: a "u" after a
// backslash is escaped too, and control characters take their short forms (\n, \t, ...) or,
// having none, become U+FFFD.
std::string JsonEscapeUtf8(std::string_view utf8);

// Text safe inside HTML elements and quoted attributes.
std::string HtmlEscape(std::string_view text);

// The first `characters` characters of the UTF-8 text, with "…" in place of the rest when
// there is more.
std::string CutUtf8(std::string_view utf8, std::size_t characters);
