#pragma once
// The operator's key for the export: what a key must be, how a request gives it, how it is
// compared, and how long and how many wrong ones wait for their answer.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// A key is taken as a random text over the smallest alphabet that holds it, and must carry at
// least this much: 32 hex digits, 39 decimal digits, 25 lower-case letters and digits, or 22
// characters of a Bearer token (letters, digits, - . _ ~ + / and = at the end).
constexpr int kMinOperatorKeyBits = 128;

// Why the text cannot be the operator's key (for the operator, at start), or empty when it can.
std::string OperatorKeyFault(std::string_view key);

// The token of an "Authorization: Bearer TOKEN" value, the scheme in any case; empty for
// another scheme.
std::string BearerToken(std::string_view authorization);

// Compares without leaking through timing how much of the key matched; an empty key matches
// nothing.
bool SameKey(const std::string& given, const std::string& key);

// The key in a key file: its first line, without the line end.
std::string KeyFromFileText(const std::string& text);

// How long a wrong key waits for its 401, so guessing is slow; the right key never waits.
constexpr std::chrono::seconds kWrongKeyWait{1};

// How many wrong keys may wait for their answer at once, in all and from one address, so that
// guessers cannot hold every connection; one beyond that is answered at once.
constexpr std::size_t kWrongKeysWaiting = 64;
constexpr std::size_t kWrongKeysWaitingPerAddress = 4;
