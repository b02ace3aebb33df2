#pragma once
// Behind a TLS proxy every connection comes from the proxy: the client's address is read from the
// X-Forwarded-For header of a request whose peer is a trusted proxy, and from no other request.
#include <boost/asio/ip/address.hpp>

#include <optional>
#include <string_view>
#include <vector>

// An address and how many of its leading bits a peer must share with it.
struct AddressRange {
    boost::asio::ip::address address;
    unsigned bits = 0;
};
using TrustedProxies = std::vector<AddressRange>;

// "ADDRESS[/BITS][,...]" (IPv4 or IPv6; without bits, the address alone); nullopt when an entry
// is not an address or asks for more bits than its address has.
std::optional<TrustedProxies> ParseTrustedProxies(std::string_view text);

bool IsTrustedProxy(const TrustedProxies& proxies, const boost::asio::ip::address& peer);

// The client behind a request from `peer` with these X-Forwarded-For values, in the order they
// came: the peer itself unless it is a trusted proxy; else, reading the addresses from the
// right, the first that is not a trusted proxy (the left-most when all are; the peer when there
// is none). nullopt when a trusted peer sent an entry that is not an address.
std::optional<boost::asio::ip::address>
ForwardedClient(const TrustedProxies& proxies, const boost::asio::ip::address& peer,
                const std::vector<std::string_view>& forwardedFor);
