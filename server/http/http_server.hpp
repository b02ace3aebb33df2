#pragma once
// The report server's HTTP side: accepts connections, reads one request at a time within a
// deadline and a size bound, and hands each to its handler; logs each reply and counts it.
#include "server/monitor/server_metrics.hpp"
#include "server/server_settings.hpp"
#include "server/store/report_recorder.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <memory>

struct RequestServices;

class HttpServer {
  public:
    // Listens at once; throws when the address cannot be bound.
    HttpServer(boost::asio::io_context& io, ServerOptions options, ReportRecorder& recorder,
               ServerMetrics& metrics);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    unsigned short Port() const;
    std::size_t OpenConnections() const;
    // Stops accepting (soon after, from any thread); open connections finish on their own.
    void Close();

  private:
    void Accept();
    // Gives the accepted socket a connection, or (a full server, nothing to evict) a 503.
    void Admit(std::shared_ptr<boost::asio::ip::tcp::socket> socket, bool retried);

    boost::asio::io_context& io_;
    boost::asio::ip::tcp::acceptor acceptor_; // its handlers one at a time
    unsigned short port_ = 0;
    std::shared_ptr<RequestServices> shared_; // what every connection shares
};
