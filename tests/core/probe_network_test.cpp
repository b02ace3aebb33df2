#include "probe/network_probe.hpp"
#include "tests/core/probe_record_fixture.hpp"

namespace {

using NetworkProbeTest = ProbeRecordTest;

} // namespace

TEST_F(NetworkProbeTest, MacTextHasSeventeenUpperCaseCharacters)
{
    EXPECT_EQ(MacText({0, 26, 43, 60, 77, 94}), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(MacText({0xAB, 0xCD, 0xEF, 0xFF, 0x01, 0x10}), "AB-CD-EF-FF-01-10");
    EXPECT_EQ(MacText({}), "00-00-00-00-00-00");
}

TEST_F(NetworkProbeTest, FirstAdapterWithAnAddressIsChosen)
{
    const std::vector<NetworkAdapter> adapters = {
        {{0, 0, 0, 0, 0, 0}, "{LOOPBACK}", "Loopback"},
        {{0, 26, 43, 60, 77, 94}, "{4D36E972-E325}", "Realtek PCIe GBE"},
        {{2, 0, 0, 0, 0, 1}, "{SECOND}", "Other"},
    };
    EXPECT_EQ(RecordNetworkIdentity(adapters, "alice", "desk-01"), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(Value("Mac"), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(Value("AdapterName"), "{4D36E972-E325}Realtek PCIe GBE");
    EXPECT_EQ(Value("HostName"), "alice@desk-01");
}

TEST_F(NetworkProbeTest, AnyNonZeroByteCounts)
{
    EXPECT_EQ(RecordNetworkIdentity({{{0, 0, 0, 0, 0, 1}, "a", "b"}}, "", ""), "00-00-00-00-00-01");
    EXPECT_EQ(Value("HostName"), "@"); // names that could not be read
}

TEST_F(NetworkProbeTest, NoAddressedAdapterWritesEmptyKeys)
{
    for (const auto& adapters :
         {std::vector<NetworkAdapter>{}, std::vector<NetworkAdapter>{{{}, "{ZERO}", "Tunnel"}}}) {
        MachineInfo().clear();
        EXPECT_EQ(RecordNetworkIdentity(adapters, "alice", "desk-01"), "");
        ASSERT_TRUE(Has("Mac"));
        EXPECT_EQ(Value("Mac"), "");
        EXPECT_EQ(Value("AdapterName"), "");
        EXPECT_EQ(Value("HostName"), "");
    }
}
