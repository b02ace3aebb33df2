#pragma once
// Tests start from an empty record and small known score tables.
#include "eval/score_table.hpp"
#include "probe/machine_info.hpp"

#include <gtest/gtest.h>

class RecordTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        MachineInfo().clear();
        CpuScoreTable() = {{"Intel Core i7 995X @ 3.60GHz", 10862},
                           {"cpu9000", 9000},
                           {"cpu7999", 7999},
                           {"cpu5000", 5000},
                           {"cpu3000", 3000},
                           {"cpu2000", 2000},
                           {"cpu900", 900},
                           {"cpuZero", 0}};
        GpuScoreTable() = {{"NVIDIA GeForce GTX 690", 14000},
                           {"gpu5000", 5000},
                           {"gpu4700", 4700},
                           {"gpu4000", 4000},
                           {"gpu2500", 2500},
                           {"gpu1000", 1000},
                           {"gpu700", 700},
                           {"A|B", 3000}};
    }
    void TearDown() override { MachineInfo().clear(); }

    static void SetMachine(const std::string& cpu, const std::string& gpu, const std::string& ram)
    {
        MachineInfo()["CPU"] = cpu;
        MachineInfo()["GPU"] = gpu;
        MachineInfo()["RAM Bytes"] = ram;
    }
};
