#include "eval/level.hpp"

#include "common/decimal.hpp"
#include "eval/gain_bands.hpp"
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

constexpr int kCpuThresholds[] = {8000, 4500, 2500, 1000, 0};
constexpr int kGpuThresholds[] = {4700, 3500, 2000, 800, 0};
constexpr std::uint64_t kMemoryThresholds[] = {4026531840ULL, 4026531840ULL, 2080374784ULL, 0};
// Highest processor score times highest adapter score of the shipped tables.
constexpr double kTopProduct = 152068000.0;

// Index of the first threshold the value reaches.
template <typename T, std::size_t N> int BandOf(T value, const T (&thresholds)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (value >= thresholds[i])
            return static_cast<int>(i);
    return static_cast<int>(N - 1);
}

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

// Appends a device word to a "/"-joined list.
void AppendDevice(std::string& list, const char* word)
{
    if (!list.empty())
        list += "/";
    list += word;
}

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

    const int i = BandOf(gpuScore, kGpuThresholds);
    const int j = BandOf(cpuScore, kCpuThresholds);
    const int k = BandOf(memory, kMemoryThresholds);

    std::string low;
    if (i >= 3)
        AppendDevice(low, "显卡");
    if (j >= 3)
        AppendDevice(low, "CPU");
    if (k >= 3)
        AppendDevice(low, "内存");
    std::string out;
    if (gpuScore == 0)
        AppendDevice(out, "显卡");
    if (cpuScore == 0)
        AppendDevice(out, "CPU");
    info[InfoKey::LowDevices] = std::move(low);
    info[InfoKey::OutDevices] = std::move(out);

    if (cpuScore != 0 && gpuScore != 0) {
        const int levelIndex = std::max({i, j, k});
        const int gainExtra = ComputeGainExtra(levelIndex, gpuScore, cpuScore);
        info[InfoKey::Level] = std::to_string(levelIndex + 1);
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
