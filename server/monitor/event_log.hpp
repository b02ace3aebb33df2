#pragma once
// The server's own events on standard error, one logfmt line each, as the request lines are:
// time=2026-12-07T18:51:25.123456Z level=error event="store failure" what="storing 3 reports"
// reason="database is locked". Under systemd (JOURNAL_STREAM names standard error) each line
// starts with its priority, "<3>" for an error, so that journalctl -p err finds store failures.
#include <chrono>
#include <string>
#include <string_view>

enum class LogLevel { Error = 3, Warning = 4, Notice = 5, Info = 6 };

// How bad an event of this kind is: store failures and unhandled faults are errors, a faulty
// connection, a refused operator key, the request log's trouble and a store file open to others
// warnings, a schema upgrade's steps, the score tables read and the read database notices, a
// connection closed at its deadline or for a newcomer information; any other kind an error.
LogLevel LevelOf(std::string_view kind);

// The line of one event, without its line end; `journal` puts the priority in front.
std::string EventLine(std::chrono::system_clock::time_point at, LogLevel level,
                      std::string_view kind, std::string_view what, std::string_view reason,
                      bool journal);

// Whether standard error is the journal's stream (JOURNAL_STREAM holds its device and inode).
bool StderrIsJournal();

// The event's line, at its kind's level, on standard error.
void LogFailure(std::string_view kind, std::string_view what, std::string_view reason);

// An event that is no failure (an upgrade's step, a mode corrected), at its kind's level, in the
// same line.
void LogNotice(std::string_view kind, std::string_view what, std::string_view detail);

// A store failure: an error.
void LogStoreFailure(std::string_view what, std::string_view reason);
