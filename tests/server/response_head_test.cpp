// A reply's head written by hand is byte for byte what Beast's serializer writes for it.
#include "server/http/response_head.hpp"

#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <gtest/gtest.h>

#include <sstream>

namespace http = boost::beast::http;

namespace {

using Response = http::response<http::string_body>;

// Beast's own bytes of the whole message.
std::string Serialized(const Response& response)
{
    std::ostringstream out;
    out << response;
    return out.str();
}

struct HeadCase {
    const char* name;
    http::status status;
    unsigned version;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
    bool keepAlive;
    bool withLength; // the length set from the body; false for a HEAD's answer without one
};

class ResponseHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(ResponseHead, IsWhatBeastWrites)
{
    const HeadCase& c = GetParam();
    Response response(c.status, c.version);
    for (const auto& [name, value] : c.fields)
        response.set(name, value);
    response.body() = c.body;
    if (c.withLength)
        response.prepare_payload();
    response.keep_alive(c.keepAlive);
    // A buffer that held a longer reply before: nothing of it is left.
    std::string out(300, 'x');
    WriteResponseHead(response.base(), out);
    EXPECT_EQ(out + c.body, Serialized(response));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ResponseHead,
    ::testing::Values(
        HeadCase{"RecordedKeptAlive",
                 http::status::ok,
                 11,
                 {{"Server", "VxmCheck report server"},
                  {"Date", "Tue, 08 Dec 2026 02:13:00 GMT"},
                  {"Content-Type", "application/json"}},
                 "{\"ret_code\":0}\n",
                 true,
                 true},
        HeadCase{"ClosingInHttp10", http::status::ok, 10, {}, "ok\n", false, true},
        HeadCase{"KeptAliveInHttp10", http::status::ok, 10, {}, "ok\n", true, true},
        HeadCase{"NoReasonOfItsOwn",
                 http::status::request_header_fields_too_large,
                 11,
                 {{"Content-Type", "text/plain; charset=utf-8"}},
                 "headers too large\n",
                 false,
                 true},
        HeadCase{"UnknownFieldNames",
                 http::status::too_many_requests,
                 11,
                 {{"Retry-After", "1"}, {"X-Content-Type-Options", "nosniff"}, {"X-Odd", ""}},
                 "",
                 true,
                 true},
        HeadCase{"HeadWithoutLength",
                 http::status::ok,
                 11,
                 {{"Content-Type", "text/html; charset=utf-8"}},
                 "",
                 true,
                 false},
        HeadCase{"ServerError", http::status::internal_server_error, 11, {}, "x", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResponseHeadReason, OwnReasonIsKept)
{
    Response response(http::status::ok, 11);
    response.reason("Fine");
    std::string out;
    WriteResponseHead(response.base(), out);
    EXPECT_EQ(out, Serialized(response));
    EXPECT_EQ(out.rfind("HTTP/1.1 200 Fine\r\n", 0), 0u);
}

} // namespace
