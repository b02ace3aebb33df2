#include "common/result_before.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(ResultBeforeTest, GivesTheResultThatComesInTime)
{
    EXPECT_EQ(ResultBefore(Clock::now() + 10s, [] { return 42; }), 42);
    EXPECT_EQ(ResultBefore(Clock::now() + 10s, [] { return std::string("text"); }), "text");
}

TEST(ResultBeforeTest, GivesUpAtTheDeadlineAndLeavesTheWorkToFinish)
{
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    const Clock::time_point deadline = Clock::now() + 100ms;
    const auto result = ResultBefore(deadline, [release, finished] {
        while (!*release)
            std::this_thread::sleep_for(1ms);
        *finished = true;
        return 1;
    });
    EXPECT_FALSE(result);
    EXPECT_GE(Clock::now(), deadline);
    *release = true;
    for (int i = 0; i < 1000 && !*finished; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(*finished) << "the work given up on still runs to its end";
}

TEST(ResultBeforeTest, PassesTheWorksFailureOn)
{
    EXPECT_THROW(ResultBefore(Clock::now() + 10s, []() -> int { throw std::runtime_error("no"); }),
                 std::runtime_error);
}
