#include "dialog/run_counter.hpp"
#include "tests/core/run_counter_cleanup.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// Keeps parallel runs of these tests off each other's segments.
std::string UniqueSuffix()
{
    return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

class SegmentCountTest : public ::testing::Test {
  protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }
    void Remove()
    {
        RemoveTestSegment(place_.segment);
        RemoveTestSegment(other_.segment);
    }

    // The segment header of a 64-bit build needs more room than the 32-bit program's 256 bytes.
    const RunCounterPlace place_{"vxm-count-test-" + UniqueSuffix(), 1024, "", ""};
    const RunCounterPlace other_{place_.segment + "-other", 1024, "", ""};
};

class ParticipationFileTest : public ::testing::Test {
  protected:
    void TearDown() override { std::remove(path_.c_str()); }
    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read()
    {
        std::ifstream file(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    const std::string path_ = ::testing::TempDir() + "vxm-participation-test.tmp";
};

} // namespace

TEST_F(SegmentCountTest, StartsAtZeroAndKeepsItsCount)
{
    EXPECT_EQ(SegmentCount(place_, false), 0u);
    EXPECT_EQ(SegmentCount(place_, true), 1u);
    EXPECT_EQ(SegmentCount(place_, true), 2u);
    // Each call opens and closes the segment; the count lives on in it.
    EXPECT_EQ(SegmentCount(place_, false), 2u);
}

TEST_F(SegmentCountTest, CountsOfDifferentSegmentsAreApart)
{
    EXPECT_EQ(SegmentCount(place_, true), 1u);
    EXPECT_EQ(SegmentCount(other_, false), 0u);
    EXPECT_EQ(SegmentCount(place_, false), 1u);
}

TEST_F(SegmentCountTest, TooSmallSegmentRaises)
{
    const RunCounterPlace tiny{place_.segment, 16, "", ""};
    EXPECT_THROW(SegmentCount(tiny, false), std::exception);
}

TEST_F(ParticipationFileTest, MissingOrEmptyFileStartsFromZero)
{
    std::remove(path_.c_str());
    EXPECT_EQ(BumpParticipationByte(path_), 1);
    EXPECT_EQ(Read(), "\x01");
    Write("");
    EXPECT_EQ(BumpParticipationByte(path_), 1);
    EXPECT_EQ(Read(), "\x01");
}

TEST_F(ParticipationFileTest, OneByteThatWrapsAfter255)
{
    Write(std::string("\xFE"
                      "extra",
                      6));
    EXPECT_EQ(BumpParticipationByte(path_), 255);
    EXPECT_EQ(Read(), "\xFF"); // rewritten as exactly one byte
    EXPECT_EQ(BumpParticipationByte(path_), 0);
    EXPECT_EQ(Read(), std::string(1, '\0'));
    EXPECT_EQ(BumpParticipationByte(path_), 1);
    EXPECT_EQ(Read(), "\x01");
}

TEST_F(ParticipationFileTest, UnwritableFileIsLeftAlone)
{
    const std::string nowhere = ::testing::TempDir() + "no-such-folder/vxm.tmp";
    EXPECT_EQ(BumpParticipationByte(nowhere), 1);
    EXPECT_FALSE(std::ifstream(nowhere).good());
}

TEST(RunCounterPlace, ProgramNamesAndAValidLockName)
{
    const RunCounterPlace& place = ProgramCounterPlace();
    EXPECT_EQ(place.segment, "82CC3F0A-27D6-48F6-B1DC-F89A2206A2C8");
    EXPECT_EQ(place.fileName, "9DE37C60-D575-434D-A4DE-E97623430A89.tmp");
    EXPECT_EQ(place.markerMutex, "A4EC747529BA4532BD5466F659CFC9CE");
    // A backslash would name a kernel-object namespace.
    const std::string lock = RunCounterLockName(place);
    EXPECT_EQ(lock.find('\\'), std::string::npos);
    EXPECT_NE(lock, place.markerMutex);
    EXPECT_NE(lock, RunCounterLockName({"other", 256, place.fileName, place.markerMutex}));
}
