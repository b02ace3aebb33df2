#include "common/md5.hpp"
#include "report/post_report.hpp"
#include "tests/core/hostile_replies.hpp"
#include "tests/core/record_fixture.hpp"
#include "tests/core/report_outcome.hpp"
#include "tools/report_server/report_server.hpp"

namespace {

using namespace std::chrono_literals;
using report_server::Answer;
using report_server::Server;

// Short bounds keep the suite fast; the tests of a bound shorten it further.
constexpr ReportLimits kLimits{2000ms, 3000ms, 1 << 20};

const std::string kHeaders = ReplyHeaders();

// The body the record of ReportExchangeTest gives, written out.
std::string ExpectedBody()
{
    const std::string token = Md5Hex("10001R!%&58T^wnq27d00-1A-2B-3C-4D-5EIntel(R) Core i5"
                                     "4096.00 MBGTX 650#*!^%KTRB9413520r5.2071815m#");
    return "u=10001&mc=00-1A-2B-3C-4D-5E&cpu=Intel%28R%29%20Core%20i5&mm=4096.00%20MB"
           "&dm=GTX%20650&cc=&lcc=&lvm=&tvm=&os=&rs=&dx=&vc=&dd=&hl=3&s=520&pn=&nc=&ei=&tk=" +
           token;
}

std::string Seconds(std::chrono::steady_clock::duration d)
{
    return std::to_string(std::chrono::duration<double>(d).count()) + " s";
}

} // namespace

class ReportExchangeTest : public RecordTest {
  protected:
    void SetUp() override
    {
        RecordTest::SetUp();
        InfoRecord& info = MachineInfo();
        info["Zeq"] = "10001";
        info["Mac"] = "00-1A-2B-3C-4D-5E";
        info["CPU"] = "Intel(R) Core i5";
        info["RAM"] = "4096.00 MB";
        info["GPU"] = "GTX 650";
        info["Level"] = "3";
        info["Gain"] = "520";
    }

    static Outcome Post(const Server& server, const ReportLimits& limits = kLimits)
    {
        return OutcomeOf([&] { return PostReport("127.0.0.1", server.Port(), limits); });
    }
};

TEST_F(ReportExchangeTest, SendsTheListedRequestAndReturnsTheDecodedMessage)
{
    Server server(
        Answer{kHeaders + "{\"ret_code\":0,\"msg\":\"\\u68c0\\u6d4b\\u6210\\u529f\"}\r\n"});
    EXPECT_EQ(Post(server), (Outcome{"message", "检测成功"}));
    const std::string body = ExpectedBody();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    // Everything the client sent before it closed: nothing follows the body.
    // The test server's port is not 80, so the URL and Host carry it.
    EXPECT_EQ(requests[0], "POST http://127.0.0.1:" + server.Port() +
                               "/vorn/a20140220checkmachine/postInfo.php HTTP/1.0\r\n"
                               "Host: 127.0.0.1:" +
                               server.Port() +
                               "\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: " +
                               std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST_F(ReportExchangeTest, EachCallMakesItsOwnConnection)
{
    Server server(Answer{kHeaders + "{\"ret_code\":1,\"msg\":\"counted\"}"});
    EXPECT_EQ(Post(server), (Outcome{"message", "counted"}));
    MachineInfo()["Zeq"] = "10002";
    EXPECT_EQ(Post(server), (Outcome{"message", "counted"}));
    const auto requests = server.Requests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("u=10001&"), std::string::npos);
    EXPECT_NE(requests[1].find("u=10002&"), std::string::npos);
}

struct Scripted {
    const char* name;
    std::string reply;
    Outcome expected;
};

void PrintTo(const Scripted& scripted, std::ostream* out)
{
    *out << scripted.name;
}

class ReportReplyTest : public ReportExchangeTest,
                        public ::testing::WithParamInterface<Scripted> {};

TEST_P(ReportReplyTest, OutcomeMatches)
{
    Server server(Answer{GetParam().reply});
    EXPECT_EQ(Post(server), GetParam().expected);
    // Whatever the reply, the request went out whole.
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(requests[0].size() - ExpectedBody().size()), ExpectedBody());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReportReplyTest,
    ::testing::Values(
        Scripted{"ZeroCode", kHeaders + "{\"ret_code\":0,\"msg\":\"ok\"}\r\n", {"message", "ok"}},
        Scripted{
            "PositiveCode", kHeaders + "{\"ret_code\":3,\"msg\":\"third\"}", {"message", "third"}},
        Scripted{"Http11",
                 "HTTP/1.1 200 OK\r\n\r\n{\"ret_code\":0,\"msg\":\"v11\"}",
                 {"message", "v11"}},
        Scripted{"RepeatedNumber",
                 kHeaders + "{\"ret_code\":-1,\"msg\":\"\\u60a8\\u5df2\\u63d0\\u4ea4\\u8fc7\"}\r\n",
                 {"ReplicatedCommit", "您已提交过"}},
        Scripted{"RepeatedString",
                 kHeaders + "{\"ret_code\":\"-1\",\"msg\":\"again\"}\r\n",
                 {"ReplicatedCommit", "again"}},
        Scripted{"Refused",
                 kHeaders + "{\"ret_code\":-2,\"msg\":\"\\u53c2\\u6570\\u9519\\u8bef\"}",
                 {"ServerRefusal", "参数错误"}},
        Scripted{"BareLfHeaders",
                 "HTTP/1.0 200 OK\r\nServer: test\nContent-Type: text/html\n\n"
                 "{\"ret_code\":0,\"msg\":\"lf\"}\n",
                 {"message", "lf"}},
        Scripted{"OnlyFirstBodyLine",
                 kHeaders + "{\"ret_code\":0,\"msg\":\"first\"}\r\n{\"ret_code\":-1}\r\n",
                 {"message", "first"}},
        Scripted{"NoContent",
                 "HTTP/1.0 204 No Content\r\n\r\n",
                 {"runtime_error", "Response returned with status code 204"}},
        Scripted{"Moved",
                 "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1/\r\n\r\n"
                 "{\"ret_code\":0,\"msg\":\"not read\"}",
                 {"runtime_error", "Response returned with status code 302"}},
        Scripted{"NotFound",
                 "HTTP/1.1 404 Not Found\r\n\r\n",
                 {"runtime_error", "Response returned with status code 404"}},
        Scripted{"NonNumericCode", "HTTP/1.0 OK\r\n\r\n", {"runtime_error", "Invalid response"}},
        Scripted{"NotHttp", "ICY 200 OK\r\n\r\n", {"runtime_error", "Invalid response"}},
        Scripted{"ShortVersion", "HTT 200 OK\r\n\r\n", {"runtime_error", "Invalid response"}},
        Scripted{"JsonOverLines",
                 kHeaders + "{\n\"ret_code\": 0,\n\"msg\": \"ok\"\n}\n",
                 {"json_parser_error", "<unspecified file>(1): expected key string"}},
        Scripted{
            "NoBodyLine", kHeaders, {"json_parser_error", "<unspecified file>(1): expected value"}},
        Scripted{"InvalidJson",
                 kHeaders + "<html>error</html>\r\n",
                 {"json_parser_error", "<unspecified file>(1): expected value"}},
        Scripted{"MissingMessage",
                 kHeaders + "{\"ret_code\":-1}\r\n",
                 {"ptree_bad_path", "No such node (msg)"}},
        Scripted{
            "ClosedBeforeLineEnd", "HTTP/1.0 200 OK", {"NetworkError", "read_until: End of file"}},
        Scripted{"ClosedAtOnce", "", {"NetworkError", "read_until: End of file"}}),
    [](const ::testing::TestParamInfo<Scripted>& info) { return info.param.name; });

TEST_F(ReportExchangeTest, RefusedConnectionRaisesTheSystemMessage)
{
    const std::string port = report_server::ClosedPort();
    try {
        PostReport("127.0.0.1", port, kLimits);
        FAIL() << "no error";
    } catch (const NetworkError& e) {
        EXPECT_EQ(e.code(), boost::asio::error::connection_refused);
        EXPECT_EQ(std::string(e.what()), "connect: " + e.code().message());
#ifndef _WIN32
        EXPECT_STREQ(e.what(), "connect: Connection refused");
#endif
    }
}

TEST_F(ReportExchangeTest, UnresolvableServiceRaisesResolve)
{
    // Fails inside the resolver itself: no name server is asked.
    try {
        PostReport("127.0.0.1", "no-such-service", kLimits);
        FAIL() << "no error";
    } catch (const NetworkError& e) {
        EXPECT_TRUE(e.code());
        EXPECT_EQ(std::string(e.what()), "resolve: " + e.code().message());
    }
}

TEST_F(ReportExchangeTest, ConnectionThatNeverStandsIsBounded)
{
    report_server::FullListener listener;
    const ReportLimits limits{300ms, 3000ms, 1 << 20};
    const auto start = std::chrono::steady_clock::now();
    try {
        PostReport("127.0.0.1", listener.Port(), limits);
        FAIL() << "no error";
    } catch (const NetworkError& e) {
        EXPECT_EQ(e.code(), boost::asio::error::timed_out);
        EXPECT_STREQ(e.what(), "connect: timed out");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s)
        << Seconds(std::chrono::steady_clock::now() - start);
}

class HostileReplyTest : public ReportExchangeTest,
                         public ::testing::WithParamInterface<HostileReply> {};

TEST_P(HostileReplyTest, EndsWithinItsBoundsAsExpected)
{
    const HostileReply& reply = GetParam();
    Server server(reply.answer);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Post(server, reply.limits), reply.expected);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, reply.within) << Seconds(took);
    // The client closed its connection on giving up; the server saw the whole request.
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(requests[0].size() - ExpectedBody().size()), ExpectedBody());
}

INSTANTIATE_TEST_SUITE_P(Replies, HostileReplyTest, ::testing::ValuesIn(HostileReplies()),
                         [](const ::testing::TestParamInfo<HostileReply>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ReportExchangeTest, ReplyOneByteOverTheSizeBoundIsCut)
{
    const std::string reply = kHeaders + "{\"ret_code\":0,\"msg\":\"fits\"}";
    Server server(Answer{reply});
    // Whether the bound is hit before or after the first line depends on how the bytes arrive.
    const Outcome cut = Post(server, {2000ms, 3000ms, reply.size() - 1});
    EXPECT_EQ(cut.kind, "NetworkError");
    const std::string bound = ": reply exceeds " + std::to_string(reply.size() - 1) + " bytes";
    EXPECT_TRUE(cut.text == "read_until" + bound || cut.text == "read" + bound) << cut;
}
