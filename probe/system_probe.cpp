#include "probe/system_probe.hpp"

#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_format.hpp"
#include "common/trim_spaces.hpp"

#include <boost/format.hpp>

#include <bitset>

namespace {

constexpr std::uint32_t kExtendedBase = 0x80000000u;
constexpr std::uint32_t kFirstBrandLeaf = 0x80000002u;
constexpr std::uint32_t kLastBrandLeaf = 0x80000004u;
constexpr std::uint32_t kRelationProcessorCore = 0;

std::uint64_t ReadLittleEndian(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

} // namespace

std::string RecordScreenResolution(std::uint32_t width, std::uint32_t height, std::uint32_t bits)
{
    // The platform fields are unsigned but shown as signed 32-bit numbers.
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    const auto b = static_cast<std::int32_t>(bits);
    InfoRecord& info = MachineInfo();
    info[InfoKey::ResolutionX] = std::to_string(w);
    info[InfoKey::ResolutionY] = std::to_string(h);
    info[InfoKey::ResolutionBits] = std::to_string(b);
    const std::string text = (boost::format("%dx%d, %dbits") % w % h % b).str();
    info[InfoKey::Resolution] = text;
    return text;
}

std::string RecordOsVersion(std::uint32_t major, std::uint32_t minor,
                            std::uint16_t servicePackMajor, std::uint16_t servicePackMinor)
{
    const auto ma = static_cast<std::int32_t>(major);
    const auto mi = static_cast<std::int32_t>(minor);
    const std::string text =
        (boost::format("Windows %d.%d, SP %d.%d") % ma % mi % servicePackMajor % servicePackMinor)
            .str();
    InfoRecord& info = MachineInfo();
    info[InfoKey::OS] = text;
    info[InfoKey::WindowsVersion] = std::to_string(ma * 100 + mi);
    return text;
}

std::string CpuBrand(const CpuidFunction& cpuid)
{
    char brand[64] = {};
    const std::uint32_t highest = cpuid(kExtendedBase)[0];
    if (highest >= kExtendedBase) {
        for (std::uint32_t leaf = kExtendedBase;; ++leaf) {
            const CpuidRegisters registers = cpuid(leaf);
            if (leaf >= kFirstBrandLeaf && leaf <= kLastBrandLeaf) {
                char* out = brand + (leaf - kFirstBrandLeaf) * 16;
                for (std::uint32_t value : registers)
                    for (int shift = 0; shift < 32; shift += 8)
                        *out++ = static_cast<char>(value >> shift & 0xFF);
            }
            if (leaf == highest)
                break;
        }
    }
    // Bytes 48 to 63 stay zero, so the text ends within the buffer.
    return brand;
}

void RecordCpuBrand(const std::string& brand)
{
    MachineInfo()[InfoKey::CPU] = TrimSpaces(brand);
}

CoreCounts CountCores(const unsigned char* entries, std::size_t length,
                      const ProcessorEntryLayout& layout)
{
    CoreCounts counts;
    for (std::size_t offset = 0; offset + layout.entrySize <= length; offset += layout.entrySize) {
        const unsigned char* entry = entries + offset;
        if (ReadLittleEndian(entry + layout.relationshipOffset, 4) != kRelationProcessorCore)
            continue;
        ++counts.cores;
        const std::uint64_t mask = ReadLittleEndian(entry + layout.maskOffset, layout.maskSize);
        counts.logical += static_cast<unsigned>(std::bitset<64>(mask).count());
    }
    return counts;
}

void RecordCoreCounts(const CoreCounts& counts)
{
    InfoRecord& info = MachineInfo();
    info[InfoKey::CoreCount] = std::to_string(counts.cores);
    info[InfoKey::LogicCoreCount] = std::to_string(counts.logical);
}

std::string RecordMemorySize(std::uint64_t totalBytes)
{
    const std::string text = MegabyteText(static_cast<float>(totalBytes));
    InfoRecord& info = MachineInfo();
    info[InfoKey::RAM] = text;
    info[InfoKey::RAMBytes] = std::to_string(totalBytes);
    return text;
}
