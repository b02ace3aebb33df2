#pragma once
// A scripted report server for tests: listens on 127.0.0.1 only, on a port of the system's
// choice, and runs on its own thread inside the test program (natively and under Wine alike).
// It records every byte each connection sent and answers every connection the same way.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace report_server {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using error_code = boost::system::error_code;

// What the server does once it has read a whole request.
struct Answer {
    std::string bytes;                    // sent back, after which the server closes its side
    std::chrono::milliseconds delay{0};   // pause before the answer
    std::chrono::milliseconds perByte{0}; // when set, the answer goes out one byte per pause
    bool silent = false;                  // never answers; waits for the client to close
    bool keepOpen = false;                // after the answer, keeps its side open
};

// A request is whole when its headers have ended and Content-Length bytes followed them.
inline bool RequestComplete(const std::string& received)
{
    const auto headersEnd = received.find("\r\n\r\n");
    if (headersEnd == std::string::npos)
        return false;
    std::size_t length = 0;
    const auto field = received.find("\r\nContent-Length: ");
    if (field != std::string::npos && field < headersEnd)
        length = std::stoul(received.substr(field + 18));
    return received.size() >= headersEnd + 4 + length;
}

class Server {
  public:
    // Listens on the given port of 127.0.0.1, or on one of the system's choice for 0.
    explicit Server(Answer answer, unsigned short port = 0)
        : mAnswer(std::move(answer)), mAcceptor(mIo, {asio::ip::make_address("127.0.0.1"), port})
    {
        Accept();
        mThread = std::thread([this] { mIo.run(); });
    }
    ~Server()
    {
        mIo.stop();
        mThread.join();
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::string Port() const { return std::to_string(mAcceptor.local_endpoint().port()); }

    // The bytes of the connections that have ended, in the order they ended; waits up to five
    // seconds for `count` of them, since the server sees a close a moment after the client.
    std::vector<std::string> Requests(std::size_t count = 1)
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mEnded.wait_for(lock, std::chrono::seconds(5), [&] { return mRequests.size() >= count; });
        return mRequests;
    }

  private:
    struct Session : std::enable_shared_from_this<Session> {
        Session(Server& server, tcp::socket socket)
            : server(server), socket(std::move(socket)), timer(server.mIo)
        {
        }

        void ReadRequest()
        {
            Read([self = shared_from_this()](bool open) {
                if (!open)
                    return self->Record();
                if (!RequestComplete(self->received))
                    return self->ReadRequest();
                if (self->server.mAnswer.silent)
                    return self->Drain();
                self->Wait(self->server.mAnswer.delay, [self] { self->Reply(0); });
            });
        }

        // Sends the answer from `offset` on, all at once or one byte per pause.
        void Reply(std::size_t offset)
        {
            const Answer& answer = server.mAnswer;
            const bool trickle = answer.perByte.count() > 0;
            const std::size_t size = trickle
                                         ? std::min<std::size_t>(1, answer.bytes.size() - offset)
                                         : answer.bytes.size() - offset;
            asio::async_write(
                socket, asio::buffer(answer.bytes.data() + offset, size),
                [self = shared_from_this(), trickle, offset, size](const error_code& ec,
                                                                   std::size_t) {
                    const std::size_t next = offset + size;
                    if (ec || next == self->server.mAnswer.bytes.size() || !trickle)
                        return self->server.mAnswer.keepOpen ? self->Drain() : self->Finish();
                    self->Wait(self->server.mAnswer.perByte, [self, next] { self->Reply(next); });
                });
        }

        // Closes the sending side and records what else arrives until the client closes.
        void Finish()
        {
            error_code ignored;
            socket.shutdown(tcp::socket::shutdown_send, ignored);
            Drain();
        }

        void Drain()
        {
            Read([self = shared_from_this()](bool open) {
                if (open)
                    return self->Drain();
                self->Record();
            });
        }

        template <typename Then> void Read(Then then)
        {
            socket.async_read_some(asio::buffer(chunk), [self = shared_from_this(), then](
                                                            const error_code& ec, std::size_t n) {
                self->received.append(self->chunk, n);
                then(!ec);
            });
        }

        template <typename Then> void Wait(std::chrono::milliseconds pause, Then then)
        {
            timer.expires_after(pause);
            timer.async_wait([then](const error_code&) { then(); });
        }

        void Record()
        {
            std::lock_guard<std::mutex> lock(server.mMutex);
            server.mRequests.push_back(received);
            server.mEnded.notify_all();
        }

        Server& server;
        tcp::socket socket;
        asio::steady_timer timer;
        std::string received;
        char chunk[4096];
    };

    void Accept()
    {
        mAcceptor.async_accept([this](const error_code& ec, tcp::socket socket) {
            if (ec)
                return;
            std::make_shared<Session>(*this, std::move(socket))->ReadRequest();
            Accept();
        });
    }

    const Answer mAnswer;
    asio::io_context mIo;
    tcp::acceptor mAcceptor;
    std::thread mThread;
    std::mutex mMutex;
    std::condition_variable mEnded;
    std::vector<std::string> mRequests;
};

// A port on 127.0.0.1 where nothing listens: connections to it are refused.
inline std::string ClosedPort()
{
    asio::io_context io;
    tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    return std::to_string(acceptor.local_endpoint().port());
}

// A listener that never accepts and whose queue of pending connections is full, so a new
// connection attempt to it neither succeeds nor fails until the client gives up.
class FullListener {
  public:
    FullListener() : mAcceptor(mIo)
    {
        const tcp::endpoint loopback(asio::ip::make_address("127.0.0.1"), 0);
        mAcceptor.open(loopback.protocol());
        mAcceptor.bind(loopback);
        mAcceptor.listen(0);
        // Fill the queue until an attempt stays pending; how many fit depends on the system.
        for (int i = 0; i < 64; ++i) {
            mFillers.emplace_back(mIo);
            mFillers.back().async_connect(mAcceptor.local_endpoint(), [](const error_code&) {});
            mIo.restart();
            mIo.run_for(std::chrono::milliseconds(100));
            if (!mIo.stopped())
                return;
        }
    }
    std::string Port() const { return std::to_string(mAcceptor.local_endpoint().port()); }

  private:
    asio::io_context mIo;
    tcp::acceptor mAcceptor;
    std::vector<tcp::socket> mFillers;
};

} // namespace report_server
