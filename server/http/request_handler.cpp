#include "server/http/request_handler.hpp"

#include "server/http/http_date.hpp"
#include "server/http/request_route.hpp"
#include "server/monitor/event_log.hpp"
#include "server/intake/result_message.hpp"
#include "server/views/csv_export.hpp"
#include "server/views/survey_page.hpp"

#include <boost/beast/core/file.hpp>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

namespace beast = boost::beast;
namespace http = beast::http;
using error_code = boost::system::error_code;

namespace {

constexpr const char kServerName[] = "VxmCheck report server";
constexpr const char kPageType[] = "text/html; charset=utf-8";
constexpr const char kMetricsType[] = "text/plain; version=0.0.4; charset=utf-8";
// Sending the export may take long on a slow link; it still ends.
constexpr std::chrono::milliseconds kExportDeadline{10 * 60 * 1000};

// Every reply: nothing it holds runs script, loads anything or is framed elsewhere, and its type
// is taken as sent.
template <typename Message> void SetCommonHeaders(Message& message)
{
    message.set(http::field::server, kServerName);
    message.set(http::field::date, HttpDate());
    message.set("Content-Security-Policy",
                "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'");
    message.set("X-Content-Type-Options", "nosniff");
}

Response Typed(unsigned version, const char* type, std::string body)
{
    Response response = PlainResponse(http::status::ok, version, "");
    response.set(http::field::content_type, type);
    response.set(http::field::cache_control, "no-store");
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
}

// A HEAD's answer for a body made only when asked for (the page, the metrics, an export): the
// GET's status and type, no length (a server may leave out what only the body would tell).
Answer HeadOf(unsigned version, const char* type)
{
    Response response = Typed(version, type, "");
    response.erase(http::field::content_length);
    return Answer{std::move(response)};
}

// A HEAD's answer from a GET's: its headers, the length among them, and no body.
Answer WithoutBody(Answer answer)
{
    if (auto* response = std::get_if<Response>(&answer.response))
        response->body().clear();
    return answer;
}

// What an export writes, in blocks, to the function it is given.
using ExportWriter =
    std::function<void(ReportStore&, const std::function<void(const std::string&)>&)>;

// Writes an export into an unnamed temporary file and opens it for reading.
void WriteExportFile(ReportStore& store, const ExportWriter& writer,
                     http::file_body::value_type& body)
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/vxm-export-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("export: no temporary file");
    unlink(path.c_str());
    beast::file file;
    file.native_handle(fd);
    error_code ec;
    writer(store, [&](const std::string& text) {
        if (!ec)
            file.write(text.data(), text.size(), ec);
    });
    if (!ec)
        file.seek(0, ec);
    if (!ec)
        body.reset(std::move(file), ec);
    if (ec)
        throw std::runtime_error("export: " + ec.message());
}

// How a read of the store answers a request of HTTP `version` (reports take the recorder's own
// queue): `make` runs on the lane's store thread and its answer is the response; when the store
// fails, the failure is logged and counted and a 500 answers. A read the store asks to be tried
// again (StoreRetry) is made once more first.
template <typename Make>
void AnswerFromStore(RequestServices& services, ReportRecorder::Lane lane, std::string what,
                     unsigned version, Make make, const Respond& respond)
{
    services.recorder.Submit(
        [&services, what = std::move(what), version, make, respond](ReportStore& store) {
            std::optional<Answer> answer;
            try {
                try {
                    answer = make(store);
                } catch (const StoreRetry&) {
                    answer = make(store);
                }
            } catch (const std::exception& e) {
                ++services.metrics.storeFailures;
                LogStoreFailure(what, e.what());
            }
            respond(answer ? std::move(*answer)
                           : Answer{PlainResponse(http::status::internal_server_error, version,
                                                  "the store failed\n")});
        },
        lane);
}

Answer DecisionAnswer(RequestServices& services, unsigned version, Decision decision,
                      const std::string& message)
{
    CountDecision(services.metrics, decision);
    Response response = PlainResponse(http::status::ok, version, "");
    response.set(http::field::content_type, "application/json");
    response.body() = ReplyBody(decision, message) + "\n";
    response.prepare_payload();
    return Answer{std::move(response), decision};
}

void TakeReport(RequestServices& services, const Request& request, const std::string& peer,
                const Respond& respond)
{
    const unsigned version = request.version();
    FormCheck check = CheckReportForm(request.body());
    if (check.refusal)
        return respond(
            DecisionAnswer(services, version, *check.refusal, RefusalMessage(*check.refusal)));
    StoredReport report;
    report.values = check.values;
    report.receivedAt = std::time(nullptr);
    report.peer = peer;
    services.recorder.Record(std::move(report), [&services, version,
                                                 values = std::move(check.values),
                                                 respond](std::optional<RecordOutcome> outcome) {
        if (!outcome)
            return respond(Answer{PlainResponse(http::status::internal_server_error, version,
                                                "the report could not be stored\n")});
        if (!outcome->recorded)
            return respond(DecisionAnswer(services, version, Decision::Repeated,
                                          RefusalMessage(Decision::Repeated)));
        respond(DecisionAnswer(services, version, Decision::Recorded,
                               RecordedMessage(values, outcome->rating, outcome->rank,
                                               *outcome->tables, CurrentPopularParts().get())));
    });
}

// The export can be far larger than memory should hold: it is written to an unnamed temporary
// file on the export's store thread and sent from there.
void SendExport(RequestServices& services, unsigned version, const ExportOptions& options,
                ExportWriter writer, const Respond& respond)
{
    AnswerFromStore(
        services, ReportRecorder::Lane::Export, "export", version,
        [version, options, writer = std::move(writer)](ReportStore& store) {
            FileResponse response(http::status::ok, version);
            SetCommonHeaders(response);
            response.set(http::field::content_type, CsvContentType(options));
            response.set(http::field::cache_control, "no-store");
            WriteExportFile(store, writer, response.body());
            response.prepare_payload();
            return Answer{std::move(response), kExportDeadline};
        },
        respond);
}

// The key a request gives: only the Authorization header's. A key in the query would end up in
// proxies' logs and browsers' histories, so none is read there.
std::string GivenKey(const Request& request)
{
    const auto authorization = request.find(http::field::authorization);
    return authorization == request.end() ? std::string() : BearerToken(authorization->value());
}

Response Unauthorized(unsigned version)
{
    Response response =
        PlainResponse(http::status::unauthorized, version, "operator key required\n");
    response.set(http::field::www_authenticate, "Bearer");
    return response;
}

// The refusal of the export to this request, nullopt when the key is right, which opens the
// export at once. Without a key: 401. A key takes a place among those waiting before it is
// compared, so that a full share (429 at once, Retry-After: 1) tells a guesser nothing of the
// key: a guess is answered at most once a second a place. A wrong key (logged, without the key)
// gets its 401 after kWrongKeyWait, holding its place until then.
std::optional<Answer> ExportRefusal(RequestServices& services, const Request& request,
                                    const std::string& peer)
{
    const std::string given = GivenKey(request);
    if (given.empty())
        return Answer{Unauthorized(request.version())};
    if (!services.wrongKeysWaiting.Take(peer)) {
        // Compared only for the count: the answer is the same either way.
        if (!SameKey(given, services.operatorKey))
            CountWrongKey(services.metrics, peer, false);
        Response response = PlainResponse(http::status::too_many_requests, request.version(),
                                          "too many wrong keys\n");
        response.set(http::field::retry_after, "1");
        return Answer{std::move(response)};
    }
    std::shared_ptr<void> place(nullptr,
                                [&services, peer](void*) { services.wrongKeysWaiting.Give(peer); });
    if (SameKey(given, services.operatorKey))
        return std::nullopt;
    CountWrongKey(services.metrics, peer, true);
    LogFailure("operator key refused", peer, "a wrong key for the export");
    return Answer{Unauthorized(request.version()), kWrongKeyWait, std::move(place)};
}

} // namespace

RequestServices::RequestServices(const ServerOptions& options, ReportRecorder& recorder,
                                 ServerMetrics& metrics, boost::asio::any_io_executor timers,
                                 std::function<std::size_t()> openConnections)
    : operatorKey(options.operatorKey), recorder(recorder), metrics(metrics),
      openConnections(std::move(openConnections)), page(options.pageLifetime),
      health(recorder, metrics, std::move(timers))
{
}

Response PlainResponse(http::status status, unsigned version, std::string_view text)
{
    Response response(status, version ? version : 11);
    SetCommonHeaders(response);
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = text;
    response.prepare_payload();
    return response;
}

bool MayContinue(const http::request_header<>& header)
{
    return RouteOf(header.method_string(), header.target()) == Route::Report;
}

namespace {

// The answer to a GET, or to its HEAD (the same headers and no body, the body never made where
// only the body needs the store).
void RouteRequest(RequestServices& services, const Request& request, const std::string& peer,
                  bool head, const Respond& respond)
{
    const unsigned version = request.version();
    switch (RouteOf(request.method_string(), request.target())) {
    case Route::Report:
        return TakeReport(services, request, peer, respond);
    case Route::Page:
        if (head)
            return respond(HeadOf(version, kPageType));
        return AnswerFromStore(
            services, ReportRecorder::Lane::Page, "reading for /", version,
            [&page = services.page, version](ReportStore& store) {
                return Answer{Typed(version, kPageType, page.Get([&] {
                    return RenderSurveyPage(store.Summarize(), std::time(nullptr));
                }))};
            },
            respond);
    case Route::Export:
    case Route::Unknown: {
        const bool reports = RouteOf(request.method_string(), request.target()) == Route::Export;
        if (auto refusal = ExportRefusal(services, request, peer))
            return respond(std::move(*refusal));
        const auto options = ExportOptionsOf(request.target());
        if (!options || (!reports && options->afterId))
            return respond(Answer{
                PlainResponse(http::status::bad_request, version,
                              reports ? "raw=1 or after=<id> expected\n" : "raw=1 expected\n")});
        if (head)
            return respond(HeadOf(version, CsvContentType(*options)));
        return SendExport(
            services, version, *options,
            [options = *options, reports](ReportStore& store, const auto& write) {
                if (reports)
                    WriteCsv(store, options, write);
                else
                    WriteUnknownDevicesCsv(store, options.raw, write);
            },
            respond);
    }
    case Route::WrongKeys:
        if (auto refusal = ExportRefusal(services, request, peer))
            return respond(std::move(*refusal));
        return respond(
            Answer{Typed(version, "text/csv; charset=utf-8", WrongKeysCsv(services.metrics))});
    case Route::Health:
        // "Unavailable" is what a load balancer acts on; it comes within the check's deadline
        // however long the store takes.
        return services.health.Ask([version, respond](bool up) {
            respond(up ? Answer{Typed(version, "text/plain; charset=utf-8", "ok\n")}
                       : Answer{PlainResponse(http::status::service_unavailable, version,
                                              "the store does not answer\n")});
        });
    case Route::Metrics:
        if (head)
            return respond(HeadOf(version, kMetricsType));
        return respond(Answer{Typed(version, kMetricsType,
                                    MetricsText(services.metrics, services.openConnections(),
                                                services.wrongKeysWaiting.Open()))});
    case Route::NotAllowed: {
        Response response =
            PlainResponse(http::status::method_not_allowed, version, "method not allowed\n");
        response.set(http::field::allow, AllowedMethods(request.target()));
        return respond(Answer{std::move(response)});
    }
    case Route::BadTarget:
        return respond(Answer{
            PlainResponse(http::status::bad_request, version, "malformed request target\n")});
    case Route::NotFound:
        return respond(Answer{PlainResponse(http::status::not_found, version, "not found\n")});
    }
}

} // namespace

void HandleRequest(RequestServices& services, Request request, const std::string& peer,
                   const Respond& respond)
{
    if (request.method() != http::verb::head)
        return RouteRequest(services, request, peer, false, respond);
    RouteRequest(services, request, peer, true,
                 [respond](Answer answer) { respond(WithoutBody(std::move(answer))); });
}
