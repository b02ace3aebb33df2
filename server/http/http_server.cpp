#include "server/http/http_server.hpp"

#include "server/http/connection.hpp"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

namespace {

// Where the acceptor's and each connection's handlers run one at a time. With several network
// threads that takes a strand each; one thread runs them one at a time anyway, and a strand's
// locks and hand-offs would cost every handler.
asio::any_io_executor OneAtATime(asio::io_context& io, int threads)
{
    if (threads > 1)
        return asio::make_strand(io);
    return io.get_executor();
}

} // namespace

HttpServer::HttpServer(asio::io_context& io, ServerOptions options, TrustedProxies trustedProxies,
                       ReportRecorder& recorder, ServerMetrics& metrics)
    : mIo(io), mAcceptor(OneAtATime(io, options.threads)),
      mServices(std::make_shared<ConnectionServices>(std::move(options), std::move(trustedProxies),
                                                     recorder, metrics, io.get_executor()))
{
    const tcp::endpoint endpoint(asio::ip::make_address(mServices->options.address),
                                 mServices->options.port);
    mAcceptor.open(endpoint.protocol());
    mAcceptor.set_option(tcp::acceptor::reuse_address(true));
    mAcceptor.bind(endpoint);
    mAcceptor.listen(asio::socket_base::max_listen_connections);
    mPort = mAcceptor.local_endpoint().port();
    Accept();
}

HttpServer::~HttpServer() = default;

unsigned short HttpServer::Port() const
{
    return mPort;
}

std::size_t HttpServer::OpenConnections() const
{
    return mServices->admission.Open();
}

void HttpServer::Close()
{
    // On the acceptor's executor: an accept may be completing on another thread.
    asio::post(mAcceptor.get_executor(), [this] {
        error_code ignored;
        mAcceptor.close(ignored);
    });
}

void HttpServer::Accept()
{
    mAcceptor.async_accept(OneAtATime(mIo, mServices->options.threads),
                           [this](const error_code& ec, tcp::socket socket) {
                               if (ec == asio::error::operation_aborted)
                                   return;
                               if (ec) {
                                   // Out of descriptors, for example: wait a moment instead of
                                   // spinning or failing.
                                   auto timer = std::make_shared<asio::steady_timer>(
                                       mAcceptor.get_executor(), std::chrono::milliseconds(50));
                                   timer->async_wait([this, timer](const error_code& waited) {
                                       if (!waited)
                                           Accept();
                                   });
                                   return;
                               }
                               AdmitConnection(std::move(socket), mServices);
                               Accept();
                           });
}
