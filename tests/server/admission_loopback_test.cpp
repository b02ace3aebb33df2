// Admission on loopback, with clients at several 127.x addresses: honest uploads behind one
// address, sockets that linger or trickle, idle floods, and a newcomer no eviction can help.
// Also run under ThreadSanitizer (four network threads).
#include "server/http/admission.hpp"
#include "server/http/operator_key.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <atomic>
#include <cstdio>
#include <deque>
#include <future>
#include <map>

namespace {

using namespace std::chrono_literals;
namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

// What became of one request.
enum class Outcome { Recorded, Ok, Busy, Cut, Other };

// Sends `request` in `pieces` parts `gap` apart and reads the reply to the end.
Outcome Send(unsigned short port, const char* from, const std::string& request, int pieces = 1,
             Clock::duration gap = {})
{
    asio::io_context io;
    boost::system::error_code ec;
    std::string reply;
    try {
        asio::ip::tcp::socket socket = Connected(io, port, from);
        const std::size_t piece = (request.size() + pieces - 1) / pieces;
        for (std::size_t at = 0; at < request.size() && !ec; at += piece) {
            if (at)
                std::this_thread::sleep_for(gap);
            asio::write(socket,
                        asio::buffer(request.data() + at, std::min(piece, request.size() - at)),
                        ec);
        }
        asio::read(socket, asio::dynamic_buffer(reply), ec);
    } catch (const boost::system::system_error&) {
        return Outcome::Cut;
    }
    if (reply.find("\"ret_code\":0") != std::string::npos)
        return Outcome::Recorded;
    if (reply.find(" 200 ") != std::string::npos)
        return Outcome::Ok;
    if (reply.rfind("HTTP/1.1 503", 0) == 0)
        return Outcome::Busy;
    return reply.empty() ? Outcome::Cut : Outcome::Other;
}

std::string UniqueMac(int n)
{
    static std::atomic<unsigned> run{
        static_cast<unsigned>(Clock::now().time_since_epoch().count())};
    static const unsigned base = run++ & 0xFFFF;
    char mac[32];
    std::snprintf(mac, sizeof mac, "0A-%02X-%02X-%02X-%02X-%02X", base >> 8, base & 0xFF,
                  (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
    return mac;
}

class AdmissionLoopback : public ::testing::Test {
  protected:
    void Start()
    {
        mOptions.operatorKey = "an-operator-key-of-128-bits-at-least";
        mServer = std::make_unique<RunningServer>(mFolder, mOptions);
    }
    void TearDown() override
    {
        mServer.reset();
        std::filesystem::remove_all(mFolder);
    }
    // A report of some 2.5 KB, as the program sends from a machine with many runtimes.
    std::string Report(int n)
    {
        ReportValues values = SampleValues(std::to_string(100000 + n), UniqueMac(n));
        std::string& runtimes = values[static_cast<std::size_t>(ReportField::Msvc)];
        for (int i = 0; i < 40; ++i)
            runtimes += "Microsoft Visual C++ 2015-2022 Redistributable (x86);";
        values[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(values);
        return PostRequest(EncodeReportForm(values), mServer->Port());
    }
    std::string mFolder = FreshSqliteFolder();
    ServerOptions mOptions;
    std::unique_ptr<RunningServer> mServer;
};

// Clients behind one address (a NAT), each uploading a report at some 6 KB/s and starting the
// next when one ends: more of them than the address's share get 503 for the excess, never an
// upload cut off, and record no fewer reports than as many as the share.
TEST_F(AdmissionLoopback, UploadsBehindOneAddressAreNeverCutOff)
{
    mOptions.maxPerAddress = 4;
    Start();
    std::atomic<int> next{0};
    std::map<std::size_t, std::map<Outcome, int>> seen;
    for (const std::size_t clients : {std::size_t(4), std::size_t(6), std::size_t(8)}) {
        std::vector<std::thread> threads;
        std::mutex mutex;
        const auto end = Clock::now() + 1s;
        for (std::size_t c = 0; c < clients; ++c)
            threads.emplace_back([&] {
                while (Clock::now() < end) {
                    const Outcome outcome =
                        Send(mServer->Port(), "127.0.0.9", Report(next++), 4, 100ms);
                    std::lock_guard<std::mutex> lock(mutex);
                    ++seen[clients][outcome];
                    if (outcome == Outcome::Busy)
                        std::this_thread::sleep_for(20ms);
                }
            });
        for (std::thread& thread : threads)
            thread.join();
    }
    for (const auto& [clients, outcomes] : seen) {
        EXPECT_EQ(outcomes.count(Outcome::Cut), 0u) << clients << " clients";
        EXPECT_EQ(outcomes.count(Outcome::Other), 0u) << clients << " clients";
        EXPECT_GE(outcomes.at(Outcome::Recorded), seen[4][Outcome::Recorded] * 3 / 4)
            << clients << " clients";
    }
    EXPECT_GT(seen[8][Outcome::Busy], 0) << "the share is four";
}

// A newcomer whose address's share is full closes a body that arrives below the honest pace,
// never one that keeps to it.
TEST_F(AdmissionLoopback, OnlyABodyBelowTheHonestPaceIsClosedForANewcomer)
{
    mOptions.maxPerAddress = 2;
    mOptions.requestDeadline = 4s;
    Start();
    const struct {
        const char* name;
        int pieces;
        Clock::duration gap;
        Outcome upload, newcomer;
    } cases[] = {
        // Some 2.6 KB in 2.5 s, and 20 bytes a second until the deadline.
        {"1 KB/s", 25, 100ms, Outcome::Recorded, Outcome::Busy},
        {"a few bytes a second", 2600, 50ms, Outcome::Cut, Outcome::Ok},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::vector<std::future<Outcome>> uploads;
        for (int i = 0; i < 2; ++i) {
            const std::string request = Report(n++);
            uploads.push_back(std::async(std::launch::async, [&, request] {
                return Send(mServer->Port(), "127.0.0.10", request, c.pieces, c.gap);
            }));
        }
        std::this_thread::sleep_for(kPaceGrace + 500ms);
        EXPECT_EQ(Send(mServer->Port(), "127.0.0.10", "GET /healthz HTTP/1.0\r\n\r\n"), c.newcomer)
            << c.name;
        std::map<Outcome, int> outcomes;
        for (auto& upload : uploads)
            ++outcomes[upload.get()];
        EXPECT_GE(outcomes[c.upload], 1) << c.name;
        if (c.upload == Outcome::Recorded) {
            EXPECT_EQ(outcomes[c.upload], 2) << c.name;
        }
    }
}

// Sockets lingering after their last reply neither count against their address nor keep a
// newcomer out of a full server.
TEST_F(AdmissionLoopback, LingeringSocketsMakeRoom)
{
    mOptions.maxConnections = mOptions.maxPerAddress = 4;
    Start();
    asio::io_context io;
    std::vector<asio::ip::tcp::socket> lingering;
    for (std::size_t i = 0; i < mOptions.maxConnections; ++i) {
        lingering.push_back(Connected(io, mServer->Port(), "127.0.0.11"));
        asio::write(lingering.back(), asio::buffer(std::string("GET /healthz HTTP/1.0\r\n\r\n")));
        std::string reply;
        boost::system::error_code end;
        asio::read(lingering.back(), asio::dynamic_buffer(reply), end); // the server's end
        ASSERT_NE(reply.find(" 200 "), std::string::npos) << reply;
    }
    for (const char* from : {"127.0.0.11", "127.0.0.12", "127.0.0.11", "127.0.0.11"})
        EXPECT_EQ(Send(mServer->Port(), from, "GET /healthz HTTP/1.0\r\n\r\n"), Outcome::Ok)
            << from;
}

// A newcomer whose address's share is being answered gets 503 at once, and no connection of
// another address is closed for it.
TEST_F(AdmissionLoopback, NoOneIsClosedForANewcomerItCannotHelp)
{
    mOptions.maxConnections = 4;
    mOptions.maxPerAddress = 2;
    mOptions.requestDeadline = mOptions.headerDeadline = 3s;
    Start();
    asio::io_context io;
    std::vector<asio::ip::tcp::socket> sockets;
    for (int i = 0; i < 2; ++i) {
        sockets.push_back(Connected(io, mServer->Port(), "127.0.0.13"));
        asio::write(sockets.back(),
                    asio::buffer(std::string("GET /export.csv HTTP/1.0\r\n"
                                             "Authorization: Bearer wrong\r\n\r\n")));
        sockets.push_back(Connected(io, mServer->Port(), "127.0.0.14")); // idle
    }
    std::this_thread::sleep_for(kFirstRequestGrace + 100ms);
    EXPECT_EQ(Send(mServer->Port(), "127.0.0.13", "GET /healthz HTTP/1.0\r\n\r\n"), Outcome::Busy);
    for (std::size_t i = 1; i < sockets.size(); i += 2) {
        asio::write(sockets[i], asio::buffer(std::string("GET /healthz HTTP/1.0\r\n\r\n")));
        std::string reply;
        boost::system::error_code end;
        asio::read(sockets[i], asio::dynamic_buffer(reply), end);
        EXPECT_NE(reply.find(" 200 "), std::string::npos) << "the idle connection was kept";
    }
    std::this_thread::sleep_for(kWrongKeyWait);
}

// Kept-alive clients from one address that fill its share and reconnect when a connection has
// carried its share of requests get nothing but answers.
TEST_F(AdmissionLoopback, KeptAliveClientsReconnectingAtTheirShareAreAlwaysAnswered)
{
    mOptions.maxPerAddress = 4;
    mOptions.maxRequestsPerConnection = 5;
    Start();
    std::atomic<int> answered{0}, other{0};
    std::vector<std::thread> clients;
    for (std::size_t c = 0; c < mOptions.maxPerAddress; ++c)
        clients.emplace_back([&] {
            asio::io_context io;
            for (int connection = 0; connection < 6; ++connection) {
                auto socket = Connected(io, mServer->Port(), "127.0.0.15");
                boost::system::error_code ec;
                for (std::size_t r = 0; r < mOptions.maxRequestsPerConnection && !ec; ++r) {
                    asio::write(socket, asio::buffer(std::string("GET /healthz HTTP/1.1\r\n\r\n")),
                                ec);
                    std::string reply(4096, '\0');
                    reply.resize(ec ? 0 : socket.read_some(asio::buffer(reply), ec));
                    ++(reply.find(" 200 ") != std::string::npos ? answered : other);
                }
            }
        });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(answered, 4 * 6 * 5);
}

// Idle connections opened without end from many addresses: an honest client's reports are all
// recorded, none refused.
TEST_F(AdmissionLoopback, AnIdleFloodKeepsNoReportOut)
{
    mOptions.maxConnections = 32;
    mOptions.maxPerAddress = 8;
    Start();
    std::atomic<bool> flooding{true};
    std::atomic<int> opened{0};
    std::vector<std::thread> flood;
    for (int a = 1; a <= 4; ++a)
        flood.emplace_back([&, a] {
            const std::string from = "127.0.1." + std::to_string(a);
            asio::io_context io;
            std::deque<asio::ip::tcp::socket> held;
            while (flooding) {
                try {
                    held.push_back(Connected(io, mServer->Port(), from.c_str()));
                    ++opened;
                } catch (const boost::system::system_error&) {
                }
                if (held.size() > 16)
                    held.pop_front();
                std::this_thread::sleep_for(2ms);
            }
        });
    std::this_thread::sleep_for(kFirstRequestGrace);
    std::map<Outcome, int> outcomes;
    for (int i = 0; i < 20; ++i)
        ++outcomes[Send(mServer->Port(), "127.0.2.1", Report(1000 + i), 2, 20ms)];
    flooding = false;
    for (std::thread& thread : flood)
        thread.join();
    EXPECT_EQ(outcomes[Outcome::Recorded], 20);
    EXPECT_GT(opened, 64) << "the flood outnumbered the slots";
}

} // namespace
