#pragma once
// The time as the Date header writes it.
#include <ctime>
#include <string_view>

// "Tue, 08 Dec 2026 02:13:00 GMT" for `when`.
std::string_view HttpDateOf(std::time_t when, char (&text)[32]);

// The time now, formatted once a second per thread (every reply carries it); valid on this
// thread until the next call.
std::string_view HttpDate();
