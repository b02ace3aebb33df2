// The library as the program uses it: loaded through the program's loader from Kordo.ini beside
// this test program, with the shipped Main.vxm, driven by real keyboard and mouse input.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_ui.hpp"
#include "framework/variable_param.hpp"
#include "korfact/event_codes.hpp"
#include "tools/win/screen_capture.hpp"
#include "tools/win/step_script.hpp"
#include "tools/win/ui_input.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <vector>

using namespace Kordo;

namespace {

IComponentFactory* Factory()
{
    if (!gComponentFactory)
        LoadComponentLibrary();
    return gComponentFactory;
}

struct Event {
    int id, code, message;
    unsigned wParam;
};

// Handles events the way the dialog program does: one object as sink and window handler.
class ProgramLike final : public IUILibEvent {
  public:
    explicit ProgramLike(IUILib& lib) : mLib(lib)
    {
        main = Window("Main");
        talvo = Window("Talvo");
        result = Window("Result");
    }

    int IsEnabled() const override { return 1; }

    void OnEvent(int id, IVariableParam* params) override
    {
        const Event event{id, params->GetInt(kEventCodeKey, false),
                          params->GetInt(kEventMessageKey, false),
                          params->GetUInt(kEventWParamKey, false)};
        events.push_back(event);
        if (event.code == kEventClick) {
            if (id == Id("Btn_Close"))
                main->EndModal(id);
            else if (id == Id("Button_Start"))
                ShowResult();
            else if (id == Id("Btn_Navigation4"))
                talvoCodes.push_back(talvo->DoModal());
            else if (id == Id("Talvo_Close"))
                talvo->EndModal(id);
            else if (id == Id("Result_Close") || id == Id("Button_OK") ||
                     id == Id("Button_OK_Close"))
                result->EndModal(id);
        }
        const bool tab = event.wParam == VK_TAB;
        if (event.message == WM_KEYDOWN && tab) {
            const int focus = mLib.GetFocusControlId();
            const char* next = focus == Id("Edit_Zeq")       ? "Edit_Captcha"
                               : focus == Id("Edit_Captcha") ? "Button_Start"
                               : focus == Id("Button_Start") ? "Edit_Zeq"
                                                             : nullptr;
            if (next) {
                IControl* target = mLib.GetControl(Id(next));
                target->SetFocus();
                if (auto* edit = dynamic_cast<ITEdit*>(target))
                    edit->ActivateText();
            }
        }
        if ((event.message == WM_KEYDOWN || event.message == WM_KEYUP ||
             event.message == WM_CHAR) &&
            tab)
            params->SetInt(kEventHandledKey, 1);
    }

    int Id(const char* name) { return mLib.GetControlId(name, 0); }
    IWindow* Window(const char* name) { return dynamic_cast<IWindow*>(mLib.GetControl(Id(name))); }

    int Count(int id, int code) const
    {
        int count = 0;
        for (const Event& event : events)
            count += event.id == id && event.code == code;
        return count;
    }

    bool Saw(int id, int code, int message, unsigned wParam) const
    {
        for (const Event& event : events)
            if (event.id == id && event.code == code && event.message == message &&
                event.wParam == wParam)
                return true;
        return false;
    }

    IWindow* main;
    IWindow* talvo;
    IWindow* result;
    bool nextOk = true;
    std::vector<Event> events;
    std::vector<int> talvoCodes, resultCodes;

  private:
    void ShowResult()
    {
        const bool ok = nextOk;
        nextOk = !nextOk;
        mLib.GetControl(Id("Button_OK"))->SetVisible(ok);
        mLib.GetControl(Id("Button_OK_Close"))->SetVisible(!ok);
        auto* rich = dynamic_cast<IRichText*>(mLib.GetControl(Id("RichEdit_Text")));
        rich->ClearText();
        rich->SetRichText(ok ? "<font color=\"0x9b9b9b\" bold=\"1\" "
                               "size=\"14\">检测成功,谢谢，您已成功参与检测。</font>"
                             : "<font color=\"0x9b9b9b\" bold=\"1\" size=\"14\">检测失败。</font>");
        auto* message = dynamic_cast<IStaticText*>(mLib.GetControl(Id("Static_Msg")));
        message->SetText(ok ? "提交成功" : "数据提交失败，请稍后再尝试。");
        auto* colour = new CVariableParam2;
        colour->SetUInt(kTextColourKey, ok ? 0xC1D506 : 0x1717C5);
        message->ApplyParams(colour);
        colour->Destroy(0);
        resultCodes.push_back(result->DoModal());
    }

    IUILib& mLib;
};

std::string TextOf(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Library {
    Library()
    {
        if (Factory())
            lib = static_cast<IUILib*>(Factory()->Create(kUILibId, 0));
        if (lib.Get())
            lib->Initialize(0);
    }
    TKordoPtr<IUILib, 1> lib;
};

std::string WriteScratch(const std::string& name, const std::string& content)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

} // namespace

TEST(KorFactLibrary, FactoryMakesTheUILibAndNothingElse)
{
    IComponentFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    IComponent* lib = factory->Create(kUILibId, 0);
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->GetComponentId(), kUILibId);
    EXPECT_EQ(factory->ReleaseComponent(lib), 0); // the caller destroys it
    lib->Destroy(0);
    EXPECT_EQ(factory->Create(kUILuaScriptManagerId, 0), nullptr);
    EXPECT_EQ(factory->Create(12345, 0), nullptr);
}

TEST(KorFactLibrary, LoadsTheLayoutBesideTheProgramIntoRealWindows)
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    SetCurrentDirectoryA(temp); // as when started from a shortcut
    Library library;
    ASSERT_TRUE(library.lib);
    const int loaded = library.lib->LoadLayout("Main.vxm", 0);
    SetCurrentDirectoryA(previous);
    ASSERT_EQ(loaded, 1);
    IUILib& lib = *library.lib.Get();

    HWND dialog = UiInput::FindDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetDlgCtrlID(dialog), lib.GetControlId("Main", 0));
    EXPECT_EQ(TextOf(dialog), "VxmCheck 电脑配置检测");
    for (const char* name :
         {"Btn_Close", "Static_Captcha", "Edit_Zeq", "Edit_Captcha", "Button_Start",
          "Btn_Navigation4", "Talvo", "Talvo_Close", "Result", "Result_Close", "RichEdit_Text",
          "Static_Msg", "Button_OK", "Button_OK_Close"}) {
        const int id = lib.GetControlId(name, 0);
        EXPECT_NE(lib.GetControl(id), nullptr) << name;
        // Screen readers find it by its window id.
        EXPECT_NE(UiInput::FindControl(dialog, id), nullptr) << name;
    }
    EXPECT_EQ(TextOf(UiInput::FindControl(dialog, lib.GetControlId("Button_Start", 0))),
              "开始检测");
    EXPECT_EQ(lib.GetControl(lib.GetControlId("No_Such_Control", 0)), nullptr);
    // The edits are the one kind the program tells apart.
    EXPECT_NE(dynamic_cast<ITEdit*>(lib.GetControl(lib.GetControlId("Edit_Zeq", 0))), nullptr);
    EXPECT_EQ(dynamic_cast<ITEdit*>(lib.GetControl(lib.GetControlId("Button_Start", 0))), nullptr);

    auto* edit = dynamic_cast<ITEdit*>(lib.GetControl(lib.GetControlId("Edit_Captcha", 0)));
    edit->SetText("12345"); // longer than its limit of 4 when typed, but set by the program
    EXPECT_STREQ(edit->GetText(), "12345");
    lib.Shutdown();
    EXPECT_EQ(UiInput::FindDialog(), nullptr);
    EXPECT_EQ(lib.GetControl(lib.GetControlId("Main", 0)), nullptr);
}

TEST(KorFactLibrary, BadLayoutsLoadNothing)
{
    const std::string good = "<layout><dialog name=\"D\" id=\"7\" width=\"100\" height=\"80\">"
                             "<label name=\"L\" id=\"8\" width=\"50\" height=\"20\"/>";
    for (const std::string& content :
         {good, good + "</dialog></layout><",
          good + "<slider name=\"S\" id=\"9\" width=\"5\" height=\"5\"/></dialog></layout>",
          good + "<label name=\"L\" id=\"9\" width=\"5\" height=\"5\"/></dialog></layout>"}) {
        Library library;
        const std::string path = WriteScratch("korfact_bad.vxm", content);
        EXPECT_EQ(library.lib->LoadLayout(path.c_str(), 0), 0) << content;
        EXPECT_EQ(library.lib->GetControl(7), nullptr);
        EXPECT_EQ(UiInput::FindDialog(), nullptr);
    }
    Library library;
    EXPECT_EQ(library.lib->LoadLayout("Z:\\no\\such\\folder\\Main.vxm", 0), 0);
    EXPECT_EQ(library.lib->LoadLayout(nullptr, 0), 0);
}

TEST(KorFactDialog, RealInputReachesTheProgram)
{
    Library library;
    ASSERT_EQ(library.lib->LoadLayout("Main.vxm", 0), 1);
    IUILib& lib = *library.lib.Get();
    ProgramLike program(lib);
    ASSERT_NE(program.main, nullptr);
    lib.SetEventSink(1, &program);
    program.main->SetEventHandler(&program);
    auto* zeq = dynamic_cast<ITEdit*>(lib.GetControl(program.Id("Edit_Zeq")));
    auto* captcha = dynamic_cast<ITEdit*>(lib.GetControl(program.Id("Edit_Captcha")));
    HWND dialog = UiInput::FindDialog();
    const auto control = [&](const char* name) {
        return UiInput::FindControl(dialog, program.Id(name));
    };
    const auto focusIs = [&](const char* name) {
        return lib.GetFocusControlId() == program.Id(name);
    };

    StepScript script;
    script
        .Then("dialog up with the account edit focused",
              [&] { return IsWindowVisible(dialog) && focusIs("Edit_Zeq"); })
        .Then("type digits and Chinese",
              [&] {
                  UiInput::Type(L"12345中文");
                  return true;
              })
        .Then("Tab from the account edit",
              [&] {
                  EXPECT_STREQ(zeq->GetText(), "12345中文");
                  UiInput::Press(VK_TAB);
                  return true;
              })
        .Then("Tab from the captcha edit",
              [&] {
                  EXPECT_TRUE(focusIs("Edit_Captcha"));
                  EXPECT_STREQ(zeq->GetText(), "12345中文"); // the consumed Tab typed nothing
                  UiInput::Type(L"3412");
                  UiInput::Press(VK_TAB);
                  return true;
              })
        .Then("Tab from the start button",
              [&] {
                  EXPECT_TRUE(focusIs("Button_Start"));
                  EXPECT_STREQ(captcha->GetText(), "3412");
                  UiInput::Press(VK_TAB);
                  return true;
              })
        .Then("Enter in the account edit",
              [&] {
                  EXPECT_TRUE(program.Saw(program.Id("Button_Start"), KorFact::kEventControlKey,
                                          WM_KEYDOWN, VK_TAB));
                  EXPECT_TRUE(focusIs("Edit_Zeq"));
                  DWORD first = 1, last = 0;
                  SendMessageW(control("Edit_Zeq"), EM_GETSEL, reinterpret_cast<WPARAM>(&first),
                               reinterpret_cast<LPARAM>(&last));
                  EXPECT_EQ(first, 0u);
                  EXPECT_EQ(last, 7u); // "12345中文", all selected
                  UiInput::Press(VK_RETURN);
                  return true;
              })
        .Then("click the captcha",
              [&] {
                  EXPECT_TRUE(
                      program.Saw(program.Id("Edit_Zeq"), kEventEditKey, WM_KEYDOWN, VK_RETURN));
                  EXPECT_STREQ(zeq->GetText(), "12345中文");
                  UiInput::Click(control("Static_Captcha"));
                  return true;
              })
        .Then("open the Talvo panel",
              [&] {
                  EXPECT_EQ(program.Count(program.Id("Static_Captcha"), kEventClick), 1);
                  UiInput::Click(control("Btn_Navigation4"));
                  return true;
              })
        .Then("clicks outside the panel go nowhere",
              [&] {
                  if (!IsWindowVisible(control("Talvo")))
                      return false;
                  UiInput::Click(control("Button_Start"));
                  return true;
              })
        .Then("close the panel",
              [&] {
                  UiInput::Click(control("Talvo_Close"));
                  return true;
              })
        .Then("start: the result panel",
              [&] {
                  if (program.talvoCodes.empty())
                      return false;
                  EXPECT_EQ(program.talvoCodes, std::vector<int>{program.Id("Talvo_Close")});
                  EXPECT_FALSE(IsWindowVisible(control("Talvo")));
                  EXPECT_EQ(program.Count(program.Id("Button_Start"), kEventClick), 0);
                  UiInput::Click(control("Button_Start"));
                  return true;
              })
        .Then("Enter on the OK button",
              [&] {
                  if (!IsWindowVisible(control("Result")))
                      return false;
                  EXPECT_EQ(TextOf(control("RichEdit_Text")), "检测成功,谢谢，您已成功参与检测。");
                  EXPECT_EQ(TextOf(control("Static_Msg")), "提交成功");
                  EXPECT_TRUE(IsWindowVisible(control("Button_OK")));
                  EXPECT_FALSE(IsWindowVisible(control("Button_OK_Close")));
                  EXPECT_TRUE(focusIs("Button_OK"));
                  const auto shot = ScreenCapture::Capture(control("Static_Msg"));
                  EXPECT_GT(ScreenCapture::CountColour(shot, 0xC1D506), 20);
                  UiInput::Press(VK_RETURN);
                  return true;
              })
        .Then("start again: failure",
              [&] {
                  if (program.resultCodes.empty())
                      return false;
                  EXPECT_EQ(program.resultCodes.back(), program.Id("Button_OK"));
                  UiInput::Click(control("Button_Start"));
                  return true;
              })
        .Then("Alt+F4 on the result panel",
              [&] {
                  if (!IsWindowVisible(control("Result")))
                      return false;
                  EXPECT_EQ(TextOf(control("RichEdit_Text")), "检测失败。");
                  EXPECT_TRUE(IsWindowVisible(control("Button_OK_Close")));
                  const auto shot = ScreenCapture::Capture(control("Static_Msg"));
                  EXPECT_GT(ScreenCapture::CountColour(shot, 0x1717C5), 20);
                  UiInput::AltF4();
                  return true;
              })
        .Then("Alt+F4 on the dialog", [&] {
            if (program.resultCodes.size() < 2)
                return false;
            EXPECT_EQ(program.resultCodes.back(), program.Id("Result_Close"));
            UiInput::AltF4();
            return true;
        });
    std::string stalled;
    script.Start([&](const std::string& step) {
        stalled = step;
        program.main->EndModal(-99);
    });
    const int code = program.main->DoModal();
    EXPECT_EQ(stalled, "");
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(code, program.Id("Btn_Close"));
    // Sink and handler are one object: every click came once.
    EXPECT_EQ(program.Count(program.Id("Btn_Navigation4"), kEventClick), 1);
    EXPECT_EQ(program.Count(program.Id("Button_Start"), kEventClick), 2);
    EXPECT_EQ(program.Count(program.Id("Btn_Close"), kEventClick), 1);
}

namespace {

class Recorder final : public IUILibEvent {
  public:
    int IsEnabled() const override { return 1; }
    void OnEvent(int id, IVariableParam* params) override
    {
        if (params->GetInt(kEventCodeKey, false) != kEventClick)
            return;
        clicks.push_back(id);
        if (onClick)
            onClick(id);
    }
    std::vector<int> clicks;
    std::function<void(int)> onClick;
};

} // namespace

TEST(KorFactDialog, DistinctSinkAndHandlerEachGetTheEvent)
{
    Library library;
    ASSERT_EQ(library.lib->LoadLayout("Main.vxm", 0), 1);
    IUILib& lib = *library.lib.Get();
    auto* main = dynamic_cast<IWindow*>(lib.GetControl(lib.GetControlId("Main", 0)));
    const int close = lib.GetControlId("Btn_Close", 0);
    Recorder handler, sink;
    handler.onClick = [&](int id) { main->EndModal(id + 1); };
    main->SetEventHandler(&handler);
    lib.SetEventSink(1, &sink);
    StepScript script;
    script.Then("click the close cross", [&] {
        UiInput::Click(UiInput::FindControl(UiInput::FindDialog(), close));
        return true;
    });
    script.Start([&](const std::string&) { main->EndModal(-99); });
    EXPECT_EQ(main->DoModal(), close + 1);
    EXPECT_EQ(handler.clicks, std::vector<int>{close});
    EXPECT_EQ(sink.clicks, std::vector<int>{close});
}
