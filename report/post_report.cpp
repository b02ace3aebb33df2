#include "report/post_report.hpp"

#include "common/result_before.hpp"
#include "report/report_form.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

namespace {

constexpr std::size_t kReadChunk = 4096;

// One connection to the report server. Asio's blocking calls take no time-out, so every step is
// started asynchronously and the private context runs only until the step's deadline.
class Exchange {
  public:
    explicit Exchange(const ReportLimits& limits);

    void Connect(const std::string& host, const std::string& port);
    void Send(const std::string& request);
    // Reads until the reply holds CR LF; the end of the stream is an error here.
    void ReadFirstLine();
    // Reads until the reply is complete or the server closes; read errors and the reply's
    // deadline end it too, and what arrived is judged.
    void ReadRest();
    std::istream& Reply() { return mReplyStream; }

  private:
    // Runs the started operation; when the deadline comes first, closes the socket, which ends
    // the operation with operation_aborted, and throws.
    void RunUntil(Clock::time_point deadline, const char* step);
    // Appends one read to the reply and returns its error (the end of the stream included).
    error_code ReadOnce(const char* step);
    // The headers have ended and Content-Length bytes followed them.
    bool ReplyComplete() const;

    ReportLimits mLimits;
    asio::io_context mIo;
    tcp::socket mSocket;
    asio::streambuf mReply;
    std::istream mReplyStream;
    std::size_t mReceived = 0;
    std::size_t mSearchedForLineEnd = 0;
    Clock::time_point mReplyDeadline;
};

// Creating the context starts the socket library (Winsock 2.0 on Windows).
Exchange::Exchange(const ReportLimits& limits)
try : mLimits(limits), mIo(), mSocket(mIo), mReplyStream(&mReply) {
} catch (const boost::system::system_error& e) {
    throw NetworkError("winsock", e.code());
}

void Exchange::RunUntil(Clock::time_point deadline, const char* step)
{
    mIo.restart();
    mIo.run_until(deadline);
    if (mIo.stopped())
        return;
    error_code ignored;
    mSocket.close(ignored);
    mIo.run();
    throw NetworkError(step, asio::error::timed_out, "timed out");
}

// The system resolver cannot be interrupted: it is given up, not stopped, at the deadline.
tcp::resolver::results_type ResolveUntil(const std::string& host, const std::string& port,
                                         Clock::time_point deadline)
{
    auto resolved = ResultBefore(deadline, [host, port] {
        asio::io_context io;
        tcp::resolver resolver(io);
        error_code ec;
        auto endpoints = resolver.resolve(host, port, tcp::resolver::address_configured, ec);
        return std::pair(std::move(endpoints), ec);
    });
    if (!resolved)
        throw NetworkError("resolve", asio::error::timed_out, "timed out");
    auto [endpoints, ec] = std::move(*resolved);
    if (ec)
        throw NetworkError("resolve", ec);
    return endpoints;
}

void Exchange::Connect(const std::string& host, const std::string& port)
{
    // Resolution and connection share one deadline.
    const Clock::time_point deadline = Clock::now() + mLimits.connect;
    const auto endpoints = ResolveUntil(host, port, deadline);
    error_code ec;
    // Endpoints are tried in the resolver's order; the last attempt's error is the one raised.
    asio::async_connect(mSocket, endpoints,
                        [&ec](const error_code& e, const tcp::endpoint&) { ec = e; });
    RunUntil(deadline, "connect");
    if (ec)
        throw NetworkError("connect", ec);
}

void Exchange::Send(const std::string& request)
{
    mReplyDeadline = Clock::now() + mLimits.reply;
    error_code ec;
    asio::async_write(mSocket, asio::buffer(request),
                      [&ec](const error_code& e, std::size_t) { ec = e; });
    RunUntil(mReplyDeadline, "write");
    if (ec)
        throw NetworkError("write", ec);
}

error_code Exchange::ReadOnce(const char* step)
{
    // Asking for at most one byte beyond the bound keeps the buffer within it.
    const std::size_t wanted = std::min(kReadChunk, mLimits.replyBytes + 1 - mReceived);
    error_code ec;
    std::size_t got = 0;
    mSocket.async_read_some(mReply.prepare(wanted), [&](const error_code& e, std::size_t n) {
        ec = e;
        got = n;
    });
    RunUntil(mReplyDeadline, step);
    mReply.commit(got);
    mReceived += got;
    if (mReceived > mLimits.replyBytes)
        throw ReplyBeyondBound(step, mLimits.replyBytes);
    return ec;
}

void Exchange::ReadFirstLine()
{
    for (;;) {
        const std::string_view data(static_cast<const char*>(mReply.data().data()), mReply.size());
        // A CR at the end of what was searched may pair with the next read's LF.
        if (data.find("\r\n", mSearchedForLineEnd) != std::string_view::npos)
            return;
        mSearchedForLineEnd = data.empty() ? 0 : data.size() - 1;
        if (const error_code ec = ReadOnce("read_until"))
            throw NetworkError("read_until", ec);
    }
}

bool Exchange::ReplyComplete() const
{
    // What the stream has not consumed yet: the headers after the status line, then the body.
    const std::string_view data(static_cast<const char*>(mReply.data().data()), mReply.size());
    static constexpr std::string_view kName = "content-length:";
    std::optional<std::size_t> length;
    for (std::size_t start = 0;;) {
        const std::size_t end = data.find('\n', start);
        if (end == std::string_view::npos)
            return false;
        const std::string_view line = data.substr(start, end - start);
        if (line.empty() || line == "\r")
            return length && data.size() - end - 1 >= *length;
        // Header names are case-insensitive.
        bool named = line.size() > kName.size();
        for (std::size_t i = 0; named && i < kName.size(); ++i)
            named = std::tolower(static_cast<unsigned char>(line[i])) == kName[i];
        if (named)
            length = std::strtoul(std::string(line.substr(kName.size())).c_str(), nullptr, 10);
        start = end + 1;
    }
}

void Exchange::ReadRest()
{
    try {
        while (!ReplyComplete() && !ReadOnce("read")) {
        }
    } catch (const NetworkError& e) {
        // A server that keeps the connection open after its reply must not turn the reply
        // into a failure: the deadline ends the reading, and what arrived is judged.
        if (e.code() != asio::error::timed_out)
            throw;
    }
}

} // namespace

NetworkError::NetworkError(const char* step, error_code code)
    : NetworkError(step, code, code.message())
{
}

NetworkError::NetworkError(const char* step, error_code code, const std::string& reason)
    : boost::system::system_error(code), mText(std::string(step) + ": " + reason)
{
}

NetworkError ReplyBeyondBound(const char* step, std::size_t limit)
{
    return NetworkError(step, asio::error::message_size,
                        "reply exceeds " + std::to_string(limit) + " bytes");
}

std::string PostReport(const std::string& host, const std::string& port, const ReportLimits& limits)
{
    Exchange exchange(limits);
    exchange.Connect(host, port);
    // The form is read from the record only once the connection stands.
    exchange.Send(ComposeReportRequest(host, port, BuildReportForm()));
    exchange.ReadFirstLine();
    return JudgeReply(exchange.Reply(), [&exchange] { exchange.ReadRest(); });
}
