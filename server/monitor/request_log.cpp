#include "server/monitor/request_log.hpp"

#include "common/hex_digit.hpp"

#include <unistd.h>

#include <ctime>

namespace {

constexpr std::size_t kMaxLoggedPath = 256;

std::string Escaped(std::string_view text, std::size_t limit)
{
    std::string out;
    for (const char c : text.substr(0, limit)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && c != '"' && c != '%' && c != '\\') {
            out += c;
        } else {
            out += '%';
            out += UpperHexDigit(byte >> 4);
            out += UpperHexDigit(byte);
        }
    }
    if (text.size() > limit)
        out += "...";
    return out.empty() ? "-" : out;
}

std::string UtcMicrosText(std::chrono::system_clock::time_point at)
{
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[48];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + n, sizeof text - n, ".%06lldZ", static_cast<long long>(micros % 1000000));
    return text;
}

} // namespace

std::string RequestLogLine(const RequestLogEntry& entry)
{
    return "time=" + UtcMicrosText(entry.at) + " peer=" + Escaped(entry.peer, 64) +
           " method=" + Escaped(entry.method, 16) + " path=" + Escaped(entry.path, kMaxLoggedPath) +
           " status=" + std::to_string(entry.status) +
           " decision=" + (entry.decision.empty() ? "-" : std::string(entry.decision)) +
           " bytes=" + std::to_string(entry.bytes) + " us=" + std::to_string(entry.micros);
}

void WriteLogLine(int fd, std::string line)
{
    line += '\n';
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n <= 0)
            return; // a log that cannot be written must not stop the server
        written += static_cast<std::size_t>(n);
    }
}

void LogFailure(std::string_view kind, std::string_view what, std::string_view reason)
{
    std::string line = std::string(kind) + ": " + std::string(what) + ": " + std::string(reason);
    // The database's messages may span lines; the log keeps one line per failure.
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    WriteLogLine(STDERR_FILENO, std::move(line));
}

void LogStoreFailure(std::string_view what, std::string_view reason)
{
    LogFailure("store failure", what, reason);
}
