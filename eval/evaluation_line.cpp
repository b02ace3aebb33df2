#include "eval/evaluation_line.hpp"

#include "eval/level.hpp"
#include "eval/score_lookup.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <boost/format.hpp>

namespace {

std::string ScoreText(const ScoreTable& table, const std::string& name)
{
    const auto score = FindScore(table, name);
    return score ? std::to_string(*score) : "[NOT FOUND]";
}

} // namespace

std::string EvaluationLine()
{
    EvaluateLevel();
    InfoRecord& info = MachineInfo();
    const std::string cpu = info[InfoKey::CPU];
    const std::string gpu = info[InfoKey::GPU];
    const std::string gpuScore = ScoreText(GpuScoreTable(), gpu);
    const std::string cpuScore = ScoreText(CpuScoreTable(), cpu);
    return (boost::format("CPU: %1%, GPU: %2%, Level: %3%, GainExtra: %4%\n") % cpuScore %
            gpuScore % info[InfoKey::Level] % info[InfoKey::GainExtra])
        .str();
}
