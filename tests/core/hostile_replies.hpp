#pragma once
// Replies of a slow, silent, trickling, unending or oversized server, each with the outcome an
// upload must reach within its bounds. The plain upload's tests and the https upload's run the
// same table, so the two read and judge a reply alike.
#include "report/post_report.hpp"
#include "tests/core/report_outcome.hpp"
#include "tools/report_server/report_server.hpp"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct HostileReply {
    const char* name;
    report_server::Answer answer;
    ReportLimits limits;
    Outcome expected;
    std::chrono::milliseconds within; // the upload has ended before this
    // Where the https upload ends otherwise: WinHTTP reads the status line and headers itself
    // and names their faults in its own words.
    std::optional<Outcome> overHttps = std::nullopt;
};

inline void PrintTo(const HostileReply& reply, std::ostream* out)
{
    *out << reply.name;
}

// The bounds of these exchanges: short, to keep the suites fast.
inline ReportLimits ShortLimits(std::chrono::milliseconds reply = std::chrono::milliseconds(3000),
                                std::size_t replyBytes = 1 << 20)
{
    return {std::chrono::milliseconds(2000), reply, replyBytes};
}

inline const std::string& ReplyHeaders()
{
    static const std::string headers = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    return headers;
}

inline std::vector<HostileReply> HostileReplies()
{
    using namespace std::chrono_literals;
    using report_server::Answer;
    const std::string body = "{\"ret_code\":0,\"msg\":\"taken\"}\n";
    const std::string length = std::to_string(body.size());
    const std::string twoMegabytes(2 << 20, 'x');
    const std::string fits = ReplyHeaders() + "{\"ret_code\":0,\"msg\":\"fits\"}";
    Answer silent;
    silent.silent = true;
    // Replies a server sends whole and then keeps its connection open after.
    auto held = [](const std::string& bytes) {
        Answer answer{bytes};
        answer.keepOpen = true;
        return answer;
    };
    return {
        {"Silent", silent, ShortLimits(300ms), {"NetworkError", "read_until: timed out"}, 2s},
        {"Late",
         Answer{ReplyHeaders() + "{\"ret_code\":0,\"msg\":\"late\"}\r\n", 400ms},
         ShortLimits(),
         {"message", "late"},
         3s},
        // Some forty reads of one byte each are put back together.
        {"Trickling",
         Answer{ReplyHeaders() + "{\"ret_code\":0,\"msg\":\"drip\"}", 0ms, 10ms},
         ShortLimits(),
         {"message", "drip"},
         3s},
        // The reply bound covers the whole reply, not each read; what arrived by then is judged.
        {"Unending",
         Answer{ReplyHeaders() + std::string(400, ' ') + "{\"ret_code\":0,\"msg\":\"never\"}", 0ms,
                10ms},
         ShortLimits(1500ms),
         {"json_parser_error", "<unspecified file>(1): expected value"},
         3s},
        // A complete reply is taken at once, although the server keeps the connection open.
        {"HeldWithLength",
         held("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + body),
         ShortLimits(),
         {"message", "taken"},
         1s},
        {"HeldWithLowerCaseLengthAndBareLf",
         held("HTTP/1.0 200 OK\r\ncontent-length:  " + length + "\nX: 1\n\n" + body),
         ShortLimits(),
         {"message", "taken"},
         1s},
        {"HeldWithUpperCaseLength",
         held("HTTP/1.0 200 OK\r\nCONTENT-LENGTH: " + length + "\r\n\r\n" + body),
         ShortLimits(),
         {"message", "taken"},
         1s},
        // Without a length the reply bound ends the reading, and the body line is judged.
        {"HeldWithoutLength",
         held(ReplyHeaders() + body),
         ShortLimits(500ms),
         {"message", "taken"},
         2s},
        {"HugeBody",
         Answer{ReplyHeaders() + twoMegabytes},
         ShortLimits(),
         {"NetworkError", "read: reply exceeds 1048576 bytes"},
         3s},
        // WinHTTP reads the headers itself and waits for their end until the reply bound ends
        // the wait; the server keeps its connection open, so the wait ends there on any machine.
        {"HugeAfterStatusLine",
         held("HTTP/1.0 200 OK\r\n" + twoMegabytes),
         ShortLimits(1500ms),
         {"NetworkError", "read: reply exceeds 1048576 bytes"},
         3s,
         Outcome{"NetworkError", "read_until: timed out"}},
        {"HugeWithoutLineEnd",
         held(twoMegabytes),
         ShortLimits(1500ms),
         {"NetworkError", "read_until: reply exceeds 1048576 bytes"},
         3s,
         Outcome{"NetworkError", "read_until: timed out"}},
        {"ExactlyTheSizeBound",
         Answer{fits},
         ShortLimits(3000ms, fits.size()),
         {"message", "fits"},
         3s},
    };
}
