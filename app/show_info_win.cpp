#include "app/show_info.hpp"

#include "eval/evaluation_line.hpp"
#include "probe/probe_run.hpp"
#include "probe/show_info_flag.hpp"

#include <windows.h>

void ShowProbeInformation()
{
    gShowInfo = true;
    // The record is still empty here, so the evaluation probes first; the summary probes again.
    const std::string line = EvaluationLine();
    const std::string text = GetProbeSummary() + "\n" + line;
    MessageBoxA(nullptr, text.c_str(), "Probe Information", MB_ICONINFORMATION | MB_OK);
}
