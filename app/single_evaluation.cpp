#include "app/single_evaluation.hpp"

#include "app/command_line.hpp"
#include "eval/level.hpp"
#include "eval/score_lookup.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <boost/format.hpp>
#include <boost/lexical_cast.hpp>

SingleEvaluation EvaluateTriple(const std::string& evalValue)
{
    const EvalTriple triple = SplitEvalValue(evalValue);
    InfoRecord& info = MachineInfo();
    info[InfoKey::CPU] = triple.cpu;
    info[InfoKey::GPU] = triple.gpu;
    info[InfoKey::RAMBytes] = std::to_string(triple.ramBytes);
    EvaluateLevel();

    SingleEvaluation result;
    result.message =
        (boost::format("CPU: %s\t%d\nGPU: %s\t%d\nLevel: %s\nGainExtra: %s") % info[InfoKey::CPU] %
         FindScore(CpuScoreTable(), info[InfoKey::CPU]).value_or(0) % info[InfoKey::GPU] %
         FindScore(GpuScoreTable(), info[InfoKey::GPU]).value_or(0) % info[InfoKey::Level] %
         info[InfoKey::GainExtra])
            .str();
    result.gainExtra = boost::lexical_cast<int>(info[InfoKey::GainExtra]);
    return result;
}
