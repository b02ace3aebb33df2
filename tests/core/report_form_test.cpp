#include "common/md5.hpp"
#include "report/report_form.hpp"
#include "tests/core/record_fixture.hpp"

#include <cstdio>

namespace {

constexpr const char kSalts[3][16] = {"R!%&58T^wnq27d", "#*!^%KTRB941", "r5.2071815m#"};

// Every key the form reads, with values as the probes and the evaluation write them.
void FillRecord()
{
    InfoRecord& info = MachineInfo();
    info["Zeq"] = "123456";
    info["Mac"] = "00-1A-2B-3C-4D-5E";
    info["CPU"] = "Intel(R) Core(TM) i7 CPU";
    info["RAM"] = "8192.00 MB";
    info["GPU"] = "NVIDIA GeForce GTX 690";
    info["CoreCount"] = "4";
    info["LogicCoreCount"] = "8";
    info["LocalVideoMem"] = "2048.00 MB";
    info["TotalVideoMem"] = "4095.00 MB";
    info["OS"] = "Windows 6.1, SP 1.0";
    info["Resolution"] = "1920x1080, 32bits";
    info["DirectX"] = "D3D9;";
    info["MSVC"] = "Microsoft Visual C++ 2010  x86 Redistributable;";
    info["GPU Driver"] = "9.18.13.697";
    info["Level"] = "2";
    info["Gain"] = "841";
    info["GainExtra"] = "341";
    info["HostName"] = "张三@PC-01";
    info["AdapterName"] = "{4D36E972}Intel(R) 82574L";
    info["Times"] = "3";
}

std::string Field(const std::string& form, const std::string& name)
{
    const auto start = form.find("&" + name + "=");
    EXPECT_NE(start, std::string::npos) << name;
    const auto value = start + name.size() + 2;
    return form.substr(value, form.find('&', value) - value);
}

} // namespace

class ReportFormTest : public RecordTest {};

TEST(UrlEncodeValue, ExamplesOfRecordValues)
{
    EXPECT_EQ(UrlEncodeValue("Intel(R) Core"), "Intel%28R%29%20Core");
    EXPECT_EQ(UrlEncodeValue("Windows 6.1, SP 1.0"), "Windows%206.1%2C%20SP%201.0");
    EXPECT_EQ(UrlEncodeValue("8192.00 MB"), "8192.00%20MB");
    EXPECT_EQ(UrlEncodeValue("00-1A-2B-3C-4D-5E"), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(UrlEncodeValue(" +&=;@"), "%20%2B%26%3D%3B%40");
    EXPECT_EQ(UrlEncodeValue("~-_.*/"), "~-_.%2A%2F");
    EXPECT_EQ(UrlEncodeValue(""), "");
    // A GBK character is two bytes, each its own upper-case triplet.
    EXPECT_EQ(UrlEncodeValue("中文"), "%D6%D0%CE%C4");
    EXPECT_EQ(UrlEncodeValue(std::string("a\0b", 3)), "a%00b");
}

TEST(UrlEncodeValue, EveryByteIsKeptOrEncodedAlone)
{
    const std::string kept = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~";
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        char triplet[4];
        std::snprintf(triplet, sizeof triplet, "%%%02X", byte);
        const std::string expected = kept.find(one) != std::string::npos ? one : triplet;
        EXPECT_EQ(UrlEncodeValue(one), expected) << "byte " << byte;
    }
}

TEST_F(ReportFormTest, FullRecordGivesTheWholeBody)
{
    FillRecord();
    const std::string token = Md5Hex(
        std::string("123456") + kSalts[0] + "00-1A-2B-3C-4D-5E" + "Intel(R) Core(TM) i7 CPU" +
        "8192.00 MB" + "NVIDIA GeForce GTX 690" + kSalts[1] + "1" + "841" + kSalts[2]);
    EXPECT_EQ(BuildReportForm(),
              "u=123456&mc=00-1A-2B-3C-4D-5E&cpu=Intel%28R%29%20Core%28TM%29%20i7%20CPU"
              "&mm=8192.00%20MB&dm=NVIDIA%20GeForce%20GTX%20690&cc=4&lcc=8&lvm=2048.00%20MB"
              "&tvm=4095.00%20MB&os=Windows%206.1%2C%20SP%201.0&rs=1920x1080%2C%2032bits"
              "&dx=D3D9%3B&vc=Microsoft%20Visual%20C%2B%2B%202010%20%20x86%20Redistributable%3B"
              "&dd=9.18.13.697&hl=1&s=841&pn=%D5%C5%C8%FD%40PC-01"
              "&nc=%7B4D36E972%7DIntel%28R%29%2082574L&ei=3&tk=" +
                  token);
    EXPECT_EQ(ComputeReportToken("1"), token);
}

TEST_F(ReportFormTest, EmptyRecordGivesEveryFieldEmptyAndLeavesTheRecordAlone)
{
    const std::string token = Md5Hex(std::string(kSalts[0]) + kSalts[1] + kSalts[2]);
    EXPECT_EQ(BuildReportForm(), "u=&mc=&cpu=&mm=&dm=&cc=&lcc=&lvm=&tvm=&os=&rs=&dx=&vc=&dd=&hl=&s="
                                 "&pn=&nc=&ei=&tk=" +
                                     token);
    EXPECT_TRUE(MachineInfo().empty());
}

TEST_F(ReportFormTest, AbsentMacLeavesAnEmptyField)
{
    FillRecord();
    MachineInfo().erase("Mac");
    const std::string form = BuildReportForm();
    EXPECT_NE(form.find("&mc=&cpu=Intel"), std::string::npos) << form;
    EXPECT_EQ(Field(form, "tk"),
              Md5Hex(std::string("123456") + kSalts[0] + "Intel(R) Core(TM) i7 CPU" + "8192.00 MB" +
                     "NVIDIA GeForce GTX 690" + kSalts[1] + "1" + "841" + kSalts[2]));
}

// Level text -> the code in "hl" and at the level position of the hashed text.
TEST_F(ReportFormTest, LevelIsReportedThroughTheLevelMap)
{
    const std::pair<const char*, const char*> levels[] = {
        {"1", "1"}, {"2", "1"}, {"3", "3"}, {"4", "5"}, {"5", "5"}, {"0", ""}, {"6", ""}, {"", ""}};
    FillRecord();
    for (const auto& [level, code] : levels) {
        MachineInfo()["Level"] = level;
        const std::string form = BuildReportForm();
        EXPECT_EQ(Field(form, "hl"), code) << "level " << level;
        EXPECT_EQ(Field(form, "tk"),
                  Md5Hex(std::string("123456") + kSalts[0] + "00-1A-2B-3C-4D-5E" +
                         "Intel(R) Core(TM) i7 CPU" + "8192.00 MB" + "NVIDIA GeForce GTX 690" +
                         kSalts[1] + code + "841" + kSalts[2]))
            << "level " << level;
    }
    MachineInfo().erase("Level");
    EXPECT_NE(BuildReportForm().find("&hl=&s=841&"), std::string::npos);
    EXPECT_EQ(MachineInfo().count("Level"), 0u);
}

TEST_F(ReportFormTest, OnlyTheBoundFieldsChangeTheToken)
{
    FillRecord();
    const std::string before = Field(BuildReportForm(), "tk");
    for (const char* key :
         {"CoreCount", "LogicCoreCount", "LocalVideoMem", "TotalVideoMem", "OS", "Resolution",
          "DirectX", "MSVC", "GPU Driver", "HostName", "AdapterName", "Times", "GainExtra"}) {
        const std::string kept = MachineInfo()[key];
        MachineInfo()[key] = "changed";
        EXPECT_EQ(Field(BuildReportForm(), "tk"), before) << key;
        MachineInfo()[key] = kept;
    }
    for (const char* key : {"Zeq", "Mac", "CPU", "RAM", "GPU", "Gain"}) {
        const std::string kept = MachineInfo()[key];
        MachineInfo()[key] = kept + "0";
        EXPECT_NE(Field(BuildReportForm(), "tk"), before) << key;
        MachineInfo()[key] = kept;
    }
    // Levels 1 and 2 share a code; 3 does not.
    MachineInfo()["Level"] = "1";
    EXPECT_EQ(Field(BuildReportForm(), "tk"), before);
    MachineInfo()["Level"] = "3";
    EXPECT_NE(Field(BuildReportForm(), "tk"), before);
}

TEST_F(ReportFormTest, TokenHashesRawBytesAboveAscii)
{
    MachineInfo()["CPU"] = "英特尔 Core";
    const std::string token = ComputeReportToken("3");
    EXPECT_EQ(token, Md5Hex(std::string(kSalts[0]) + "\xD3\xA2\xCC\xD8\xB6\xFB Core" + kSalts[1] +
                            "3" + kSalts[2]));
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);
}
