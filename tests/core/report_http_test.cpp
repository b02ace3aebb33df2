// Reply rules the scripted server does not reach: escape decoding in detail, code-page bytes
// through the JSON reader, and the conversions "ret_code" must survive.
#include "report/report_http.hpp"
#include "tests/core/report_outcome.hpp"

#include <sstream>

namespace {

Outcome Judged(const std::string& line)
{
    return OutcomeOf([&] { return MessageFromBodyLine(line); });
}

} // namespace

TEST(DecodeUnicodeEscapes, GivesAnsiCodePageText)
{
    // Each code unit becomes its two GBK bytes, hex digits in either case.
    EXPECT_EQ(DecodeUnicodeEscapes("\\u68c0\\u6D4B\\u6210\\u529F"), "检测成功");
    EXPECT_EQ(DecodeUnicodeEscapes("\\u0041\\u0062c"), "Abc");
    EXPECT_EQ(DecodeUnicodeEscapes("{\"msg\":\"\\u4e2d\\u6587 ok\"}"), "{\"msg\":\"中文 ok\"}");
    EXPECT_EQ(DecodeUnicodeEscapes("a\\u0000b"), "ab");
    // The code page's default character stands for what it cannot hold.
    EXPECT_EQ(DecodeUnicodeEscapes("\\ud800\\udc00"), "??");
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

// Code-page bytes reach the caller unchanged, whether they came escaped or raw.
TEST(ReportReply, MessageKeepsEveryByteAboveAscii)
{
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"中文 \\u4e2d\"}"), (Outcome{"message", "中文 中"}));
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        high += static_cast<char>(byte);
    EXPECT_EQ(Judged("{\"ret_code\":-2,\"msg\":\"" + high + "\"}"),
              (Outcome{"ServerRefusal", high}));
}

TEST(ReportReply, CodeMustBeA32BitInteger)
{
    EXPECT_EQ(Judged("{\"msg\":\"top\",\"ret_code\":\"2147483647\"}"), (Outcome{"message", "top"}));
    EXPECT_EQ(Judged("{\"ret_code\":-2147483648,\"msg\":\"low\"}"),
              (Outcome{"ServerRefusal", "low"}));
    for (const char* code : {"\"abc\"", "1.5", "2147483648", "true", "\"\"", "{}"})
        EXPECT_EQ(Judged(std::string("{\"ret_code\":") + code + ",\"msg\":\"m\"}").kind,
                  "ptree_bad_data")
            << code;
    EXPECT_EQ(Judged("{\"msg\":\"m\"}"), (Outcome{"ptree_bad_path", "No such node (ret_code)"}));
}

// Escapes are decoded before the JSON reader sees the line: an escaped quote ends the string.
TEST(ReportReply, EscapedQuoteBreaksTheJson)
{
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"a\\u0022b\"}").kind, "json_parser_error");
}

TEST(ComposeReportRequest, PortOnlyWhenNotEighty)
{
    EXPECT_EQ(ComposeReportRequest("h.example", "80", "a=1"),
              "POST http://h.example/vorn/a20140220checkmachine/postInfo.php HTTP/1.0\r\n"
              "Host: h.example\r\nContent-Type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 3\r\n\r\na=1");
    const std::string request = ComposeReportRequest("h.example", "8080", "");
    EXPECT_EQ(request.rfind("POST http://h.example:8080/vorn/", 0), 0u);
    EXPECT_NE(request.find("\r\nHost: h.example:8080\r\n"), std::string::npos);
}

// The JSON reader recurses per array or object: a line of brackets is a parse error, not a
// crash. The flat reply object itself still passes with nested members beside it.
TEST(ReportReply, DeepNestingIsAParseError)
{
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":" + std::string(200000, '[')),
              (Outcome{"json_parser_error",
                       "<unspecified file>(1): arrays and objects nested deeper than 32"}));
    EXPECT_EQ(Judged("{\"ret_code\":0,\"x\":[[{\"y\":\"[[[[\"}]],\"msg\":\"ok\"}"),
              (Outcome{"message", "ok"}));
}

// Only a code of digits is a status code: a sign would let "-4294967096" pass as 200.
TEST(ReportReply, StatusCodeIsDigitsOnly)
{
    const auto judge = [](const std::string& reply) {
        return OutcomeOf([&] {
            std::istringstream stream(reply);
            return JudgeReply(stream, [] {});
        });
    };
    const std::string rest = " OK\r\n\r\n{\"ret_code\":0,\"msg\":\"ok\"}\r\n";
    EXPECT_EQ(judge("HTTP/1.0 200" + rest), (Outcome{"message", "ok"}));
    EXPECT_EQ(judge("HTTP/1.0 -4294967096" + rest), (Outcome{"runtime_error", "Invalid response"}));
    EXPECT_EQ(judge("HTTP/1.0 +200" + rest), (Outcome{"runtime_error", "Invalid response"}));
}

// A GBK character whose second byte is a backslash (U+596C is 8A 5C) is a character, not the
// start of a JSON escape, whether it came escaped or raw.
TEST(ReportReply, TrailByteBackslashIsPartOfItsCharacter)
{
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"a\\u596c\\\"b\\\\\"}"),
              (Outcome{"message", "a\x8A\x5C\"b\\"}));
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"\x8A\x5C\"}"), (Outcome{"message", "\x8A\x5C"}));
    // A lone high byte before an escape leaves the escape alone.
    EXPECT_EQ(Judged("{\"ret_code\":0,\"msg\":\"\x80\\\"\"}"), (Outcome{"message", "\x80\""}));
}
