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
