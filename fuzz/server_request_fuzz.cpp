// A request as the report server reads it: the headers through Beast's parser with the
// server's bounds, the framing check, then the body, the routing and the query of the target.
// Chunked framing, chunk extensions and trailers are among the shapes fed: every request Beast
// would read as chunks is refused after its headers, none that passed is ever read as chunks,
// and nothing throws. Each route belongs to its path and method, a refused method is named by
// the Allow header's counterpart, and a key sent percent-encoded in the query comes back whole.
#include "fuzz/fuzz_check.hpp"

#include "report/report_fields.hpp"
#include "server/http/http_server.hpp"
#include "server/http/request_framing.hpp"
#include "server/intake/report_decision.hpp"
#include "server/http/request_route.hpp"

#include <boost/beast/http.hpp>

namespace http = boost::beast::http;

namespace {

void CheckRoute(std::string_view method, std::string_view target)
{
    const std::string_view path = TargetPath(target).value_or("");
    FuzzCheck(path.find('?') == std::string_view::npos, "a path holds no query");
    switch (RouteOf(method, target)) {
    case Route::Report:
        FuzzCheck(method == "POST" && path == kReportPath, "reports are POSTs to their path");
        break;
    case Route::Page:
    case Route::Export:
    case Route::Unknown:
    case Route::Health:
    case Route::Metrics:
        FuzzCheck((method == "GET" || method == "HEAD") && IsReadPath(path),
                  "reads are GETs or HEADs of their paths");
        break;
    case Route::NotAllowed:
        FuzzCheck((", " + std::string(AllowedMethods(target)) + ",")
                          .find(", " + std::string(method) + ",") == std::string::npos,
                  "a refused method is not an allowed one");
        break;
    case Route::NotFound:
        FuzzCheck(!IsReadPath(path) && path != kReportPath, "known paths are found");
        break;
    case Route::BadTarget:
        FuzzCheck(!TargetPath(target), "a target without a path is refused");
        break;
    }
    QueryValue(target, "key");
}

// Feeds the parser from `at` until it has read what `done` asks for, an error or the end.
template <typename Done>
void Feed(RequestParser& parser, const std::string& bytes, std::size_t& at, Done done)
{
    boost::beast::error_code ec;
    while (!done() && at < bytes.size()) {
        const std::size_t used =
            parser.put(boost::asio::buffer(bytes.data() + at, bytes.size() - at), ec);
        at += used;
        if (ec || used == 0)
            return;
    }
}

void ParseRequest(const std::string& bytes)
{
    RequestParser parser(ServerOptions{}.maxBody);
    parser.eager(false);
    bool refused = false;
    // The parser keeps a reference: the callback lives as long as it.
    auto onChunk = [&](std::uint64_t, boost::beast::string_view, boost::beast::error_code&) {
        FuzzCheck(refused, "a request that passed the framing check is not read as chunks");
    };
    parser.on_chunk_header(onChunk);
    std::size_t at = 0;
    Feed(parser, bytes, at, [&] { return parser.is_header_done(); });
    if (!parser.is_header_done())
        return;
    const auto& request = parser.get();
    refused = RefusedFraming(request);
    FuzzCheck(refused || !parser.chunked(), "chunked framing is refused");
    CheckRoute(request.method_string(), request.target());
    if (refused)
        return; // the server answers 400 and reads nothing more from the connection
    parser.eager(true);
    Feed(parser, bytes, at, [&] { return parser.is_done(); });
    if (parser.is_done() && RouteOf(request.method_string(), request.target()) == Route::Report) {
        FuzzCheck(request.body().size() <= ServerOptions{}.maxBody, "bodies stay within bounds");
        CheckReportForm(request.body());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes = FuzzText(data, size);
    try {
        ParseRequest(bytes);
    } catch (const std::exception& e) {
        FuzzCheck(false, "reading a request throws nothing", e.what());
    }
    CheckRoute("GET", bytes);

    const std::string target = "/export.csv?x=1&key=" + UrlEncodeValue(bytes) + "&key=2";
    FuzzCheck(QueryValue(target, "key") == bytes, "an encoded key comes back whole", target);
    return 0;
}
