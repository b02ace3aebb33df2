// The key pins as the build gives them to an https program.
#include "report/https_trust.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const std::string kPin = "t/p5KA3fs+qw5yFh3BfM0Vo1UtfS2dyPHzbQDsgb1eQ=";
const std::string kBackup = "JvVhCimH1Jt6ZG9vjrof4Oj8IEgqMEYxbyaNUrwrCKc=";

} // namespace

TEST(ParsePins, GivesEachDigestInOrder)
{
    EXPECT_EQ(ParsePins(""), std::vector<std::string>{});
    EXPECT_EQ(ParsePins("sha256/" + kPin), std::vector<std::string>{kPin});
    EXPECT_EQ(ParsePins("sha256/" + kPin + ";sha256/" + kBackup),
              (std::vector<std::string>{kPin, kBackup}));
}

TEST(ParsePins, RefusesWhatIsNoSha256Digest)
{
    for (const std::string& text :
         {"sha1/" + kPin, kPin, "sha256/" + kPin.substr(1), "sha256/" + kPin + "=",
          "sha256/" + kPin.substr(0, 43) + "A", "sha256/" + kPin.substr(0, 42) + "-=",
          "sha256/" + kPin + ";;sha256/" + kBackup, "sha256/" + kPin + " "})
        EXPECT_THROW(ParsePins(text), std::invalid_argument) << text;
}
