#pragma once
// The process's open-file limit against the connections it may hold: without room for all of
// them, accepting fails before the connection limit is reached and no client is ever told 503.
#include <cstdint>
#include <optional>
#include <string>

// Descriptors the server needs beside its connections: standard streams, the listener, the
// store's connections and files, an export's temporary file, connections refused with 503.
constexpr std::uint64_t kSpareDescriptors = 64;

// The soft limit to set so that `needed` descriptors fit (the current one when it does), or
// nullopt when the hard limit is below `needed`.
std::optional<std::uint64_t> SoftLimitFor(std::uint64_t needed, std::uint64_t soft,
                                          std::uint64_t hard);

// What the server says when the hard limit is below what --max-connections needs.
std::string OpenFileLimitFault(std::uint64_t maxConnections, std::uint64_t needed,
                               std::uint64_t hard);

// Raises the soft limit when `maxConnections`, the store's connections and the spare
// descriptors do not fit; throws std::runtime_error saying what to change when the hard limit
// does not allow them.
void EnsureOpenFileLimit(std::uint64_t maxConnections, std::uint64_t storeConnections);
