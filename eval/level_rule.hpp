#pragma once
// The level rule alone: scores and memory in; bands, level and the device classes out. Nothing
// random and no record, so the report server rates a report's parts by the very rule the
// evaluation writes its record with.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kBandCount = 5;
// A value's band is the first index whose threshold it reaches; band 0 is the best.
constexpr int kCpuThresholds[kBandCount] = {8000, 4500, 2500, 1000, 0};
constexpr int kGpuThresholds[kBandCount] = {4700, 3500, 2000, 800, 0};
// Memory has no band 1 (its threshold is band 0's) and no band 4.
constexpr int kMemoryBandCount = 4;
constexpr std::uint64_t kMemoryThresholds[kMemoryBandCount] = {4026531840ULL, 4026531840ULL,
                                                               2080374784ULL, 0};
// The band of a value: the first index whose threshold it reaches.
template <typename T, std::size_t N> int BandOf(T value, const T (&thresholds)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (value >= thresholds[i])
            return static_cast<int>(i);
    return static_cast<int>(N - 1);
}

// From this band on, a part holds the machine back.
constexpr int kHeldBackBand = 3;

// Device classes as bits of a set, in the order the lists write them.
constexpr unsigned kAdapterClass = 1, kProcessorClass = 2, kMemoryClass = 4;

struct LevelRating {
    int cpuScore = 0; // as rated: after the core-count fallback
    int gpuScore = 0;
    int gpuBand = 0, cpuBand = 0, memoryBand = 0;
    int levelIndex = 0;      // the weakest part's band
    int level = 0;           // levelIndex + 1, or 0 when the processor or adapter has no score
    unsigned lowDevices = 0; // classes in kHeldBackBand or worse
    unsigned outDevices = 0; // classes without a score
};

// The processor's score by logical core count, for a processor the table does not score.
int CoreCountFallback(int logicalCores);

// `cpuScore` after the fallback; `memory` in bytes.
LevelRating RateLevel(int cpuScore, int gpuScore, std::uint64_t memory);

// The classes as the device lists write them: "显卡", "CPU", "内存", joined by "/".
std::string DeviceClassList(unsigned classes);

// The classes whose band is the level's: the parts that decide it. None for an unrated machine.
unsigned DecidingClasses(const LevelRating& rating);
