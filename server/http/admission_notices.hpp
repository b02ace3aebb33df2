#pragma once
// What admission says: the 503 a newcomer gets when no slot can be made for it, and the lines on
// standard error about connections closed without a reply.
#include <boost/asio/ip/tcp.hpp>

#include <cstddef>
#include <string_view>

// Writes a short 503 if the socket takes it at once, then closes it; returns the bytes sent.
std::size_t RefuseBusy(boost::asio::ip::tcp::socket& socket);

// "connection closed: PEER: WHY" on standard error, at most kClosedLinesPerSecond a second: an
// attacker's thousands of sockets must not flood the log.
constexpr int kClosedLinesPerSecond = 20;
void SayClosed(std::string_view peer, std::string_view why);
