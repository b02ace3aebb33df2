#include "report/report_http.hpp"
#include "tests/core/report_outcome.hpp"

#include <sstream>

namespace {

unsigned StatusOf(const std::string& reply)
{
    std::istringstream stream(reply);
    return ReadStatusCode(stream);
}

std::string BodyOf(const std::string& afterStatus)
{
    std::istringstream stream(afterStatus);
    return ReadBodyLine(stream);
}

Outcome Judged(const std::string& line)
{
    return OutcomeOf([&] { return MessageFromBodyLine(line); });
}

} // namespace

TEST(ReportRequest, HasTheListedBytesAndNothingElse)
{
    EXPECT_EQ(ComposeReportRequest("report.example.invalid", "u=1&tk=ab"),
              "POST http://report.example.invalid/vorn/a20140220checkmachine/postInfo.php "
              "HTTP/1.0\r\n"
              "Host: report.example.invalid\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 9\r\n"
              "\r\n"
              "u=1&tk=ab");
    const std::string body(12345, 'x');
    const std::string request = ComposeReportRequest("h", body);
    EXPECT_NE(request.find("\r\nContent-Length: 12345\r\n\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.size() - body.size()), body);
}

TEST(ReportStatusLine, AcceptsAnyHttpVersionAndReturnsTheCode)
{
    EXPECT_EQ(StatusOf("HTTP/1.0 200 OK\r\n"), 200u);
    EXPECT_EQ(StatusOf("HTTP/1.1 200 OK\r\n"), 200u);
    EXPECT_EQ(StatusOf("HTTP/2 404 Not Found\r\n"), 404u);
    EXPECT_EQ(StatusOf("HTTP/1.0 302\r\n"), 302u);
}

TEST(ReportStatusLine, MalformedLinesAreInvalidResponses)
{
    for (const char* reply : {"HTTP/1.0 OK 200\r\n", "ICY 200 OK\r\n", "HTTP 200 OK\r\n",
                              "http/1.0 200 OK\r\n", "HTTP/1.0\r\n", "\r\n", ""}) {
        EXPECT_EQ(OutcomeOf([&] { return std::to_string(StatusOf(reply)); }),
                  (Outcome{"runtime_error", "Invalid response"}))
            << reply;
    }
}

TEST(ReportStatusLine, ConsumesTheWholeLine)
{
    std::istringstream stream("HTTP/1.0 200 OK fine\r\nNext: line\r\n");
    EXPECT_EQ(ReadStatusCode(stream), 200u);
    std::string next;
    std::getline(stream, next);
    EXPECT_EQ(next, "Next: line\r");
}

TEST(ReportBodyLine, FollowsHeadersEndedByCrLfOrBareLf)
{
    EXPECT_EQ(BodyOf("Server: a\r\nContent-Type: b\r\n\r\n{\"x\":1}\r\nmore\r\n"), "{\"x\":1}\r");
    EXPECT_EQ(BodyOf("Server: a\nContent-Type: b\n\n{\"x\":1}\nmore\n"), "{\"x\":1}");
    EXPECT_EQ(BodyOf("\r\nbody"), "body");
    EXPECT_EQ(BodyOf("Server: a\r\n\r\n{\n\"x\": 1\n}\n"), "{");
}

TEST(ReportBodyLine, IsEmptyWithoutALineAfterTheHeaders)
{
    EXPECT_EQ(BodyOf("Server: a\r\nContent-Type: b\r\n\r\n"), "");
    EXPECT_EQ(BodyOf("Server: a\r\nContent-Type: b\r\n"), "");
    EXPECT_EQ(BodyOf(""), "");
}

TEST(DecodeUnicodeEscapes, GivesAnsiCodePageText)
{
    // Each code unit becomes its two GBK bytes, hex digits in either case.
    EXPECT_EQ(DecodeUnicodeEscapes("\\u68c0\\u6D4B\\u6210\\u529F"), "检测成功");
    EXPECT_EQ(DecodeUnicodeEscapes("\\u0041\\u0062c"), "Abc");
    EXPECT_EQ(DecodeUnicodeEscapes("{\"msg\":\"\\u4e2d\\u6587 ok\"}"), "{\"msg\":\"中文 ok\"}");
    EXPECT_EQ(DecodeUnicodeEscapes("a\\u0000b"), "ab");
}

TEST(DecodeUnicodeEscapes, LeavesEverythingElseAsItIs)
{
    for (const char* text :
         {"", "plain", "\\u12", "\\u12G4", "\\U4e2d", "u4e2d", "\\", "\\n", "中文"})
        EXPECT_EQ(DecodeUnicodeEscapes(text), text);
    // Matches do not overlap and do not look behind: an escaped backslash still escapes.
    EXPECT_EQ(DecodeUnicodeEscapes("\\\\u4e2d"), "\\中");
    EXPECT_EQ(DecodeUnicodeEscapes("\\u005cu0041"), "\\u0041");
    EXPECT_EQ(DecodeUnicodeEscapes("x\\u4e2d\\u"), "x中\\u");
}

TEST(DecodeUnicodeEscapes, UnitsTheCodePageLacksBecomeTheDefaultCharacter)
{
    EXPECT_EQ(DecodeUnicodeEscapes("\\ud800\\udc00"), "??");
}

TEST(ReportReply, ReturnsTheMessageForZeroAndPositiveCodes)
{
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"ok\"}"), (Outcome{"message", "ok"}));
    EXPECT_EQ(Judged("{\"ret_code\":7,\"msg\":\"seven\",\"extra\":[1,2]}\r"),
              (Outcome{"message", "seven"}));
    EXPECT_EQ(Judged("{\"msg\":\"\\u68c0\\u6d4b\",\"ret_code\":\"2147483647\"}"),
              (Outcome{"message", "检测"}));
}

// Code-page bytes reach the caller unchanged, whether they came escaped or raw.
TEST(ReportReply, MessageKeepsEveryByteAboveAscii)
{
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"中文 \\u4e2d\"}"), (Outcome{"message", "中文 中"}));
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        high += static_cast<char>(byte);
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"" + high + "\"}"), (Outcome{"message", high}));
}

TEST(ReportReply, NegativeCodesRaiseTheServersMessage)
{
    EXPECT_EQ(Judged("{\"ret_code\":-1,\"msg\":\"\\u5df2\\u63d0\\u4ea4\"}"),
              (Outcome{"ReplicatedCommit", "已提交"}));
    EXPECT_EQ(Judged("{\"ret_code\":\"-1\",\"msg\":\"again\"}"),
              (Outcome{"ReplicatedCommit", "again"}));
    EXPECT_EQ(Judged("{\"ret_code\":-2,\"msg\":\"bad account\"}"),
              (Outcome{"logic_error", "bad account"}));
    EXPECT_EQ(Judged("{\"ret_code\":-2147483648,\"msg\":\"lowest\"}"),
              (Outcome{"logic_error", "lowest"}));
}

TEST(ReportReply, UnreadableBodiesRaiseTheLibrarysErrors)
{
    EXPECT_EQ(Judged("").kind, "json_parser_error");
    EXPECT_EQ(Judged("{").kind, "json_parser_error");
    EXPECT_EQ(Judged("not json").kind, "json_parser_error");
    // An escaped quote is decoded before parsing and ends the string early.
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"a\\u0022b\"}").kind, "json_parser_error");
    EXPECT_EQ(Judged("{\"ret_code\":-1}"), (Outcome{"ptree_bad_path", "No such node (msg)"}));
    EXPECT_EQ(Judged("{\"msg\":\"m\"}"), (Outcome{"ptree_bad_path", "No such node (ret_code)"}));
    for (const char* code : {"\"abc\"", "1.5", "2147483648", "true", "\"\""})
        EXPECT_EQ(Judged(std::string("{\"ret_code\":") + code + ",\"msg\":\"m\"}").kind,
                  "ptree_bad_data")
            << code;
}
