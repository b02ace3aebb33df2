#pragma once
// What the server counts for monitoring, read at /metrics in the Prometheus text format. Every
// count is an atomic: network and writer threads add to them without a lock.
#include "server/intake/report_decision.hpp"
#include "server/monitor/address_counts.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// Upper bounds (microseconds) of the commit latency histogram's buckets; one more counts the rest.
constexpr std::int64_t kCommitBucketMicros[] = {500,   1000,   2000,   5000,    10000,  20000,
                                                50000, 100000, 250000, 1000000, 5000000};
constexpr std::size_t kCommitBuckets = std::size(kCommitBucketMicros) + 1;

struct ServerMetrics {
    std::atomic<std::uint64_t> decisions[4] = {};            // recorded, repeated, token, malformed
    std::atomic<std::uint64_t> responses[600] = {};          // by status code
    std::atomic<std::uint64_t> commits[kCommitBuckets] = {}; // transactions by latency bucket
    std::atomic<std::uint64_t> commitMicros{0};
    std::atomic<std::uint64_t> storeFailures{0};
    // Wrong operator keys for the export: answered after their wait, or at once when too many
    // waited; and by address.
    std::atomic<std::uint64_t> wrongKeysWaited{0}, wrongKeysAtOnce{0};
    AddressCounts wrongKeysByAddress;
    // The store's engine, "sqlite" or "postgresql", for the build information; set before the
    // server starts and only read after.
    std::string store;
};

void CountDecision(ServerMetrics& metrics, Decision decision);
void CountResponse(ServerMetrics& metrics, unsigned status);
// One committed transaction of the writers and how long it took.
void CountCommit(ServerMetrics& metrics, std::chrono::microseconds took);
void CountWrongKey(ServerMetrics& metrics, const std::string& address, bool waited);

// The exposition text, with the process's own figures (CPU, memory, descriptors, start) as they
// are now and vxm_build_info; the gauges are read by the caller at that moment.
std::string MetricsText(const ServerMetrics& metrics, std::size_t openConnections,
                        std::size_t wrongKeysWaiting);
