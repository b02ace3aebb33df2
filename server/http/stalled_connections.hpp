#pragma once
// Connections waiting for a request (idle between requests, or receiving one), oldest first: when
// the server or an address is at its limit, the one that has waited longest is closed to make
// room for a newcomer, so idle and trickling sockets cannot keep a real report out. One that has
// waited less than kMinEvictableWait is left alone: a client that has just connected, or is
// sending its request at an honest pace, is not the newcomer's victim.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

constexpr std::chrono::milliseconds kMinEvictableWait{500};

class StalledConnections {
  public:
    using Id = std::uint64_t; // 0: none
    // A connection from `address` begins to wait; `evict` closes it (from any thread).
    Id Add(std::string address, std::function<void()> evict);
    // It has stopped waiting (its request arrived, or it closes); 0 is ignored.
    void Remove(Id id);
    // Closes the connection that has waited longest, from `address` unless it is empty; false
    // when none has waited kMinEvictableWait by `now`.
    bool EvictOldest(const std::string& address,
                     std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

  private:
    struct Entry {
        std::string address;
        std::chrono::steady_clock::time_point since;
        std::function<void()> evict;
    };
    std::mutex mutex_;
    Id next_ = 1;
    std::map<Id, Entry> waiting_; // ids rise: the first waited longest
};
