#pragma once
// What the server counts for monitoring, read at /metrics in the Prometheus text format. Every
// count is an atomic: network and writer threads add to them without a lock.
#include "server/intake/report_decision.hpp"
#include "server/monitor/address_counts.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <string>

// Upper bounds (microseconds) of the commit latency histogram's buckets; one more counts the rest.
constexpr std::int64_t kCommitBucketMicros[] = {500,   1000,   2000,   5000,    10000,  20000,
                                                50000, 100000, 250000, 1000000, 5000000};
// Those of the request duration histogram: from a health check's half millisecond to a wrong
// key's second and an export of many seconds.
constexpr std::int64_t kRequestBucketMicros[] = {500,     1000,    2500,    5000,    10000,
                                                 25000,   50000,   100000,  250000,  500000,
                                                 1000000, 2500000, 5000000, 10000000};

// Durations by bucket (bounds given where it is counted and read) and their sum.
template <std::size_t Bounds> struct DurationHistogram {
    std::atomic<std::uint64_t> counts[Bounds + 1] = {};
    std::atomic<std::uint64_t> micros{0};
};

// What a request's duration is counted by: the routes the server answers, and the rest (unknown
// paths, wrong methods, requests refused before they were read) together.
enum class MeteredRoute { Report, Page, Export, Unknown, WrongKeys, Health, Metrics, Other };
constexpr std::size_t kMeteredRoutes = static_cast<std::size_t>(MeteredRoute::Other) + 1;

// The status codes the server answers with: their series are there, at 0, from the start, so a
// rate of 5xx answers is 0 instead of missing until the first one.
constexpr unsigned kAnsweredCodes[] = {200, 400, 401, 404, 405, 413, 429, 431, 500, 503};

struct ServerMetrics {
    std::atomic<std::uint64_t> decisions[4] = {};   // recorded, repeated, token, malformed
    std::atomic<std::uint64_t> responses[600] = {}; // by status code
    DurationHistogram<std::size(kRequestBucketMicros)> requests[kMeteredRoutes];
    DurationHistogram<std::size(kCommitBucketMicros)> commits; // transactions that stored
    std::atomic<std::uint64_t> storeFailures{0};
    // Wrong operator keys for the export: answered after their wait, or at once when too many
    // waited; and by address, for the operator's list (never a label: one series per address
    // would grow without bound and show clients' addresses to whoever reads the metrics).
    std::atomic<std::uint64_t> wrongKeysWaited{0}, wrongKeysAtOnce{0};
    AddressCounts wrongKeysByAddress;
    // Stored reports whose processor or adapter the tables in use do not hold, as last read
    // (-1 until then).
    std::atomic<std::int64_t> unratedProcessors{-1}, unratedAdapters{-1};
    std::atomic<std::uint64_t> tableReloadFailures{0}; // refused reloads of the score tables
    // The store's engine, "sqlite" or "postgresql", for the build information; set before the
    // server starts and only read after.
    std::string store;
};

void CountDecision(ServerMetrics& metrics, Decision decision);
// One reply sent: its status and the time from its request's headers to the reply sent.
void CountReply(ServerMetrics& metrics, MeteredRoute route, unsigned status,
                std::chrono::microseconds took);
// One committed transaction of the writers and how long it took.
void CountCommit(ServerMetrics& metrics, std::chrono::microseconds took);
void CountWrongKey(ServerMetrics& metrics, const std::string& address, bool waited);

// The exposition text, with the process's own figures (CPU, memory, descriptors, start) as they
// are now and vxm_build_info; the gauges are read by the caller at that moment.
std::string MetricsText(const ServerMetrics& metrics, std::size_t openConnections,
                        std::size_t wrongKeysWaiting);

// "address,wrong_keys" and a line for each address that sent a wrong key this hour, most first.
std::string WrongKeysCsv(const ServerMetrics& metrics);
