#include "server/monitor/event_log.hpp"

#include "server/monitor/request_log.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

struct KindLevel {
    std::string_view kind;
    LogLevel level;
};
constexpr KindLevel kLevels[] = {
    {"store failure", LogLevel::Error},      {"unhandled fault", LogLevel::Error},
    {"connection fault", LogLevel::Warning}, {"operator key refused", LogLevel::Warning},
    {"request log", LogLevel::Warning},      {"service notify", LogLevel::Error},
    {"connection closed", LogLevel::Info},   {"schema upgrade", LogLevel::Notice},
    {"store files", LogLevel::Warning},      {"store retry", LogLevel::Warning},
    {"store wait", LogLevel::Warning},       {"score tables", LogLevel::Notice},
    {"read database", LogLevel::Notice},
};

const char* LevelName(LogLevel level)
{
    switch (level) {
    case LogLevel::Error:
        return "error";
    case LogLevel::Warning:
        return "warning";
    case LogLevel::Notice:
        return "notice";
    case LogLevel::Info:
        break;
    }
    return "info";
}

// A logfmt value: bare when it is one plain word, else quoted with its quotes and backslashes
// escaped. Line ends and other control bytes become blanks: a database's message may span lines,
// and the log keeps one line per event.
void PutValue(std::string& line, std::string_view value)
{
    bool bare = !value.empty();
    for (const char c : value)
        bare = bare && static_cast<unsigned char>(c) > 0x20 && c != '"' && c != '=' && c != '\\' &&
               c != 0x7F;
    if (bare) {
        line += value;
        return;
    }
    line += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\')
            line += '\\';
        line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    line += '"';
}

} // namespace

LogLevel LevelOf(std::string_view kind)
{
    for (const KindLevel& known : kLevels) {
        if (known.kind == kind)
            return known.level;
    }
    return LogLevel::Error;
}

std::string EventLine(std::chrono::system_clock::time_point at, LogLevel level,
                      std::string_view kind, std::string_view what, std::string_view reason,
                      bool journal)
{
    std::string line;
    if (journal)
        line = "<" + std::to_string(static_cast<int>(level)) + ">";
    line += "time=";
    line += UtcMicros(at).View();
    line += " level=";
    line += LevelName(level);
    line += " event=";
    PutValue(line, kind);
    line += " what=";
    PutValue(line, what);
    line += " reason=";
    PutValue(line, reason);
    return line;
}

bool StderrIsJournal()
{
    const char* stream = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    struct stat status {};
    return stream && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
           fstat(STDERR_FILENO, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

void LogFailure(std::string_view kind, std::string_view what, std::string_view reason)
{
    static const bool journal = StderrIsJournal();
    const std::string line =
        EventLine(std::chrono::system_clock::now(), LevelOf(kind), kind, what, reason, journal) +
        "\n";
    // One write a line, so that lines from several threads never interleave; a failed write
    // (a closed pipe) is let go: the log must not stop the server.
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

void LogNotice(std::string_view kind, std::string_view what, std::string_view detail)
{
    LogFailure(kind, what, detail);
}

void LogStoreFailure(std::string_view what, std::string_view reason)
{
    LogFailure("store failure", what, reason);
}
