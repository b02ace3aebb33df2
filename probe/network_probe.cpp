#include "probe/network_probe.hpp"

#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"

#include <boost/format.hpp>

#include <algorithm>

std::string MacText(const MacBytes& address)
{
    boost::format format("%02X-%02X-%02X-%02X-%02X-%02X");
    for (unsigned char byte : address)
        format % static_cast<unsigned>(byte);
    return format.str();
}

std::string RecordNetworkIdentity(const std::vector<NetworkAdapter>& adapters,
                                  const std::string& userName, const std::string& hostName)
{
    const auto chosen = std::find_if(adapters.begin(), adapters.end(), [](const NetworkAdapter& a) {
        return std::any_of(a.address.begin(), a.address.end(), [](unsigned char b) { return b; });
    });
    InfoRecord& info = MachineInfo();
    if (chosen == adapters.end()) {
        info[InfoKey::Mac] = "";
        info[InfoKey::AdapterName] = "";
        info[InfoKey::HostName] = "";
        return "";
    }
    const std::string mac = MacText(chosen->address);
    info[InfoKey::Mac] = mac;
    info[InfoKey::AdapterName] = chosen->name + chosen->description;
    info[InfoKey::HostName] = (boost::format("%s@%s") % userName % hostName).str();
    return mac;
}
