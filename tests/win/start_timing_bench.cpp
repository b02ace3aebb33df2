// Figures, not a test: the work of one Start after the checks, split into probe, evaluation and
// the exchange with a report server on loopback. Run it on a virtual display:
//   scripts/wine-exec build/win/bin/win_tests.exe --gtest_also_run_disabled_tests
//       --gtest_filter=StartTimingBench.*
#include "eval/level.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_run.hpp"
#include "report/post_report.hpp"
#include "tools/report_server/report_server.hpp"
#include "tools/bench/timing.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

} // namespace

TEST(StartTimingBench, DISABLED_ProbeEvaluationExchange)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    report_server::Server server({"HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n"
                                  "{\"ret_code\":0,\"msg\":\"ok\"}\n"});
    constexpr int kRuns = 10;
    std::vector<double> probe, evaluation, exchange, total;
    for (int run = 0; run < kRuns; ++run) {
        MachineInfo()[InfoKey::Zeq] = "12345678";
        const double p = Milliseconds([] { GetProbeSummary(); });
        const double e = Milliseconds([] { EvaluateLevel(); });
        const double x = Milliseconds(
            [&] { EXPECT_EQ(PostReport("127.0.0.1", server.Port(), ReportLimits{}), "ok"); });
        probe.push_back(p);
        evaluation.push_back(e);
        exchange.push_back(x);
        total.push_back(p + e + x);
    }
    std::printf("one Start after the checks, median of %d runs (first run in brackets):\n", kRuns);
    std::printf("  probe       %8.1f ms  (%.1f)\n", Median(probe), probe[0]);
    std::printf("  evaluation  %8.1f ms  (%.1f)\n", Median(evaluation), evaluation[0]);
    std::printf("  exchange    %8.1f ms  (%.1f)\n", Median(exchange), exchange[0]);
    std::printf("  in all      %8.1f ms  (%.1f)\n", Median(total), total[0]);
}
