#include "probe/graphics_probe.hpp"

#include "probe/adapter_memory.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_library.hpp"

#include <windows.h>

#include <d3d9.h>
#include <ddraw.h>

#include <cstring>

namespace {

// The two video memory figures of the active display driver, or false when DirectDraw 7 cannot
// give them.
bool QueryVideoMemory(IDirectDraw7& draw, DWORD& localBytes, DWORD& totalBytes)
{
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_LOCALVIDMEM;
    DWORD freeBytes = 0;
    if (FAILED(draw.GetAvailableVidMem(&caps, &localBytes, &freeBytes)))
        return false;
    DDCAPS driver{};
    driver.dwSize = sizeof driver;
    DDCAPS emulation{};
    emulation.dwSize = sizeof emulation;
    if (FAILED(draw.GetCaps(&driver, &emulation)))
        return false;
    totalBytes = driver.dwVidMemTotal;
    return true;
}

} // namespace

static_assert(sizeof(DDCAPS) == 380, "the DirectDraw 7 capability record");

std::string GetGpuList()
{
    const auto create = ProbeFunction<decltype(Direct3DCreate9)>("d3d9.dll", "Direct3DCreate9");
    IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!d3d)
        return "";
    std::vector<AdapterIdentity> adapters;
    // The count is asked again after every adapter, as adapters may come and go meanwhile.
    for (UINT adapter = 0; adapter < d3d->GetAdapterCount(); ++adapter) {
        D3DADAPTER_IDENTIFIER9 identifier{};
        if (FAILED(d3d->GetAdapterIdentifier(adapter, 0, &identifier)))
            continue;
        adapters.push_back(
            {std::string(identifier.Description,
                         strnlen(identifier.Description, sizeof identifier.Description)),
             static_cast<std::uint32_t>(identifier.DriverVersion.HighPart),
             identifier.DriverVersion.LowPart});
    }
    d3d->Release();
    if (!RecordGpuList(adapters))
        return "";
    GetVideoMemory();
    return MachineInfo()[InfoKey::GPUs];
}

void GetVideoMemory()
{
    // Above 4 GiB only the size Windows keeps for the adapter the record names tells the truth.
    if (RecordFullVideoMemory(AdapterMemoryBytes(MachineInfo()[InfoKey::GPU])))
        return;
    // DirectDraw may be missing where Direct3D 9 is not.
    const auto create =
        ProbeFunction<decltype(DirectDrawCreateEx)>("ddraw.dll", "DirectDrawCreateEx");
    IDirectDraw7* draw = nullptr;
    if (!create ||
        FAILED(create(nullptr, reinterpret_cast<void**>(&draw), IID_IDirectDraw7, nullptr)))
        return;
    DWORD localBytes = 0;
    DWORD totalBytes = 0;
    if (QueryVideoMemory(*draw, localBytes, totalBytes))
        RecordVideoMemory(localBytes, totalBytes);
    draw->Release();
}
