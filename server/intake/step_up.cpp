#include "server/intake/step_up.hpp"

#include "eval/score_lookup.hpp"

#include <mutex>

namespace {

std::mutex gPartsMutex;
std::shared_ptr<const PopularParts> gParts = std::make_shared<PopularParts>();

template <std::size_t N>
void FillBands(const ScoreTable& table, const int (&thresholds)[N],
               const std::vector<std::string>& names, std::string (&byBand)[N])
{
    for (const std::string& name : names)
        if (const std::optional<int> score = LookupScore(table, name)) {
            std::string& slot = byBand[BandOf(*score, thresholds)];
            if (slot.empty())
                slot = name;
        }
}

template <std::size_t N>
std::string StepUp(const std::string (&popular)[N], const std::string (&cheapest)[N], int band)
{
    if (band < 0 || band >= static_cast<int>(N))
        return {};
    return popular[band].empty() ? cheapest[band] : popular[band];
}

} // namespace

PopularParts PopularPartsIn(const ServerTables& tables, const std::vector<std::string>& processors,
                            const std::vector<std::string>& adapters)
{
    PopularParts parts;
    parts.digest = tables.digest;
    FillBands(tables.cpu, kCpuThresholds, processors, parts.processors);
    FillBands(tables.gpu, kGpuThresholds, adapters, parts.adapters);
    return parts;
}

void UsePopularParts(std::shared_ptr<const PopularParts> parts)
{
    std::lock_guard<std::mutex> lock(gPartsMutex);
    gParts = std::move(parts);
}

std::shared_ptr<const PopularParts> CurrentPopularParts()
{
    std::lock_guard<std::mutex> lock(gPartsMutex);
    return gParts;
}

std::string ProcessorStepUp(const ServerTables& tables, const PopularParts* popular, int band)
{
    static const PopularParts kNone;
    const PopularParts& parts = popular && popular->digest == tables.digest ? *popular : kNone;
    return StepUp(parts.processors, tables.cheapestCpu, band);
}

std::string AdapterStepUp(const ServerTables& tables, const PopularParts* popular, int band)
{
    static const PopularParts kNone;
    const PopularParts& parts = popular && popular->digest == tables.digest ? *popular : kNone;
    return StepUp(parts.adapters, tables.cheapestGpu, band);
}

std::string MemoryStepUp(int band)
{
    if (band < 0 || band >= kMemoryBandCount)
        return {};
    // Memory is sold in doublings of a gigabyte.
    std::uint64_t gigabytes = 1;
    while (gigabytes * 1073741824ULL < kMemoryThresholds[band])
        gigabytes *= 2;
    return std::to_string(gigabytes) + " GB";
}
