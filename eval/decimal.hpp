#pragma once
// Strict decimal text -> integer: the whole text must be digits (a leading "-" for signed types)
// and the value must fit; anything else is no value.
#include <charconv>
#include <optional>
#include <string>

template <typename T> std::optional<T> ParseDecimal(const std::string& text)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}
