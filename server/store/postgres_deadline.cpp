#include "server/store/postgres_deadline.hpp"

#include <poll.h>
#include <sys/socket.h>

namespace {

thread_local std::chrono::milliseconds answerWait = kPostgresAnswerWait;

[[noreturn]] void GiveUp(PGconn* conn)
{
    // Shut, the socket fails every further use, and libpq marks the connection bad.
    shutdown(PQsocket(conn), SHUT_RDWR);
    PQconsumeInput(conn);
    throw StoreUnavailable("postgresql: no answer within " +
                           std::to_string(kPostgresAnswerWait.count() / 1000) + " s");
}

// Waits for the socket to become ready for `events` until `by`; false when the time is up.
bool Ready(PGconn* conn, short events, std::chrono::steady_clock::time_point by)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              by - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        pollfd socket{PQsocket(conn), events, 0};
        const int ready = poll(&socket, 1, static_cast<int>(left));
        if (ready != 0)
            return true; // ready, or an error libpq will report
    }
}

} // namespace

std::chrono::milliseconds AnswerWait()
{
    return answerWait;
}

PatientAnswers::PatientAnswers() : mBefore(answerWait)
{
    answerWait = std::chrono::hours(24 * 365);
}

PatientAnswers::~PatientAnswers()
{
    answerWait = mBefore;
}

PGconn* ConnectPostgres(const std::string& url)
{
    // The URL comes last: what it sets overrides these.
    const char* keys[] = {
        "connect_timeout",  "keepalives",       "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "dbname",          nullptr};
    const char* values[] = {
        kPostgresConnectTimeout, "1", "5", "2", "2", "5000", url.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn) == CONNECTION_OK)
        PQsetnonblocking(conn, 1);
    return conn;
}

PGresult* NextResult(PGconn* conn, std::chrono::steady_clock::time_point by)
{
    if (PQstatus(conn) != CONNECTION_OK)
        return PQgetResult(conn);
    // What is still queued for the database first, then its answer.
    for (int flushed; (flushed = PQflush(conn)) != 0;) {
        if (flushed < 0 || !Ready(conn, POLLOUT | POLLIN, by))
            GiveUp(conn);
        PQconsumeInput(conn);
    }
    while (PQisBusy(conn)) {
        if (!Ready(conn, POLLIN, by))
            GiveUp(conn);
        if (!PQconsumeInput(conn))
            break; // broken: PQgetResult says so
    }
    return PQgetResult(conn);
}

PGresult* LastResult(PGconn* conn, std::chrono::steady_clock::time_point by)
{
    PGresult* kept = nullptr;
    while (PGresult* next = NextResult(conn, by)) {
        const ExecStatusType status = kept ? PQresultStatus(kept) : PGRES_COMMAND_OK;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            PQclear(next); // the first failure is the outcome
            continue;
        }
        PQclear(kept);
        kept = next;
    }
    return kept;
}
