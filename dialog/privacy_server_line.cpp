#include "dialog/privacy_server_line.hpp"

std::string PrivacyServerLine(const std::string& host, bool encrypted, const std::string& version)
{
    return "报告发送至 " + host + (encrypted ? "（加密）" : "（未加密）") + "\nVxmCheck 版本 " +
           version;
}
