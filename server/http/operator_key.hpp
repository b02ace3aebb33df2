#pragma once
// The operator's key for the export: how a request gives it, how it is compared, and how tries
// from one address are slowed after a wrong one.
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// A shorter key could be guessed: the server refuses to start with one.
constexpr std::size_t kMinOperatorKeyLength = 16;

// The token of an "Authorization: Bearer TOKEN" value, the scheme in any case; empty for
// another scheme.
std::string BearerToken(std::string_view authorization);

// Compares without leaking through timing how much of the key matched; an empty key matches
// nothing.
bool SameKey(const std::string& given, const std::string& key);

// The key in a key file: its first line, without the line end.
std::string KeyFromFileText(const std::string& text);

// After each wrong key an address waits before its next try: 1 s, doubling up to a minute.
// At most maxRecords addresses are remembered, however many send wrong keys.
class KeyAttempts {
  public:
    using Clock = std::chrono::steady_clock;
    explicit KeyAttempts(std::size_t maxRecords = 10000) : maxRecords_(maxRecords) {}
    // How long the address must still wait (zero: it may try now).
    Clock::duration Wait(const std::string& address, Clock::time_point now);
    void Failed(const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& address);

  private:
    struct Record {
        int failures = 0;
        Clock::time_point next;
    };
    const std::size_t maxRecords_;
    std::mutex mutex_;
    std::unordered_map<std::string, Record> records_;
};
