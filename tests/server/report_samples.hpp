#pragma once
// Valid report values as the program sends them, with a matching token.
#include "report/report_fields.hpp"
#include "report/report_token.hpp"

#include <string>

inline ReportValues SampleValues(const std::string& account = "123456",
                                 const std::string& mac = "00-1A-2B-3C-4D-5E",
                                 const std::string& gain = "841")
{
    ReportValues values = {account,
                           mac,
                           "Intel(R) Core(TM) i7 CPU",
                           "8192.00 MB",
                           "NVIDIA GeForce GTX 690",
                           "4",
                           "8",
                           "2048.00 MB",
                           "4095.00 MB",
                           "Windows 6.1, SP 1.0",
                           "1920x1080, 32bits",
                           "D3D9;",
                           "Microsoft Visual C++ 2010  x86 Redistributable;",
                           "9.18.13.697",
                           "1",
                           gain,
                           "\xD5\xC5\xC8\xFD@PC-01", // GBK for a user name, then the host
                           "{4D36E972}Intel(R) 82574L",
                           "3",
                           ""};
    values[static_cast<std::size_t>(ReportField::Token)] = ComputeReportToken(values);
    return values;
}

inline std::string SampleForm(const std::string& account = "123456",
                              const std::string& mac = "00-1A-2B-3C-4D-5E",
                              const std::string& gain = "841")
{
    return EncodeReportForm(SampleValues(account, mac, gain));
}
