#pragma once
// Network identity probe. GetMacAddress queries the adapters and names once per process
// (network_probe_win.cpp); the rest is platform-free formatting into the record.
#include <array>
#include <string>
#include <vector>

std::string GetMacAddress();

using MacBytes = std::array<unsigned char, 6>;

// What the probe keeps of one network adapter, in platform order.
struct NetworkAdapter {
    MacBytes address{}; // the first six bytes, whatever length the adapter reports
    std::string name;
    std::string description;
};

// "%02X-%02X-%02X-%02X-%02X-%02X".
std::string MacText(const MacBytes& address);

// Writes "Mac", "AdapterName" and "HostName" for the first adapter with a non-zero address and
// returns the MAC text. Without such an adapter all three are written empty and the result is
// empty, so the record still holds "Mac" and later runs do not query again.
std::string RecordNetworkIdentity(const std::vector<NetworkAdapter>& adapters,
                                  const std::string& userName, const std::string& hostName);
