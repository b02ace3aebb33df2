#include "common/account_number.hpp"
#include "dialog/input_checks.hpp"

#include <gtest/gtest.h>

TEST(AccountNumber, FiveToElevenDigitsWithoutLeadingZeroOrBlanks)
{
    EXPECT_TRUE(AccountNumberValid("10000"));
    EXPECT_TRUE(AccountNumberValid("99999999999"));
    EXPECT_TRUE(AccountNumberValid("123456"));
    for (const char* bad : {"01234", "1234", "123456789012", " 123456", "123456 ", "", "12a456",
                            "+12345", "123\n456", "１２３４５"})
        EXPECT_FALSE(AccountNumberValid(bad)) << bad;
}

TEST(Captcha, ShowsTheHalvesSwapped)
{
    EXPECT_EQ(ShownCaptcha(1234), "3412");
    EXPECT_EQ(ShownCaptcha(7), "0700");
    EXPECT_EQ(ShownCaptcha(0), "0000");
    EXPECT_EQ(ShownCaptcha(9999), "9999");
    EXPECT_EQ(ShownCaptcha(1), "0100");
}

TEST(Captcha, AcceptsWhatAtoiReadsAsTheShownNumber)
{
    for (const char* good : {"3412", "3412abc", "   3412", "+3412", "3412 "})
        EXPECT_TRUE(CaptchaAccepted(good, 1234)) << good;
    for (const char* bad : {"1234", "34120", "341", "", "-3412", "x3412"})
        EXPECT_FALSE(CaptchaAccepted(bad, 1234)) << bad;
    // 0000 takes anything without leading digits; 0100 takes 100.
    EXPECT_TRUE(CaptchaAccepted("", 0));
    EXPECT_TRUE(CaptchaAccepted("abc", 0));
    EXPECT_TRUE(CaptchaAccepted("100", 1));
    EXPECT_FALSE(CaptchaAccepted(nullptr, 1));
}

TEST(Captcha, EveryValueIsAcceptedByItsShownTextOnly)
{
    for (int v = 0; v < 10000; ++v) {
        const std::string shown = ShownCaptcha(v);
        ASSERT_TRUE(CaptchaAccepted(shown.c_str(), v)) << v;
        const std::string other = ShownCaptcha((v + 1) % 10000);
        ASSERT_FALSE(CaptchaAccepted(other.c_str(), v)) << v;
    }
}
