// libFuzzer target for what a hostile client controls at the report server: the request bytes
// (HTTP parser with the server's limits), the target (routing, query) and the form body (field
// decoding, token check, reply text), and stored bytes on their way to the page.
#include "report/report_fields.hpp"
#include "server/report_decision.hpp"
#include "server/request_route.hpp"
#include "server/text_encoding.hpp"

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace http = boost::beast::http;

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void ParseRequest(std::string_view bytes)
{
    http::request_parser<http::string_body> parser;
    parser.body_limit(64 * 1024);
    parser.header_limit(16 * 1024);
    boost::beast::error_code ec;
    parser.put(boost::asio::buffer(bytes.data(), bytes.size()), ec);
    if (!ec && parser.is_header_done()) {
        const auto& request = parser.get();
        RouteOf(request.method_string(), request.target());
        QueryValue(request.target(), "key");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ParseRequest(bytes);
    TargetPath(bytes);

    const FormCheck check = CheckReportForm(bytes);
    if (!check.refusal || *check.refusal == Decision::TokenMismatch) {
        // What decodes encodes back to a body that decodes to the same values.
        Require(DecodeReportForm(EncodeReportForm(check.values)) == check.values);
        const std::string reply = ReplyBody(
            Decision::Recorded,
            DecisionMessage(Decision::Recorded, At(check.values, ReportField::LevelCode), {1, 2}) +
                Utf8FromGbk(At(check.values, ReportField::Cpu)));
        for (const char c : reply)
            Require(c >= 0x20 && c < 0x7F);
    }
    const std::string page = HtmlEscape(Utf8FromGbk(bytes));
    Require(page.find_first_of("<>\"'") == std::string::npos);
    for (const char c : JsonEscapeUtf8(bytes))
        Require(c >= 0x20 && c < 0x7F);
    return 0;
}
