#include "server/intake/machine_labels.hpp"

#include "server/intake/text_encoding.hpp"

#include <cmath>
#include <cstdio>
#include <map>

std::string SystemName(const std::string& osText)
{
    int major = 0, minor = 0, spMajor = 0, spMinor = 0, end = 0;
    if (std::sscanf(osText.c_str(), "Windows %d.%d, SP %d.%d%n", &major, &minor, &spMajor, &spMinor,
                    &end) != 4 ||
        end != static_cast<int>(osText.size()))
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
    double megabytes = 0;
    int end = 0;
    if (std::sscanf(megabyteText.c_str(), "%lf MB%n", &megabytes, &end) != 1 ||
        end != static_cast<int>(megabyteText.size()) || !(megabytes >= 0))
        return Utf8FromGbk(megabyteText);
    // What a system reports lies a little below what was fitted (firmware and integrated
    // graphics keep some), so the nearest size by ratio.
    const double gigabytes = megabytes / 1024;
    if (gigabytes >= 28)
        return "≥ 32 GB";
    if (gigabytes < 0.75)
        return "< 1 GB";
    static const int kSizes[] = {1, 2, 3, 4, 6, 8, 12, 16, 24};
    int nearest = kSizes[0];
    for (const int size : kSizes)
        if (std::fabs(std::log(gigabytes / size)) < std::fabs(std::log(gigabytes / nearest)))
            nearest = size;
    return std::to_string(nearest) + " GB";
}
