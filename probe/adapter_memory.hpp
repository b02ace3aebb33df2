#pragma once
// Video memory above 4 GiB. DirectDraw's counts are 32 bits wide (and so is DXGI's adapter
// description in a 32-bit process); Windows 10 and 11 keep each display adapter's full memory size
// as a 64-bit value in the adapter's driver key, which a 32-bit program can read.
#include <cstdint>
#include <string>
#include <vector>

// What the probe reads from one display adapter's driver key.
struct AdapterDriverKey {
    std::string description;       // "DriverDesc"
    std::uint64_t memoryBytes = 0; // "HardwareInformation.qwMemorySize", 0 when absent
};

// The key of the adapter named `description`: the one whose description is the same (letter case
// aside), else the only key there is; -1 when it cannot be told.
int AdapterKeyIndex(const std::vector<AdapterDriverKey>& keys, const std::string& description);

// Writes "LocalVideoMem" and "TotalVideoMem" from a 64-bit size when it says more than 4 GiB,
// which the 32-bit figures cannot hold; returns whether it did (else they stay for DirectDraw).
bool RecordFullVideoMemory(std::uint64_t bytes);

// The full memory size of the adapter named `description`, 0 when the system keeps none
// (adapter_memory_win.cpp).
std::uint64_t AdapterMemoryBytes(const std::string& description);
