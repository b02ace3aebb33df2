#include "eval/evaluation_line.hpp"
#include "eval/level.hpp"
#include "tests/core/fake_probe_run.hpp"
#include "tests/core/record_fixture.hpp"

#include <cstdlib>

namespace {

struct Expected {
    const char* cpu;
    const char* gpu;
    const char* ram;
    const char* level;
    const char* gainExtra;
    const char* low;
    const char* out;
};

} // namespace

// Levels 4 and 5 draw their gain from the random source: a fixed draw makes them exact.
class LevelTest : public RecordTest, public ::testing::WithParamInterface<Expected> {
  protected:
    void SetUp() override
    {
        RecordTest::SetUp();
        SetGainRandomSourceForTesting([] { return 12345; }); // 12345 % 50 + 1 = 46
    }
    void TearDown() override
    {
        SetGainRandomSourceForTesting(nullptr);
        RecordTest::TearDown();
    }
};

TEST_P(LevelTest, BandsLevelGainAndDeviceLists)
{
    const Expected& e = GetParam();
    SetMachine(e.cpu, e.gpu, e.ram);
    EvaluateLevel();
    InfoRecord& info = MachineInfo();
    EXPECT_EQ(info["Level"], e.level);
    EXPECT_EQ(info["LowDevices"], e.low);
    EXPECT_EQ(info["OutDevices"], e.out);
    EXPECT_EQ(info["GainExtra"], e.gainExtra);
    const int gainExtra = std::stoi(info["GainExtra"]);
    const int gain = std::stoi(info["Gain"]);
    EXPECT_EQ(gain, gainExtra == 0 ? 0 : gainExtra + 500);
    EXPECT_EQ(gFakeProbeRuns, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LevelTest,
    ::testing::Values(Expected{"Intel Core i7 995X @ 3.60GHz", "NVIDIA GeForce GTX 690",
                               "8589934592", "1", "350", "", ""},
                      Expected{"cpu9000", "gpu5000", "4294967296", "1", "341", "", ""},
                      Expected{"cpu5000", "gpu4000", "8589934592", "2", "271", "", ""},
                      Expected{"cpu5000", "gpu4000", "2147483648", "3", "250", "", ""},
                      Expected{"cpu3000", "gpu2500", "4294967296", "3", "179", "", ""},
                      Expected{"cpu7999", "gpu4700", "4026531840", "2", "339", "", ""},
                      Expected{"cpu9000", "gpu1000", "8589934592", "4", "46", "显卡", ""},
                      Expected{"cpu9000", "gpu5000", "1073741824", "4", "46", "内存", ""},
                      Expected{"cpu2000", "gpu1000", "1073741824", "4", "46", "显卡/CPU/内存", ""},
                      Expected{"cpu900", "gpu700", "1073741824", "5", "46", "显卡/CPU/内存", ""},
                      Expected{"cpu9000", "missing gpu", "8589934592", "0", "0", "显卡", "显卡"},
                      Expected{"missing cpu", "missing gpu", "8589934592", "0", "0", "显卡/CPU",
                               "显卡/CPU"},
                      Expected{"cpuZero", "gpu5000", "8589934592", "0", "0", "CPU", "CPU"}));

// 4026531839 bytes is one byte under the top memory band: band 2 gives level 3, and the gain of
// level 3 is interpolated, not random.
TEST_F(RecordTest, MemoryBandEdge)
{
    SetMachine("cpu7999", "gpu4700", "4026531839");
    EvaluateLevel();
    EXPECT_EQ(MachineInfo()["Level"], "3");
    EXPECT_EQ(MachineInfo()["GainExtra"], "250");
}

TEST_F(RecordTest, CoreCountFallbackForUnknownProcessor)
{
    const std::pair<const char*, const char*> cases[] = {{"8", "2"}, {"4", "3"}, {"2", "5"},
                                                         {"1", "0"}, {"", "0"},  {"x", "0"}};
    for (const auto& [cores, level] : cases) {
        MachineInfo().clear();
        SetMachine("unknown cpu", "gpu5000", "8589934592");
        MachineInfo()["LogicCoreCount"] = cores;
        EvaluateLevel();
        EXPECT_EQ(MachineInfo()["Level"], level) << "cores " << cores;
    }
}

TEST_F(RecordTest, MissingOrBadMemoryCountsAsNone)
{
    for (const char* ram : {"", "-1", "12abc", "99999999999999999999"}) {
        MachineInfo().clear();
        SetMachine("cpu9000", "gpu5000", ram);
        EvaluateLevel();
        EXPECT_EQ(MachineInfo()["LowDevices"], "内存") << ram;
    }
}

TEST_F(RecordTest, EmptyRecordIsProbedFirst)
{
    gFakeProbeRuns = 0;
    EvaluateLevel();
    EXPECT_EQ(gFakeProbeRuns, 1);
    EXPECT_EQ(MachineInfo()["Level"], "1");
    EvaluateLevel();
    EXPECT_EQ(gFakeProbeRuns, 1);
    gFakeProbeRuns = 0;
}

TEST(ComputeGainExtra, ClampsAndInterpolates)
{
    EXPECT_EQ(ComputeGainExtra(0, 14000, 10862), 350);
    EXPECT_EQ(ComputeGainExtra(0, 4700, 8000), 341);
    EXPECT_EQ(ComputeGainExtra(2, 1, 1), 151);
    EXPECT_EQ(ComputeGainExtra(1, 14000, 10862), 340);
    for (int e : {3, 4}) {
        const int value = ComputeGainExtra(e, 1000, 1000);
        EXPECT_GE(value, 1);
        EXPECT_LE(value, 50);
    }
}

TEST(ReportedLevel, MapsFiveLevels)
{
    const std::map<std::string, std::string> expected = {
        {"1", "1"}, {"2", "1"}, {"3", "3"}, {"4", "5"}, {"5", "5"}};
    EXPECT_EQ(ReportedLevelMap(), expected);
    EXPECT_EQ(ReportedLevelMap().count("0"), 0u);
}

TEST_F(RecordTest, EvaluationLine)
{
    SetMachine("cpu5000", "gpu4000", "8589934592");
    EXPECT_EQ(EvaluationLine(), "CPU: 5000, GPU: 4000, Level: 2, GainExtra: 271\n");

    MachineInfo().clear();
    SetMachine("cpu5000", "no such adapter", "8589934592");
    EXPECT_EQ(EvaluationLine(), "CPU: 5000, GPU: [NOT FOUND], Level: 0, GainExtra: 0\n");

    // A processor scored by core count still shows as not found.
    MachineInfo().clear();
    SetMachine("unknown", "gpu4000", "8589934592");
    MachineInfo()["LogicCoreCount"] = "8";
    EXPECT_EQ(EvaluationLine(), "CPU: [NOT FOUND], GPU: 4000, Level: 2, GainExtra: 289\n");
    EXPECT_FALSE(LookupScore(CpuScoreTable(), "unknown"));

    // A name spelled otherwise than its entry shows that entry's score and is rated by it.
    MachineInfo().clear();
    SetMachine("INTEL CORE I7 995X  @ 3.60GHZ", "nvidia geforce gtx 690 series", "8589934592");
    EXPECT_EQ(EvaluationLine(), "CPU: 10862, GPU: 14000, Level: 1, GainExtra: 350\n");
}

TEST(GainRandomSource, DrawsFromRandByDefaultAndFromTheGivenSource)
{
    std::srand(7);
    const int fromRand = std::rand() % 50 + 1;
    std::srand(7);
    EXPECT_EQ(ComputeGainExtra(3, 1000, 1000), fromRand);
    SetGainRandomSourceForTesting([] { return 32767; });
    EXPECT_EQ(ComputeGainExtra(4, 100, 100), 18);
    SetGainRandomSourceForTesting(nullptr);
    std::srand(7);
    EXPECT_EQ(ComputeGainExtra(4, 100, 100), fromRand);
}
