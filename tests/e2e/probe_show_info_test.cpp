// show_info: the real program probes this machine under Wine and shows the summary with the
// evaluation line in the "Probe Information" box.
#include "tests/e2e/program_driver.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace {

std::string WindowCaptions(const ProgramRun& run)
{
    std::string captions;
    for (HWND window : run.VisibleWindows()) {
        char caption[256] = {};
        GetWindowTextA(window, caption, sizeof caption);
        captions += std::string(" \"") + caption + "\"";
    }
    return captions;
}

std::string UserName()
{
    char name[256] = {};
    DWORD size = sizeof name;
    GetUserNameA(name, &size);
    return name;
}

} // namespace

TEST(ShowInfo, ProbeInformationBoxHoldsTheSummaryAndTheEvaluationLine)
{
    ProgramRun run("--show_info");
    const HWND box = run.WaitForWindow("Probe Information", 60000);
    ASSERT_NE(box, nullptr) << "windows:" << WindowCaptions(run);
    const std::string text = MessageBoxText(box);
    CloseMessageBox(box);

    // Every line in its place: the network identity, the Direct3D 9 test passed on Wine's one
    // adapter, the run count, then after three line feeds the evaluation line.
    const std::regex shape(
        "MAC:\t[0-9A-F]{2}(-[0-9A-F]{2}){5}\n\n"
        "MSVC:\t(\n\t[^\n]+)*\n\n"
        "DirectX:\tD3D9;\n\n"
        "Resolution:\t[1-9]\\d*x[1-9]\\d*, \\d+bits\n\n"
        "OS:\tWindows \\d+\\.\\d+, SP \\d+\\.\\d+\n\n"
        "CPU:\t[^\n]*\n\n"
        "RAM:\t[1-9]\\d*\\.\\d\\d MB\n\n"
        "GPU:\tNVIDIA GeForce GTX 470 -?\\d+\\.\\d+\\.\\d+\\.\\d+;\n\n"
        "Adapter:\t[^\n]+\n\n"
        "Host:\t[^\n@]*@[^\n]+\n\n"
        "Times:\t\\d+\n\n"
        "\n"
        "CPU: (\\d+|\\[NOT FOUND\\]), GPU: \\d+, Level: [0-5], GainExtra: \\d+\n");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
    EXPECT_NE(text.find("\n\nHost:\t" + UserName() + "@"), std::string::npos) << text;
    // The box closes on its button; the program goes on to its dialog.
    for (int i = 0; i < 100 && IsWindow(box); ++i)
        Sleep(50);
    EXPECT_FALSE(IsWindow(box));
}
