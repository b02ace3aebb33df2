#include "probe/run_counter.hpp"
#include "tests/core/temp_path.hpp"
#include "tests/core/run_counter_cleanup.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// The segment header of a 64-bit build needs more room than the 32-bit program's 256 bytes; the
// name keeps parallel runs of these tests apart.
const RunCounterPlace kPlace{
    "vxm-count-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()),
    1024, "", ""};

class ParticipationFileTest : public ::testing::Test {
  protected:
    void TearDown() override { std::remove(mPath.c_str()); }
    void Write(const std::string& bytes) { std::ofstream(mPath, std::ios::binary) << bytes; }
    std::string Read()
    {
        std::ifstream file(mPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    const std::string mPath = ProcessTempPath("participation-test.tmp");
};

} // namespace

TEST(SegmentCount, StartsAtZeroAndKeepsItsCount)
{
    RemoveTestSegment(kPlace.segment);
    EXPECT_EQ(SegmentCount(kPlace, false), 0u);
    EXPECT_EQ(SegmentCount(kPlace, true), 1u);
    EXPECT_EQ(SegmentCount(kPlace, true), 2u);
    // Each call opens and closes the segment; the count lives on in it.
    EXPECT_EQ(SegmentCount(kPlace, false), 2u);
    RemoveTestSegment(kPlace.segment);
}

TEST_F(ParticipationFileTest, MissingOrEmptyFileStartsFromZero)
{
    std::remove(mPath.c_str());
    EXPECT_EQ(BumpParticipationByte(mPath), 1);
    EXPECT_EQ(Read(), "\x01");
    Write("");
    EXPECT_EQ(BumpParticipationByte(mPath), 1);
    EXPECT_EQ(Read(), "\x01");
}

TEST_F(ParticipationFileTest, OneByteThatWrapsAfter255)
{
    Write(std::string("\xFE"
                      "extra",
                      6));
    EXPECT_EQ(BumpParticipationByte(mPath), 255);
    EXPECT_EQ(Read(), "\xFF"); // rewritten as exactly one byte
    EXPECT_EQ(BumpParticipationByte(mPath), 0);
    EXPECT_EQ(Read(), std::string(1, '\0'));
    EXPECT_EQ(BumpParticipationByte(mPath), 1);
}

TEST_F(ParticipationFileTest, UnwritableFileIsLeftAlone)
{
    const std::string nowhere = ::testing::TempDir() + "no-such-folder/vxm.tmp";
    EXPECT_EQ(BumpParticipationByte(nowhere), 1);
    EXPECT_FALSE(std::ifstream(nowhere).good());
}
