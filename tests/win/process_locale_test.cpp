// The process locale under the C runtime the program runs on: code page 936, double-byte, and
// the same locale whether the user's own locale is simplified Chinese or not.
#include "app/process_locale.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

TEST(ProcessLocale, IsSimplifiedChineseWithCodePage936)
{
    std::string first;
    // The user's own locale (simplified Chinese in the test bed: code page 936 alone names the
    // locale) and English (US), where the locale goes by its name.
    for (const unsigned long userLocale : {GetUserDefaultLCID(), 0x0409ul}) {
        ASSERT_TRUE(SetProcessLocale(userLocale)) << userLocale;
        const std::string name = std::setlocale(LC_ALL, nullptr);
        EXPECT_NE(name.find("Chinese"), std::string::npos) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".936") << name;
        EXPECT_EQ(MB_CUR_MAX, 2); // GBK: a lead byte and a trail byte
        if (first.empty())
            first = name;
        EXPECT_EQ(name, first) << userLocale;
        std::setlocale(LC_ALL, "C");
    }
}
