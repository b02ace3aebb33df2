// The framework log: line layout, the banner, buffering until the file opens, the threshold.
#include "framework/default_logger.hpp"
#include "tests/core/temp_path.hpp"
#include "framework/log_line.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

std::time_t gNow = 1425737109; // a moment in March 2015
std::time_t FakeClock()
{
    return gNow;
}

// The stamp the logger must write for `moment`, spelled through strftime.
std::string Stamp(std::time_t moment)
{
    char text[32] = {};
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S ", std::localtime(&moment));
    return text;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Banner(std::time_t moment)
{
    std::string rule;
    for (int pair = 0; pair < 39; ++pair)
        rule += "+-";
    rule += "+";
    const std::string head = Stamp(moment) + "(Std) \t";
    return head + rule + "\n" + head +
           "+                     Kordo Presentation Foundation - Event log               +\n" +
           head + rule + "\n\n" + head + "Kordo::ILogger singleton created. \n";
}

class LoggerFile : public ::testing::Test {
  protected:
    void SetUp() override
    {
        gNow = 1425737109;
        path = ProcessTempPath("kordo_log_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::string path;
};

} // namespace

TEST(LogLine, StampPrefixTextNewline)
{
    std::tm when{};
    when.tm_mday = 7;
    when.tm_mon = 2;
    when.tm_year = 115;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_sec = 9;
    std::string line = "left over from the previous line";
    Kordo::FormatLogLine(line, when, 1, "disk low");
    EXPECT_EQ(line, "07/03/2015 14:05:09 (Warn)\tdisk low\n");
    when.tm_year = -1800; // year 100 still takes four digits
    when.tm_mon = 11;
    when.tm_mday = 31;
    when.tm_hour = 0;
    Kordo::FormatLogLine(line, when, 2, "");
    EXPECT_EQ(line, "31/12/0100 00:05:09 (Std) \t\n");
}

TEST(LogLine, PrefixPerLevel)
{
    EXPECT_STREQ(Kordo::LogLevelPrefix(0), "(Error)\t");
    EXPECT_STREQ(Kordo::LogLevelPrefix(1), "(Warn)\t");
    EXPECT_STREQ(Kordo::LogLevelPrefix(2), "(Std) \t");
    EXPECT_STREQ(Kordo::LogLevelPrefix(3), "(Info) \t");
    EXPECT_STREQ(Kordo::LogLevelPrefix(4), "(Insan)\t");
    EXPECT_STREQ(Kordo::LogLevelPrefix(5), "(Unkwn)\t");
    EXPECT_STREQ(Kordo::LogLevelPrefix(-1), "(Unkwn)\t");
}

TEST_F(LoggerFile, BannerWaitsForTheFileThenLinesFollowTheThreshold)
{
    {
        Kordo::DefaultLogger logger(FakeClock);
        EXPECT_EQ(logger.getLevel(), 2);
        logger.log("early info", 3); // buffered, but above the threshold when the file opens
        logger.log("early warning", 1);
        EXPECT_EQ(ReadAll(path), "");
        logger.setLogFilename(path.c_str(), false);
        const std::string opened = Banner(gNow) + Stamp(gNow) + "(Warn)\tearly warning\n";
        EXPECT_EQ(ReadAll(path), opened); // flushed at once

        logger.log("info", 3);
        logger.log("insane", 4);
        logger.log(nullptr, 0);
        EXPECT_EQ(ReadAll(path), opened);
        logger.setLevel(4);
        EXPECT_EQ(logger.getLevel(), 4);
        logger.log("info", 3);
        logger.log("insane", 4);
        logger.log("odd", 5); // above 4
        logger.setLevel(9);
        logger.log("odd", 5);
        logger.log("negative", -3);
        EXPECT_EQ(ReadAll(path), opened + Stamp(gNow) + "(Info) \tinfo\n" + Stamp(gNow) +
                                     "(Insan)\tinsane\n" + Stamp(gNow) + "(Unkwn)\todd\n" +
                                     Stamp(gNow) + "(Unkwn)\tnegative\n");
    }
    const std::string all = ReadAll(path);
    const std::string last = Stamp(gNow) + "(Std) \tKordo::ILogger singleton destroyed. \n";
    ASSERT_GT(all.size(), last.size());
    EXPECT_EQ(all.substr(all.size() - last.size()), last);
}

TEST_F(LoggerFile, PendingLinesKeepTheirTimeAndMeetTheThresholdOfTheOpening)
{
    Kordo::DefaultLogger logger(FakeClock);
    const std::time_t logged = gNow;
    logger.log("info before", 3);
    logger.log("insane before", 4);
    gNow += 3600 * 26 + 61;
    logger.setLevel(3);
    logger.setLogFilename(path.c_str(), false);
    EXPECT_EQ(ReadAll(path), Banner(logged) + Stamp(logged) + "(Info) \tinfo before\n");
    logger.log("after", 0);
    EXPECT_EQ(ReadAll(path), Banner(logged) + Stamp(logged) + "(Info) \tinfo before\n" +
                                 Stamp(gNow) + "(Error)\tafter\n");
}

TEST_F(LoggerFile, TruncatesOrAppendsAndSwitchesFiles)
{
    {
        std::ofstream(path) << "old\n";
    }
    const std::string second = path + ".second";
    {
        Kordo::DefaultLogger logger(FakeClock);
        logger.setLogFilename(path.c_str(), true);
        EXPECT_EQ(ReadAll(path), "old\n" + Banner(gNow));
        logger.setLogFilename(second.c_str(), false);
        logger.log("to the second", 2);
        logger.setLogFilename(nullptr, false); // ignored: the second file stays open
        logger.log("still the second", 2);
        EXPECT_EQ(ReadAll(second), Stamp(gNow) + "(Std) \tto the second\n" + Stamp(gNow) +
                                       "(Std) \tstill the second\n");
        logger.setLogFilename(path.c_str(), false);
    }
    EXPECT_EQ(ReadAll(path), Stamp(gNow) + "(Std) \tKordo::ILogger singleton destroyed. \n");
    std::remove(second.c_str());
}

TEST_F(LoggerFile, FailedOpenThrowsAndKeepsBuffering)
{
    Kordo::DefaultLogger logger(FakeClock);
    logger.setLogFilename(nullptr, false); // ignored: still buffering
    const std::string unreachable = ::testing::TempDir() + "no such folder/x/log.txt";
    try {
        logger.setLogFilename(unreachable.c_str(), false);
        FAIL() << "no exception";
    } catch (const char* text) {
        EXPECT_STREQ(text, "Logger::setLogFilename - Failed to open file.");
    }
    logger.log("kept in memory", 2);
    logger.setLogFilename(path.c_str(), false);
    EXPECT_EQ(ReadAll(path), Banner(gNow) + Stamp(gNow) + "(Std) \tkept in memory\n");
}

TEST_F(LoggerFile, NeverOpenedLoggerWritesNothingAtTheEnd)
{
    {
        Kordo::DefaultLogger logger(FakeClock);
    }
    std::ifstream file(path);
    EXPECT_FALSE(file.is_open());
}

TEST_F(LoggerFile, NoLineWithoutALocalTime)
{
    Kordo::DefaultLogger logger(FakeClock);
    logger.setLogFilename(path.c_str(), false);
    const std::string before = ReadAll(path);
    // Times some C library has no local time for: glibc fails past its year range, Microsoft's
    // runtimes before 1970 and after the year 3000.
    for (const std::time_t moment :
         {std::numeric_limits<std::time_t>::max(), std::time_t(-1), std::time_t(32536850000)}) {
        gNow = moment;
        if (!std::localtime(&gNow))
            break;
    }
    if (std::localtime(&gNow))
        GTEST_SKIP() << "this C library has a local time for every candidate";
    logger.log("lost", 0);
    EXPECT_EQ(ReadAll(path), before);
}

TEST(DefaultLoggerClock, SystemClockStampsTheCurrentTime)
{
    const std::string path = ProcessTempPath("kordo_log_system_clock.txt");
    const std::time_t before = std::time(nullptr);
    {
        Kordo::DefaultLogger logger;
        logger.setLogFilename(path.c_str(), false);
    }
    const std::time_t after = std::time(nullptr);
    const std::string text = ReadAll(path);
    std::remove(path.c_str());
    const std::string stamp = text.substr(0, 20);
    EXPECT_TRUE(stamp == Stamp(before) || stamp == Stamp(after)) << stamp;
}
