#pragma once
// The privacy panel's last line: where the report goes, whether it travels encrypted, and which
// version of the program sends it.
#include <string>

// "报告发送至 HOST（加密）" or "（未加密）", then on a line of its own "VxmCheck 版本 VERSION".
std::string PrivacyServerLine(const std::string& host, bool encrypted, const std::string& version);
