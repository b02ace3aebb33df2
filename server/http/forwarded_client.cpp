#include "server/http/forwarded_client.hpp"

#include "common/decimal.hpp"

#include <string>

namespace ip = boost::asio::ip;

namespace {

// IPv4 peers of a dual-stack socket come as ::ffff:a.b.c.d: compared and kept as IPv4.
ip::address Plain(const ip::address& address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return ip::make_address_v4(ip::v4_mapped, address.to_v6());
    return address;
}

std::optional<ip::address> AddressOf(std::string_view text)
{
    // The parser below stops at a NUL and takes scope names: only plain addresses pass.
    if (text.find_first_not_of("0123456789abcdefABCDEF.:") != std::string_view::npos)
        return std::nullopt;
    boost::system::error_code ec;
    const ip::address address = ip::make_address(std::string(text), ec);
    if (ec)
        return std::nullopt;
    return Plain(address);
}

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Calls `each` with every comma-separated entry of the text, trimmed; false as soon as it does.
template <typename Each> bool ForEachEntry(std::string_view text, const Each& each)
{
    for (;;) {
        const auto comma = text.find(',');
        if (!each(Trimmed(text.substr(0, comma))))
            return false;
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

bool InRange(const AddressRange& range, const ip::address& address)
{
    if (range.address.is_v4() != address.is_v4())
        return false;
    const auto bytes = [](const ip::address& a) {
        std::array<unsigned char, 16> out{};
        if (a.is_v4()) {
            const auto v4 = a.to_v4().to_bytes();
            std::copy(v4.begin(), v4.end(), out.begin());
        } else
            out = a.to_v6().to_bytes();
        return out;
    };
    const auto want = bytes(range.address), have = bytes(address);
    for (unsigned bit = 0; bit < range.bits; ++bit) {
        const unsigned char mask = static_cast<unsigned char>(0x80 >> (bit % 8));
        if ((want[bit / 8] & mask) != (have[bit / 8] & mask))
            return false;
    }
    return true;
}

} // namespace

std::optional<TrustedProxies> ParseTrustedProxies(std::string_view text)
{
    TrustedProxies proxies;
    if (Trimmed(text).empty())
        return proxies;
    const bool parsed = ForEachEntry(text, [&](std::string_view entry) {
        const auto slash = entry.find('/');
        const auto address = AddressOf(entry.substr(0, slash));
        if (!address)
            return false;
        const unsigned width = address->is_v4() ? 32 : 128;
        AddressRange range{*address, width};
        if (slash != std::string_view::npos) {
            const auto bits = ParseDecimal<unsigned>(entry.substr(slash + 1));
            if (!bits || *bits > width)
                return false;
            range.bits = *bits;
        }
        proxies.push_back(range);
        return true;
    });
    return parsed ? std::optional<TrustedProxies>(std::move(proxies)) : std::nullopt;
}

bool IsTrustedProxy(const TrustedProxies& proxies, const ip::address& peer)
{
    const ip::address plain = Plain(peer);
    for (const AddressRange& range : proxies)
        if (InRange(range, plain))
            return true;
    return false;
}

std::optional<ip::address> ForwardedClient(const TrustedProxies& proxies, const ip::address& peer,
                                           const std::vector<std::string_view>& forwardedFor)
{
    if (!IsTrustedProxy(proxies, peer))
        return Plain(peer);
    std::vector<ip::address> chain;
    for (const std::string_view value : forwardedFor) {
        const bool parsed = ForEachEntry(value, [&](std::string_view entry) {
            const auto address = AddressOf(entry);
            if (address)
                chain.push_back(*address);
            return address.has_value();
        });
        if (!parsed)
            return std::nullopt;
    }
    for (auto hop = chain.rbegin(); hop != chain.rend(); ++hop)
        if (!IsTrustedProxy(proxies, *hop))
            return *hop;
    return chain.empty() ? Plain(peer) : chain.front();
}
