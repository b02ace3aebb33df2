// Cost of the start-up work on the data files: verify the three digests and parse both tables,
// by the parser in use and by its first form (the reference the tests hold it to), interleaved.
#include "common/data_digest.hpp"
#include "eval/score_lookup.hpp"
#include "eval/score_table.hpp"
#include "tests/core/score_table_reference.hpp"
#include "tools/bench/no_probe.hpp"
#include "tools/bench/timing.hpp"

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
    std::vector<double> digestMs, parseMs, quietMs, referenceMs, knownMs, canonicalMs;
    std::size_t entries = 0;
    for (int round = 0; round < 31; ++round) {
        bool ok = true;
        digestMs.push_back(Milliseconds([&] {
            ok = DataDigestMatches("gpu.txt", gpu) && DataDigestMatches("cpu.txt", cpu) &&
                 DataDigestMatches("TestShader.txt", shader);
        }));
        // Start-up keeps its tables, so freeing them is left out of every figure.
        std::vector<ScoreTable> kept;
        std::vector<ScoreMap> keptReference;
        const auto keep = [&kept](ScoreTable table) {
            kept.push_back(std::move(table));
            return kept.back().entries.size();
        };
        const auto keepReference = [&keptReference](ScoreMap table) {
            keptReference.push_back(std::move(table));
            return keptReference.back().size();
        };
        // Both build every debug line, as the program does when a debugger listens.
        std::size_t debugBytes = 0;
        const auto sink = [&debugBytes](const char* line) { debugBytes += std::strlen(line); };
        parseMs.push_back(Milliseconds(
            [&] { entries = keep(ParseScoreText(gpu, sink)) + keep(ParseScoreText(cpu, sink)); }));
        // Without a reader of the debug output the program builds no debug line.
        quietMs.push_back(
            Milliseconds([&] { keep(ParseScoreText(gpu)), keep(ParseScoreText(cpu)); }));
        std::size_t referenceEntries = 0;
        referenceMs.push_back(Milliseconds([&] {
            referenceEntries = keepReference(ReferenceParseScoreText(gpu, nullptr)) +
                               keepReference(ReferenceParseScoreText(cpu, nullptr));
        }));
        // A name each table holds, then one each finds by its canonical form only: the first
        // miss of a table makes its canonical index.
        const ScoreTable& gpuTable = kept[kept.size() - 2];
        const ScoreTable& cpuTable = kept.back();
        const auto bothScores = [&](const char* gpuName, const char* cpuName) {
            return FindScore(gpuTable, gpuName).value_or(0) +
                   FindScore(cpuTable, cpuName).value_or(0);
        };
        int known = 0, canonical = 0;
        knownMs.push_back(Milliseconds(
            [&] { known = bothScores("NVIDIA GeForce GTX 690", "Intel Core i7 995X @ 3.60GHz"); }));
        canonicalMs.push_back(Milliseconds([&] {
            canonical =
                bothScores("nvidia geforce gtx 690 series", "INTEL CORE I7 995X  @ 3.60GHZ");
        }));
        if (!ok || entries == 0 || referenceEntries != entries || known != canonical)
            return 1;
    }
    std::printf("start-up work on the data files (median of 31): digests %.3f ms; parse both "
                "tables (%zu entries): first form %.3f ms, now %.3f ms, now without a reader of "
                "the debug lines %.3f ms\n",
                Median(digestMs), entries, Median(referenceMs), Median(parseMs), Median(quietMs));
    std::printf("look-up in both tables (median of 31): names they hold %.4f ms; names found by "
                "their canonical form, making both canonical indexes %.3f ms\n",
                Median(knownMs), Median(canonicalMs));
    return 0;
}
