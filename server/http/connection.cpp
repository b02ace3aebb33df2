#include "server/http/connection.hpp"

#include "server/http/admission_notices.hpp"
#include "server/http/request_framing.hpp"
#include "server/http/request_route.hpp"
#include "server/http/response_head.hpp"
#include "server/monitor/event_log.hpp"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <array>
#include <optional>
#include <stdexcept>
#include <variant>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;
using Clock = std::chrono::steady_clock;

namespace {

// How long, and for how many bytes, a closing connection waits for the client to close.
constexpr std::chrono::milliseconds kLingerDeadline{2000};
constexpr std::size_t kLingerBytes = 1 << 20;

// Of the request being answered, for its log line.
struct RequestRecord {
    Clock::time_point started;
    std::string method, target;
    std::optional<Decision> decision;
    unsigned version = 0; // 0 before one was read
};

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    // `viaProxy`: the peer is a trusted proxy, whose requests name their clients.
    Connection(tcp::socket socket, asio::ip::address peer, bool viaProxy,
               std::shared_ptr<ConnectionServices> services)
        : mStream(std::move(socket)), mPeerAddress(peer), mPeer(peer.to_string()), mClient(mPeer),
          mViaProxy(viaProxy), mServices(std::move(services)),
          mLastRequestBy(Clock::now() + mServices->options.connectionLifetime)
    {
    }
    ~Connection()
    {
        if (mId)
            mServices->admission.Release(mId);
    }

    const std::string& Peer() const { return mPeer; }
    bool ViaProxy() const { return mViaProxy; }

    // Admission's functions for it.
    void Evict()
    {
        asio::post(mStream.get_executor(), [self = shared_from_this()] {
            self->mEvicted = true;
            error_code ignored;
            self->mStream.socket().close(ignored);
        });
    }
    void Start(Admission::Id id)
    {
        asio::post(mStream.get_executor(), [self = shared_from_this(), id] {
            self->mId = id;
            self->AwaitRequest();
        });
    }
    void TurnAway()
    {
        RequestLogEntry entry;
        entry.bytes = RefuseBusy(mStream.socket());
        entry.at = std::chrono::system_clock::now();
        entry.peer = mPeer;
        entry.method = entry.path = "-";
        entry.status = 503;
        LogReply(*mServices, entry);
    }

  private:
    void AwaitRequest()
    {
        // The record's strings keep their room for the next request.
        mRequest.method.clear();
        mRequest.target.clear();
        mRequest.decision.reset();
        mRequest.version = 0;
        mRequest.started = Clock::now();
        mCloseAfterReply = false;
        mParser.emplace(mServices->options.maxBody);
        mServices->admission.Enter(mId, mRequests ? ConnectionPhase::AwaitingNext
                                                  : ConnectionPhase::AwaitingFirst);
        // The headers within a short deadline, the whole request within the longer one: a
        // client that trickles bytes or sends nothing is cut off.
        const auto& options = mServices->options;
        mRequestEnd = Clock::now() + options.requestDeadline;
        mStream.expires_after(std::min(options.headerDeadline, options.requestDeadline));
        http::async_read_header(mStream, mBuffer, *mParser,
                                [self = shared_from_this()](const error_code& ec, std::size_t) {
                                    self->Guarded([&] { self->OnHeader(ec); });
                                });
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
        LogFailure("connection fault", mPeer, reason);
        error_code ignored;
        mStream.socket().close(ignored);
    }

    void OnHeader(const error_code& ec)
    {
        if (ec)
            return OnReadError(ec);
        // The request's time counts from its headers; its path (never the query) is logged.
        const auto& header = mParser->get();
        mRequest.started = Clock::now();
        mRequest.method = header.method_string();
        mRequest.target = TargetPath(header.target()).value_or("-");
        mRequest.version = header.version();
        if (RefusedFraming(header))
            // Whatever follows is not read as a request.
            return Refuse(http::status::bad_request, "Transfer-Encoding is not accepted\n");
        if (mViaProxy && !TakeForwardedClient())
            return;
        mBodyBytes = 0;
        if (mParser->is_done() || !ExpectsContinue(header)) {
            error_code ec;
            TakeBuffered(ec);
            if (ec)
                return OnReadError(ec);
            // Most requests arrive whole with their headers: no further read, deadline or
            // admission step for them.
            if (mParser->is_done())
                return Handle();
            return ReceiveBody();
        }
        mStream.expires_at(mRequestEnd);
        mServices->admission.Enter(mId, ConnectionPhase::ReceivingBody);
        // A client that waits for leave to send its body gets it where the handler allows;
        // any other request is answered from its headers, and the connection closed.
        if (!MayContinue(header)) {
            mCloseAfterReply = true;
            return Handle();
        }
        static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        asio::async_write(mStream, asio::buffer(kContinue, sizeof kContinue - 1),
                          [self = shared_from_this()](const error_code& ec, std::size_t) {
                              self->Guarded([&] { ec ? self->Linger() : self->ReadBody(); });
                          });
    }

    // Parses what of the body arrived with the headers, without reading.
    void TakeBuffered(error_code& ec)
    {
        while (!mParser->is_done() && mBuffer.size() > 0) {
            const std::size_t used = mParser->put(mBuffer.data(), ec);
            mBuffer.consume(used);
            mBodyBytes += used;
            if (ec == http::error::need_more)
                ec = {};
            if (ec || used == 0)
                return;
        }
    }

    // The rest of the body, within the whole request's deadline.
    void ReceiveBody()
    {
        mStream.expires_at(mRequestEnd);
        mServices->admission.Enter(mId, ConnectionPhase::ReceivingBody);
        ReadBody();
    }

    // Some of the body at a time, so that admission sees its pace.
    void ReadBody()
    {
        if (mParser->is_done())
            return Handle();
        http::async_read_some(mStream, mBuffer, *mParser,
                              [self = shared_from_this()](const error_code& ec, std::size_t n) {
                                  self->Guarded([&] {
                                      if (ec)
                                          return self->OnReadError(ec);
                                      self->mBodyBytes += n;
                                      if (!self->mParser->is_done())
                                          self->mServices->admission.Received(self->mId,
                                                                              self->mBodyBytes);
                                      self->ReadBody();
                                  });
                              });
    }

    // The client a trusted proxy names takes a place in its address's share while its request
    // is received and answered; false when the request was refused.
    bool TakeForwardedClient()
    {
        std::vector<std::string_view> forwardedFor;
        const auto [first, last] = mParser->get().equal_range("X-Forwarded-For");
        for (auto field = first; field != last; ++field)
            forwardedFor.push_back(field->value());
        const auto client = ForwardedClient(mServices->trustedProxies, mPeerAddress, forwardedFor);
        if (!client) {
            Refuse(http::status::bad_request, "malformed X-Forwarded-For\n");
            return false;
        }
        mClient = client->to_string();
        if (mServices->admission.TakeClient(mId, mClient))
            return true;
        Refuse(http::status::service_unavailable, "too many connections\n");
        return false;
    }

    void OnReadError(const error_code& ec)
    {
        if (ec == http::error::body_limit || ec == http::error::buffer_overflow)
            return Refuse(http::status::payload_too_large, "request body too large\n");
        if (ec == http::error::header_limit)
            return Refuse(http::status::request_header_fields_too_large, "headers too large\n");
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == asio::error::connection_reset || ec == asio::error::eof ||
            ec == asio::error::operation_aborted || ec == asio::error::bad_descriptor) {
            if (mEvicted)
                SayClosed(mClient, "closed for a newcomer while waiting for a request");
            else if (ec == beast::error::timeout)
                SayClosed(mClient, "its request did not arrive within the deadline");
            return Linger();
        }
        Refuse(http::status::bad_request, "malformed request\n");
    }

    // A reply to a request that is not read on: the connection closes after it.
    void Refuse(http::status status, const char* text)
    {
        mCloseAfterReply = true;
        Reply(PlainResponse(status, mRequest.version, text));
    }

    void Handle()
    {
        ++mRequests;
        mKeepAlive = mParser->get().keep_alive();
        mServices->admission.Enter(mId, ConnectionPhase::Answering);
        HandleRequest(mServices->requests, mParser->release(), mClient,
                      [self = shared_from_this()](Answer answer) {
                          // A store thread answers: back onto the connection's executor.
                          asio::dispatch(self->mStream.get_executor(),
                                         [self, answer = std::move(answer)]() mutable {
                                             self->Guarded([&] { self->Send(std::move(answer)); });
                                         });
                      });
    }

    void Send(Answer answer)
    {
        mRequest.decision = answer.decision;
        if (answer.delay.count() > 0) {
            auto timer = std::make_shared<asio::steady_timer>(mStream.get_executor(), answer.delay);
            answer.delay = {};
            return timer->async_wait([self = shared_from_this(), timer,
                                      answer = std::move(answer)](const error_code&) mutable {
                self->Guarded([&] { self->Send(std::move(answer)); });
            });
        }
        std::visit([&](auto& response) { Reply(std::move(response), answer.sendDeadline); },
                   answer.response);
    }

    // Keeps the connection for the next request only for a well-formed request that asked for
    // it, within the connection's share of requests and time; arms the reply's deadline.
    bool BeginReply(http::status status, std::chrono::milliseconds deadline)
    {
        const bool keepAlive = !mCloseAfterReply && mKeepAlive &&
                               status != http::status::internal_server_error &&
                               mRequests < mServices->options.maxRequestsPerConnection &&
                               Clock::now() < mLastRequestBy;
        // A closing reply no longer counts against its address.
        if (!keepAlive)
            mServices->admission.Enter(mId, ConnectionPhase::Closing);
        mStream.expires_after(deadline.count() ? deadline : mServices->options.requestDeadline);
        return keepAlive;
    }

    // Writes a reply whose length the handler has set: its head, made in the connection's own
    // buffer, and its body in one write.
    void Reply(Response response, std::chrono::milliseconds deadline = {})
    {
        const bool keepAlive = BeginReply(response.result(), deadline);
        response.keep_alive(keepAlive);
        mReply = std::move(response);
        WriteResponseHead(mReply.base(), mHead);
        const std::array<asio::const_buffer, 2> bytes{asio::buffer(mHead),
                                                      asio::buffer(mReply.body())};
        asio::async_write(
            mStream, bytes,
            [self = shared_from_this(), keepAlive](const error_code& ec, std::size_t n) {
                self->Guarded([&] {
                    const unsigned status = self->mReply.result_int();
                    self->mReply = Response{};
                    self->Sent(ec, n, status, keepAlive);
                });
            });
    }

    void Reply(FileResponse response, std::chrono::milliseconds deadline)
    {
        const bool keepAlive = BeginReply(response.result(), deadline);
        response.keep_alive(keepAlive);
        auto held = std::make_shared<FileResponse>(std::move(response));
        http::async_write(
            mStream, *held,
            [self = shared_from_this(), held, keepAlive](const error_code& ec, std::size_t n) {
                self->Guarded([&] { self->Sent(ec, n, held->result_int(), keepAlive); });
            });
    }

    void Sent(const error_code& ec, std::size_t bytes, unsigned status, bool keepAlive)
    {
        LogThis(status, bytes);
        if (mViaProxy) {
            mServices->admission.GiveClient(mId);
            mClient = mPeer;
        }
        if (ec || !keepAlive)
            return Linger();
        AwaitRequest();
    }

    void LogThis(unsigned status, std::size_t bytes)
    {
        RequestLogEntry entry;
        entry.at = std::chrono::system_clock::now();
        entry.peer = mClient;
        // Empty before the headers were read (a malformed or refused request).
        entry.method = mRequest.method.empty() ? std::string_view("-") : mRequest.method;
        entry.path = mRequest.target.empty() ? std::string_view("-") : mRequest.target;
        entry.status = status;
        if (mRequest.decision)
            entry.decision = DecisionName(*mRequest.decision);
        entry.bytes = bytes;
        entry.micros =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - mRequest.started)
                .count();
        LogReply(*mServices, entry);
    }

    // Ends the sending side first and reads (and drops) what the client still sends until it
    // closes, briefly: closing at once with unread bytes would reset the connection, and the
    // client could lose the reply (a 413 sent before the rest of the body arrived). Admission
    // closes a lingering connection first of all when a newcomer needs the slot.
    void Linger()
    {
        mServices->admission.Enter(mId, ConnectionPhase::Lingering);
        error_code ignored;
        mStream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        mStream.expires_after(kLingerDeadline);
        Drain(0);
    }

    void Drain(std::size_t dropped)
    {
        if (dropped > kLingerBytes || mEvicted)
            return mStream.close();
        mBuffer.consume(mBuffer.size());
        mStream.async_read_some(mBuffer.prepare(4096), [self = shared_from_this(), dropped](
                                                           const error_code& ec, std::size_t n) {
            if (ec)
                return self->mStream.close();
            self->Guarded([&] { self->Drain(dropped + n); });
        });
    }

    beast::tcp_stream mStream;
    const asio::ip::address mPeerAddress;
    const std::string mPeer; // the connection's peer
    // The client of the request being answered: the peer, or the one a trusted proxy names.
    std::string mClient;
    const bool mViaProxy;
    std::shared_ptr<ConnectionServices> mServices;
    Admission::Id mId = 0; // its slot; 0 before admission gave it one
    beast::flat_buffer mBuffer{kReadBufferLimit};
    std::optional<RequestParser> mParser;
    Response mReply;   // being sent
    std::string mHead; // of the reply being sent; its room kept for the next
    Clock::time_point mRequestEnd;
    std::size_t mBodyBytes = 0; // of the request being received
    RequestRecord mRequest;
    bool mKeepAlive = false;                // the request asked for it
    bool mCloseAfterReply = false;          // the request was not read whole, or was refused
    std::size_t mRequests = 0;              // handled on this connection, this one included
    const Clock::time_point mLastRequestBy; // after it, no more are read
    bool mEvicted = false;                  // closed to make room for a newcomer
};

} // namespace

ConnectionServices::ConnectionServices(ServerOptions options, TrustedProxies trustedProxies,
                                       ReportRecorder& recorder, ServerMetrics& metrics,
                                       asio::any_io_executor timers)
    : options(std::move(options)), trustedProxies(std::move(trustedProxies)), metrics(metrics),
      admission(this->options.maxConnections, this->options.maxPerAddress),
      log(this->options.requestLogFd), requests(this->options, recorder, metrics, std::move(timers),
                                                [this] { return admission.Open(); })
{
}

namespace {

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
    case Route::BadTarget:
        break;
    }
    return MeteredRoute::Other;
}

} // namespace

void LogReply(ConnectionServices& services, const RequestLogEntry& entry)
{
    CountReply(services.metrics, MeteredRouteOf(RouteOf(entry.method, entry.path)), entry.status,
               std::chrono::microseconds(entry.micros));
    services.log.Write(RequestLogLine(entry).View());
}

void AdmitConnection(tcp::socket socket, const std::shared_ptr<ConnectionServices>& services)
{
    error_code unknown;
    const auto peer = socket.remote_endpoint(unknown);
    if (unknown)
        return; // gone already
    // A trusted proxy's connections count in all only: its requests count against their
    // clients' addresses.
    const bool viaProxy = IsTrustedProxy(services->trustedProxies, peer.address());
    auto connection =
        std::make_shared<Connection>(std::move(socket), peer.address(), viaProxy, services);
    Admission::Newcomer newcomer;
    newcomer.address = connection->Peer();
    newcomer.viaProxy = viaProxy;
    newcomer.evict = [weak = std::weak_ptr<Connection>(connection)] {
        if (auto self = weak.lock())
            self->Evict();
    };
    newcomer.start = [connection](Admission::Id id) { connection->Start(id); };
    newcomer.refuse = [connection] { connection->TurnAway(); };
    services->admission.Admit(std::move(newcomer));
}
