#include "probe/probe_run.hpp"

#include "probe/graphics_probe.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/network_probe.hpp"
#include "probe/probe_summary.hpp"
#include "probe/run_counter.hpp"
#include "probe/software_probe.hpp"
#include "probe/system_probe.hpp"

#include <chrono>

namespace {

// Runs one probe and tells the observer, if any, how long it took.
template <class Probe> auto Timed(const ProbeObserver& observe, const char* name, Probe probe)
{
    const auto start = std::chrono::steady_clock::now();
    auto result = probe();
    if (observe)
        observe(name,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
    return result;
}

} // namespace

std::string GetProbeSummary(const ProbeObserver& observe)
{
    // The order is part of the record's history: each probe sees what the earlier ones wrote.
    ProbeTexts texts;
    texts.mac = Timed(observe, "MAC", GetMacAddress);
    texts.msvc = Timed(observe, "MSVC", GetMsvcRuntimes);
    texts.directX = Timed(observe, "DirectX", GetDirectXSupport);
    texts.resolution = Timed(observe, "Resolution", GetScreenResolution);
    texts.os = Timed(observe, "OS", GetOsVersion);
    texts.cpu = Timed(observe, "CPU", GetCpuName);
    texts.ram = Timed(observe, "RAM", GetMemorySize);
    texts.gpu = Timed(observe, "GPU", GetGpuList);
    texts.times = Timed(observe, "Times", [] { return SyncRunCount(false); });
    InfoRecord& info = MachineInfo();
    texts.adapter = info[InfoKey::AdapterName];
    texts.host = info[InfoKey::HostName];
    return FormatProbeSummary(texts);
}

std::string GetProbeSummary()
{
    return GetProbeSummary(nullptr);
}
