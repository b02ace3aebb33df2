// The process locale under the C runtime the program runs on: code page 936, double-byte.
#include "app/process_locale.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

TEST(ProcessLocale, IsSimplifiedChineseWithCodePage936)
{
    ASSERT_TRUE(SetProcessLocale());
    const std::string name = std::setlocale(LC_ALL, nullptr);
    EXPECT_NE(name.find("Chinese"), std::string::npos) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".936") << name;
    EXPECT_EQ(MB_CUR_MAX, 2); // GBK: a lead byte and a trail byte
    std::setlocale(LC_ALL, "C");
}
