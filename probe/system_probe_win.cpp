#include "probe/system_probe.hpp"

#include "probe/machine_info.hpp"

#include <windows.h>

#include <cpuid.h>

#include <cstddef>
#include <vector>

std::string GetScreenResolution()
{
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        return "";
    return RecordScreenResolution(mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
}

std::string GetOsVersion()
{
    // Zero-filled first, so a refused query reads as version 0.0.
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    return RecordOsVersion(version.dwMajorVersion, version.dwMinorVersion,
                           version.wServicePackMajor, version.wServicePackMinor);
}

std::string GetCpuName()
{
    const std::string brand = CpuBrand([](std::uint32_t leaf) {
        CpuidRegisters r;
        __cpuid_count(leaf, 0, r[0], r[1], r[2], r[3]);
        return r;
    });
    RecordCpuBrand(brand);
    GetCoreCounts();
    return brand;
}

void GetCoreCounts()
{
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> entries;
    DWORD length = 0;
    while (!GetLogicalProcessorInformation(entries.data(), &length)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return;
        entries.resize((length + sizeof entries[0] - 1) / sizeof entries[0]);
    }
    using Entry = SYSTEM_LOGICAL_PROCESSOR_INFORMATION;
    const ProcessorEntryLayout layout{sizeof(Entry), offsetof(Entry, ProcessorMask),
                                      sizeof(Entry::ProcessorMask), offsetof(Entry, Relationship)};
    RecordCoreCounts(
        CountCores(reinterpret_cast<const unsigned char*>(entries.data()), length, layout));
}

std::string GetMemorySize()
{
    // A refused query leaves the zeroed record: 0.00 MB and 0 bytes.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    return RecordMemorySize(status.ullTotalPhys);
}
