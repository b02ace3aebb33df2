#include "eval/score_table_resource.hpp"

#include "common/owners_win.hpp"
#include "common/text_resource.hpp"

#include <windows.h>

namespace {

// Debugger output reaches a debugger of this process or a monitor that has made the system's
// debug buffer. With neither the table's lines reach nobody, yet sending each one costs an
// exception and a look-up of the buffer: under Wine that was most of the program's start-up.
bool DebugOutputHasReader()
{
    if (IsDebuggerPresent())
        return true;
    for (const char* buffer : {"DBWIN_BUFFER", "Global\\DBWIN_BUFFER"}) {
        if (const KernelHandle mapping{OpenFileMappingA(FILE_MAP_READ, FALSE, buffer)})
            return true;
    }
    return false;
}

ScoreTable ParseScoreTable(int resourceId, const char* fileName, const DebugSink& debugOutput)
{
    return ParseScoreText(LoadTextResource(resourceId, fileName, "TEXT"), debugOutput);
}

} // namespace

void LoadScoreTables()
{
    DebugSink debugOutput;
    if (DebugOutputHasReader())
        debugOutput = [](const char* line) { OutputDebugStringA(line); };
    GpuScoreTable() = ParseScoreTable(kGpuTableResource, "gpu.txt", debugOutput);
    CpuScoreTable() = ParseScoreTable(kCpuTableResource, "cpu.txt", debugOutput);
}
