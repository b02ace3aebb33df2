#include "server/monitor/server_metrics.hpp"

#include <gtest/gtest.h>

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
    const std::string text = MetricsText(metrics, 17);

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
    };
    for (const char* line : expected)
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    EXPECT_EQ(text.find("999"), std::string::npos);
    EXPECT_EQ(text.find("status=\"500\""), std::string::npos) << "only statuses that occurred";
    EXPECT_EQ(text.back(), '\n');
}

} // namespace
