#include "server/intake/machine_labels.hpp"

#include "server/intake/text_encoding.hpp"

#include <algorithm>
#include <charconv>
#include <map>
#include <string_view>

namespace {

// Takes `prefix` from the front of `text`, then a decimal number of its own type; false when
// either is not there. Every recorded report is labelled here, so without a format parser.
template <typename Number> bool Take(std::string_view& text, std::string_view prefix, Number& value)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    text.remove_prefix(end - text.data());
    return error == std::errc();
}

} // namespace

std::string SystemName(const std::string& osText)
{
    std::string_view rest = osText;
    int major = 0, minor = 0, spMajor = 0, spMinor = 0;
    if (!Take(rest, "Windows ", major) || !Take(rest, ".", minor) ||
        !Take(rest, ", SP ", spMajor) || !Take(rest, ".", spMinor) || !rest.empty())
        return Utf8FromGbk(osText);
    static const std::map<std::pair<int, int>, const char*> kNames = {
        {{5, 1}, "Windows XP"},    {{5, 2}, "Windows XP"}, // 5.2: XP x64 and Server 2003
        {{6, 0}, "Windows Vista"}, {{6, 1}, "Windows 7"},       {{6, 2}, "Windows 8"},
        {{6, 3}, "Windows 8.1"},   {{10, 0}, "Windows 10 / 11"}};
    const auto found = kNames.find({major, minor});
    return found == kNames.end() ? Utf8FromGbk(osText) : found->second;
}

std::string MemoryBand(const std::string& megabyteText)
{
    std::string_view rest = megabyteText;
    double megabytes = 0;
    if (!Take(rest, "", megabytes) || rest != " MB" || !(megabytes >= 0))
        return Utf8FromGbk(megabyteText);
    // What a system reports lies a little below what was fitted (firmware and integrated
    // graphics keep some), so the nearest size by ratio.
    const double gigabytes = megabytes / 1024;
    if (gigabytes >= 28)
        return "≥ 32 GB";
    if (gigabytes < 0.75)
        return "< 1 GB";
    static const int kSizes[] = {1, 2, 3, 4, 6, 8, 12, 16, 24};
    const auto ratio = [&](int size) { return std::max(gigabytes / size, size / gigabytes); };
    int nearest = kSizes[0];
    for (const int size : kSizes)
        if (ratio(size) < ratio(nearest))
            nearest = size;
    return std::to_string(nearest) + " GB";
}
