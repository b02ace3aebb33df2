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
        CpuScoreTable() = ParseScoreText("Intel Core i7 995X @ 3.60GHz:10862\r\ncpu9000:9000\r\n"
                                         "cpu7999:7999\r\ncpu5000:5000\r\ncpu3000:3000\r\n"
                                         "cpu2000:2000\r\ncpu900:900\r\ncpuZero:0\r\n");
        GpuScoreTable() = ParseScoreText("NVIDIA GeForce GTX 690:14000\r\ngpu5000:5000\r\n"
                                         "gpu4700:4700\r\ngpu4000:4000\r\ngpu2500:2500\r\n"
                                         "gpu1000:1000\r\ngpu700:700\r\nA|B:3000\r\n");
    }
    void TearDown() override { MachineInfo().clear(); }

    static void SetMachine(const std::string& cpu, const std::string& gpu, const std::string& ram)
    {
        MachineInfo()["CPU"] = cpu;
        MachineInfo()["GPU"] = gpu;
        MachineInfo()["RAM Bytes"] = ram;
    }
};
