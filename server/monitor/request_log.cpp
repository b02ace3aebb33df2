#include "server/monitor/request_log.hpp"

#include "common/hex_digit.hpp"
#include "server/monitor/event_log.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iterator>

namespace {

constexpr std::size_t kMaxLoggedPath = 256;
constexpr std::size_t kMaxWaiting = 1 << 20;
constexpr std::chrono::milliseconds kGathering{20};

// Writes the whole text; 0, or the error that stopped it (the log must not stop the server).
int WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

void Put(LogLine& line, std::string_view text)
{
    const std::size_t n = std::min(text.size(), sizeof line.text - line.size);
    std::memcpy(line.text + line.size, text.data(), n);
    line.size += n;
}

void PutChar(LogLine& line, char c)
{
    if (line.size < sizeof line.text)
        line.text[line.size++] = c;
}

// At least `width` digits, with leading zeros.
void PutNumber(LogLine& line, std::uint64_t value, int width = 1)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 || n < width);
    while (n > 0)
        PutChar(line, digits[--n]);
}

void PutEscaped(LogLine& line, std::string_view text, std::size_t limit)
{
    if (text.empty())
        return PutChar(line, '-');
    // `limit` bounds what is written, escapes included: hostile bytes cannot triple a line.
    std::size_t written = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = byte > 0x20 && byte < 0x7F && c != '"' && c != '%' && c != '\\';
        written += plain ? 1 : 3;
        if (written > limit)
            return Put(line, "...");
        if (plain) {
            PutChar(line, c);
        } else {
            PutChar(line, '%');
            PutChar(line, UpperHexDigit(byte >> 4));
            PutChar(line, UpperHexDigit(byte));
        }
    }
}

} // namespace

LogLine UtcMicros(std::chrono::system_clock::time_point at)
{
    LogLine line;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    const int fields[] = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    const char after[] = "--T::.";
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        PutNumber(line, static_cast<std::uint64_t>(std::max(fields[i], 0)), i ? 2 : 4);
        PutChar(line, after[i]);
    }
    PutNumber(line, static_cast<std::uint64_t>(micros % 1000000), 6);
    PutChar(line, 'Z');
    return line;
}

LogLine RequestLogLine(const RequestLogEntry& entry)
{
    LogLine line;
    Put(line, "time=");
    Put(line, UtcMicros(entry.at).View());
    Put(line, " peer=");
    PutEscaped(line, entry.peer, 64);
    Put(line, " method=");
    PutEscaped(line, entry.method, 16);
    Put(line, " path=");
    PutEscaped(line, entry.path, kMaxLoggedPath);
    Put(line, " status=");
    PutNumber(line, entry.status);
    Put(line, " decision=");
    Put(line, entry.decision.empty() ? "-" : entry.decision);
    Put(line, " bytes=");
    PutNumber(line, entry.bytes);
    Put(line, " us=");
    PutNumber(line, static_cast<std::uint64_t>(std::max<std::int64_t>(entry.micros, 0)));
    return line;
}

RequestLogWriter::RequestLogWriter(int fd) : mFd(fd)
{
    if (mFd >= 0)
        mThread = std::thread([this] { Run(); });
}

RequestLogWriter::~RequestLogWriter()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mWake.notify_one();
    if (mThread.joinable())
        mThread.join();
}

void RequestLogWriter::Write(std::string_view line)
{
    if (mFd < 0)
        return;
    bool wasIdle = false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mFailed)
            return;
        if (mWaiting.size() + line.size() >= kMaxWaiting) {
            ++mDropped;
            return;
        }
        wasIdle = mWaiting.empty();
        mWaiting += line;
        mWaiting += '\n';
    }
    // Otherwise the thread is writing, and takes these lines when it is done.
    if (wasIdle)
        mWake.notify_one();
}

void RequestLogWriter::Run()
{
    std::string writing;
    for (;;) {
        std::uint64_t dropped = 0;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mWake.wait(lock, [this] { return mStopping || !mWaiting.empty(); });
            if (mWaiting.empty())
                return;
            // Lines gather a moment, so that one write (and one wake of this thread) serves many.
            mWake.wait_for(lock, kGathering, [this] { return mStopping; });
            writing.swap(mWaiting);
            std::swap(dropped, mDropped);
        }
        if (const int error = WriteAll(mFd, writing)) {
            LogFailure("request log", "writing failed, no more request lines are written",
                       std::strerror(error));
            std::lock_guard<std::mutex> lock(mMutex);
            mFailed = true;
            mWaiting.clear();
            return;
        }
        writing.clear();
        if (dropped > 0)
            LogFailure("request log", std::to_string(dropped) + " lines dropped",
                       "the log was not taken as fast as requests came");
    }
}
