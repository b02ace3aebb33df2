// Loading the UI library for real: this test program is copied into a folder laid out like the
// product, run there as a child under a debugger (which receives the loader's reports), and the
// child loads the library with the folder as its program directory.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_services.hpp"
#include "tests/win/framework_child_run.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kTestFactory = std::string(VXM_BIN_DIR) + "\\kordo_test_factory.dll";

// Stands for a factory an earlier run left in gComponentFactory.
class EarlierFactory final : public Kordo::IComponentFactory {
  public:
    Kordo::IComponent* Create(unsigned, int) override { return nullptr; }
    int ReleaseComponent(Kordo::IComponent*) override { return 0; }
};

// Runs the loader child test in `folder`'s copy of this program; VXM_LOADER_EXPECT tells it
// what the loader must leave.
ChildRun RunChild(const ScratchFolder& folder, const std::string& expectation)
{
    const std::string program = folder.Copy(ThisProgram(), "prog\\win_tests.exe");
    SetEnvironmentVariableA("VXM_LOADER_EXPECT", expectation.c_str());
    const ChildRun run = RunChildTests(program, "LoaderChild.*", folder);
    SetEnvironmentVariableA("VXM_LOADER_EXPECT", nullptr);
    return run;
}

// The loader's reports among the child's debugger output.
std::vector<std::string> KordoReports(const ChildRun& run)
{
    std::vector<std::string> found;
    for (const std::string& text : run.reports)
        if (text.rfind("[Kordo_Error] ", 0) == 0)
            found.push_back(text);
    return found;
}

const std::string kLoadFailed = "[Kordo_Error] Load KorFact.dll Fail.\n";
const std::string kNoFactory = "[Kordo_Error] Create ComponentFactory in KorFact.dll Fail\n";

} // namespace

// Runs only as the child of the tests below; VXM_LOADER_EXPECT says what the loader must leave.
TEST(LoaderChild, DISABLED_LoadsFromItsProgramFolder)
{
    const char* expectation = std::getenv("VXM_LOADER_EXPECT");
    ASSERT_NE(expectation, nullptr);
    if (const char* preload = std::getenv("VXM_LOADER_PRELOAD")) {
        ASSERT_NE(LoadLibraryA(preload), nullptr) << preload;
    }
    EarlierFactory earlier;
    Kordo::gComponentFactory = &earlier;
    Kordo::LoadComponentLibrary();
    const std::string expected = expectation;
    if (expected == "unchanged") {
        EXPECT_EQ(Kordo::gComponentFactory, &earlier);
    } else if (expected == "null") {
        EXPECT_EQ(Kordo::gComponentFactory, nullptr);
    } else {
        ASSERT_EQ(expected, "factory");
        ASSERT_NE(Kordo::gComponentFactory, nullptr);
        ASSERT_NE(Kordo::gComponentFactory, &earlier);
        Kordo::IComponent* component = Kordo::gComponentFactory->Create(785, 0);
        ASSERT_NE(component, nullptr);
        EXPECT_EQ(component->GetComponentId(), 785u);
        EXPECT_EQ(Kordo::gComponentFactory->Create(186, 0), nullptr);
    }
}

TEST(ComponentLoader, WithoutKordoIniNothingLoads)
{
    ScratchFolder folder;
    folder.Copy(kTestFactory, "prog\\KorFact.dll"); // beside the program, but not named
    const ChildRun run = RunChild(folder, "unchanged");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(KordoReports(run), std::vector<std::string>{kLoadFailed});
}

TEST(ComponentLoader, KordoIniNamesTheLibraryBesideIt)
{
    ScratchFolder folder;
    folder.Write("prog\\Kordo.ini", "[361]\r\nDLL = KorFact.dll\r\n");
    folder.Copy(kTestFactory, "prog\\KorFact.dll");
    const ChildRun run = RunChild(folder, "factory");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(KordoReports(run).empty());
}

TEST(ComponentLoader, DllPathAndRelativeRedirect)
{
    ScratchFolder folder;
    folder.Write("prog\\Kordo.ini", "[Redirect]\r\nPath=conf\\ui.ini\r\n");
    folder.Write("prog\\conf\\ui.ini",
                 "[361]\r\nDLL=KorFact.dll\r\n[DefaultValue]\r\nDllPath=lib\r\n");
    folder.Copy(kTestFactory, "prog\\conf\\lib\\KorFact.dll");
    const ChildRun run = RunChild(folder, "factory");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(KordoReports(run).empty());
}

TEST(ComponentLoader, AnyFileNameWithAnAbsolutePath)
{
    ScratchFolder folder;
    const std::string library = folder.Copy(kTestFactory, "ui lib\\factory.dll");
    folder.Write("prog\\Kordo.ini", "[361]\r\nDLL=\" " + library + " \"\r\n");
    const ChildRun run = RunChild(folder, "factory");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(KordoReports(run).empty());
}

TEST(ComponentLoader, LibraryAlreadyLoadedIsTakenWithoutKordoIni)
{
    ScratchFolder folder;
    const std::string library = folder.Copy(kTestFactory, "elsewhere\\KorFact.dll");
    SetEnvironmentVariableA("VXM_LOADER_PRELOAD", library.c_str());
    const ChildRun run = RunChild(folder, "factory");
    SetEnvironmentVariableA("VXM_LOADER_PRELOAD", nullptr);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_TRUE(KordoReports(run).empty());
}

TEST(ComponentLoader, FactoryRefusedIsStoredAsNull)
{
    ScratchFolder folder;
    folder.Write("prog\\Kordo.ini", "[361]\r\nDLL=KorFact.dll\r\n");
    folder.Copy(kTestFactory, "prog\\KorFact.dll");
    SetEnvironmentVariableA("VXM_TEST_FACTORY_NULL", "1");
    const ChildRun run = RunChild(folder, "null");
    SetEnvironmentVariableA("VXM_TEST_FACTORY_NULL", nullptr);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(KordoReports(run),
              (std::vector<std::string>{
                  "[Kordo_Error] CreateComponent(ComponentId=361) return null.\n", kNoFactory}));
}

TEST(ComponentLoader, LibraryWithoutCreateComponent)
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    ScratchFolder folder;
    folder.Write("prog\\Kordo.ini", "[361]\r\nDLL=" + std::string(system) + "\\version.dll\r\n");
    const ChildRun run = RunChild(folder, "null");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(KordoReports(run), (std::vector<std::string>{
                                     "[Kordo_Error] Can't find CreateComponent().\n", kNoFactory}));
}

TEST(ComponentLoader, RedirectLoopIsReportedAndLoadingGoesOn)
{
    ScratchFolder folder;
    const std::string first = folder.Path() + "\\prog\\Kordo.ini";
    const std::string second = folder.Path() + "\\conf\\b.ini";
    folder.Write("prog\\Kordo.ini", "[Redirect]\r\nPath=" + second + "\r\n");
    folder.Write("conf\\b.ini", "[Redirect]\r\nPath=" + first + "\r\n[361]\r\nDLL=KorFact.dll\r\n");
    folder.Copy(kTestFactory, "conf\\KorFact.dll");
    const ChildRun run = RunChild(folder, "factory");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(KordoReports(run),
              std::vector<std::string>{"[Kordo_Error] Redirect in " + second + " leads back to " +
                                       first + "; the redirect is ignored.\n"});
}
