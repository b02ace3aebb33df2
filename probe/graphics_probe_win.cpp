#include "probe/graphics_probe.hpp"

#include "common/owners_win.hpp"
#include "probe/adapter_memory.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_library.hpp"

#include <windows.h>

#include <d3d9.h>
#include <ddraw.h>

#include <cstring>
#include <optional>
#include <vector>

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

// Every adapter Direct3D 9 names, or nothing when Direct3D 9 cannot be created. Its object is
// given back before the caller goes on to DirectDraw.
std::optional<std::vector<AdapterIdentity>> ListAdapters()
{
    const auto create = ProbeFunction<decltype(Direct3DCreate9)>("d3d9.dll", "Direct3DCreate9");
    const ComPtr<IDirect3D9> d3d(create ? create(D3D_SDK_VERSION) : nullptr);
    if (!d3d)
        return std::nullopt;
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
    return adapters;
}

} // namespace

static_assert(sizeof(DDCAPS) == 380, "the DirectDraw 7 capability record");

std::string GetGpuList()
{
    const std::optional<std::vector<AdapterIdentity>> adapters = ListAdapters();
    if (!adapters || !RecordGpuList(*adapters))
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
    void* created = nullptr;
    if (!create || FAILED(create(nullptr, &created, IID_IDirectDraw7, nullptr)))
        return;
    const ComPtr<IDirectDraw7> draw(static_cast<IDirectDraw7*>(created));
    DWORD localBytes = 0;
    DWORD totalBytes = 0;
    if (QueryVideoMemory(*draw, localBytes, totalBytes))
        RecordVideoMemory(localBytes, totalBytes);
}
