#include "probe/network_probe.hpp"

#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_library.hpp"

#include <winsock2.h>
#include <windows.h>

#include <iphlpapi.h>

#include <cstring>

namespace {

// Room for 16 adapter records; a machine with more is read again into what it asks for.
constexpr ULONG kAdapterBufferBytes = 10368;

std::vector<NetworkAdapter> ReadAdapters()
{
    std::vector<NetworkAdapter> adapters;
    const auto getAdaptersInfo =
        ProbeFunction<decltype(GetAdaptersInfo)>("iphlpapi.dll", "GetAdaptersInfo");
    if (!getAdaptersInfo)
        return adapters;
    std::vector<IP_ADAPTER_INFO> buffer;
    ULONG length = kAdapterBufferBytes;
    DWORD result;
    // The list may grow between the calls, so ask until it fits.
    do {
        buffer.resize((length + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO));
        length = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
        result = getAdaptersInfo(buffer.data(), &length);
    } while (result == ERROR_BUFFER_OVERFLOW);

    if (result != ERROR_SUCCESS)
        return adapters;
    for (const IP_ADAPTER_INFO* record = buffer.data(); record; record = record->Next) {
        NetworkAdapter adapter;
        std::memcpy(adapter.address.data(), record->Address, adapter.address.size());
        adapter.name = record->AdapterName;
        adapter.description = record->Description;
        adapters.push_back(adapter);
    }
    return adapters;
}

std::string HostName()
{
    char name[256];
    return gethostname(name, sizeof name) == 0 ? name : "";
}

std::string UserName()
{
    char name[256];
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? name : "";
}

} // namespace

std::string GetMacAddress()
{
    InfoRecord& info = MachineInfo();
    // Queried once per process: later runs report what the first one found.
    if (info.count(InfoKey::Mac))
        return info[InfoKey::Mac];
    return RecordNetworkIdentity(ReadAdapters(), UserName(), HostName());
}
