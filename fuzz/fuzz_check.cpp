#include "fuzz/fuzz_check.hpp"

#include "eval/score_table.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

void FuzzCheck(bool holds, const char* property, const std::string& detail)
{
    if (holds)
        return;
    std::fprintf(stderr, "==== property broken: %s\n%s\n", property, detail.c_str());
    std::abort();
}

namespace {

std::string ReadDataFile(const char* name)
{
    std::ifstream file(std::string(VXM_RESOURCES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    FuzzCheck(!text.str().empty(), "shipped data file readable", name);
    return text.str();
}

} // namespace

void LoadShippedScoreTables()
{
    static const bool loaded = [] {
        GpuScoreTable() = ParseScoreText(ReadDataFile("gpu.txt"));
        CpuScoreTable() = ParseScoreText(ReadDataFile("cpu.txt"));
        return true;
    }();
    (void)loaded;
}
