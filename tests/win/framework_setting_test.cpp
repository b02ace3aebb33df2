// The settings object the program publishes: each service made once and kept, the log file in
// the current directory, the script manager from the UI library's factory.
#include "framework/default_setting.hpp"
#include "framework/kordo_system_api.hpp"
#include "tests/win/framework_scratch_folder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

// A factory in this process: no script manager at first, then one that it keeps.
class ScriptFactory final : public Kordo::IComponentFactory {
  public:
    class Manager final : public Kordo::IUILuaScriptManager {
      public:
        int initialized = 0;
        int destroyed = 0;
        unsigned GetComponentId() const override { return Kordo::kUILuaScriptManagerId; }
        int GetVersion() const override { return 1; }
        void Destroy(int) override { ++destroyed; }
        int IsSingleton() const override { return 1; }
        void Initialize(int reserved) override { initialized += reserved == 0; }
        void Activate() override {}
        void Deactivate() override {}
        void Tick() override {}
        int RunFile(const char*) override { return 1; }
        int RunString(const char*) override { return 1; }
    };

    bool available = false;
    int created = 0;
    int released = 0;
    Manager manager;

    Kordo::IComponent* Create(unsigned id, int) override
    {
        ++created;
        return available && id == Kordo::kUILuaScriptManagerId ? &manager : nullptr;
    }
    int ReleaseComponent(Kordo::IComponent* component) override
    {
        ++released;
        return component == &manager;
    }
};

class FactoryInstalled : public ::testing::Test {
  protected:
    void SetUp() override { Kordo::gComponentFactory = &factory; }
    void TearDown() override { Kordo::gComponentFactory = nullptr; }
    ScriptFactory factory;
};

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

TEST(DefaultSetting, StatelessServicesAreMadeOnceEach)
{
    Kordo::DefaultSetting setting;
    Kordo::ISetting& services = setting;
    Kordo::ICommonFileSys* files = services.GetFileSys();
    Kordo::IAlloc* alloc = services.GetAlloc();
    Kordo::ISystemApiManager* system = services.GetSysApiManager();
    Kordo::IAudioPlayer* audio = services.GetAudioPlayer();
    ASSERT_NE(files, nullptr);
    ASSERT_NE(alloc, nullptr);
    ASSERT_NE(system, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(services.GetFileSys(), files);
    EXPECT_EQ(services.GetAlloc(), alloc);
    EXPECT_EQ(services.GetSysApiManager(), system);
    EXPECT_EQ(services.GetAudioPlayer(), audio);
    EXPECT_EQ(files->Open(VXM_BIN_DIR "\\no such file"), Kordo::kNoFile);
    std::size_t size = 16;
    void* block = alloc->Alloc(size);
    EXPECT_NE(block, nullptr);
    alloc->Free(block, size);
    EXPECT_EQ(audio->Play(1), 0);
}

TEST(DefaultSetting, SystemCallsReachWindows)
{
    Kordo::DefaultSetting setting;
    Kordo::ISystemApiManager* system = setting.GetSysApiManager();
    const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    system->SetCursor(arrow, 0);
    EXPECT_EQ(system->SetCursor(wait, 0), arrow);
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(system->SetCursor(arrow, 0), wait);

    // Whether a clip holds under Wine depends on X pointer grabs (it is dropped once a window of
    // the process has existed), so only the answers and the final unclipped state are checked.
    RECT screen{};
    GetWindowRect(GetDesktopWindow(), &screen);
    RECT corner{screen.left, screen.top, screen.left + 10, screen.top + 10};
    EXPECT_TRUE(system->ClipCursor(&corner));
    EXPECT_TRUE(system->ClipCursor(nullptr));
    RECT clip{};
    GetClipCursor(&clip);
    EXPECT_EQ(clip.right - clip.left, screen.right - screen.left);
}

TEST(DefaultSetting, LoggerWritesNewKordoLogInTheCurrentDirectory)
{
    ScratchFolder folder;
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    Kordo::DefaultSetting setting;
    Kordo::ILogger* logger = setting.GetLogger();
    SetCurrentDirectoryA(previous);
    ASSERT_NE(logger, nullptr);
    EXPECT_EQ(setting.GetLogger(), logger);
    logger->log("from the test", 0);
    const std::string text = ReadAll(folder.Path() + "\\NewKordoLog.txt");
    EXPECT_NE(text.find("(Std) \tKordo::ILogger singleton created. \n"), std::string::npos);
    EXPECT_NE(text.find("(Error)\tfrom the test\n"), std::string::npos);
    // The logger lives on with the process; its file must be closed before the folder goes.
    logger->setLogFilename("NUL", false);
}

TEST(DefaultSetting, UnopenableLogFileThrowsYetTheLoggerIsKept)
{
    ScratchFolder folder;
    folder.Write("NewKordoLog.txt\\inside", ""); // a folder where the file should be
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    Kordo::DefaultSetting setting;
    const char* thrown = nullptr;
    try {
        setting.GetLogger();
    } catch (const char* text) {
        thrown = text;
    }
    Kordo::ILogger* kept = setting.GetLogger(); // no second attempt: no exception
    SetCurrentDirectoryA(previous);
    EXPECT_STREQ(thrown, "Logger::setLogFilename - Failed to open file.");
    EXPECT_NE(kept, nullptr);
}

TEST_F(FactoryInstalled, ScriptManagerIsTriedUntilTheFactoryHasOne)
{
    Kordo::DefaultSetting setting;
    EXPECT_EQ(setting.GetScriptManager(), nullptr);
    EXPECT_EQ(setting.GetScriptManager(), nullptr);
    EXPECT_EQ(factory.created, 2);
    EXPECT_EQ(factory.released, 0); // nothing came, nothing to give back

    factory.available = true;
    Kordo::IUILuaScriptManager* manager = setting.GetScriptManager();
    EXPECT_EQ(manager, &factory.manager);
    EXPECT_EQ(factory.manager.initialized, 1);
    EXPECT_EQ(factory.released, 1); // handed back at once; the factory keeps it
    EXPECT_EQ(factory.manager.destroyed, 0);
    EXPECT_EQ(setting.GetScriptManager(), manager);
    EXPECT_EQ(factory.created, 3);
}

TEST(DefaultSetting, ScriptManagerFromALibraryInAnotherModule)
{
    HMODULE library = LoadLibraryA(VXM_BIN_DIR "\\kordo_test_factory.dll");
    ASSERT_NE(library, nullptr);
    const auto create = reinterpret_cast<Kordo::CreateComponentFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "CreateComponent")));
    ASSERT_NE(create, nullptr);
    Kordo::gComponentFactory = create(361, 0);
    ASSERT_NE(Kordo::gComponentFactory, nullptr);
    Kordo::DefaultSetting setting;
    Kordo::IUILuaScriptManager* manager = setting.GetScriptManager();
    Kordo::gComponentFactory = nullptr;
    ASSERT_NE(manager, nullptr); // found by type across the module boundary
    EXPECT_EQ(manager->GetComponentId(), 785u);
    EXPECT_EQ(manager->RunString("return 1"), 1); // initialised and not destroyed
    EXPECT_EQ(setting.GetScriptManager(), manager);
}
