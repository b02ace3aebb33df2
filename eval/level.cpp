#include "eval/level.hpp"

#include "common/decimal.hpp"
#include "eval/gain_bands.hpp"
#include "eval/level_rule.hpp"
#include "eval/score_lookup.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

// Highest processor score times highest adapter score of the shipped tables.
constexpr double kTopProduct = 152068000.0;

int (*gGainRandom)() = [] { return std::rand(); };

double RootOfProduct(long long a, long long b)
{
    return std::sqrt(static_cast<double>(a * b));
}

} // namespace

void SetGainRandomSourceForTesting(int (*source)())
{
    gGainRandom = source ? source : [] { return std::rand(); };
}

int ComputeGainExtra(int levelIndex, int gpuScore, int cpuScore)
{
    const int e = levelIndex;
    const double lower = RootOfProduct(kCpuThresholds[e], kGpuThresholds[e]);
    const double upper = e >= 1 ? RootOfProduct(kCpuThresholds[e - 1], kGpuThresholds[e - 1])
                                : std::sqrt(kTopProduct);
    double h = (RootOfProduct(cpuScore, gpuScore) - lower) / (upper - lower);
    h = std::clamp(h, 0.0, 1.0);
    const int r = kGainLow[e] + static_cast<int>((kGainHigh[e] - kGainLow[e]) * h);
    if (r == 0)
        return gGainRandom() % kDrawnGainMax + 1;
    return r;
}

void EvaluateLevel()
{
    InfoRecord& info = MachineInfo();
    if (info.empty())
        GetProbeSummary();

    // References stay valid while other keys are added.
    const std::string& cpu = info[InfoKey::CPU];
    const std::string& gpu = info[InfoKey::GPU];

    int cpuScore = FindScore(CpuScoreTable(), cpu).value_or(0);
    if (cpuScore == 0)
        cpuScore = CoreCountFallback(ParseDecimal<int>(info[InfoKey::LogicCoreCount]).value_or(0));
    const int gpuScore = FindScore(GpuScoreTable(), gpu).value_or(0);
    const std::uint64_t memory = ParseDecimal<std::uint64_t>(info[InfoKey::RAMBytes]).value_or(0);

    const LevelRating rating = RateLevel(cpuScore, gpuScore, memory);
    info[InfoKey::LowDevices] = DeviceClassList(rating.lowDevices);
    info[InfoKey::OutDevices] = DeviceClassList(rating.outDevices);
    if (rating.level != 0) {
        const int gainExtra = ComputeGainExtra(rating.levelIndex, gpuScore, cpuScore);
        info[InfoKey::Level] = std::to_string(rating.level);
        info[InfoKey::GainExtra] = std::to_string(gainExtra);
        info[InfoKey::Gain] = std::to_string(gainExtra + kGainBase);
    } else {
        info[InfoKey::Level] = "0";
        info[InfoKey::GainExtra] = "0";
        info[InfoKey::Gain] = "0";
    }
}

const std::map<std::string, std::string>& ReportedLevelMap()
{
    static const std::map<std::string, std::string> levels = [] {
        std::map<std::string, std::string> codes;
        for (int level = 1; level <= kLevelCount; ++level)
            codes[std::to_string(level)] = kReportedLevelCodes[level - 1];
        return codes;
    }();
    return levels;
}
