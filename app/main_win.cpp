// Process entry of the Windows program: locale, command line, and the chosen run mode.
#include "app/command_line.hpp"
#include "app/exit_codes.hpp"
#include "app/single_evaluation.hpp"
#include "eval/evaluation_line.hpp"
#include "eval/probe_log.hpp"
#include "app/show_info.hpp"

#include <boost/program_options/parsers.hpp>

#include <windows.h>

#include <clocale>
#include <exception>

namespace {

void SetProcessLocale()
{
    // Newer C runtimes (and Wine's) refuse the long Windows name; the short one is the same locale.
    if (!std::setlocale(LC_ALL, "Chinese_People's Republic of China.936"))
        std::setlocale(LC_ALL, "Chinese_China.936");
}

int RunSingleEvaluation(const CommandLine& line)
{
    SingleEvaluation result;
    try {
        result = EvaluateTriple(line.eval);
    } catch (const std::exception&) {
        return kExitBadCommandLine;
    }
    if (!line.mute)
        MessageBoxA(nullptr, result.message.c_str(), "Evaluation", MB_OK);
    return result.gainExtra;
}

int RunBatchEvaluation(const CommandLine& line)
{
    return EvaluateProbeLog(line.evalFile, line.evalFile + " - result.txt") ? 0 : kExitBatchFailed;
}

int RunDialog(const CommandLine& line)
{
    if (line.showInfo)
        ShowProbeInformation();
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    SetProcessLocale();
    CommandLine line;
    try {
        line = ParseCommandLine(boost::program_options::split_winmain(commandLine));
    } catch (const std::exception&) {
        return kExitBadCommandLine;
    }
    switch (line.mode) {
    case RunMode::SingleEvaluation:
        return RunSingleEvaluation(line);
    case RunMode::BatchEvaluation:
        return RunBatchEvaluation(line);
    case RunMode::Dialog:
        break;
    }
    return RunDialog(line);
}
