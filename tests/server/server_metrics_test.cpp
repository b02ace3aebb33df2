#include "server/monitor/build_version.hpp"
#include "server/monitor/process_figures.hpp"
#include "server/monitor/server_metrics.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

namespace {

using namespace std::chrono_literals;

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(ServerMetrics, ExpositionCountsEveryKind)
{
    ServerMetrics metrics;
    for (const Decision decision :
         {Decision::Recorded, Decision::Recorded, Decision::Repeated, Decision::TokenMismatch,
          Decision::Malformed, Decision::Malformed, Decision::Malformed})
        CountDecision(metrics, decision);
    for (const unsigned status : {200u, 200u, 404u, 503u, 999u})
        CountResponse(metrics, status);
    // Bucket bounds are inclusive: 500 us falls in le="0.0005", 501 us in the next.
    for (const std::chrono::microseconds took : {100us, 500us, 501us, 30000us, 7000000us})
        CountCommit(metrics, took);
    ++metrics.storeFailures;
    CountWrongKey(metrics, "10.0.0.1", true);
    CountWrongKey(metrics, "10.0.0.1", false);
    CountWrongKey(metrics, "forged\"\\\n", false);
    const std::string text = MetricsText(metrics, 17, 2);

    const char* expected[] = {
        "# TYPE vxm_reports_total counter",
        "vxm_reports_total{decision=\"recorded\"} 2",
        "vxm_reports_total{decision=\"repeated\"} 1",
        "vxm_reports_total{decision=\"token\"} 1",
        "vxm_reports_total{decision=\"malformed\"} 3",
        "vxm_http_responses_total{status=\"200\"} 2",
        "vxm_http_responses_total{status=\"404\"} 1",
        "vxm_http_responses_total{status=\"503\"} 1",
        "# TYPE vxm_store_commit_seconds histogram",
        "vxm_store_commit_seconds_bucket{le=\"0.000500\"} 2",
        "vxm_store_commit_seconds_bucket{le=\"0.001000\"} 3",
        "vxm_store_commit_seconds_bucket{le=\"0.020000\"} 3",
        "vxm_store_commit_seconds_bucket{le=\"0.050000\"} 4",
        "vxm_store_commit_seconds_bucket{le=\"5.000000\"} 4",
        "vxm_store_commit_seconds_bucket{le=\"+Inf\"} 5",
        "vxm_store_commit_seconds_sum 7.031101",
        "vxm_store_commit_seconds_count 5",
        "vxm_store_failures_total 1",
        "# TYPE vxm_open_connections gauge",
        "vxm_open_connections 17",
        "vxm_export_wrong_keys_total{answer=\"waited\"} 1",
        "vxm_export_wrong_keys_total{answer=\"at_once\"} 2",
        "vxm_export_wrong_keys_waiting 2",
        "vxm_export_wrong_key_addresses 2",
        "vxm_export_wrong_keys_by_address{address=\"10.0.0.1\"} 2",
        "vxm_export_wrong_keys_by_address{address=\"forged\\\"\\\\\\n\"} 1",
    };
    for (const char* line : expected)
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    EXPECT_EQ(text.find("999"), std::string::npos);
    EXPECT_EQ(text.find("status=\"500\""), std::string::npos) << "only statuses that occurred";
    EXPECT_EQ(text.back(), '\n');
}

TEST(AddressCounts, CountTheCurrentHourUpToTheirBound)
{
    AddressCounts counts(3);
    const auto start = AddressCounts::Clock::now();
    for (const char* address : {"a", "b", "a", "c", "a", "b", "d"})
        counts.Add(address, start + std::chrono::minutes(59));
    AddressCounts::Reading reading = counts.Read(2);
    EXPECT_EQ(reading.addresses, 3u) << "d came after the bound";
    ASSERT_EQ(reading.most.size(), 2u);
    EXPECT_EQ(reading.most[0], std::make_pair(std::string("a"), std::uint64_t{3}));
    EXPECT_EQ(reading.most[1], std::make_pair(std::string("b"), std::uint64_t{2}));
    counts.Add("d", start + std::chrono::minutes(130));
    reading = counts.Read(10);
    EXPECT_EQ(reading.addresses, 1u) << "a new hour starts afresh";
    EXPECT_EQ(reading.most[0], std::make_pair(std::string("d"), std::uint64_t{1}));
}

// Read against what the test itself does: files it opens, CPU time it spends.
TEST(ServerMetrics, ProcessFiguresAndBuildInformation)
{
    const ProcessFigures before = ReadProcessFigures();
    std::vector<std::FILE*> files;
    for (int i = 0; i < 5; ++i)
        files.push_back(std::fopen("/dev/null", "r"));
    for (const std::clock_t start = std::clock(); std::clock() - start < CLOCKS_PER_SEC / 10;) {
    }
    const ProcessFigures after = ReadProcessFigures();
    for (std::FILE* file : files)
        std::fclose(file);
    ASSERT_TRUE(before.cpuSeconds && before.residentBytes && before.virtualBytes &&
                before.openFds && before.maxFds && before.startTime);
    EXPECT_EQ(*after.openFds - *before.openFds, 5);
    EXPECT_GE(*after.cpuSeconds - *before.cpuSeconds, 0.09);
    EXPECT_GT(*before.residentBytes, 1 << 20);
    EXPECT_GT(*before.virtualBytes, *before.residentBytes);
    EXPECT_GE(*before.maxFds, *before.openFds);
    const double now = static_cast<double>(std::time(nullptr));
    EXPECT_LE(*before.startTime, now + 1);
    EXPECT_GT(*before.startTime, now - 86400);

    ServerMetrics metrics;
    metrics.store = "sqlite";
    const std::string text = MetricsText(metrics, 0, 0);
    for (const char* line :
         {"# TYPE process_cpu_seconds_total counter", "# TYPE process_resident_memory_bytes gauge",
          "# TYPE process_open_fds gauge", "# TYPE process_start_time_seconds gauge"})
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    EXPECT_NE(std::string(kServerVersion), "");
    EXPECT_TRUE(HasLine(text, "vxm_build_info{version=\"" + std::string(kServerVersion) +
                                  "\",store=\"sqlite\"} 1"))
        << text;
}

} // namespace
