// A request as the report server reads it: the bytes through Beast's parser with the server's
// bounds, then the routing and the query of the target. Each route belongs to its path and
// method, a refused method is named by the Allow header's counterpart, and a key sent
// percent-encoded in the query comes back whole.
#include "fuzz/fuzz_check.hpp"

#include "report/report_fields.hpp"
#include "server/http_server.hpp"
#include "server/report_decision.hpp"
#include "server/request_route.hpp"

#include <boost/beast/http.hpp>

namespace http = boost::beast::http;

namespace {

void CheckRoute(std::string_view method, std::string_view target)
{
    const std::string_view path = TargetPath(target);
    FuzzCheck(path.find('?') == std::string_view::npos, "a path holds no query");
    switch (RouteOf(method, target)) {
    case Route::Report:
        FuzzCheck(method == "POST" && path == kReportPath, "reports are POSTs to their path");
        break;
    case Route::Page:
    case Route::Export:
        FuzzCheck(method == "GET" && (path == "/" || path == kExportPath),
                  "the page and the export are GETs of theirs");
        break;
    case Route::NotAllowed:
        FuzzCheck(method != AllowedMethods(target), "a refused method is not the allowed one");
        break;
    case Route::NotFound:
        FuzzCheck(path != "/" && path != kExportPath && path != kReportPath,
                  "known paths are found");
        break;
    }
    QueryValue(target, "key");
}

void ParseRequest(const std::string& bytes)
{
    http::request_parser<http::string_body> parser;
    parser.body_limit(ServerOptions{}.maxBody);
    parser.header_limit(kMaxRequestHeaderBytes);
    parser.eager(true);
    boost::beast::error_code ec;
    std::size_t at = 0;
    while (!parser.is_done() && at < bytes.size()) {
        const std::size_t used =
            parser.put(boost::asio::buffer(bytes.data() + at, bytes.size() - at), ec);
        at += used;
        if (ec || used == 0)
            break;
    }
    if (!parser.is_header_done())
        return;
    const auto& request = parser.get();
    CheckRoute(request.method_string(), request.target());
    if (parser.is_done() && RouteOf(request.method_string(), request.target()) == Route::Report) {
        FuzzCheck(request.body().size() <= ServerOptions{}.maxBody, "bodies stay within bounds");
        CheckReportForm(request.body());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes = FuzzText(data, size);
    ParseRequest(bytes);
    CheckRoute("GET", bytes);

    const std::string target = "/export.csv?x=1&key=" + UrlEncodeValue(bytes) + "&key=2";
    FuzzCheck(QueryValue(target, "key") == bytes, "an encoded key comes back whole", target);
    return 0;
}
