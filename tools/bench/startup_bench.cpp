// Cost of the start-up work on the data files: verify the three digests and parse both tables.
#include "common/data_digest.hpp"
#include "eval/score_table.hpp"
#include "tools/bench/no_probe.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::string ReadAll(const std::string& name)
{
    std::ifstream file(std::string(VXM_RESOURCES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

int main()
{
    const std::string shader = ReadAll("TestShader.txt");
    const std::string cpu = ReadAll("cpu.txt");
    const std::string gpu = ReadAll("gpu.txt");
    std::vector<double> digestMs, parseMs;
    std::size_t debugBytes = 0;
    for (int round = 0; round < 30; ++round) {
        auto start = std::chrono::steady_clock::now();
        const bool ok = DataDigestMatches("gpu.txt", gpu) && DataDigestMatches("cpu.txt", cpu) &&
                        DataDigestMatches("TestShader.txt", shader);
        auto mid = std::chrono::steady_clock::now();
        // The program sends every debug line out; here they are only measured.
        const auto sink = [&debugBytes](const char* line) { debugBytes += std::strlen(line); };
        const std::size_t entries =
            ParseScoreText(gpu, sink).size() + ParseScoreText(cpu, sink).size();
        auto end = std::chrono::steady_clock::now();
        if (!ok || entries == 0)
            return 1;
        digestMs.push_back(std::chrono::duration<double, std::milli>(mid - start).count());
        parseMs.push_back(std::chrono::duration<double, std::milli>(end - mid).count());
    }
    std::sort(digestMs.begin(), digestMs.end());
    std::sort(parseMs.begin(), parseMs.end());
    std::printf("native start-up work (median of 30): digests %.3f ms, parse both tables %.3f ms "
                "(%zu + %zu bytes)\n",
                digestMs[15], parseMs[15], gpu.size(), cpu.size());
    return 0;
}
