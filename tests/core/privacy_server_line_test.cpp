// The privacy panel's line names the server, says whether the report travels encrypted, and
// gives the version.
#include "dialog/privacy_server_line.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

struct LineCase {
    const char* host;
    bool encrypted;
    const char* version;
    const char* line;
};

const LineCase kCases[] = {
    {"report.example.com", true, "1.0.0",
     "报告发送至 report.example.com（加密）\nVxmCheck 版本 1.0.0"},
    {"report.example.com", false, "1.0.0",
     "报告发送至 report.example.com（未加密）\nVxmCheck 版本 1.0.0"},
    {"127.0.0.1", false, "1.0.0-68a9b6a3c1d2-dirty",
     "报告发送至 127.0.0.1（未加密）\nVxmCheck 版本 1.0.0-68a9b6a3c1d2-dirty"},
    {"::1", true, "2.3.4-3-g0123456789ab",
     "报告发送至 ::1（加密）\nVxmCheck 版本 2.3.4-3-g0123456789ab"},
};

TEST(PrivacyServerLine, NamesTheHostTheTransportAndTheVersion)
{
    for (const LineCase& c : kCases)
        EXPECT_EQ(PrivacyServerLine(c.host, c.encrypted, c.version), c.line) << c.host;
}

// The marks are the GBK bytes of the full-width brackets around 加密 and 未加密.
TEST(PrivacyServerLine, EncryptedAndPlainDifferOnlyInTheMark)
{
    const std::string encrypted = PrivacyServerLine("h", true, "1");
    const std::string plain = PrivacyServerLine("h", false, "1");
    EXPECT_NE(encrypted.find("\xA3\xA8\xBC\xD3\xC3\xDC\xA3\xA9"), std::string::npos);
    EXPECT_NE(plain.find("\xA3\xA8\xCE\xB4\xBC\xD3\xC3\xDC\xA3\xA9"), std::string::npos);
    EXPECT_EQ(plain.size(), encrypted.size() + 2);
}

} // namespace
