#include "server/http/request_handler.hpp"

#include "server/http/request_route.hpp"
#include "server/monitor/event_log.hpp"
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
    return response;
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

// The one way to the store and back: `make` runs on the lane's store thread and its answer is
// the response; when the store fails, the failure is logged and counted and `failed` answers.
template <typename Make>
void AnswerFromStore(RequestServices& services, ReportRecorder::Lane lane, std::string what,
                     Response failed, Make make, const Respond& respond)
{
    services.recorder.Submit(
        [&services, what = std::move(what), failed = std::move(failed), make,
         respond](ReportStore& store) {
            std::optional<Answer> answer;
            try {
                answer = make(store);
            } catch (const std::exception& e) {
                ++services.metrics.storeFailures;
                LogStoreFailure(what, e.what());
            }
            respond(answer ? std::move(*answer) : Answer{failed});
        },
        lane);
}

Answer DecisionAnswer(RequestServices& services, unsigned version, Decision decision,
                      const std::string& levelCode, GainRank rank)
{
    CountDecision(services.metrics, decision);
    Response response = PlainResponse(http::status::ok, version, "");
    response.set(http::field::content_type, "application/json");
    response.body() = ReplyBody(decision, DecisionMessage(decision, levelCode, rank)) + "\n";
    return Answer{std::move(response), decision};
}

void TakeReport(RequestServices& services, const Request& request, const std::string& peer,
                const Respond& respond)
{
    const unsigned version = request.version();
    FormCheck check = CheckReportForm(request.body());
    if (check.refusal)
        return respond(DecisionAnswer(services, version, *check.refusal, {}, {}));
    StoredReport report;
    std::string levelCode = At(check.values, ReportField::LevelCode);
    report.values = std::move(check.values);
    report.receivedAt = std::time(nullptr);
    report.peer = peer;
    services.recorder.Record(std::move(report), [&services, version, levelCode,
                                                 respond](std::optional<RecordOutcome> outcome) {
        if (!outcome)
            return respond(Answer{PlainResponse(http::status::internal_server_error, version,
                                                "the report could not be stored\n")});
        respond(DecisionAnswer(services, version,
                               outcome->recorded ? Decision::Recorded : Decision::Repeated,
                               levelCode, outcome->rank));
    });
}

// The export can be far larger than memory should hold: it is written to an unnamed temporary
// file on the export's store thread and sent from there.
void SendExport(RequestServices& services, unsigned version, const ExportOptions& options,
                ExportWriter writer, const Respond& respond)
{
    AnswerFromStore(
        services, ReportRecorder::Lane::Export, "export",
        PlainResponse(http::status::internal_server_error, version, "the store failed\n"),
        [version, options, writer = std::move(writer)](ReportStore& store) {
            FileResponse response(http::status::ok, version);
            SetCommonHeaders(response);
            response.set(http::field::content_type, CsvContentType(options));
            response.set(http::field::cache_control, "no-store");
            WriteExportFile(store, writer, response.body());
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
// export at once, always. Without a key: 401. A wrong key (logged, without the key) gets its 401
// after kWrongKeyWait, or 429 at once when too many wrong keys wait already.
std::optional<Answer> ExportRefusal(RequestServices& services, const Request& request,
                                    const std::string& peer)
{
    const std::string given = GivenKey(request);
    if (SameKey(given, services.options.operatorKey))
        return std::nullopt;
    if (given.empty())
        return Answer{Unauthorized(request.version())};
    if (!services.wrongKeysWaiting.Take(peer)) {
        CountWrongKey(services.metrics, peer, false);
        Response response = PlainResponse(http::status::too_many_requests, request.version(),
                                          "too many wrong keys\n");
        response.set(http::field::retry_after, "1");
        return Answer{std::move(response)};
    }
    CountWrongKey(services.metrics, peer, true);
    LogFailure("operator key refused", peer, "a wrong key for the export");
    std::shared_ptr<void> place(nullptr,
                                [&services, peer](void*) { services.wrongKeysWaiting.Give(peer); });
    return Answer{Unauthorized(request.version()), kWrongKeyWait, std::move(place)};
}

TrustedProxies TrustedProxiesOf(const std::string& text)
{
    if (auto proxies = ParseTrustedProxies(text))
        return std::move(*proxies);
    throw std::runtime_error("not a list of addresses with optional /BITS: " + text);
}

Response StoreFailed(const Request& request)
{
    return PlainResponse(http::status::internal_server_error, request.version(),
                         "the store failed\n");
}

} // namespace

RequestServices::RequestServices(ServerOptions options, ReportRecorder& recorder,
                                 ServerMetrics& metrics)
    : options(std::move(options)), recorder(recorder), metrics(metrics),
      trustedProxies(TrustedProxiesOf(this->options.trustedProxies)),
      slots(this->options.maxConnections, this->options.maxPerAddress),
      page(this->options.pageLifetime), log(this->options.requestLogFd)
{
}

std::string HttpDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

Response PlainResponse(http::status status, unsigned version, std::string_view text)
{
    Response response(status, version ? version : 11);
    SetCommonHeaders(response);
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = text;
    return response;
}

void HandleRequest(RequestServices& services, Request request, const std::string& peer,
                   const Respond& respond)
{
    const unsigned version = request.version();
    switch (RouteOf(request.method_string(), request.target())) {
    case Route::Report:
        return TakeReport(services, request, peer, respond);
    case Route::Page:
        return AnswerFromStore(
            services, ReportRecorder::Lane::Short, "reading for /", StoreFailed(request),
            [&page = services.page, version](ReportStore& store) {
                return Answer{Typed(version, "text/html; charset=utf-8", page.Get([&] {
                    return RenderSurveyPage(store.Summarize(), std::time(nullptr));
                }))};
            },
            respond);
    case Route::Export:
        if (auto refusal = ExportRefusal(services, request, peer))
            return respond(std::move(*refusal));
        if (const auto options = ExportOptionsOf(request.target()))
            return SendExport(
                services, version, *options,
                [options = *options](ReportStore& store, const auto& write) {
                    WriteCsv(store, options, write);
                },
                respond);
        return respond(Answer{
            PlainResponse(http::status::bad_request, version, "raw=1 or after=<id> expected\n")});
    case Route::Unknown:
        if (auto refusal = ExportRefusal(services, request, peer))
            return respond(std::move(*refusal));
        if (const auto options = ExportOptionsOf(request.target()); options && !options->afterId)
            return SendExport(
                services, version, *options,
                [raw = options->raw](ReportStore& store, const auto& write) {
                    WriteUnknownDevicesCsv(store, raw, write);
                },
                respond);
        return respond(
            Answer{PlainResponse(http::status::bad_request, version, "raw=1 expected\n")});
    case Route::WrongKeys:
        if (auto refusal = ExportRefusal(services, request, peer))
            return respond(std::move(*refusal));
        return respond(
            Answer{Typed(version, "text/csv; charset=utf-8", WrongKeysCsv(services.metrics))});
    case Route::Health:
        // "Unavailable" is what a load balancer acts on.
        return AnswerFromStore(
            services, ReportRecorder::Lane::Short, std::string("reading for ") + kHealthPath,
            PlainResponse(http::status::service_unavailable, version,
                          "the store does not answer\n"),
            [version](ReportStore& store) {
                store.Ping();
                return Answer{Typed(version, "text/plain; charset=utf-8", "ok\n")};
            },
            respond);
    case Route::Metrics:
        return respond(Answer{Typed(version, "text/plain; version=0.0.4; charset=utf-8",
                                    MetricsText(services.metrics, services.slots.Open(),
                                                services.wrongKeysWaiting.Open()))});
    case Route::NotAllowed: {
        Response response =
            PlainResponse(http::status::method_not_allowed, version, "method not allowed\n");
        response.set(http::field::allow, AllowedMethods(request.target()));
        return respond(Answer{std::move(response)});
    }
    case Route::NotFound:
        return respond(Answer{PlainResponse(http::status::not_found, version, "not found\n")});
    }
}
