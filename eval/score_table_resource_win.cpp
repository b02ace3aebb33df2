#include "eval/score_table_resource.hpp"

#include "common/text_resource.hpp"

#include <windows.h>

ScoreTable ParseScoreTable(int resourceId, const char* fileName)
{
    return ParseScoreText(LoadTextResource(resourceId, fileName, "TEXT"),
                          [](const char* line) { OutputDebugStringA(line); });
}

void LoadScoreTables()
{
    GpuScoreTable() = ParseScoreTable(kGpuTableResource, "gpu.txt");
    CpuScoreTable() = ParseScoreTable(kCpuTableResource, "cpu.txt");
}
