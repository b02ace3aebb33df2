// The command line: words (one per input line) through the option parser, then the "eval"
// value through its split and the single evaluation. Only the errors the entry turns into its
// bad-command-line exit may leave, and a split value gives back the text it came from.
#include "fuzz/fuzz_check.hpp"

#include "app/command_line.hpp"
#include "app/single_evaluation.hpp"

#include <boost/program_options/errors.hpp>

#include <sstream>
#include <vector>

namespace {

void CheckEvalValue(const std::string& value)
{
    EvalTriple triple;
    try {
        triple = SplitEvalValue(value);
    } catch (const std::invalid_argument&) {
        return;
    }
    FuzzCheck(triple.cpu.find('|') == std::string::npos, "the processor holds no bar", value);
    const std::string front = triple.cpu + "|" + triple.gpu + "|";
    FuzzCheck(value.compare(0, front.size(), front) == 0 &&
                  value.find('|', front.size()) == std::string::npos,
              "processor|adapter| is the value up to its last bar", value);

    const SingleEvaluation result = EvaluateTriple(value);
    FuzzCheck(result.message.compare(0, 5 + triple.cpu.size(), "CPU: " + triple.cpu) == 0,
              "the message names the processor", result.message);
    FuzzCheck(result.gainExtra >= 0 && result.gainExtra <= 350, "the exit code is a gain extra",
              std::to_string(result.gainExtra));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    LoadShippedScoreTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words;
    std::istringstream lines(FuzzText(data, size));
    for (std::string word; std::getline(lines, word);)
        words.push_back(word);

    CommandLine line;
    try {
        line = ParseCommandLine(words);
    } catch (const boost::program_options::error&) {
        return 0;
    }
    if (line.mode == RunMode::SingleEvaluation)
        CheckEvalValue(line.eval);
    else
        FuzzCheck(line.eval.empty(), "no eval value outside single evaluation");
    return 0;
}
