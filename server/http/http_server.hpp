#pragma once
// The report server's HTTP side: accepts connections, reads one request at a time within a
// deadline and a size bound, and hands each to its handler; logs each reply and counts it.
#include "server/store/report_recorder.hpp"
#include "server/monitor/server_metrics.hpp"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

struct ServerOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 8080; // 0: the system's choice
    std::string operatorKey;    // empty: the export is refused to everyone
    std::size_t maxConnections = 1024;
    std::size_t maxPerAddress = 64; // open connections from one client address
    std::size_t maxBody = 64 * 1024;
    // A request must arrive whole within this; a reply must be taken within it.
    std::chrono::milliseconds requestDeadline{10000};
    // The first byte and the headers must arrive within this (capped by the request deadline):
    // an idle or trickling connection gives its slot back soon.
    std::chrono::milliseconds headerDeadline{3000};
    int requestLogFd = -1; // where the line of each request goes (-1: nowhere)
    // The page is rendered at most once in this time.
    std::chrono::milliseconds pageLifetime{1000};
};

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

    struct Shared; // what the connections need from the server

  private:
    void Accept();

    boost::asio::io_context& io_;
    boost::asio::ip::tcp::acceptor acceptor_; // on a strand of its own
    unsigned short port_ = 0;
    std::shared_ptr<Shared> shared_;
};
