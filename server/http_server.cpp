#include "server/http_server.hpp"

#include "server/csv_export.hpp"
#include "server/report_decision.hpp"
#include "server/request_route.hpp"
#include "server/survey_page.hpp"

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
    Shared(ServerOptions options, ReportRecorder& recorder)
        : options(std::move(options)), recorder(recorder)
    {
    }
    const ServerOptions options;
    ReportRecorder& recorder;
    std::atomic<std::size_t> connections{0};
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

// Compares without leaking through timing how much of the key matched.
bool SameKey(const std::string& given, const std::string& key)
{
    if (key.empty() || given.size() != key.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < key.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ key[i]);
    return difference == 0;
}

std::string GivenKey(const Request& request)
{
    const std::string authorization(request[http::field::authorization]);
    if (authorization.rfind("Bearer ", 0) == 0)
        return authorization.substr(7);
    return QueryValue(request.target(), "key");
}

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(tcp::socket socket, std::shared_ptr<HttpServer::Shared> shared)
        : stream_(std::move(socket)), shared_(std::move(shared))
    {
        ++shared_->connections;
    }
    ~Connection() { --shared_->connections; }

    void ReadRequest()
    {
        parser_.emplace();
        parser_->body_limit(shared_->options.maxBody);
        parser_->header_limit(kMaxRequestHeaderBytes);
        // One deadline for the whole request: a client that trickles bytes is cut off.
        stream_.expires_after(shared_->options.requestDeadline);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](const error_code& ec, std::size_t) {
                             self->OnRequest(ec);
                         });
    }

  private:
    void OnRequest(const error_code& ec)
    {
        if (ec == http::error::body_limit)
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
            return ReadStore([](ReportStore& store) {
                return std::make_pair(std::string("text/html; charset=utf-8"),
                                      RenderSurveyPage(store.Summarize(), std::time(nullptr)));
            });
        case Route::Export:
            if (!SameKey(GivenKey(request_), shared_->options.operatorKey)) {
                Response response = Plain(http::status::unauthorized, "operator key required\n");
                response.set(http::field::www_authenticate, "Bearer");
                return Reply(std::move(response));
            }
            if (const auto options = ExportOptionsOf(request_.target()))
                return SendExport(*options);
            return Reply(Plain(http::status::bad_request, "raw=1 or after=<id> expected\n"));
        case Route::NotAllowed: {
            Response response = Plain(http::status::method_not_allowed, "method not allowed\n");
            response.set(http::field::allow, AllowedMethods(request_.target()));
            return Reply(std::move(response));
        }
        case Route::NotFound:
            return Reply(Plain(http::status::not_found, "not found\n"));
        }
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
        error_code ec;
        const auto peer = stream_.socket().remote_endpoint(ec);
        report.peer = ec ? std::string() : peer.address().to_string();
        shared_->recorder.Record(
            std::move(report), [self = shared_from_this()](std::optional<RecordOutcome> outcome) {
                asio::post(self->stream_.get_executor(), [self, outcome] {
                    if (!outcome)
                        return self->Reply(self->Plain(http::status::internal_server_error,
                                                       "the report could not be stored\n"));
                    self->ReplyDecision(outcome->recorded ? Decision::Recorded : Decision::Repeated,
                                        outcome->rank);
                });
            });
    }

    void ReplyDecision(Decision decision, GainRank rank)
    {
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
            } catch (const std::exception&) {
            }
            asio::post(self->stream_.get_executor(), [self, made = std::move(made)]() mutable {
                if (!made)
                    return self->Reply(
                        self->Plain(http::status::internal_server_error, "the store failed\n"));
                Response response = self->Plain(http::status::ok, "");
                response.set(http::field::content_type, made->first);
                response.set(http::field::cache_control, "no-store");
                response.body() = std::move(made->second);
                self->Reply(std::move(response));
            });
        });
    }

    // The export can be far larger than memory should hold: it is written to an unnamed
    // temporary file on the reading thread and sent from there.
    void SendExport(const ExportOptions& options)
    {
        shared_->recorder.Submit([self = shared_from_this(), options](ReportStore& store) {
            auto file = std::make_shared<http::file_body::value_type>();
            try {
                WriteExportFile(store, options, *file);
            } catch (const std::exception&) {
                file.reset();
            }
            asio::post(self->stream_.get_executor(), [self, file] {
                if (!file)
                    return self->Reply(
                        self->Plain(http::status::internal_server_error, "the store failed\n"));
                http::response<http::file_body> response(http::status::ok,
                                                         self->request_.version());
                response.set(http::field::server, kServerName);
                response.set(http::field::content_type, "text/csv; charset=utf-8");
                response.set(http::field::cache_control, "no-store");
                response.body() = std::move(*file);
                self->Reply(std::move(response), kExportDeadline);
            });
        });
    }

    Response Plain(http::status status, const char* text) const
    {
        // Before a request has been parsed, answer in HTTP/1.1.
        Response response(status, request_.version() ? request_.version() : 11);
        response.set(http::field::server, kServerName);
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
                          [self = shared_from_this(), held](const error_code& ec, std::size_t) {
                              if (ec || !held->keep_alive())
                                  return self->Close();
                              self->request_ = {};
                              self->ReadRequest();
                          });
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
            self->Drain(dropped + n);
        });
    }

    beast::tcp_stream stream_;
    std::shared_ptr<HttpServer::Shared> shared_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    Request request_;
    std::string levelCode_; // of the report being answered
};

// Over the connection limit: a short 503 if the socket takes it at once, then close.
void Refuse(tcp::socket& socket)
{
    static constexpr char kBusy[] = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                                    "Connection: close\r\n\r\n";
    error_code ignored;
    socket.non_blocking(true, ignored);
    socket.write_some(asio::buffer(kBusy, sizeof kBusy - 1), ignored);
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

} // namespace

HttpServer::HttpServer(asio::io_context& io, ServerOptions options, ReportRecorder& recorder)
    : io_(io), acceptor_(asio::make_strand(io)),
      shared_(std::make_shared<Shared>(std::move(options), recorder))
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
    return shared_->connections;
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
            if (shared_->connections >= shared_->options.maxConnections)
                Refuse(socket);
            else
                std::make_shared<Connection>(std::move(socket), shared_)->ReadRequest();
            Accept();
        });
}
