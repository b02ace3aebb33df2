#include "server/intake/report_rating.hpp"

#include "common/decimal.hpp"
#include "eval/score_lookup.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

ReportRating RateReport(const ServerTables& tables, const ReportValues& values)
{
    ReportRating rating;
    const std::optional<int> cpuTable = FindScore(tables.cpu, At(values, ReportField::Cpu));
    const std::optional<int> gpuTable = FindScore(tables.gpu, At(values, ReportField::Gpu));
    rating.unknown = (gpuTable ? 0 : kAdapterClass) | (cpuTable ? 0 : kProcessorClass);
    int cpuScore = cpuTable.value_or(0);
    if (cpuScore == 0)
        cpuScore = CoreCountFallback(
            ParseDecimal<int>(At(values, ReportField::LogicCoreCount)).value_or(0));
    rating.level =
        RateLevel(cpuScore, gpuTable.value_or(0), MemoryBytesOf(At(values, ReportField::Ram)));
    return rating;
}

std::uint64_t MemoryBytesOf(const std::string& megabyteText)
{
    constexpr std::string_view kUnit = " MB";
    if (megabyteText.size() <= kUnit.size() ||
        megabyteText.compare(megabyteText.size() - kUnit.size(), kUnit.size(), kUnit) != 0)
        return 0;
    double megabytes = 0;
    const char* end = megabyteText.data() + megabyteText.size() - kUnit.size();
    const auto [stop, error] = std::from_chars(megabyteText.data(), end, megabytes);
    if (error != std::errc() || stop != end || !(megabytes >= 0) || megabytes > 1e12)
        return 0;
    // The text has the bytes over 1048576 to two decimals: the nearest whole byte.
    return static_cast<std::uint64_t>(std::llround(megabytes * 1048576.0));
}

std::optional<std::int64_t> RankKey(const LevelRating& rating)
{
    if (rating.level == 0)
        return std::nullopt;
    const double product = static_cast<double>(rating.cpuScore) * rating.gpuScore;
    const std::int64_t productStep = std::max<std::int64_t>(0, std::floor(4 * std::log2(product)));
    // Memory bands are 0, 2 and 3: the better the band, the higher this.
    const std::int64_t memory = kMemoryBandCount - 1 - rating.memoryBand;
    return (kBandCount - rating.level) * 100000 + productStep * 10 + memory;
}

ReportRating RatingFromColumns(int cpuScore, int gpuScore, int memoryBand, unsigned unknown)
{
    // A band's threshold falls in that band, so the rule gives back the stored bands.
    return {RateLevel(cpuScore, gpuScore, kMemoryThresholds[memoryBand]), unknown};
}
