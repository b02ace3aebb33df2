#pragma once
// Graphics adapter and video memory probes. GetGpuList and GetVideoMemory query Direct3D 9 and
// DirectDraw (graphics_probe_win.cpp); the rest is platform-free formatting into the record.
#include <cstdint>
#include <string>
#include <vector>

std::string GetGpuList(); // also runs GetVideoMemory when an adapter was identified
void GetVideoMemory();

// What the probe keeps of one identified adapter.
struct AdapterIdentity {
    std::string description;
    std::uint32_t driverHigh = 0; // high and low halves of the 64-bit driver version
    std::uint32_t driverLow = 0;
};

// "%d.%d.%d.%d": the first number comes from a signed shift of the high half.
std::string DriverVersionText(std::uint32_t high, std::uint32_t low);

// Rewrites "GPUs" from the identified adapters; with at least one, also writes "GPU" and
// "GPU Driver" of the first and returns true.
bool RecordGpuList(const std::vector<AdapterIdentity>& adapters);

// Writes "LocalVideoMem" and "TotalVideoMem" from 32-bit byte counts.
void RecordVideoMemory(std::uint32_t localBytes, std::uint32_t totalBytes);
