#include "server/http/admission_notices.hpp"

#include "server/http/http_date.hpp"
#include "server/monitor/event_log.hpp"

#include <atomic>
#include <chrono>
#include <string>

std::size_t RefuseBusy(boost::asio::ip::tcp::socket& socket)
{
    const std::string busy =
        "HTTP/1.1 503 Service Unavailable\r\nDate: " + std::string(HttpDate()) +
        std::string("\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    boost::system::error_code ignored;
    socket.non_blocking(true, ignored);
    const std::size_t sent = socket.write_some(boost::asio::buffer(busy), ignored);
    socket.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    return sent;
}

void SayClosed(std::string_view peer, std::string_view why)
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
