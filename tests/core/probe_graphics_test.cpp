#include "probe/adapter_memory.hpp"
#include "probe/graphics_probe.hpp"
#include "tests/core/probe_record_fixture.hpp"

namespace {

using GraphicsProbeTest = ProbeRecordTest;

constexpr std::uint32_t Pack(std::uint32_t upper, std::uint32_t lower)
{
    return upper << 16 | lower;
}

} // namespace

TEST_F(GraphicsProbeTest, DriverVersionNumbers)
{
    EXPECT_EQ(DriverVersionText(Pack(9, 18), Pack(13, 3158)), "9.18.13.3158");
    // Only the first number is read with a signed shift.
    EXPECT_EQ(DriverVersionText(Pack(0xFFFF, 0xFFFF), Pack(0xFFFF, 0xFFFF)),
              "-1.65535.65535.65535");
    EXPECT_EQ(DriverVersionText(0, 0), "0.0.0.0");
}

TEST_F(GraphicsProbeTest, EveryAdapterListedAndTheFirstNamed)
{
    MachineInfo()["GPUs"] = "Old adapter 1.2.3.4;";
    const bool found = RecordGpuList({{"NVIDIA GeForce GTX 470   ", Pack(9, 18), Pack(13, 3158)},
                                      {" Second Adapter", Pack(8, 15), Pack(11, 8593)}});
    EXPECT_TRUE(found);
    EXPECT_EQ(Value("GPUs"), "NVIDIA GeForce GTX 470 9.18.13.3158;Second Adapter 8.15.11.8593;");
    EXPECT_EQ(Value("GPU"), "NVIDIA GeForce GTX 470");
    EXPECT_EQ(Value("GPU Driver"), "9.18.13.3158");
}

TEST_F(GraphicsProbeTest, NoIdentifiedAdapterEmptiesTheListOnly)
{
    MachineInfo()["GPUs"] = "Old adapter 1.2.3.4;";
    MachineInfo()["GPU"] = "Old adapter";
    EXPECT_FALSE(RecordGpuList({}));
    EXPECT_EQ(Value("GPUs"), "");
    EXPECT_EQ(Value("GPU"), "Old adapter");
    EXPECT_FALSE(Has("GPU Driver"));
}

TEST_F(GraphicsProbeTest, VideoMemoryInThirtyTwoBitFloatMegabytes)
{
    RecordVideoMemory(2147483648u, 4294967295u);
    EXPECT_EQ(Value("LocalVideoMem"), "2048.00 MB");
    EXPECT_EQ(Value("TotalVideoMem"), "4096.00 MB"); // rounds up to 2^32 as a float

    RecordVideoMemory(0, 1048576u + 1);
    EXPECT_EQ(Value("LocalVideoMem"), "0.00 MB");
    EXPECT_EQ(Value("TotalVideoMem"), "1.00 MB");
}

TEST_F(GraphicsProbeTest, FullVideoMemoryOnlyAboveFourGibibytes)
{
    struct Case {
        std::uint64_t bytes;
        bool written;
        const char* text;
    };
    for (const Case& c : {Case{12ull << 30, true, "12288.00 MB"},
                          Case{(4ull << 30) + (1 << 20), true, "4097.00 MB"},
                          Case{(24ull << 30) - 1, true, "24576.00 MB"}, // nearest float
                          Case{4ull << 30, false, "2043.00 MB"},
                          Case{2ull << 30, false, "2043.00 MB"}, Case{0, false, "2043.00 MB"}}) {
        SCOPED_TRACE(c.bytes);
        RecordVideoMemory(2142240768u, 2142240768u); // what DirectDraw said
        EXPECT_EQ(RecordFullVideoMemory(c.bytes), c.written);
        EXPECT_EQ(Value("LocalVideoMem"), c.text);
        EXPECT_EQ(Value("TotalVideoMem"), c.text);
    }
}

TEST(AdapterDriverKeys, TheKeyOfTheNamedAdapterOrTheOnlyOne)
{
    const std::vector<AdapterDriverKey> hybrid{{"Intel(R) UHD Graphics 630", 1ull << 30},
                                               {"NVIDIA GeForce RTX 3060 ", 12ull << 30}};
    EXPECT_EQ(AdapterKeyIndex(hybrid, "NVIDIA GeForce RTX 3060"), 1);
    EXPECT_EQ(AdapterKeyIndex(hybrid, " intel(r) uhd graphics 630"), 0);
    EXPECT_EQ(AdapterKeyIndex(hybrid, "AMD Radeon RX 580"), -1);
    EXPECT_EQ(AdapterKeyIndex(hybrid, ""), -1);
    // One adapter's key stands for whatever name the adapter gives itself.
    EXPECT_EQ(AdapterKeyIndex({{"Wine Adapter", 12ull << 30}}, "NVIDIA GeForce GTX 470"), 0);
    EXPECT_EQ(AdapterKeyIndex({}, "NVIDIA GeForce GTX 470"), -1);
}
