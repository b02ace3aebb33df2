#include "probe/graphics_probe.hpp"

#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_format.hpp"
#include "common/trim_spaces.hpp"

#include <boost/format.hpp>

namespace {

std::string VideoMegabytes(std::uint32_t bytes)
{
    // Widened to double first; that holds every 32-bit count exactly, so only the float rounds.
    return MegabyteText(static_cast<float>(static_cast<double>(bytes)));
}

} // namespace

std::string DriverVersionText(std::uint32_t high, std::uint32_t low)
{
    return (boost::format("%d.%d.%d.%d") % (static_cast<std::int32_t>(high) >> 16) %
            (high & 0xFFFF) % (low >> 16) % (low & 0xFFFF))
        .str();
}

bool RecordGpuList(const std::vector<AdapterIdentity>& adapters)
{
    InfoRecord& info = MachineInfo();
    std::string list;
    for (const AdapterIdentity& adapter : adapters)
        list += TrimSpaces(adapter.description) + " " +
                DriverVersionText(adapter.driverHigh, adapter.driverLow) + ";";
    info[InfoKey::GPUs] = list;
    if (adapters.empty())
        return false;
    const AdapterIdentity& first = adapters.front();
    info[InfoKey::GPU] = TrimSpaces(first.description);
    info[InfoKey::GPUDriver] = DriverVersionText(first.driverHigh, first.driverLow);
    return true;
}

void RecordVideoMemory(std::uint32_t localBytes, std::uint32_t totalBytes)
{
    InfoRecord& info = MachineInfo();
    info[InfoKey::LocalVideoMem] = VideoMegabytes(localBytes);
    info[InfoKey::TotalVideoMem] = VideoMegabytes(totalBytes);
}
