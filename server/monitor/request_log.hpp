#pragma once
// The server's log of requests: one line per request on standard output (its own events go to
// standard error, event_log.hpp).
// Nothing private goes into a request line beyond the peer's address: no query (it may hold the
// operator key), no account, MAC or name.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct RequestLogEntry {
    std::chrono::system_clock::time_point at; // when the reply was sent
    std::string_view peer, method;
    std::string_view path; // the target without scheme, authority and query (they may hold keys)
    unsigned status = 0;
    std::string_view decision; // a report's decision, or empty
    std::uint64_t bytes = 0;   // sent
    std::int64_t micros = 0;   // from the request's arrival to its reply sent
};

// One request's line, made on the stack: every request writes one, and the longest fits.
struct LogLine {
    char text[1280];
    std::size_t size = 0;
    std::string_view View() const { return {text, size}; }
};

// "time=2026-12-07T18:51:25.123456Z peer=... method=POST path=/x status=200 decision=recorded
// bytes=123 us=456": control characters, blanks, quotes and bytes outside ASCII in the path are
// %-escaped and a long path is cut, so a request cannot forge or garble a line.
LogLine RequestLogLine(const RequestLogEntry& entry);

// "2026-12-07T18:51:25.123456Z", the time of every log line.
LogLine UtcMicros(std::chrono::system_clock::time_point at);

// Writes request lines, each with its line end, in the order given, from a thread of its own:
// a request never waits for the log (a buffered write to a file on the database's disk waited
// for the database's syncs, and a full pipe would hold up every request). Lines given while
// more than a megabyte waits are dropped, and their number is logged on standard error. When a
// write fails (a pipe whose reader is gone), that is said once on standard error and the lines
// go nowhere from then on.
class RequestLogWriter {
  public:
    explicit RequestLogWriter(int fd); // -1: the lines go nowhere
    // Writes what waits, then ends the thread.
    ~RequestLogWriter();
    RequestLogWriter(const RequestLogWriter&) = delete;
    RequestLogWriter& operator=(const RequestLogWriter&) = delete;

    void Write(std::string_view line);

  private:
    void Run();

    const int mFd;
    std::mutex mMutex;
    std::condition_variable mWake;
    std::string mWaiting;
    std::uint64_t mDropped = 0;
    bool mStopping = false;
    bool mFailed = false; // a write failed: nothing more is written
    std::thread mThread;
};
