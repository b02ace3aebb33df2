// Figures, not a test: one Start after the checks in a fresh process (probe, evaluation and the
// upload, the first in the process and a second one), over https or plain http as the
// environment says. tools/bench/https_start_bench.sh runs it in turns against nginx in front of
// the reference server and gives the medians.
#include "eval/level.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_run.hpp"
#include "report/post_report_https.hpp"
#include "tools/bench/timing.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Setting(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Upload(bool https, const std::string& port, const std::string& caPem)
{
    try {
        return https ? PostReportHttps({"localhost", port, {caPem, {}}}, ReportLimits{})
                     : PostReport("127.0.0.1", port, ReportLimits{});
    } catch (const ReplicatedCommit& repeated) {
        return repeated.what(); // the second upload of a run: a whole exchange all the same
    }
}

} // namespace

TEST(HttpsStartBench, DISABLED_OneStart)
{
    const bool https = Setting("VXM_BENCH_SCHEME") == "https";
    std::stringstream pem;
    pem << std::ifstream(Setting("VXM_BENCH_CA")).rdbuf();
    MachineInfo()[InfoKey::Zeq] = Setting("VXM_BENCH_ACCOUNT");
    const double probe = Milliseconds([] { GetProbeSummary(); });
    const double evaluation = Milliseconds([] { EvaluateLevel(); });
    // The libraries an https upload loads on its first call, timed apart.
    const double libraries = https ? Milliseconds([] {
        LoadLibraryA("winhttp.dll");
        LoadLibraryA("crypt32.dll");
    })
                                   : 0;
    std::string message;
    const double first =
        Milliseconds([&] { message = Upload(https, Setting("VXM_BENCH_PORT"), pem.str()); });
    ASSERT_FALSE(message.empty());
    const double second =
        Milliseconds([&] { Upload(https, Setting("VXM_BENCH_PORT"), pem.str()); });
    const char* scheme = https ? "https" : "http";
    const std::pair<const char*, double> figures[] = {
        {"probe", probe},
        {"evaluation", evaluation},
        {"WinHTTP and crypt32 loaded", libraries},
        {"first upload", first},
        {"second upload", second},
        {"Start to result panel", probe + evaluation + libraries + first}};
    for (const auto& [name, ms] : figures)
        std::printf("%s %s %.1f ms\n", scheme, name, ms);
}
