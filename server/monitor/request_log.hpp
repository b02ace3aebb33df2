#pragma once
// The server's log: one line per request on standard output, store failures on standard error.
// Nothing private goes into a request line beyond the peer's address: no query (it may hold the
// operator key), no account, MAC or name.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct RequestLogEntry {
    std::chrono::system_clock::time_point at; // when the reply was sent
    std::string_view peer, method;
    std::string_view path; // the target without scheme, authority and query (they may hold keys)
    unsigned status = 0;
    std::string_view decision; // a report's decision, or empty
    std::uint64_t bytes = 0;   // sent
    std::int64_t micros = 0;   // from the request's arrival to its reply sent
};

// "time=2026-12-07T18:51:25.123456Z peer=... method=POST path=/x status=200 decision=recorded
// bytes=123 us=456": control characters, blanks, quotes and bytes outside ASCII in the path are
// %-escaped and a long path is cut, so a request cannot forge or garble a line.
std::string RequestLogLine(const RequestLogEntry& entry);

// Writes the line and a line end in one call, so lines from several threads never interleave.
void WriteLogLine(int fd, std::string line);

// "<kind>: <what>: <reason>" on standard error, as one line.
void LogFailure(std::string_view kind, std::string_view what, std::string_view reason);

// "store failure: <what>: <reason>" on standard error.
void LogStoreFailure(std::string_view what, std::string_view reason);
