#include "eval/probe_log.hpp"
#include "tests/core/temp_path.hpp"
#include "tests/core/record_fixture.hpp"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

class ProbeLogTest : public RecordTest {
  protected:
    std::string mInput = ProcessTempPath("probe log.txt");
    std::string mOutput = mInput + " - result.txt";

    void TearDown() override
    {
        std::remove(mInput.c_str());
        std::remove(mOutput.c_str());
        RecordTest::TearDown();
    }
    void WriteInput(const std::string& bytes) { std::ofstream(mInput, std::ios::binary) << bytes; }
    std::string ReadOutput()
    {
        std::ifstream file(mOutput, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }
};

} // namespace

TEST_F(ProbeLogTest, LinesOfEveryShape)
{
    WriteInput("id\tdate\ttime\tCPU\tRAM\tGPU\textra\n" // header: RAM no digit
               "id1\t2013-08-01\t10:00:00\tcpu5000\t8192.00 MB\tgpu4000\tanything\r\n" // CR LF
               "id2\td\tt\tcpu5000\t2048\tgpu4000\n"         // six fields, LF
               "id3\td\tt\tcpu5000\t8192\n"                  // five fields
               "id4\td\t\tcpu5000\t8192\tgpu4000\n"          // empty field 3
               "id 5\td\tt\tcpu5000\t8192\tgpu4000\n"        // blank in field 1
               "id6\td\tt\tcpu5000\t1.2.3\tgpu4000\n"        // not a number
               "id7\td\tt\tcpu5000\t8192\tunknown adapter\n" // level 0
               "\n"
               "id8\td\tt\tcpu5000\t.5e\tgpu4000\n"  // unit-like tail
               "id9\td\tt\tcpu5000\t8192\tgpu4000"); // no line end
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    const std::string output = ReadOutput();
    // id8 has half a MiB: level 4 with its random gain of 501 to 550.
    const std::size_t id8 = output.find("id8\t4\t5");
    ASSERT_NE(id8, std::string::npos) << output;
    const int gain = std::stoi(output.substr(id8 + 6, 3));
    EXPECT_GE(gain, 501);
    EXPECT_LE(gain, 550);
    EXPECT_EQ(output, "id1\t2\t771\r\n"
                      "id2\t3\t750\r\n"
                      "id7\t0\t0\r\n"
                      "id8\t4\t" +
                          std::to_string(gain) +
                          "\r\n"
                          "id9\t2\t771\r\n");
}

TEST_F(ProbeLogTest, RecordHoldsTheLastLine)
{
    WriteInput("a\tb\tc\tcpu5000\t8192.00 MB\tgpu4000\n");
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    EXPECT_EQ(MachineInfo()["RAM"], "8192.00");
    EXPECT_EQ(MachineInfo()["RAM Bytes"], "8589934592");
    EXPECT_EQ(MachineInfo()["CPU"], "cpu5000");
}

TEST_F(ProbeLogTest, EmptyInputAndOverwrittenOutput)
{
    WriteInput("");
    std::ofstream(mOutput, std::ios::binary) << "old content\r\n";
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    EXPECT_EQ(ReadOutput(), "");
}

TEST_F(ProbeLogTest, OverlongLinesAreSkippedNotStalled)
{
    const std::string longCpu(2000, 'c');
    WriteInput("x\td\tt\t" + longCpu +
               "\t8192\tgpu4000\n"
               "ok\td\tt\tcpu5000\t8192\tgpu4000\n"
               "y\td\tt\t" +
               longCpu + "\t8192\tgpu4000");
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    EXPECT_EQ(ReadOutput(), "ok\t2\t771\r\n");

    // A line of exactly 1023 characters is still used.
    std::string line = "ok\td\tt\tcpu5000\t8192\tgpu4000\t";
    line += std::string(1023 - line.size(), 'z');
    WriteInput(line + "\r\n");
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    EXPECT_EQ(ReadOutput(), "ok\t2\t771\r\n");
}

TEST_F(ProbeLogTest, SameLogGivesSameFile)
{
    WriteInput("a\td\tt\tcpu900\t512\tgpu700\nb\td\tt\tcpu900\t512\tgpu700\n");
    std::srand(1);
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    const std::string first = ReadOutput();
    std::srand(1);
    ASSERT_TRUE(EvaluateProbeLog(mInput, mOutput));
    EXPECT_EQ(ReadOutput(), first);
    EXPECT_EQ(first.substr(0, 4), "a\t5\t");
}

TEST_F(ProbeLogTest, UnopenableFilesFail)
{
    EXPECT_FALSE(EvaluateProbeLog(mInput + ".missing", mOutput));
    EXPECT_FALSE(std::ifstream(mOutput).is_open()) << "no result file for a missing log";
    WriteInput("a\td\tt\tcpu5000\t8192\tgpu4000\n");
    EXPECT_FALSE(EvaluateProbeLog(mInput, ::testing::TempDir() + "no/such/dir/out.txt"));
}
