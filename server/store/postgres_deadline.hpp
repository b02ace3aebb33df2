#pragma once
// PostgreSQL within deadlines. A database whose processes are stopped still has its kernel
// accept connections and acknowledge every byte: TCP keep-alive and user timeouts never fire,
// and its own statement_timeout runs in the stopped process. So every answer is waited for here,
// on the client's clock, and a database that does not answer in time is given up (its connection
// shut) with StoreUnavailable.
#include "server/store/report_store.hpp"

#include <libpq-fe.h>

#include <chrono>
#include <string>

// How long one answer of the database is waited for.
constexpr std::chrono::milliseconds kPostgresAnswerWait{4000};
// The connection's own bounds, below the program's 20 s for a whole reply: the connection within
// 2 s, a dead peer found by keep-alive within 9 s (5 + 2 x 2) and by unacknowledged data within
// 5 s, a statement ended by the database after 5 s.
constexpr const char* kPostgresConnectTimeout = "2";
constexpr const char* kPostgresStatementTimeoutMs = "5000";

// Connects to the URL with the bounds above as defaults (a parameter the URL gives wins) in
// non-blocking mode; the connection's status tells whether it succeeded.
PGconn* ConnectPostgres(const std::string& url);

// The next result of what was sent (null at the end of one statement's results), once it can be
// read without blocking; by `by` or the connection is shut and StoreUnavailable thrown.
PGresult* NextResult(PGconn* conn, std::chrono::steady_clock::time_point by);

// How long this thread waits for an answer now: kPostgresAnswerWait, or without end inside a
// PatientAnswers scope.
std::chrono::milliseconds AnswerWait();

// While it lives, this thread waits for answers as long as they take: the server's start waits
// for its store connections (a pool in front may hand one out only later) and says so.
class PatientAnswers {
  public:
    PatientAnswers();
    ~PatientAnswers();
    PatientAnswers(const PatientAnswers&) = delete;
    PatientAnswers& operator=(const PatientAnswers&) = delete;

  private:
    std::chrono::milliseconds mBefore;
};

// The outcome of one statement sent (PQexec's: its first failure, else its last result).
PGresult* LastResult(PGconn* conn,
                     std::chrono::steady_clock::time_point by = std::chrono::steady_clock::now() +
                                                                AnswerWait());
