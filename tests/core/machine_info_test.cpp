#include "probe/machine_info.hpp"
#include "common/trim_spaces.hpp"

#include <gtest/gtest.h>

TEST(MachineInfoRecord, IndexAccessInsertsPresenceTestDoesNot)
{
    InfoRecord& info = MachineInfo();
    info.clear();
    EXPECT_EQ(info.count("D3D9"), 0u);
    EXPECT_EQ(info.size(), 0u);
    EXPECT_EQ(info["Level"], "");
    EXPECT_EQ(info.count("Level"), 1u);
    EXPECT_EQ(&MachineInfo(), &info) << "one record per process";
    info["b"] = "2";
    info["B"] = "1";
    EXPECT_EQ(info.begin()->first, "B") << "keys ordered byte-wise";
    info.clear();
}

TEST(TrimSpacesText, RemovesOnlyOuterWhiteSpace)
{
    EXPECT_EQ(TrimSpaces("  \t Intel(R) Core(TM)2 CPU         T6500  @ 2.10GHz \r\n\v\f"),
              "Intel(R) Core(TM)2 CPU         T6500  @ 2.10GHz");
    EXPECT_EQ(TrimSpaces("NVIDIA GeForce GTX 470"), "NVIDIA GeForce GTX 470");
    EXPECT_EQ(TrimSpaces(" \t "), "");
    EXPECT_EQ(TrimSpaces(""), "");
}
