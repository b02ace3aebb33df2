// Batch evaluation against the way it was done before: each line copied and matched by the
// regular expression. The result files must agree byte for byte over logs of every line shape.
#include "common/decimal.hpp"
#include "tests/core/temp_path.hpp"
#include "eval/level.hpp"
#include "eval/probe_log.hpp"
#include "eval/probe_log_pattern.hpp"
#include "probe/machine_keys.hpp"
#include "tests/core/probe_log_generator.hpp"
#include "tests/core/record_fixture.hpp"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

bool ReferenceLine(const std::string& line, std::string& result)
{
    std::smatch fields;
    if (!std::regex_match(line, fields, ProbeLogPattern()))
        return false;
    const std::string ram = fields[3].str();
    double megabytes = 0;
    const auto [stop, error] = std::from_chars(ram.data(), ram.data() + ram.size(), megabytes);
    const std::optional<std::uint64_t> bytes = TruncateToUInt64(megabytes * 1048576.0);
    if (error != std::errc() || stop != ram.data() + ram.size() || !bytes)
        return false;
    InfoRecord& info = MachineInfo();
    info[InfoKey::CPU] = fields[2].str();
    info[InfoKey::RAM] = ram;
    info[InfoKey::RAMBytes] = std::to_string(*bytes);
    info[InfoKey::GPU] = fields[4].str();
    EvaluateLevel();
    result = fields[1].str() + "\t" + info[InfoKey::Level] + "\t" + info[InfoKey::Gain] + "\r\n";
    return true;
}

// The earlier reading loop, unchanged: text mode, 1023-character lines, longer ones skipped.
void ReferenceEvaluate(const std::string& inputPath, const std::string& outputPath)
{
    std::ifstream input(inputPath);
    std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
    char buffer[1026];
    std::string result;
    for (;;) {
        input.getline(buffer, sizeof buffer);
        std::streamsize length = input.gcount();
        if (input.fail()) {
            if (length == 0 || input.eof())
                break;
            input.clear();
            input.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            continue;
        }
        if (length > 0 && !input.eof())
            --length;
        if (length > 0 && buffer[length - 1] == '\r')
            --length;
        if (length <= 1023 && ReferenceLine(std::string(buffer, length), result)) {
            output << result;
            output.flush();
        }
        if (input.eof())
            break;
    }
}

// A fixed sequence for the gain of levels 4 and 5, so both runs draw the same numbers.
int gDraw = 0;
int CountingDraw()
{
    return gDraw++ * 7919;
}

class ProbeLogDifferentialTest : public RecordTest {
  protected:
    std::string mInput = ProcessTempPath("differential log.txt");
    std::string mExpected = mInput + " - expected.txt";
    std::string mActual = mInput + " - result.txt";

    void TearDown() override
    {
        for (const std::string& path : {mInput, mExpected, mActual})
            std::remove(path.c_str());
        SetGainRandomSourceForTesting(nullptr);
        RecordTest::TearDown();
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    // Runs both over the input; returns the result and checks that the record ends alike.
    std::string CompareOver(const std::string& log)
    {
        std::ofstream(mInput, std::ios::binary) << log;
        SetGainRandomSourceForTesting(CountingDraw);
        gDraw = 0;
        MachineInfo().clear();
        ReferenceEvaluate(mInput, mExpected);
        const InfoRecord referenceRecord = MachineInfo();
        gDraw = 0;
        MachineInfo().clear();
        EXPECT_TRUE(EvaluateProbeLog(mInput, mActual));
        EXPECT_EQ(MachineInfo(), referenceRecord);
        const std::string expected = Read(mExpected);
        EXPECT_EQ(Read(mActual), expected);
        return expected;
    }
};

} // namespace

TEST_F(ProbeLogDifferentialTest, GeneratedLogsGiveTheSameFile)
{
    ProbeLogGenerator generator(15, {"cpu9000", "cpu5000", "cpu2000", "cpu900", "cpuZero",
                                     "Intel Core i7 995X @ 3.60GHz", "gpu5000", "gpu4000",
                                     "gpu1000", "gpu700", "A|B", "NVIDIA GeForce GTX 690"});
    static const char* ends[] = {"\n", "\r\n", "\r\r\n", "\r", ""};
    for (int round = 0; round < 20; ++round) {
        std::string log;
        for (int i = 0; i < 500; ++i) {
            const int shape = i % 50;
            if (shape == 7)
                log += std::string(1030 + i % 3, 'x'); // overlong
            else if (shape == 9)
                log += "a\td\tt\tcpu5000\t8192\tgpu4000\t" + std::string(1000 + round, 'z');
            else if (shape != 11) // shape 11: an empty line
                log += generator.Line(false);
            log += ends[(i + round) % 4];
        }
        log += generator.Line(false) + ends[round % 5]; // the last line may lack its end
        const std::string result = CompareOver(log);
        if (HasFailure())
            return;
        EXPECT_GE(std::count(result.begin(), result.end(), '\n'), 20) << "too few used lines";
    }
}

TEST_F(ProbeLogDifferentialTest, BenchmarkLogShapesGiveTheSameFile)
{
    // The shapes of the benchmark's logs, including every kind that is skipped.
    CompareOver("id\tdate\ttime\tcpu\tram\tgpu\n"
                "1\t2013-08-01\t10:00:00\tcpu5000\t8192.00 MB\r\n"
                "2\t2013-08-01\t10:00:00\tcpu5000\t8192.00 MB\tUnknown Adapter 2\t6.1;D3D9\n"
                "3\t2013-08-01\t10:00:00\tcpu5000\t1.2.3\tgpu4000\t6.1;D3D9\r\n"
                "4\t2013-08-01\t10:00:00\tcpu900\t3583.5\tgpu700\t6.1;D3D9\n"
                "5\t2013-08-01\t10:00:00\tcpu9000\t16384\tNVIDIA GeForce GTX 690\t6.1;D3D9");
}
