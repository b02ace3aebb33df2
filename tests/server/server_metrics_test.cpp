#include "server/monitor/build_version.hpp"
#include "server/monitor/process_figures.hpp"
#include "server/monitor/server_metrics.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

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
    for (const unsigned status : {200u, 200u, 404u, 503u, 302u, 999u})
        CountReply(metrics, MeteredRoute::Other, status, 1us);
    // Bucket bounds are inclusive: 500 us falls in le="0.0005", 501 us in the next.
    for (const std::chrono::microseconds took : {100us, 500us, 501us, 30000us, 7000000us})
        CountCommit(metrics, took);
    ++metrics.storeFailures;
    CountWrongKey(metrics, "10.0.0.1", true);
    CountWrongKey(metrics, "10.0.0.1", false);
    CountWrongKey(metrics, "10.0.0.2", false);
    const std::string text = MetricsText(metrics, 17, 2);

    const char* expected[] = {
        "# TYPE vxm_reports_total counter",
        "vxm_reports_total{decision=\"recorded\"} 2",
        "vxm_reports_total{decision=\"repeated\"} 1",
        "vxm_reports_total{decision=\"token\"} 1",
        "vxm_reports_total{decision=\"malformed\"} 3",
        "vxm_http_responses_total{code=\"200\"} 2",
        "vxm_http_responses_total{code=\"404\"} 1",
        "vxm_http_responses_total{code=\"503\"} 1",
        "vxm_http_responses_total{code=\"302\"} 1",
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
    };
    for (const char* line : expected)
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    EXPECT_EQ(text.find("999"), std::string::npos) << "beyond the codes counted";
    EXPECT_EQ(text.back(), '\n');
}

// A fresh server's exposition already holds every series a dashboard or alert reads, at 0.
TEST(ServerMetrics, EverySeriesIsThereFromTheStart)
{
    const std::string text = MetricsText(ServerMetrics(), 0, 0);
    std::vector<std::string> expected;
    for (const unsigned code : kAnsweredCodes)
        expected.push_back("vxm_http_responses_total{code=\"" + std::to_string(code) + "\"} 0");
    for (const char* route :
         {"report", "page", "export", "unknown", "wrong_keys", "health", "metrics", "other"}) {
        const std::string labels = std::string("{route=\"") + route + "\"";
        expected.push_back("vxm_http_request_duration_seconds_bucket" + labels + ",le=\"+Inf\"} 0");
        expected.push_back("vxm_http_request_duration_seconds_count" + labels + "} 0");
        expected.push_back("vxm_http_request_duration_seconds_sum" + labels + "} 0.000000");
    }
    for (const char* line :
         {"vxm_store_failures_total 0", "vxm_store_commit_seconds_count 0",
          "vxm_export_wrong_keys_total{answer=\"at_once\"} 0", "vxm_export_wrong_key_addresses 0"})
        expected.push_back(line);
    for (const std::string& line : expected)
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    EXPECT_TRUE(HasLine(text, "vxm_http_responses_total{code=\"500\"} 0"));
}

// Each reply's duration lands in its route's histogram, in the first bucket whose bound holds it.
TEST(ServerMetrics, RequestDurationsByRoute)
{
    struct Case {
        MeteredRoute route;
        std::chrono::microseconds took;
        const char* line; // one bucket of the route's histogram that must count it
    };
    const Case cases[] = {
        {MeteredRoute::Report, 500us, "{route=\"report\",le=\"0.000500\"} 1"},
        {MeteredRoute::Page, 501us, "{route=\"page\",le=\"0.001000\"} 1"},
        {MeteredRoute::Export, 3s, "{route=\"export\",le=\"5.000000\"} 1"},
        {MeteredRoute::WrongKeys, 1s, "{route=\"wrong_keys\",le=\"1.000000\"} 1"},
        {MeteredRoute::Health, 11s, "{route=\"health\",le=\"+Inf\"} 1"},
        {MeteredRoute::Other, -5us, "{route=\"other\",le=\"0.000500\"} 1"},
    };
    for (const Case& c : cases) {
        ServerMetrics metrics;
        CountReply(metrics, c.route, 200, c.took);
        const std::string text = MetricsText(metrics, 0, 0);
        EXPECT_TRUE(HasLine(text, std::string("vxm_http_request_duration_seconds_bucket") + c.line))
            << c.line << "\n"
            << text;
        // Below its bucket the route counts nothing, and no other route counts it.
        const std::string own = std::string(c.line).substr(0, std::string(c.line).find(','));
        std::size_t counted = 0;
        for (std::size_t at = text.find("_count{"); at != std::string::npos;
             at = text.find("_count{", at + 1))
            counted += text.compare(text.find(' ', at) + 1, 2, "1\n") == 0;
        EXPECT_EQ(counted, 1u) << c.line;
        EXPECT_TRUE(HasLine(text, "vxm_http_request_duration_seconds_count" + own + "} 1"))
            << own << "\n"
            << text;
    }
}

// Client addresses are never label values; the operator reads them from the list instead.
TEST(ServerMetrics, WrongKeyAddressesGoToTheOperatorsList)
{
    ServerMetrics metrics;
    for (const char* address :
         {"10.0.0.1", "2001:db8::7", "10.0.0.1", "192.0.2.9", "10.0.0.1", "2001:db8::7"})
        CountWrongKey(metrics, address, true);
    const std::string text = MetricsText(metrics, 0, 0);
    for (const char* address : {"10.0.0.1", "2001:db8::7", "192.0.2.9"})
        EXPECT_EQ(text.find(address), std::string::npos) << address;
    EXPECT_EQ(text.find("address=\""), std::string::npos);
    EXPECT_TRUE(HasLine(text, "vxm_export_wrong_key_addresses 3"));
    EXPECT_EQ(WrongKeysCsv(metrics), "address,wrong_keys\r\n10.0.0.1,3\r\n2001:db8::7,2\r\n"
                                     "192.0.2.9,1\r\n");
    EXPECT_EQ(WrongKeysCsv(ServerMetrics()), "address,wrong_keys\r\n");
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
