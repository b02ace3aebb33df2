#include "server/http/http_server.hpp"

#include "server/http/request_framing.hpp"
#include "server/http/request_handler.hpp"
#include "server/http/request_route.hpp"
#include "server/monitor/event_log.hpp"
#include "server/monitor/request_log.hpp"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <optional>
#include <variant>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

namespace {

// How long, and for how many bytes, a closing connection waits for the client to close.
constexpr std::chrono::milliseconds kLingerDeadline{2000};
constexpr std::size_t kLingerBytes = 1 << 20;
// How long a newcomer waits for the slot of the connection closed to make room for it.
constexpr std::chrono::milliseconds kEvictionWait{20};
// At most this many lines a second about connections closed at their deadline or evicted: an
// attacker's thousands of sockets must not flood the log.
constexpr int kClosedLinesPerSecond = 20;

// Says on standard error that a connection was closed without a reply, within the rate.
void LogClosed(const std::string& peer, const char* why)
{
    static std::atomic<std::int64_t> second{0};
    static std::atomic<int> lines{0};
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (second.exchange(now) != now)
        lines = 0;
    if (++lines <= kClosedLinesPerSecond)
        LogFailure("connection closed", peer, why);
}

MeteredRoute MeteredRouteOf(Route route)
{
    switch (route) {
    case Route::Report:
        return MeteredRoute::Report;
    case Route::Page:
        return MeteredRoute::Page;
    case Route::Export:
        return MeteredRoute::Export;
    case Route::Unknown:
        return MeteredRoute::Unknown;
    case Route::WrongKeys:
        return MeteredRoute::WrongKeys;
    case Route::Health:
        return MeteredRoute::Health;
    case Route::Metrics:
        return MeteredRoute::Metrics;
    case Route::NotAllowed:
    case Route::NotFound:
        break;
    }
    return MeteredRoute::Other;
}

// Counts the reply and writes its log line.
void LogReply(RequestServices& services, const RequestLogEntry& entry)
{
    CountReply(services.metrics, MeteredRouteOf(RouteOf(entry.method, entry.path)), entry.status,
               std::chrono::microseconds(entry.micros));
    services.log.Write(RequestLogLine(entry).View());
}

// Reads a request, hands it to HandleRequest and writes the answer, one request at a time.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    // `viaProxy`: the peer is a trusted proxy, whose requests name their clients.
    Connection(tcp::socket socket, asio::ip::address peer, bool viaProxy,
               std::shared_ptr<RequestServices> shared)
        : stream_(std::move(socket)), peerAddress_(peer), peer_(peer.to_string()), client_(peer_),
          viaProxy_(viaProxy), shared_(std::move(shared)),
          lastRequestBy_(std::chrono::steady_clock::now() + shared_->options.connectionLifetime)
    {
    }
    ~Connection()
    {
        shared_->stalled.Remove(stalledId_);
        GiveClient();
        if (viaProxy_)
            shared_->slots.GiveUncounted();
        else
            shared_->slots.Give(peer_);
    }

    void ReadRequest()
    {
        started_ = std::chrono::steady_clock::now();
        method_.clear();
        target_.clear();
        decision_.reset();
        version_ = 0;
        head_ = false;
        Waiting();
        parser_.emplace(shared_->options.maxBody);
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
    // From now until its request has arrived, this connection may be closed for a newcomer.
    void Waiting()
    {
        shared_->stalled.Remove(stalledId_);
        stalledId_ = shared_->stalled.Add(peer_, [weak = weak_from_this()] {
            if (auto self = weak.lock())
                asio::post(self->stream_.get_executor(), [self] {
                    self->evicted_ = true;
                    error_code ignored;
                    self->stream_.socket().close(ignored);
                });
        });
    }

    void NotWaiting()
    {
        shared_->stalled.Remove(stalledId_);
        stalledId_ = 0;
    }

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
        if (viaProxy_ && !TakeForwardedClient())
            return;
        stream_.expires_at(requestEnd_);
        if (!parser_->is_done() && ExpectsContinue(parser_->get())) {
            // A client that waits for leave to send its body gets it for a report; any other
            // request is answered at once from its headers, and the connection closed.
            if (RouteOf(parser_->get().method_string(), parser_->get().target()) != Route::Report)
                return Handle();
            static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            return asio::async_write(
                stream_, asio::buffer(kContinue, sizeof kContinue - 1),
                [self = shared_from_this()](const error_code& ec, std::size_t) {
                    self->Guarded([&] { ec ? self->Close() : self->ReadBody(); });
                });
        }
        ReadBody();
    }

    void ReadBody()
    {
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](const error_code& ec, std::size_t) {
                             self->Guarded([&] { self->OnRequest(ec); });
                         });
    }

    // The client a trusted proxy names takes a place in its address's share while its request
    // is answered; false when the request was refused (the reply closes the connection).
    bool TakeForwardedClient()
    {
        std::vector<std::string_view> forwardedFor;
        const auto [first, last] = parser_->get().equal_range("X-Forwarded-For");
        for (auto field = first; field != last; ++field)
            forwardedFor.push_back(field->value());
        const auto client = ForwardedClient(shared_->trustedProxies, peerAddress_, forwardedFor);
        if (client && shared_->slots.TakeAddress(client->to_string())) {
            client_ = client->to_string();
            clientHeld_ = true;
            return true;
        }
        parser_.reset();
        Reply(client ? Plain(http::status::service_unavailable, "too many connections\n")
                     : Plain(http::status::bad_request, "malformed X-Forwarded-For\n"));
        return false;
    }

    void GiveClient()
    {
        if (clientHeld_)
            shared_->slots.GiveAddress(client_);
        clientHeld_ = false;
        client_ = peer_;
    }

    void OnRequest(const error_code& ec)
    {
        if (ec == http::error::body_limit || ec == http::error::buffer_overflow)
            return Reply(Plain(http::status::payload_too_large, "request body too large\n"));
        if (ec == http::error::header_limit)
            return Reply(
                Plain(http::status::request_header_fields_too_large, "headers too large\n"));
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == asio::error::connection_reset || ec == asio::error::eof ||
            ec == asio::error::operation_aborted) {
            if (evicted_)
                LogClosed(client_, "closed for a newcomer while waiting for a request");
            else if (ec == beast::error::timeout)
                LogClosed(client_, "its request did not arrive within the deadline");
            return Close();
        }
        if (ec)
            return Reply(Plain(http::status::bad_request, "malformed request\n"));
        Handle();
    }

    void Handle()
    {
        NotWaiting();
        ++requests_;
        keepAlive_ = parser_->get().keep_alive();
        version_ = parser_->get().version();
        head_ = parser_->get().method() == http::verb::head;
        HandleRequest(*shared_, parser_->release(), client_,
                      [self = shared_from_this()](Answer answer) {
                          // Store answers come from a store thread: back onto the strand.
                          asio::dispatch(self->stream_.get_executor(),
                                         [self, answer = std::move(answer)]() mutable {
                                             self->Guarded([&] { self->Send(std::move(answer)); });
                                         });
                      });
    }

    void Send(Answer answer)
    {
        decision_ = answer.decision;
        if (answer.delay.count() > 0) {
            auto timer = std::make_shared<asio::steady_timer>(stream_.get_executor(), answer.delay);
            answer.delay = {};
            return timer->async_wait([self = shared_from_this(), timer,
                                      answer = std::move(answer)](const error_code&) mutable {
                self->Guarded([&] { self->Send(std::move(answer)); });
            });
        }
        std::visit(
            [&](auto& response) {
                if (!head_)
                    return Reply(std::move(response), answer.sendDeadline);
                // The GET's headers, its length included, and no body.
                const auto length = response.payload_size();
                http::response<http::empty_body> header(std::move(response.base()));
                if (length)
                    header.content_length(*length);
                Reply(std::move(header), answer.sendDeadline, false);
            },
            answer.response);
    }

    Response Plain(http::status status, const char* text) const
    {
        return PlainResponse(status, version_, text);
    }

    template <typename Body>
    void Reply(http::response<Body> response, std::chrono::milliseconds deadline = {},
               bool setLength = true)
    {
        NotWaiting();
        // Keep-alive only for a well-formed request that asked for it, up to the connection's
        // share of requests and time.
        const bool parsed = parser_ && parser_->is_done();
        response.keep_alive(parsed && response.result() != http::status::internal_server_error &&
                            keepAlive_ && requests_ < shared_->options.maxRequestsPerConnection &&
                            std::chrono::steady_clock::now() < lastRequestBy_);
        if (setLength)
            response.prepare_payload();
        auto held = std::make_shared<http::response<Body>>(std::move(response));
        stream_.expires_after(deadline.count() ? deadline : shared_->options.requestDeadline);
        http::async_write(stream_, *held,
                          [self = shared_from_this(), held](const error_code& ec, std::size_t n) {
                              self->Guarded([&] {
                                  self->LogThis(held->result_int(), n);
                                  self->GiveClient();
                                  if (ec || !held->keep_alive())
                                      return self->Close();
                                  self->ReadRequest();
                              });
                          });
    }

    void LogThis(unsigned status, std::size_t bytes)
    {
        RequestLogEntry entry;
        entry.at = std::chrono::system_clock::now();
        entry.peer = client_;
        // Empty before the headers were read (a malformed or refused request).
        entry.method = method_.empty() ? std::string_view("-") : std::string_view(method_);
        entry.path = target_.empty() ? std::string_view("-") : std::string_view(target_);
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
    const asio::ip::address peerAddress_;
    const std::string peer_; // the connection's peer
    // The client of the request being answered: the peer, or the one a trusted proxy names.
    std::string client_;
    const bool viaProxy_;
    bool clientHeld_ = false; // the client's place in its address's share is taken
    std::shared_ptr<RequestServices> shared_;
    beast::flat_buffer buffer_{kReadBufferLimit};
    std::optional<RequestParser> parser_;
    std::chrono::steady_clock::time_point requestEnd_;
    // Of the request being answered, for its log line.
    std::chrono::steady_clock::time_point started_;
    std::string method_, target_;
    std::optional<Decision> decision_;
    bool keepAlive_ = false;
    bool head_ = false;        // the request is a HEAD: its answer goes without its body
    std::size_t requests_ = 0; // answered on this connection, this one included
    const std::chrono::steady_clock::time_point lastRequestBy_; // after it, no more are read
    StalledConnections::Id stalledId_ = 0;                      // while it waits for a request
    bool evicted_ = false; // closed to make room for a newcomer
    unsigned version_ = 0; // of the request being answered; 0 before one was read
};

// Where the acceptor's and each connection's handlers run one at a time. With several network
// threads that takes a strand each; one thread runs them one at a time anyway, and a strand's
// locks and hand-offs would cost every handler.
asio::any_io_executor OneAtATime(asio::io_context& io, int threads)
{
    if (threads > 1)
        return asio::make_strand(io);
    return io.get_executor();
}

// Over the connection limit: a short 503 if the socket takes it at once, then close. Returns the
// bytes sent.
std::size_t Refuse(tcp::socket& socket)
{
    const std::string busy = "HTTP/1.1 503 Service Unavailable\r\nDate: " + HttpDate() +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    error_code ignored;
    socket.non_blocking(true, ignored);
    const std::size_t sent = socket.write_some(asio::buffer(busy), ignored);
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    return sent;
}

} // namespace

HttpServer::HttpServer(asio::io_context& io, ServerOptions options, ReportRecorder& recorder,
                       ServerMetrics& metrics)
    : io_(io), acceptor_(OneAtATime(io, options.threads)),
      shared_(std::make_shared<RequestServices>(std::move(options), recorder, metrics))
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
    // On the acceptor's executor: an accept may be completing on another thread.
    asio::post(acceptor_.get_executor(), [this] {
        error_code ignored;
        acceptor_.close(ignored);
    });
}

void HttpServer::Accept()
{
    acceptor_.async_accept(OneAtATime(io_, shared_->options.threads),
                           [this](const error_code& ec, tcp::socket socket) {
                               if (ec == asio::error::operation_aborted)
                                   return;
                               if (ec) {
                                   // Out of descriptors, for example: wait a moment instead of
                                   // spinning or failing.
                                   auto timer = std::make_shared<asio::steady_timer>(
                                       acceptor_.get_executor(), std::chrono::milliseconds(50));
                                   timer->async_wait([this, timer](const error_code& waited) {
                                       if (!waited)
                                           Accept();
                                   });
                                   return;
                               }
                               Admit(std::make_shared<tcp::socket>(std::move(socket)), false);
                               Accept();
                           });
}

void HttpServer::Admit(std::shared_ptr<tcp::socket> socket, bool retried)
{
    error_code unknown;
    const auto peer = socket->remote_endpoint(unknown);
    std::string address = unknown ? std::string() : peer.address().to_string();
    // A trusted proxy's connections count in all only: its requests count against their
    // clients' addresses.
    const bool viaProxy = !unknown && IsTrustedProxy(shared_->trustedProxies, peer.address());
    if (!unknown && (viaProxy ? shared_->slots.TakeUncounted() : shared_->slots.Take(address)))
        return std::make_shared<Connection>(std::move(*socket), peer.address(), viaProxy, shared_)
            ->ReadRequest();
    // At the limit: the connection that has waited longest for a request (of this address when
    // its share is what is full) is closed, and the newcomer takes its slot once it is given back.
    const std::string crowded = shared_->slots.Full() || viaProxy ? std::string() : address;
    if (!unknown && !retried && shared_->stalled.EvictOldest(crowded)) {
        auto timer = std::make_shared<asio::steady_timer>(acceptor_.get_executor(), kEvictionWait);
        return timer->async_wait(
            [this, timer, socket](const error_code&) { Admit(std::move(socket), true); });
    }
    RequestLogEntry entry;
    entry.bytes = Refuse(*socket);
    entry.at = std::chrono::system_clock::now();
    entry.peer = address;
    entry.method = entry.path = "-";
    entry.status = 503;
    LogReply(*shared_, entry);
}
