#pragma once
// Operating system, display, processor and memory probes. The Get* functions query the platform
// (system_probe_win.cpp); the rest format plain numbers into the record and are platform-free.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

std::string GetScreenResolution();
std::string GetOsVersion();
std::string GetCpuName(); // also runs GetCoreCounts
void GetCoreCounts();
std::string GetMemorySize();

// Writes the display mode keys and returns the "Resolution" text.
std::string RecordScreenResolution(std::uint32_t width, std::uint32_t height, std::uint32_t bits);

// Writes "OS" and "WindowsVersion" and returns the "OS" text.
std::string RecordOsVersion(std::uint32_t major, std::uint32_t minor,
                            std::uint16_t servicePackMajor, std::uint16_t servicePackMinor);

// EAX, EBX, ECX, EDX of one CPUID leaf (sub-leaf 0).
using CpuidRegisters = std::array<std::uint32_t, 4>;
using CpuidFunction = std::function<CpuidRegisters(std::uint32_t leaf)>;

// The brand string from the extended leaves, up to its first zero byte; empty when the processor
// has no extended leaves. Every leaf up to the highest is executed, as the processor expects.
std::string CpuBrand(const CpuidFunction& cpuid);

// Writes "CPU": the brand without its padding, as the score table names processors.
void RecordCpuBrand(const std::string& brand);

// Where the fields sit in one logical processor entry of the platform's topology list.
struct ProcessorEntryLayout {
    std::size_t entrySize;
    std::size_t maskOffset;
    std::size_t maskSize; // 4 or 8 bytes
    std::size_t relationshipOffset;
};

struct CoreCounts {
    unsigned cores = 0;
    unsigned logical = 0;
};

// Counts the processor-core entries and the bits of their masks; a partial entry at the end of
// the returned length is ignored.
CoreCounts CountCores(const unsigned char* entries, std::size_t length,
                      const ProcessorEntryLayout& layout);

void RecordCoreCounts(const CoreCounts& counts);

// Writes "RAM" (32-bit float megabytes) and "RAM Bytes" (exact) and returns the "RAM" text.
std::string RecordMemorySize(std::uint64_t totalBytes);
