// A refused layout is reported in one debugger line naming the file, the element and the reason.
// The test program is copied beside the library and a bad Main.vxm, run there under a debugger,
// and loads "Main.vxm" by its bare name.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_ui.hpp"
#include "tests/win/framework_child_run.hpp"

#include <gtest/gtest.h>

#include <windows.h>

using namespace Kordo;

TEST(KorFactChild, DISABLED_LoadsTheBadLayoutBesideIt)
{
    LoadComponentLibrary();
    ASSERT_NE(gComponentFactory, nullptr);
    TKordoPtr<IUILib, 1> lib(static_cast<IUILib*>(gComponentFactory->Create(kUILibId, 0)));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->LoadLayout("Main.vxm", 0), 0);
    EXPECT_EQ(lib->GetControl(1), nullptr);
}

TEST(KorFactLayoutReport, OneDebuggerLineNamesFileElementAndReason)
{
    ScratchFolder folder;
    const std::string bin = VXM_BIN_DIR;
    const std::string program = folder.Copy(ThisProgram(), "prog\\korfact_win_tests.exe");
    folder.Copy(bin + "\\KorFact.dll", "prog\\KorFact.dll");
    folder.Copy(bin + "\\Kordo.ini", "prog\\Kordo.ini");
    folder.Write("prog\\Main.vxm", "<layout><dialog name=\"D\" id=\"1\" width=\"90\" height=\"90\">"
                                   "<slider name=\"S\" id=\"2\" width=\"9\" height=\"9\"/>"
                                   "</dialog></layout>");
    const ChildRun run = RunChildTests(program, "KorFactChild.*", folder);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    std::vector<std::string> reports;
    for (const std::string& text : run.reports)
        if (text.rfind("[VxmCheck] korfact: ", 0) == 0)
            reports.push_back(text);
    EXPECT_EQ(reports, std::vector<std::string>{"[VxmCheck] korfact: LoadLayout " + folder.Path() +
                                                "\\prog\\Main.vxm: layout/dialog[D]/slider[S]: "
                                                "unknown kind slider\n"});
}
