#include "probe/system_probe.hpp"
#include "tests/core/probe_record_fixture.hpp"

#include <cstring>
#include <map>
#include <vector>

namespace {

using SystemProbeTest = ProbeRecordTest;

// A processor that answers the extended leaves with a brand and records what was executed.
class FakeProcessor {
  public:
    FakeProcessor(std::uint32_t highestLeaf, const std::string& brand) : highest_(highestLeaf)
    {
        char bytes[48] = {};
        std::memcpy(bytes, brand.data(), std::min<std::size_t>(brand.size(), 48));
        for (std::uint32_t leaf = 0; leaf < 3; ++leaf)
            for (int r = 0; r < 4; ++r) {
                std::uint32_t value = 0;
                for (int b = 3; b >= 0; --b)
                    value = value << 8 | static_cast<unsigned char>(bytes[leaf * 16 + r * 4 + b]);
                leaves_[0x80000002u + leaf][r] = value;
            }
    }
    CpuidFunction Function()
    {
        return [this](std::uint32_t leaf) {
            executed.push_back(leaf);
            if (leaf == 0x80000000u)
                return CpuidRegisters{highest_, 0, 0, 0};
            return leaves_[leaf];
        };
    }
    std::vector<std::uint32_t> executed;

  private:
    std::uint32_t highest_;
    std::map<std::uint32_t, CpuidRegisters> leaves_;
};

const std::string kPaddedBrand = "       Intel(R) Core(TM) i7-4770K CPU @ 3.50GHz"; // 48 bytes

// One 32-bit entry of the platform's topology list: mask, relationship, 16-byte union.
constexpr ProcessorEntryLayout kLayout32{24, 0, 4, 4};
constexpr ProcessorEntryLayout kLayout64{32, 0, 8, 8};

void AppendEntry(std::vector<unsigned char>& list, const ProcessorEntryLayout& layout,
                 std::uint64_t mask, std::uint32_t relationship)
{
    std::vector<unsigned char> entry(layout.entrySize, 0xEE);
    for (std::size_t i = 0; i < layout.maskSize; ++i)
        entry[layout.maskOffset + i] = static_cast<unsigned char>(mask >> (8 * i));
    for (std::size_t i = 0; i < 4; ++i)
        entry[layout.relationshipOffset + i] = static_cast<unsigned char>(relationship >> (8 * i));
    list.insert(list.end(), entry.begin(), entry.end());
}

} // namespace

TEST_F(SystemProbeTest, ResolutionKeysAndText)
{
    EXPECT_EQ(RecordScreenResolution(1920, 1080, 32), "1920x1080, 32bits");
    EXPECT_EQ(Value("ResolutionX"), "1920");
    EXPECT_EQ(Value("ResolutionY"), "1080");
    EXPECT_EQ(Value("ResolutionBits"), "32");
    EXPECT_EQ(Value("Resolution"), "1920x1080, 32bits");

    // The unsigned platform fields are shown as signed numbers.
    EXPECT_EQ(RecordScreenResolution(0xFFFFFFFFu, 768, 16), "-1x768, 16bits");
    EXPECT_EQ(Value("ResolutionX"), "-1");
}

TEST_F(SystemProbeTest, OsVersionTextAndNumber)
{
    EXPECT_EQ(RecordOsVersion(5, 1, 3, 0), "Windows 5.1, SP 3.0");
    EXPECT_EQ(Value("OS"), "Windows 5.1, SP 3.0");
    EXPECT_EQ(Value("WindowsVersion"), "501");

    EXPECT_EQ(RecordOsVersion(6, 1, 1, 0), "Windows 6.1, SP 1.0");
    EXPECT_EQ(Value("WindowsVersion"), "601");

    EXPECT_EQ(RecordOsVersion(10, 0, 0, 0), "Windows 10.0, SP 0.0");
    EXPECT_EQ(Value("WindowsVersion"), "1000");

    // A failed query leaves the zero-filled record.
    EXPECT_EQ(RecordOsVersion(0, 0, 0, 0), "Windows 0.0, SP 0.0");
    EXPECT_EQ(Value("WindowsVersion"), "0");
}

TEST_F(SystemProbeTest, BrandFromEveryExtendedLeafKeepsItsPadding)
{
    FakeProcessor cpu(0x80000008u, kPaddedBrand);
    EXPECT_EQ(CpuBrand(cpu.Function()), kPaddedBrand);
    // The highest-leaf query, then every extended leaf up to the highest in order.
    EXPECT_EQ(cpu.executed, (std::vector<std::uint32_t>{
                                0x80000000u, 0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u,
                                0x80000004u, 0x80000005u, 0x80000006u, 0x80000007u, 0x80000008u}));

    RecordCpuBrand(kPaddedBrand);
    EXPECT_EQ(Value("CPU"), "Intel(R) Core(TM) i7-4770K CPU @ 3.50GHz");
}

TEST_F(SystemProbeTest, BrandFromTwoLeavesOnly)
{
    FakeProcessor cpu(0x80000003u, "AMD Athlon(tm) 64 X2 Dual Core Processor 4200+");
    EXPECT_EQ(CpuBrand(cpu.Function()), "AMD Athlon(tm) 64 X2 Dual Core P"); // 32 bytes
    EXPECT_EQ(cpu.executed.back(), 0x80000003u);
}

TEST_F(SystemProbeTest, BrandEndsAtItsFirstZeroByte)
{
    FakeProcessor cpu(0x80000004u, std::string("Short\0tail", 10));
    EXPECT_EQ(CpuBrand(cpu.Function()), "Short");
}

TEST_F(SystemProbeTest, NoExtendedLeavesGiveAnEmptyBrand)
{
    FakeProcessor cpu(0x0000000Du, kPaddedBrand);
    EXPECT_EQ(CpuBrand(cpu.Function()), "");
    EXPECT_EQ(cpu.executed, std::vector<std::uint32_t>{0x80000000u});

    RecordCpuBrand("");
    ASSERT_TRUE(Has("CPU"));
    EXPECT_EQ(Value("CPU"), "");
}

TEST_F(SystemProbeTest, CoresAndLogicalProcessorsFromTheTopologyList)
{
    std::vector<unsigned char> list;
    AppendEntry(list, kLayout32, 0x03, 0); // core with two logical processors
    AppendEntry(list, kLayout32, 0x03, 2); // its cache
    AppendEntry(list, kLayout32, 0x0C, 0);
    AppendEntry(list, kLayout32, 0xFF, 3); // package
    AppendEntry(list, kLayout32, 0x30, 0);
    AppendEntry(list, kLayout32, 0xFF, 1); // NUMA node
    AppendEntry(list, kLayout32, 0xC0, 0);
    const std::size_t whole = list.size();
    AppendEntry(list, kLayout32, 0x300, 0); // cut short below

    const CoreCounts counts = CountCores(list.data(), whole + kLayout32.entrySize - 1, kLayout32);
    EXPECT_EQ(counts.cores, 4u);
    EXPECT_EQ(counts.logical, 8u);

    RecordCoreCounts(counts);
    EXPECT_EQ(Value("CoreCount"), "4");
    EXPECT_EQ(Value("LogicCoreCount"), "8");

    // The whole list, last entry included.
    EXPECT_EQ(CountCores(list.data(), list.size(), kLayout32).logical, 10u);
    EXPECT_EQ(CountCores(list.data(), 0, kLayout32).cores, 0u);
}

TEST_F(SystemProbeTest, WideMasksCountEveryBit)
{
    std::vector<unsigned char> list;
    AppendEntry(list, kLayout64, 0x8000000100000001ull, 0);
    const CoreCounts counts = CountCores(list.data(), list.size(), kLayout64);
    EXPECT_EQ(counts.cores, 1u);
    EXPECT_EQ(counts.logical, 3u);
}

TEST_F(SystemProbeTest, MemoryInMegabytesAndExactBytes)
{
    EXPECT_EQ(RecordMemorySize(8589934592ull), "8192.00 MB");
    EXPECT_EQ(Value("RAM"), "8192.00 MB");
    EXPECT_EQ(Value("RAM Bytes"), "8589934592");

    // Not a multiple of 1 MiB: the megabytes come from the 32-bit float (8192.005 in double
    // precision would print 8192.01), the bytes stay exact.
    EXPECT_EQ(RecordMemorySize(8589939835ull), "8192.00 MB");
    EXPECT_EQ(Value("RAM Bytes"), "8589939835");

    EXPECT_EQ(RecordMemorySize(1000000000ull), "953.67 MB");
    EXPECT_EQ(RecordMemorySize(0), "0.00 MB");
    EXPECT_EQ(Value("RAM Bytes"), "0");
    EXPECT_EQ(RecordMemorySize(18446744073709551615ull), "17592186044416.00 MB");
    EXPECT_EQ(Value("RAM Bytes"), "18446744073709551615");
}
