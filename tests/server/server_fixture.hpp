#pragma once
// A report server inside the test program, on 127.0.0.1 and a port of the system's choice, over
// a fresh SQLite folder or, when VXM_TEST_POSTGRES_URL is set, that PostgreSQL database.
#include "server/http/http_server.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

inline std::string FreshSqliteFolder()
{
    static std::mt19937_64 random{std::random_device{}()};
    const auto folder =
        std::filesystem::temp_directory_path() / ("vxm-server-test-" + std::to_string(random()));
    return folder.string();
}

// Four network threads, as an operator may run it: every connection's handlers must keep to
// its strand (the ThreadSanitizer build of these tests would see them race otherwise).
class RunningServer {
  public:
    RunningServer(const std::string& database, ServerOptions options = {}, int threads = 4,
                  TrustedProxies trustedProxies = {})
        : RunningServer([database] { return OpenReportStore(database); }, std::move(options),
                        threads, std::move(trustedProxies))
    {
    }
    RunningServer(const std::function<std::unique_ptr<ReportStore>()>& open, ServerOptions options,
                  int threads = 4, TrustedProxies trustedProxies = {})
        : mRecorder(open, 1, Settings{}.maxBatch, mMetrics),
          mServer(mIo, WithPort0(std::move(options), threads), std::move(trustedProxies), mRecorder,
                  mMetrics)
    {
        for (int i = 0; i < threads; ++i)
            mThreads.emplace_back([this] { mIo.run(); });
    }
    ~RunningServer()
    {
        mIo.stop();
        for (std::thread& thread : mThreads)
            thread.join();
    }
    unsigned short Port() const { return mServer.Port(); }
    ReportRecorder& Recorder() { return mRecorder; }

  private:
    static ServerOptions WithPort0(ServerOptions options, int threads)
    {
        options.port = 0;
        options.threads = threads;
        return options;
    }
    boost::asio::io_context mIo;
    ServerMetrics mMetrics;
    ReportRecorder mRecorder;
    HttpServer mServer;
    std::vector<std::thread> mThreads;
};

// Sends the bytes and returns everything the server sent until it closed, or until the time
// was up (then `closed` is false).
struct Received {
    std::string bytes;
    bool closed = false;
};

// A connection to the server from a loopback address of the caller's choice.
inline boost::asio::ip::tcp::socket Connected(boost::asio::io_context& io, unsigned short port,
                                              const char* from = "127.0.0.1")
{
    namespace asio = boost::asio;
    asio::ip::tcp::socket socket(io);
    socket.open(asio::ip::tcp::v4());
    socket.bind({asio::ip::make_address(from), 0});
    socket.connect({asio::ip::make_address("127.0.0.1"), port});
    return socket;
}

inline Received Exchange(unsigned short port, const std::string& request,
                         std::chrono::milliseconds limit = std::chrono::seconds(5),
                         const char* from = "127.0.0.1")
{
    namespace asio = boost::asio;
    asio::io_context io;
    asio::ip::tcp::socket socket = Connected(io, port, from);
    // The server may answer and close before everything was sent (a 413): that is no failure.
    boost::system::error_code writeError;
    asio::write(socket, asio::buffer(request), writeError);
    Received received;
    auto chunk = std::make_shared<std::array<char, 4096>>();
    std::function<void()> read = [&] {
        socket.async_read_some(asio::buffer(*chunk),
                               [&](const boost::system::error_code& ec, std::size_t n) {
                                   received.bytes.append(chunk->data(), n);
                                   if (ec) {
                                       received.closed = true;
                                       return;
                                   }
                                   read();
                               });
    };
    read();
    io.run_for(limit);
    return received;
}

inline std::string PostRequest(const std::string& body, unsigned short port)
{
    return "POST http://127.0.0.1:" + std::to_string(port) +
           "/vorn/a20140220checkmachine/postInfo.php HTTP/1.0\r\nHost: 127.0.0.1:" +
           std::to_string(port) +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string Get(unsigned short port, const std::string& target,
                       const std::string& headers = "", const char* from = "127.0.0.1")
{
    return Exchange(port, "GET " + target + " HTTP/1.0\r\n" + headers + "\r\n",
                    std::chrono::seconds(5), from)
        .bytes;
}

inline std::string BodyOf(const std::string& response)
{
    const auto end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}
