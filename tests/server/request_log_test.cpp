#include "server/monitor/request_log.hpp"
#include "server/http/request_route.hpp"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(RequestLog, OneLineWithTheQueryLeftOutAndHostileBytesEscaped)
{
    struct Case {
        std::string target, path;
    };
    const Case cases[] = {
        {"/", "/"},
        // The program's absolute form, and a query that would carry the operator key.
        {"http://report.example/vorn/a20140220checkmachine/postInfo.php",
         "/vorn/a20140220checkmachine/postInfo.php"},
        {"/export.csv?key=s3cret-operator-key&raw=1", "/export.csv"},
        // A line end or blank cannot forge a second line or field.
        {"/a\nstatus=200 b", "/a%0Astatus=200%20b"},
        {"/\"q\"\\%\x7F\xC3\xA9", "/%22q%22%5C%25%7F%C3%A9"},
        {"/" + std::string(300, 'x'), "/" + std::string(255, 'x') + "..."},
        // Escapes count against the bound: the line does not triple.
        {"/" + std::string(300, '\n'),
         [] {
             std::string escaped = "/";
             for (int i = 0; i < 85; ++i)
                 escaped += "%0A";
             return escaped + "...";
         }()},
    };
    for (const Case& c : cases) {
        RequestLogEntry entry;
        entry.at = std::chrono::system_clock::time_point(1765000000123456us);
        entry.peer = "192.0.2.7";
        entry.method = "GET";
        // The connection logs the target's path alone.
        entry.path = TargetPath(c.target).value_or("-");
        entry.status = 200;
        entry.bytes = 1234;
        entry.micros = 56;
        EXPECT_EQ(RequestLogLine(entry).View(),
                  "time=2025-12-06T05:46:40.123456Z peer=192.0.2.7 method=GET path=" + c.path +
                      " status=200 decision=- bytes=1234 us=56")
            << c.target;
    }
    RequestLogEntry report;
    report.at = std::chrono::system_clock::time_point(1765000000000001us);
    report.peer = "2001:db8::1";
    report.method = "POST";
    report.path = "/vorn/a20140220checkmachine/postInfo.php";
    report.status = 200;
    report.decision = "recorded";
    report.bytes = 97;
    report.micros = 1500;
    EXPECT_EQ(RequestLogLine(report).View(),
              "time=2025-12-06T05:46:40.000001Z peer=2001:db8::1 method=POST "
              "path=/vorn/a20140220checkmachine/postInfo.php status=200 decision=recorded "
              "bytes=97 us=1500");
}

} // namespace
