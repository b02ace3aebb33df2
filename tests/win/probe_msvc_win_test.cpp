// The runtime probe reads the real registry: entries added here under both Uninstall keys, with
// names of this run's own, as other test runs may share the Wine prefix.
#include "probe/machine_info.hpp"
#include "probe/software_probe.hpp"
#include "tests/win/probe_helper_process.hpp"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr char kNative[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kWow[] = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class MsvcRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        MachineInfo().clear();
        // The levels of the second key this run may create, deepest last.
        std::string path;
        for (const char* level : {"SOFTWARE\\Wow6432Node", "\\Microsoft", "\\Windows",
                                  "\\CurrentVersion", "\\Uninstall"})
            if (!KeyExists(path += level))
                mCreatedLevels.push_back(path);
    }
    void TearDown() override
    {
        for (const std::string& path : mAdded)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
        mAdded.clear();
        // Deepest first; a level that another run filled meanwhile stays.
        for (auto level = mCreatedLevels.rbegin(); level != mCreatedLevels.rend(); ++level)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, level->c_str());
        MachineInfo().clear();
    }

    void AddProgram(const char* parent, const std::string& key, const std::string& displayName)
    {
        HKEY program = nullptr;
        const std::string path = std::string(parent) + "\\" + key + " " + mTag;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &program, nullptr),
                  ERROR_SUCCESS);
        mAdded.push_back(path);
        RegSetValueExA(program, "DisplayName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(displayName.c_str()),
                       static_cast<DWORD>(displayName.size() + 1));
        RegCloseKey(program);
    }

    const std::string mTag = "(VxmTest " + UniqueTag() + ")";
    const std::string mV2008 = "Microsoft Visual C++ 2008 Redistributable - x86 " + mTag;
    const std::string mV2010 = "Microsoft Visual C++ 2010  x86 Redistributable " + mTag;
    const std::string mV2012 = "Microsoft Visual C++ 2012 Redistributable (x86) " + mTag;

  private:
    std::vector<std::string> mCreatedLevels;
    std::vector<std::string> mAdded;
};

} // namespace

TEST_F(MsvcRegistryTest, BothKeysOnceEachInByteOrder)
{
    AddProgram(kNative, "VxmTest-2010", mV2010);
    AddProgram(kWow, "VxmTest-2010", mV2010);
    AddProgram(kWow, "VxmTest-2008", mV2008);
    AddProgram(kNative, "VxmTest-Tool", "VxmTest Tool " + mTag);
    AddProgram(kNative, "VxmTest-NoName", "");

    const std::string summary = GetMsvcRuntimes();
    const std::string list = MachineInfo()["MSVC"];
    EXPECT_EQ(Occurrences(summary, mTag), 2u) << summary;
    EXPECT_EQ(Occurrences(list, mTag), 2u) << list;
    EXPECT_NE(summary.find("\n\t" + mV2008 + "\n\t" + mV2010), std::string::npos) << summary;
    EXPECT_NE(list.find(mV2008 + ";" + mV2010 + ";"), std::string::npos) << list;
    EXPECT_EQ(MachineInfo()["VC10"], "supported");
}

TEST_F(MsvcRegistryTest, NoVc10WithoutA2010Runtime)
{
    AddProgram(kWow, "VxmTest-2012", mV2012);
    const std::string summary = GetMsvcRuntimes();
    const std::string list = MachineInfo()["MSVC"];
    EXPECT_NE(summary.find("\n\t" + mV2012), std::string::npos) << summary;
    EXPECT_NE(list.find(mV2012 + ";"), std::string::npos) << list;
    // Whatever else the prefix lists, "VC10" follows its 2010 names only.
    EXPECT_EQ(MachineInfo().count("VC10"), list.find("2010") == std::string::npos ? 0u : 1u);
}
