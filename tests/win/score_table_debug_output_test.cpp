// The program under a debugger: start-up sends one debug line per table entry, adapter table
// first, whatever the mode.
#include "tests/win/framework_child_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

std::size_t LineCount(const std::string& table)
{
    std::ifstream file(std::string(VXM_RESOURCES_DIR) + "\\" + table, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(file), {});
    return std::count(text.begin(), text.end(), '\n');
}

} // namespace

TEST(ScoreTableDebugOutput, DebuggerReadsOneLinePerEntry)
{
    const ScratchFolder folder;
    const ChildRun run = RunAsDebugger(
        "\"" VXM_BIN_DIR "\\VxmCheck.exe\" --eval \"x|NVIDIA GeForce GTX 690|1\" --mute", folder);
    EXPECT_EQ(run.exitCode, 0u);
    std::vector<std::string> lines;
    std::copy_if(run.reports.begin(), run.reports.end(), std::back_inserter(lines),
                 [](const std::string& line) { return line.rfind("key:", 0) == 0; });
    const std::size_t gpuEntries = LineCount("gpu.txt");
    ASSERT_EQ(lines.size(), gpuEntries + LineCount("cpu.txt"));
    EXPECT_NE(std::find(lines.begin(), lines.begin() + gpuEntries,
                        "key:NVIDIA GeForce GTX 690, value:14000\n"),
              lines.begin() + gpuEntries);
    EXPECT_NE(std::find(lines.begin() + gpuEntries, lines.end(),
                        "key:Intel Core i7 995X @ 3.60GHz, value:10862\n"),
              lines.end());
}
