// The command-line modes of the real program: exit codes read in full, the evaluation box,
// batch result files, refused command lines and corrupt embedded tables.
#include "tests/e2e/program_driver.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr DWORD kTimeout = 20000;

long RunToEnd(const std::string& arguments, const std::string& program = ProgramPath())
{
    ProgramRun run(arguments, program);
    if (!run.Wait(kTimeout)) {
        ADD_FAILURE() << "still running (a window?): " << arguments;
        return 0x7FFFFFFF;
    }
    return run.ExitCode();
}

std::string TempFolder()
{
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kTop = "Intel Core i7 995X @ 3.60GHz|NVIDIA GeForce GTX 690|8";

} // namespace

TEST(SingleEvaluation, MuteReturnsTheFullGainAsExitCode)
{
    EXPECT_EQ(RunToEnd("--eval " + Quote(kTop) + " --mute"), 350);
    EXPECT_EQ(RunToEnd("--mu --eval=" + Quote(kTop)), 350);
    // An adapter without a score gives 0; so does a processor without one (no core count here).
    EXPECT_EQ(
        RunToEnd("--eval " + Quote("Intel Core i7 995X @ 3.60GHz|No Such Adapter|8") + " --mute"),
        0);
    EXPECT_EQ(RunToEnd("--eval " + Quote("No Such CPU|NVIDIA GeForce GTX 690|8") + " --mute"), 0);
    // Level 5 draws its gain from the unseeded generator: 1 to 50, the same every run.
    const std::string weak =
        "--eval " + Quote("Intel Pentium D 3.60GHz|ATI Radeon HD 4850|1") + " --mute";
    const long gain = RunToEnd(weak);
    EXPECT_GE(gain, 1);
    EXPECT_LE(gain, 50);
    EXPECT_EQ(RunToEnd(weak), gain);
}

TEST(SingleEvaluation, ShowsTheEvaluationBox)
{
    ProgramRun run("--eval " + Quote(kTop) + " --show_info --eval_file nothing.txt");
    HWND box = run.WaitForWindow("Evaluation", kTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "CPU: Intel Core i7 995X @ 3.60GHz\t10862\n"
                                   "GPU: NVIDIA GeForce GTX 690\t14000\n"
                                   "Level: 1\nGainExtra: 350");
    EXPECT_FALSE(run.Wait(300)) << "the program must wait for the box";
    CloseMessageBox(box);
    ASSERT_TRUE(run.Wait(kTimeout));
    EXPECT_EQ(run.ExitCode(), 350);
}

TEST(CommandLine, RefusedLinesEndWithoutWindow)
{
    const char* refused[] = {"--bogus",           "--eval",          "--eval_file",
                             "--show_info=maybe", "stray",           "--e x|y|1",
                             "--eval one|bar",    "--eval a|b|lots", "--eval \"a|b|1 GB\""};
    for (const char* arguments : refused) {
        ProgramRun run(arguments);
        ASSERT_TRUE(run.Wait(kTimeout)) << arguments;
        EXPECT_EQ(run.ExitCode(), -2) << arguments;
    }
}

TEST(BatchEvaluation, WritesResultBesideTheLog)
{
    const std::string log = TempFolder() + "vxm e2e probe.log";
    const std::string result = log + " - result.txt";
    WriteFile(result, "stale line that must go\r\n");
    WriteFile(log, "id\tdate\ttime\tcpu\tram\tgpu\n"
                   "id1\t2013-08-01\t10:00:00\tIntel Core i7 995X @ 3.60GHz\t8192.00 MB\t"
                   "NVIDIA GeForce GTX 690\tanything\r\n"
                   "id2\td\tt\tIntel Core i7 995X @ 3.60GHz\t8192\n"
                   "id3\td\tt\tIntel Pentium D 3.60GHz\t512\tATI Radeon HD 4850");
    EXPECT_EQ(RunToEnd("--eval_file " + Quote(log) + " --mute"), 0);
    const std::string first = ReadFile(result);
    ASSERT_EQ(first.substr(0, 13), "id1\t1\t850\r\nid");
    EXPECT_EQ(first.substr(11, 6), "id3\t5\t");
    EXPECT_EQ(first.substr(first.size() - 2), "\r\n");

    EXPECT_EQ(RunToEnd("--eval_file=" + Quote(log)), 0);
    EXPECT_EQ(ReadFile(result), first) << "unseeded: the same log gives the same file";
    DeleteFileA(log.c_str());
    DeleteFileA(result.c_str());
}

TEST(BatchEvaluation, MissingLogFailsWithoutWindow)
{
    const std::string log = TempFolder() + "vxm no such log.txt";
    DeleteFileA((log + " - result.txt").c_str());
    EXPECT_EQ(RunToEnd("--eval_file " + Quote(log)), -3);
    EXPECT_EQ(GetFileAttributesA((log + " - result.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A copy of the program whose embedded table differs by one byte ends with -1 before any window.
TEST(DataIntegrity, OneChangedTableByteEndsTheProgram)
{
    const std::string original = ReadFile(ProgramPath());
    ASSERT_FALSE(original.empty());
    for (const std::string row :
         {"NVIDIA GeForce GTX 690:14000", "Intel Core i7 995X @ 3.60GHz:10862"}) {
        std::string patched = original;
        const std::size_t at = patched.find(row);
        ASSERT_NE(at, std::string::npos) << row;
        patched[at + row.size() - 1] = '1'; // last digit of the score
        const std::string copy = TempFolder() + "vxm patched.exe";
        WriteFile(copy, patched);
        EXPECT_EQ(RunToEnd("--show_info", copy), -1) << row;
        EXPECT_EQ(RunToEnd("--eval " + Quote(kTop) + " --mute", copy), -1) << row;
        DeleteFileA(copy.c_str());
    }
}
