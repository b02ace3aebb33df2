#include "server/http/http_server.hpp"

#include "server/http/connection_slots.hpp"
#include "server/views/csv_export.hpp"
#include "server/http/operator_key.hpp"
#include "server/views/page_cache.hpp"
#include "server/intake/report_decision.hpp"
#include "server/http/request_framing.hpp"
#include "server/http/request_route.hpp"
#include "server/monitor/request_log.hpp"
#include "server/views/survey_page.hpp"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

struct HttpServer::Shared {
    Shared(ServerOptions options, ReportRecorder& recorder, ServerMetrics& metrics)
        : options(std::move(options)), recorder(recorder), metrics(metrics),
          slots(this->options.maxConnections, this->options.maxPerAddress),
          page(this->options.pageLifetime)
    {
    }
    const ServerOptions options;
    ReportRecorder& recorder;
    ServerMetrics& metrics;
    ConnectionSlots slots;
    PageCache page;
    ConnectionSlots wrongKeysWaiting{kWrongKeysWaiting, kWrongKeysWaitingPerAddress};
};

namespace {

using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;

constexpr const char kServerName[] = "VxmCheck report server";
// How long, and for how many bytes, a closing connection waits for the client to close.
constexpr std::chrono::milliseconds kLingerDeadline{2000};
constexpr std::size_t kLingerBytes = 1 << 20;
// Sending the export may take long on a slow link; it still ends.
constexpr std::chrono::milliseconds kExportDeadline{10 * 60 * 1000};

// Writes the export into an unnamed temporary file and opens it for reading.
void WriteExportFile(ReportStore& store, const ExportOptions& options,
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
    WriteCsv(store, options, [&](const std::string& text) {
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

// Counts the reply and writes its log line.
void LogReply(HttpServer::Shared& shared, const RequestLogEntry& entry)
{
    CountResponse(shared.metrics, entry.status);
    if (shared.options.requestLogFd >= 0)
        WriteLogLine(shared.options.requestLogFd, RequestLogLine(entry));
}

// Every reply: nothing it holds runs script, loads anything or is framed elsewhere, and its type
// is taken as sent.
template <typename Message> void SetProtectiveHeaders(Message& message)
{
    message.set("Content-Security-Policy",
                "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'");
    message.set("X-Content-Type-Options", "nosniff");
}

// The key a request gives: only the Authorization header's. A key in the query would end up in
// proxies' logs and browsers' histories, so none is read there.
std::string GivenKey(const Request& request)
{
    const auto authorization = request.find(http::field::authorization);
    return authorization == request.end() ? std::string() : BearerToken(authorization->value());
}

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(tcp::socket socket, std::string peer, std::shared_ptr<HttpServer::Shared> shared)
        : stream_(std::move(socket)), peer_(std::move(peer)), shared_(std::move(shared))
    {
    }
    ~Connection() { shared_->slots.Give(peer_); }

    void ReadRequest()
    {
        started_ = std::chrono::steady_clock::now();
        method_.clear();
        target_.clear();
        decision_.reset();
        parser_.emplace();
        BoundParser(*parser_, shared_->options.maxBody);
        // The headers within a short deadline, the whole request within the longer one: a
        // client that trickles bytes or sends nothing is cut off.
        const auto& options = shared_->options;
        requestEnd_ = std::chrono::steady_clock::now() + options.requestDeadline;
        stream_.expires_after(std::min(options.headerDeadline, options.requestDeadline));
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = shared_from_this()](const error_code& ec, std::size_t) {
                                    self->Guarded([&] { self->OnHeader(ec); });
                                });
    }

  private:
    // A fault while handling one request closes its connection and nothing else.
    template <typename Step> void Guarded(const Step& step)
    {
        try {
            step();
        } catch (const std::exception& e) {
            Abandon(e.what());
        } catch (...) {
            Abandon("unknown exception");
        }
    }

    void Abandon(const char* reason)
    {
        LogFailure("connection fault", peer_, reason);
        error_code ignored;
        stream_.socket().close(ignored);
    }

    void OnHeader(const error_code& ec)
    {
        if (ec)
            return OnRequest(ec);
        // The request's time counts from its headers; its path (never the query) is logged.
        started_ = std::chrono::steady_clock::now();
        method_ = parser_->get().method_string();
        target_ = TargetPath(parser_->get().target());
        if (RefusedFraming(parser_->get())) {
            // Whatever follows is not read as a request: the reply closes the connection.
            parser_.reset();
            return Reply(Plain(http::status::bad_request, "Transfer-Encoding is not accepted\n"));
        }
        stream_.expires_at(requestEnd_);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](const error_code& ec, std::size_t) {
                             self->Guarded([&] { self->OnRequest(ec); });
                         });
    }

  private:
    void OnRequest(const error_code& ec)
    {
        if (ec == http::error::body_limit || ec == http::error::buffer_overflow)
            return Reply(Plain(http::status::payload_too_large, "request body too large\n"));
        if (ec == http::error::header_limit)
            return Reply(
                Plain(http::status::request_header_fields_too_large, "headers too large\n"));
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == asio::error::connection_reset || ec == asio::error::eof ||
            ec == asio::error::operation_aborted)
            return Close();
        if (ec)
            return Reply(Plain(http::status::bad_request, "malformed request\n"));
        request_ = parser_->release();
        switch (RouteOf(request_.method_string(), request_.target())) {
        case Route::Report:
            return TakeReport();
        case Route::Page:
            return ReadStore([&page = shared_->page](ReportStore& store) {
                return std::make_pair(std::string("text/html; charset=utf-8"), page.Get([&] {
                    return RenderSurveyPage(store.Summarize(), std::time(nullptr));
                }));
            });
        case Route::Export:
            if (!AllowExport())
                return;
            if (const auto options = ExportOptionsOf(request_.target()))
                return SendExport(*options);
            return Reply(Plain(http::status::bad_request, "raw=1 or after=<id> expected\n"));
        case Route::Health:
            return ReadStore([](ReportStore& store) {
                store.Ping();
                return std::make_pair(std::string("text/plain; charset=utf-8"),
                                      std::string("ok\n"));
            });
        case Route::Metrics: {
            Response response = Plain(http::status::ok, "");
            response.set(http::field::content_type, "text/plain; version=0.0.4; charset=utf-8");
            response.set(http::field::cache_control, "no-store");
            response.body() = MetricsText(shared_->metrics, shared_->slots.Open(),
                                          shared_->wrongKeysWaiting.Open());
            return Reply(std::move(response));
        }
        case Route::NotAllowed: {
            Response response = Plain(http::status::method_not_allowed, "method not allowed\n");
            response.set(http::field::allow, AllowedMethods(request_.target()));
            return Reply(std::move(response));
        }
        case Route::NotFound:
            return Reply(Plain(http::status::not_found, "not found\n"));
        }
    }

    // True when the key is right, which opens the export at once, always. Without a key: 401.
    // A wrong key (logged, without the key) gets its 401 after kWrongKeyWait, or 429 at once
    // when too many wrong keys wait already.
    bool AllowExport()
    {
        const std::string given = GivenKey(request_);
        if (SameKey(given, shared_->options.operatorKey))
            return true;
        if (given.empty()) {
            Reply(Unauthorized());
            return false;
        }
        if (!shared_->wrongKeysWaiting.Take(peer_)) {
            CountWrongKey(shared_->metrics, peer_, false);
            Response response = Plain(http::status::too_many_requests, "too many wrong keys\n");
            response.set(http::field::retry_after, "1");
            Reply(std::move(response));
            return false;
        }
        CountWrongKey(shared_->metrics, peer_, true);
        LogFailure("operator key refused", peer_, "a wrong key for the export");
        auto timer = std::make_shared<asio::steady_timer>(stream_.get_executor(), kWrongKeyWait);
        timer->async_wait([self = shared_from_this(), timer](const error_code&) {
            self->shared_->wrongKeysWaiting.Give(self->peer_);
            self->Guarded([&] { self->Reply(self->Unauthorized()); });
        });
        return false;
    }

    Response Unauthorized() const
    {
        Response response = Plain(http::status::unauthorized, "operator key required\n");
        response.set(http::field::www_authenticate, "Bearer");
        return response;
    }

    void TakeReport()
    {
        FormCheck check = CheckReportForm(request_.body());
        if (check.refusal)
            return ReplyDecision(*check.refusal, {});
        levelCode_ = At(check.values, ReportField::LevelCode);
        StoredReport report;
        report.values = std::move(check.values);
        report.receivedAt = std::time(nullptr);
        report.peer = peer_;
        shared_->recorder.Record(std::move(report), [self = shared_from_this()](
                                                        std::optional<RecordOutcome> outcome) {
            asio::post(self->stream_.get_executor(), [self, outcome] {
                self->Guarded([&] {
                    if (!outcome)
                        return self->Reply(self->Plain(http::status::internal_server_error,
                                                       "the report could not be stored\n"));
                    self->ReplyDecision(outcome->recorded ? Decision::Recorded : Decision::Repeated,
                                        outcome->rank);
                });
            });
        });
    }

    void ReplyDecision(Decision decision, GainRank rank)
    {
        decision_ = decision;
        CountDecision(shared_->metrics, decision);
        Response response = Plain(http::status::ok, "");
        response.set(http::field::content_type, "application/json");
        response.body() = ReplyBody(decision, DecisionMessage(decision, levelCode_, rank)) + "\n";
        Reply(std::move(response));
    }

    template <typename Work> void ReadStore(Work work)
    {
        shared_->recorder.Submit([self = shared_from_this(), work](ReportStore& store) {
            std::optional<std::pair<std::string, std::string>> made;
            try {
                made = work(store);
            } catch (const std::exception& e) {
                ++self->shared_->metrics.storeFailures;
                LogStoreFailure("reading for " + self->target_, e.what());
            }
            asio::post(self->stream_.get_executor(), [self, made = std::move(made)]() mutable {
                self->Guarded([&] {
                    // The health check says "unavailable", which a load balancer acts on.
                    if (!made)
                        return self->Reply(self->target_ == kHealthPath
                                               ? self->Plain(http::status::service_unavailable,
                                                             "the store does not answer\n")
                                               : self->Plain(http::status::internal_server_error,
                                                             "the store failed\n"));
                    Response response = self->Plain(http::status::ok, "");
                    response.set(http::field::content_type, made->first);
                    response.set(http::field::cache_control, "no-store");
                    response.body() = std::move(made->second);
                    self->Reply(std::move(response));
                });
            });
        });
    }

    // The export can be far larger than memory should hold: it is written to an unnamed
    // temporary file on the reading thread and sent from there.
    void SendExport(const ExportOptions& options)
    {
        shared_->recorder.Submit(
            [self = shared_from_this(), options](ReportStore& store) {
                auto file = std::make_shared<http::file_body::value_type>();
                try {
                    WriteExportFile(store, options, *file);
                } catch (const std::exception& e) {
                    ++self->shared_->metrics.storeFailures;
                    LogStoreFailure("export", e.what());
                    file.reset();
                }
                asio::post(self->stream_.get_executor(), [self, file] {
                    self->Guarded([&] {
                        if (!file)
                            return self->Reply(self->Plain(http::status::internal_server_error,
                                                           "the store failed\n"));
                        http::response<http::file_body> response(http::status::ok,
                                                                 self->request_.version());
                        response.set(http::field::server, kServerName);
                        SetProtectiveHeaders(response);
                        response.set(http::field::content_type, "text/csv; charset=utf-8");
                        response.set(http::field::cache_control, "no-store");
                        response.body() = std::move(*file);
                        self->Reply(std::move(response), kExportDeadline);
                    });
                });
            },
            ReportRecorder::Lane::Export);
    }

    Response Plain(http::status status, const char* text) const
    {
        // Before a request has been parsed, answer in HTTP/1.1.
        Response response(status, request_.version() ? request_.version() : 11);
        response.set(http::field::server, kServerName);
        SetProtectiveHeaders(response);
        response.set(http::field::content_type, "text/plain; charset=utf-8");
        response.body() = text;
        return response;
    }

    template <typename Body>
    void Reply(http::response<Body> response, std::chrono::milliseconds deadline = {})
    {
        // Keep-alive only for a well-formed request that asked for it.
        const bool parsed = parser_ && parser_->is_done();
        response.keep_alive(parsed && response.result() != http::status::internal_server_error &&
                            request_.keep_alive());
        response.prepare_payload();
        auto held = std::make_shared<http::response<Body>>(std::move(response));
        stream_.expires_after(deadline.count() ? deadline : shared_->options.requestDeadline);
        http::async_write(stream_, *held,
                          [self = shared_from_this(), held](const error_code& ec, std::size_t n) {
                              self->Guarded([&] {
                                  self->LogThis(held->result_int(), n);
                                  if (ec || !held->keep_alive())
                                      return self->Close();
                                  self->request_ = {};
                                  self->ReadRequest();
                              });
                          });
    }

    void LogThis(unsigned status, std::size_t bytes)
    {
        RequestLogEntry entry;
        entry.at = std::chrono::system_clock::now();
        entry.peer = peer_;
        // Empty before the headers were read (a malformed or refused request).
        entry.method = method_.empty() ? std::string_view("-") : std::string_view(method_);
        entry.target = target_.empty() ? std::string_view("-") : std::string_view(target_);
        entry.status = status;
        if (decision_)
            entry.decision = DecisionName(*decision_);
        entry.bytes = bytes;
        entry.micros = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - started_)
                           .count();
        LogReply(*shared_, entry);
    }

    // Ends the sending side first and reads (and drops) what the client still sends until it
    // closes, briefly: closing at once with unread bytes would reset the connection, and the
    // client could lose the reply (a 413 sent before the rest of the body arrived).
    void Close()
    {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(kLingerDeadline);
        Drain(0);
    }

    void Drain(std::size_t dropped)
    {
        if (dropped > kLingerBytes) {
            stream_.close();
            return;
        }
        buffer_.consume(buffer_.size());
        stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this(), dropped](
                                                           const error_code& ec, std::size_t n) {
            if (ec)
                return self->stream_.close();
            self->Guarded([&] { self->Drain(dropped + n); });
        });
    }

    beast::tcp_stream stream_;
    const std::string peer_; // the client's address
    std::shared_ptr<HttpServer::Shared> shared_;
    beast::flat_buffer buffer_{kReadBufferLimit};
    std::optional<RequestParser> parser_;
    std::chrono::steady_clock::time_point requestEnd_;
    // Of the request being answered, for its log line.
    std::chrono::steady_clock::time_point started_;
    std::string method_, target_;
    std::optional<Decision> decision_;
    Request request_;
    std::string levelCode_; // of the report being answered
};

// Over the connection limit: a short 503 if the socket takes it at once, then close. Returns the
// bytes sent.
std::size_t Refuse(tcp::socket& socket)
{
    static constexpr char kBusy[] = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                                    "Connection: close\r\n\r\n";
    error_code ignored;
    socket.non_blocking(true, ignored);
    const std::size_t sent = socket.write_some(asio::buffer(kBusy, sizeof kBusy - 1), ignored);
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    return sent;
}

} // namespace

HttpServer::HttpServer(asio::io_context& io, ServerOptions options, ReportRecorder& recorder,
                       ServerMetrics& metrics)
    : io_(io), acceptor_(asio::make_strand(io)),
      shared_(std::make_shared<Shared>(std::move(options), recorder, metrics))
{
    const tcp::endpoint endpoint(asio::ip::make_address(shared_->options.address),
                                 shared_->options.port);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(asio::socket_base::max_listen_connections);
    port_ = acceptor_.local_endpoint().port();
    Accept();
}

HttpServer::~HttpServer() = default;

unsigned short HttpServer::Port() const
{
    return port_;
}

std::size_t HttpServer::OpenConnections() const
{
    return shared_->slots.Open();
}

void HttpServer::Close()
{
    // On the acceptor's strand: an accept may be completing on another thread.
    asio::post(acceptor_.get_executor(), [this] {
        error_code ignored;
        acceptor_.close(ignored);
    });
}

void HttpServer::Accept()
{
    // Each connection gets a strand of its own: with several network threads, its handlers
    // (reads, replies, timers, the store's answers) still run one at a time.
    acceptor_.async_accept(
        asio::make_strand(io_), [this](const error_code& ec, tcp::socket socket) {
            if (ec == asio::error::operation_aborted)
                return;
            if (ec) {
                // Out of descriptors, for example: wait a moment instead of spinning or failing.
                auto timer = std::make_shared<asio::steady_timer>(acceptor_.get_executor(),
                                                                  std::chrono::milliseconds(50));
                timer->async_wait([this, timer](const error_code& waited) {
                    if (!waited)
                        Accept();
                });
                return;
            }
            error_code unknown;
            const auto peer = socket.remote_endpoint(unknown);
            std::string address = unknown ? std::string() : peer.address().to_string();
            if (unknown || !shared_->slots.Take(address)) {
                RequestLogEntry entry;
                entry.bytes = Refuse(socket);
                entry.at = std::chrono::system_clock::now();
                entry.peer = address;
                entry.method = entry.target = "-";
                entry.status = 503;
                LogReply(*shared_, entry);
            } else
                std::make_shared<Connection>(std::move(socket), std::move(address), shared_)
                    ->ReadRequest();
            Accept();
        });
}
