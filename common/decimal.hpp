#pragma once
// Strict decimal text -> integer: the whole text must be digits (a leading "-" for signed types)
// and the value must fit; anything else is no value.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

inline bool IsDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

template <typename T> std::optional<T> ParseDecimal(std::string_view text)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// A byte count computed in floating point, truncated; nothing when it is negative, not a number
// or beyond 64 bits (the conversion would be undefined there).
inline std::optional<std::uint64_t> TruncateToUInt64(double value)
{
    if (!(value >= 0) || value >= 18446744073709551616.0)
        return std::nullopt;
    return static_cast<std::uint64_t>(value);
}
