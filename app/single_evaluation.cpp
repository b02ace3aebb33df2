#include "app/single_evaluation.hpp"

#include "app/command_line.hpp"
#include "eval/level.hpp"
#include "eval/score_table.hpp"
#include "probe/machine_info.hpp"

#include <boost/format.hpp>
#include <boost/lexical_cast.hpp>

SingleEvaluation EvaluateTriple(const std::string& evalValue)
{
    const EvalTriple triple = SplitEvalValue(evalValue);
    InfoRecord& info = MachineInfo();
    info["CPU"] = triple.cpu;
    info["GPU"] = triple.gpu;
    info["RAM Bytes"] = std::to_string(triple.ramBytes);
    EvaluateLevel();

    SingleEvaluation result;
    result.message =
        (boost::format("CPU: %s\t%d\nGPU: %s\t%d\nLevel: %s\nGainExtra: %s") % info["CPU"] %
         LookupScore(CpuScoreTable(), info["CPU"]).value_or(0) % info["GPU"] %
         LookupScore(GpuScoreTable(), info["GPU"]).value_or(0) % info["Level"] % info["GainExtra"])
            .str();
    result.gainExtra = boost::lexical_cast<int>(info["GainExtra"]);
    return result;
}
