#include "probe/system_probe.hpp"
#include "tests/core/probe_record_fixture.hpp"

#include <cstring>
#include <vector>

namespace {

using SystemProbeTest = ProbeRecordTest;

// A processor whose brand leaves hold `brand` and whose highest extended leaf is `highest`; it
// records the leaves executed.
CpuidFunction FakeCpuid(std::uint32_t highest, const std::string& brand,
                        std::vector<std::uint32_t>& executed)
{
    return [=, &executed](std::uint32_t leaf) {
        executed.push_back(leaf);
        CpuidRegisters registers{};
        if (leaf == 0x80000000u)
            registers[0] = highest;
        const std::size_t offset = (leaf - 0x80000002u) * 16;
        if (leaf >= 0x80000002u && leaf <= 0x80000004u && offset < brand.size())
            std::memcpy(registers.data(), brand.data() + offset,
                        std::min<std::size_t>(16, brand.size() - offset));
        return registers;
    };
}

const std::string kPaddedBrand = "       Intel(R) Core(TM) i7-4770K CPU @ 3.50GHz"; // 48 bytes

// Entries of the 32-bit topology list: 4-byte mask, 4-byte relationship, 16-byte union.
constexpr ProcessorEntryLayout kLayout{24, 0, 4, 4};

void AppendEntry(std::vector<unsigned char>& list, std::uint32_t mask, std::uint32_t relationship)
{
    unsigned char entry[24];
    std::memset(entry, 0xEE, sizeof entry);
    std::memcpy(entry, &mask, 4);
    std::memcpy(entry + 4, &relationship, 4);
    list.insert(list.end(), entry, entry + sizeof entry);
}

} // namespace

TEST_F(SystemProbeTest, ResolutionAndOsVersion)
{
    EXPECT_EQ(RecordScreenResolution(1920, 1080, 32), "1920x1080, 32bits");
    EXPECT_EQ(Value("ResolutionX") + Value("ResolutionY") + Value("ResolutionBits"), "1920108032");
    EXPECT_EQ(Value("Resolution"), "1920x1080, 32bits");
    EXPECT_EQ(RecordScreenResolution(0xFFFFFFFFu, 768, 16), "-1x768, 16bits"); // signed

    EXPECT_EQ(RecordOsVersion(5, 1, 3, 0), "Windows 5.1, SP 3.0");
    EXPECT_EQ(Value("OS"), "Windows 5.1, SP 3.0");
    EXPECT_EQ(Value("WindowsVersion"), "501");
    EXPECT_EQ(RecordOsVersion(10, 0, 0, 0), "Windows 10.0, SP 0.0");
    EXPECT_EQ(Value("WindowsVersion"), "1000");
}

TEST_F(SystemProbeTest, BrandFromEveryExtendedLeafKeepsItsPadding)
{
    std::vector<std::uint32_t> executed;
    EXPECT_EQ(CpuBrand(FakeCpuid(0x80000006u, kPaddedBrand, executed)), kPaddedBrand);
    // The highest-leaf query, then every extended leaf up to the highest in order.
    EXPECT_EQ(executed,
              (std::vector<std::uint32_t>{0x80000000u, 0x80000000u, 0x80000001u, 0x80000002u,
                                          0x80000003u, 0x80000004u, 0x80000005u, 0x80000006u}));
    RecordCpuBrand(kPaddedBrand);
    EXPECT_EQ(Value("CPU"), "Intel(R) Core(TM) i7-4770K CPU @ 3.50GHz");
}

TEST_F(SystemProbeTest, ShortOrMissingBrands)
{
    std::vector<std::uint32_t> executed;
    const std::string athlon = "AMD Athlon(tm) 64 X2 Dual Core Processor 4200+";
    EXPECT_EQ(CpuBrand(FakeCpuid(0x80000003u, athlon, executed)), athlon.substr(0, 32));
    EXPECT_EQ(CpuBrand(FakeCpuid(0x80000004u, std::string("Short\0tail", 10), executed)), "Short");

    executed.clear();
    EXPECT_EQ(CpuBrand(FakeCpuid(0x0000000Du, kPaddedBrand, executed)), "");
    EXPECT_EQ(executed, std::vector<std::uint32_t>{0x80000000u});
    RecordCpuBrand("");
    ASSERT_TRUE(Has("CPU"));
    EXPECT_EQ(Value("CPU"), "");
}

TEST_F(SystemProbeTest, CoresAndLogicalProcessorsFromTheTopologyList)
{
    std::vector<unsigned char> list;
    AppendEntry(list, 0x03, 0); // a core with two logical processors
    AppendEntry(list, 0x03, 2); // its cache
    AppendEntry(list, 0x0C, 0);
    AppendEntry(list, 0xFF, 3); // the package
    AppendEntry(list, 0x30, 0);
    AppendEntry(list, 0xC0, 0);
    AppendEntry(list, 0x300, 0); // cut short by the length below

    const CoreCounts counts = CountCores(list.data(), list.size() - 1, kLayout);
    RecordCoreCounts(counts);
    EXPECT_EQ(Value("CoreCount"), "4");
    EXPECT_EQ(Value("LogicCoreCount"), "8");
    EXPECT_EQ(CountCores(list.data(), list.size(), kLayout).logical, 10u);
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
}
