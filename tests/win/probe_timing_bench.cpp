// Figures, not a test: the time of full probe runs split by probe. Run it on a virtual display:
//   scripts/wine-exec build/<dir>/bin/win_tests.exe --gtest_also_run_disabled_tests
//       --gtest_filter=ProbeTimingBench.*
#include "probe/adapter_memory.hpp"
#include "probe/graphics_probe.hpp"
#include "probe/machine_info.hpp"
#include "probe/probe_run.hpp"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

TEST(ProbeTimingBench, DISABLED_EveryProbeOfRepeatedRuns)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    constexpr int kRuns = 10;
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    std::vector<double> totals;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        GetProbeSummary([&](const char* probe, double milliseconds) {
            if (run == 0)
                order.push_back(probe);
            times[probe].push_back(milliseconds);
        });
        totals.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    // The adapter list includes the video memory probe; its own share, measured alone, and the
    // read of the adapter's driver key within it.
    std::vector<double> videoMemory, adapterKey;
    const std::string adapter = MachineInfo()["GPU"];
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        GetVideoMemory();
        videoMemory.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        start = std::chrono::steady_clock::now();
        AdapterMemoryBytes(adapter);
        adapterKey.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    WSACleanup();
    MachineInfo().clear();

    std::printf("%-12s %10s %10s %10s   (ms; runs 2-%d after the first)\n", "probe", "first",
                "median", "max", kRuns);
    auto row = [](const char* name, std::vector<double> values) {
        const double first = values.front();
        values.erase(values.begin());
        std::sort(values.begin(), values.end());
        std::printf("%-12s %10.2f %10.2f %10.2f\n", name, first, values[values.size() / 2],
                    values.back());
    };
    for (const std::string& probe : order)
        row(probe.c_str(), times[probe]);
    row("whole run", totals);
    row("(video mem)", videoMemory);
    row("(driver key)", adapterKey);
    ASSERT_EQ(order.size(), 9u); // every probe reported, in its place
    EXPECT_EQ(order.front(), "MAC");
    EXPECT_EQ(order.back(), "Times");
}
