// The client behind a trusted proxy: the lists an operator gives, the X-Forwarded-For chains a
// proxy sends, and what the server stores and answers for them.
#include "server/http/forwarded_client.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <gtest/gtest.h>

#include <future>

namespace {

namespace ip = boost::asio::ip;

TEST(TrustedProxies, ListsOfAddressesAndRangesAreReadAndGarbageRefused)
{
    const struct {
        const char* text;
        std::size_t ranges; // 0: refused
    } cases[] = {
        {"127.0.0.1", 1},     {"10.0.0.0/8, 192.168.1.0/24,::1", 3},
        {"2001:db8::/32", 1}, {"0.0.0.0/0", 1},
        {"10.0.0.0/33", 0},   {"2001:db8::/129", 0},
        {"10.0.0.0/", 0},     {"10.0.0.0/-1", 0},
        {"localhost", 0},     {"127.0.0.1,,::1", 0},
        {"127.0.0.1;::1", 0}, {"[::1]", 0},
    };
    for (const auto& c : cases) {
        const auto proxies = ParseTrustedProxies(c.text);
        EXPECT_EQ(proxies ? proxies->size() : 0u, c.ranges) << c.text;
    }
}

TEST(ForwardedClient, TheRightMostAddressThatIsNotATrustedProxy)
{
    const TrustedProxies proxies = *ParseTrustedProxies("127.0.0.1,10.0.0.0/8,2001:db8::/32");
    const struct {
        const char* peer;
        std::vector<std::string_view> headers;
        const char* client; // "": a 400
    } cases[] = {
        // From any other peer the header is ignored, garbage or not.
        {"192.0.2.1", {"198.51.100.7"}, "192.0.2.1"},
        {"192.0.2.1", {"not an address"}, "192.0.2.1"},
        {"11.0.0.1", {"198.51.100.7"}, "11.0.0.1"},
        // A trusted proxy: the right-most untrusted entry; what a client wrote before it is not
        // believed.
        {"127.0.0.1", {"198.51.100.7"}, "198.51.100.7"},
        {"127.0.0.1", {"203.0.113.5, 198.51.100.7"}, "198.51.100.7"},
        {"127.0.0.1", {"198.51.100.7, 10.1.2.3"}, "198.51.100.7"},
        {"10.9.9.9", {"2001:db9::5, 10.1.2.3"}, "2001:db9::5"},
        {"::ffff:127.0.0.1", {" 2001:db9::7 ,2001:db8::1"}, "2001:db9::7"},
        // Several headers read as one list, in order.
        {"127.0.0.1", {"203.0.113.5", "198.51.100.7"}, "198.51.100.7"},
        // All trusted: the furthest; none: the proxy itself.
        {"127.0.0.1", {"10.0.0.1, 10.0.0.2"}, "10.0.0.1"},
        {"127.0.0.1", {}, "127.0.0.1"},
        // Garbage from a trusted proxy.
        {"127.0.0.1", {"unknown"}, ""},
        {"127.0.0.1", {"198.51.100.7,"}, ""},
        {"127.0.0.1", {""}, ""},
        {"127.0.0.1", {"198.51.100.7:4711"}, ""},
        {"127.0.0.1", {"198.51.100.7", "x"}, ""},
        {"127.0.0.1", {std::string_view("1.2.3.4\0", 8)}, ""},
    };
    for (const auto& c : cases) {
        const auto client = ForwardedClient(proxies, ip::make_address(c.peer), c.headers);
        EXPECT_EQ(client ? client->to_string() : "", c.client) << c.peer;
    }
}

// Sends the request from the given loopback address and returns the reply.
std::string ExchangeFrom(const char* source, unsigned short port, const std::string& request)
{
    boost::asio::io_context io;
    ip::tcp::socket socket(io);
    socket.open(ip::tcp::v4());
    socket.bind({ip::make_address(source), 0});
    socket.connect({ip::make_address("127.0.0.1"), port});
    boost::asio::write(socket, boost::asio::buffer(request));
    std::string reply;
    boost::system::error_code end;
    boost::asio::read(socket, boost::asio::dynamic_buffer(reply), end);
    return reply;
}

std::string WithHeader(const std::string& request, const std::string& header)
{
    const auto end = request.find("\r\n") + 2;
    return request.substr(0, end) + header + request.substr(end);
}

TEST(ForwardedClient, TheServerStoresTheClientATrustedProxyNames)
{
    const std::string folder = FreshSqliteFolder();
    {
        RunningServer server(folder, {}, 4, *ParseTrustedProxies("127.0.0.1"));
        const unsigned short port = server.Port();
        const std::string forwarded = "X-Forwarded-For: 203.0.113.5, 198.51.100.7\r\n";
        EXPECT_NE(ExchangeFrom("127.0.0.1", port,
                               WithHeader(PostRequest(SampleForm("100001"), port), forwarded))
                      .find("\"ret_code\":0"),
                  std::string::npos);
        EXPECT_NE(ExchangeFrom("127.0.0.2", port,
                               WithHeader(PostRequest(SampleForm("100002"), port), forwarded))
                      .find("\"ret_code\":0"),
                  std::string::npos);
        EXPECT_EQ(ExchangeFrom("127.0.0.1", port,
                               WithHeader(PostRequest(SampleForm("100003"), port),
                                          "X-Forwarded-For: <script>\r\n"))
                      .rfind("HTTP/1.0 400", 0),
                  0u);
        std::promise<std::vector<std::string>> peers;
        server.Recorder().Submit([&](ReportStore& store) {
            std::vector<std::string> found;
            store.ForEachReport(0, [&](const StoredReport& r) { found.push_back(r.peer); });
            peers.set_value(found);
        });
        EXPECT_EQ(peers.get_future().get(),
                  (std::vector<std::string>{"198.51.100.7", "127.0.0.2"}));
    }
    std::filesystem::remove_all(folder);
}

} // namespace
