#include "eval/level_rule.hpp"

#include <algorithm>

int CoreCountFallback(int logicalCores)
{
    if (logicalCores >= 8)
        return 6000;
    if (logicalCores >= 4)
        return 2500;
    if (logicalCores >= 2)
        return 600;
    return 0;
}

LevelRating RateLevel(int cpuScore, int gpuScore, std::uint64_t memory)
{
    LevelRating rating;
    rating.cpuScore = cpuScore;
    rating.gpuScore = gpuScore;
    rating.gpuBand = BandOf(gpuScore, kGpuThresholds);
    rating.cpuBand = BandOf(cpuScore, kCpuThresholds);
    rating.memoryBand = BandOf(memory, kMemoryThresholds);
    rating.lowDevices = (rating.gpuBand >= kHeldBackBand ? kAdapterClass : 0) |
                        (rating.cpuBand >= kHeldBackBand ? kProcessorClass : 0) |
                        (rating.memoryBand >= kHeldBackBand ? kMemoryClass : 0);
    rating.outDevices = (gpuScore == 0 ? kAdapterClass : 0) | (cpuScore == 0 ? kProcessorClass : 0);
    rating.levelIndex = std::max({rating.gpuBand, rating.cpuBand, rating.memoryBand});
    rating.level = cpuScore != 0 && gpuScore != 0 ? rating.levelIndex + 1 : 0;
    return rating;
}

std::string DeviceClassList(unsigned classes)
{
    std::string list;
    const std::pair<unsigned, const char*> words[] = {
        {kAdapterClass, "显卡"}, {kProcessorClass, "CPU"}, {kMemoryClass, "内存"}};
    for (const auto& [device, word] : words) {
        if (!(classes & device))
            continue;
        if (!list.empty())
            list += "/";
        list += word;
    }
    return list;
}

unsigned DecidingClasses(const LevelRating& rating)
{
    if (rating.level == 0)
        return 0;
    return (rating.gpuBand == rating.levelIndex ? kAdapterClass : 0) |
           (rating.cpuBand == rating.levelIndex ? kProcessorClass : 0) |
           (rating.memoryBand == rating.levelIndex ? kMemoryClass : 0);
}
