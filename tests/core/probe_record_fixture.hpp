#pragma once
// Probe formatting tests start and end with an empty machine record.
#include "probe/machine_info.hpp"

#include <gtest/gtest.h>

class ProbeRecordTest : public ::testing::Test {
  protected:
    void SetUp() override { MachineInfo().clear(); }
    void TearDown() override { MachineInfo().clear(); }

    static bool Has(const char* key) { return MachineInfo().count(key) == 1; }
    static const std::string& Value(const char* key) { return MachineInfo().at(key); }
};
