#pragma once
// The report server's HTTP side: accepts connections and puts each before admission; the
// connections read their requests and write the answers (server/http/connection.hpp).
#include "server/http/forwarded_client.hpp"
#include "server/monitor/server_metrics.hpp"
#include "server/server_settings.hpp"
#include "server/store/report_recorder.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <memory>

struct ConnectionServices;

class HttpServer {
  public:
    // Listens at once; throws when the address cannot be bound. The X-Forwarded-For of a request
    // from one of `trustedProxies` names its client.
    HttpServer(boost::asio::io_context& io, ServerOptions options, TrustedProxies trustedProxies,
               ReportRecorder& recorder, ServerMetrics& metrics);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    unsigned short Port() const;
    std::size_t OpenConnections() const;
    // Stops accepting (soon after, from any thread); open connections finish on their own.
    void Close();

  private:
    void Accept();

    boost::asio::io_context& mIo;
    boost::asio::ip::tcp::acceptor mAcceptor; // its handlers one at a time
    unsigned short mPort = 0;
    std::shared_ptr<ConnectionServices> mServices; // what every connection shares
};
