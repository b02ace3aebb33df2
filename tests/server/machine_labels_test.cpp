#include "server/intake/machine_labels.hpp"

#include <gtest/gtest.h>

TEST(MachineLabels, SystemsByTheirProductNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Windows 5.1, SP 3.0", "Windows XP"},
        {"Windows 5.2, SP 2.0", "Windows XP"},
        {"Windows 6.0, SP 2.0", "Windows Vista"},
        {"Windows 6.1, SP 1.0", "Windows 7"},
        {"Windows 6.2, SP 0.0", "Windows 8"},
        {"Windows 6.3, SP 0.0", "Windows 8.1"},
        {"Windows 10.0, SP 0.0", "Windows 10 / 11"},
        // Anything else as it came, in UTF-8.
        {"Windows 0.0, SP 0.0", "Windows 0.0, SP 0.0"},
        {"Windows 6.1, SP 1.0 extra", "Windows 6.1, SP 1.0 extra"},
        {"Windows 6.1", "Windows 6.1"},
        {"", ""},
        {"\xCE\xC4", "文"},
    };
    for (const auto& [stored, name] : cases)
        EXPECT_EQ(SystemName(stored), name) << stored;
}

TEST(MachineLabels, MemoryInTheBandsSold)
{
    const std::pair<const char*, const char*> cases[] = {
        {"8192.00 MB", "8 GB"},
        {"8079.45 MB", "8 GB"},
        {"7065.00 MB", "6 GB"},
        {"7120.00 MB", "8 GB"},
        {"16220.45 MB", "16 GB"},
        {"2043.00 MB", "2 GB"},
        {"4091.00 MB", "4 GB"},
        {"4096.00 MB", "4 GB"},
        {"3071.00 MB", "3 GB"},
        {"6144.00 MB", "6 GB"},
        {"12288.00 MB", "12 GB"},
        {"24576.00 MB", "24 GB"},
        {"1024.00 MB", "1 GB"},
        {"512.00 MB", "< 1 GB"},
        {"0.00 MB", "< 1 GB"},
        {"28672.00 MB", "≥ 32 GB"},
        {"32680.12 MB", "≥ 32 GB"},
        {"131072.00 MB", "≥ 32 GB"},
        // Anything else as it came.
        {"8192.00", "8192.00"},
        {"-5.00 MB", "-5.00 MB"},
        {"nan MB", "nan MB"},
        {"8 GB MB", "8 GB MB"},
        {"", ""},
    };
    for (const auto& [stored, band] : cases)
        EXPECT_EQ(MemoryBand(stored), band) << stored;
}
