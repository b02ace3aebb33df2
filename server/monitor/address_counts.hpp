#pragma once
// Counts by client address over the current hour, to show who does something most (sends wrong
// operator keys, say). Bounded however many addresses there are: beyond `maxAddresses` in an
// hour, newcomers are not counted by address.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class AddressCounts {
  public:
    using Clock = std::chrono::steady_clock;
    explicit AddressCounts(std::size_t maxAddresses = 10000) : mMaxAddresses(maxAddresses) {}
    void Add(const std::string& address, Clock::time_point now);

    struct Reading {
        std::size_t addresses = 0;                               // counted this hour
        std::vector<std::pair<std::string, std::uint64_t>> most; // the top ones, most first
    };
    Reading Read(std::size_t top) const;

  private:
    const std::size_t mMaxAddresses;
    mutable std::mutex mMutex;
    Clock::time_point mHourStart;
    std::unordered_map<std::string, std::uint64_t> mCounts;
};
