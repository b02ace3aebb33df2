#include "probe/software_probe.hpp"
#include "tests/core/probe_record_fixture.hpp"

namespace {

using SoftwareProbeTest = ProbeRecordTest;

const std::string k2008 = "Microsoft Visual C++ 2008 Redistributable - x86 9.0.30729.6161";
const std::string k2010 = "Microsoft Visual C++ 2010  x86 Redistributable - 10.0.40219";
const std::string k2012 = "Microsoft Visual C++ 2012 Redistributable (x86) - 11.0.61030";

} // namespace

TEST_F(SoftwareProbeTest, RuntimesOnceEachInByteOrder)
{
    // Registry order, the 2010 package under both views, and programs that are no runtime.
    const std::string summary = RecordMsvcRuntimes(
        {"Notepad++", k2010, "microsoft visual c++ 2005", k2008, "", k2010, "Visual C++"});
    EXPECT_EQ(summary, "\n\tMicrosoft Visual C++ 2008 Redistributable - x86 9.0.30729.6161"
                       "\n\tMicrosoft Visual C++ 2010  x86 Redistributable - 10.0.40219"
                       "\n\tVisual C++");
    EXPECT_EQ(Value("MSVC"), k2008 + ";" + k2010 + ";Visual C++;");
    EXPECT_EQ(Value("VC10"), "supported");
}

TEST_F(SoftwareProbeTest, OnlyA2012RuntimeWritesNoVc10)
{
    EXPECT_EQ(RecordMsvcRuntimes({k2012}), "\n\t" + k2012);
    EXPECT_EQ(Value("MSVC"), k2012 + ";");
    EXPECT_FALSE(Has("VC10"));
}

TEST_F(SoftwareProbeTest, NoRuntimeGivesEmptyTexts)
{
    MachineInfo()["MSVC"] = k2012 + ";";
    EXPECT_EQ(RecordMsvcRuntimes({"Wine Mono Runtime", "Wine Gecko"}), "");
    ASSERT_TRUE(Has("MSVC"));
    EXPECT_EQ(Value("MSVC"), "");
    EXPECT_FALSE(Has("VC10"));
}

TEST_F(SoftwareProbeTest, DirectXAfterSuccessAndFailure)
{
    EXPECT_EQ(RecordDirectXSupport(false), "");
    EXPECT_EQ(Value("DirectX"), "");
    EXPECT_FALSE(Has("D3D9"));

    EXPECT_EQ(RecordDirectXSupport(true), "D3D9;");
    EXPECT_EQ(Value("DirectX"), "D3D9;");
    EXPECT_EQ(Value("D3D9"), "supported");

    // A later failed test keeps the earlier "D3D9".
    EXPECT_EQ(RecordDirectXSupport(false), "");
    EXPECT_EQ(Value("DirectX"), "");
    EXPECT_EQ(Value("D3D9"), "supported");
}

TEST_F(SoftwareProbeTest, ShaderFailureShowsTheCompilerOrTheCode)
{
    EXPECT_EQ(ShaderFailureText("shader(3,1): error X3000: syntax error\n", -2147467259),
              "shader(3,1): error X3000: syntax error\n");
    EXPECT_EQ(ShaderFailureText("", -2147467259), "");
    EXPECT_EQ(ShaderFailureText(std::nullopt, static_cast<std::int32_t>(0x8876086Cu)),
              "D3D Error: 8876086c");
    EXPECT_EQ(ShaderFailureText(std::nullopt, 5), "D3D Error: 5");
}
