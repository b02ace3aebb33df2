// Screenshots of the dialog of Main.vxm in each state a user sees, as PNG files in
// korfact-shots/ beside bin/ (or the folder given). The library comes through the program's
// loader, as in the program.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_ui.hpp"
#include "framework/variable_param.hpp"
#include "tools/win/screen_capture.hpp"
#include "tools/win/server_messages.hpp"
#include "tools/win/step_script.hpp"
#include "tools/win/ui_input.hpp"

#include <cstdio>
#include <string>

using namespace Kordo;

namespace {

class Handler final : public IUILibEvent {
  public:
    explicit Handler(IUILib& lib) : mLib(lib) {}
    int IsEnabled() const override { return 1; }
    void OnEvent(int id, IVariableParam* params) override
    {
        if (params->GetInt(kEventCodeKey, false) != kEventClick)
            return;
        const std::string name = Name(id);
        if (name == "Btn_Close")
            Window("Main")->EndModal(id);
        else if (name == "Btn_Navigation4")
            Window("Talvo")->DoModal();
        else if (name == "Talvo_Close")
            Window("Talvo")->EndModal(id);
        else if (name == "Button_Start")
            mNextMessage.empty() ? ShowResult() : Show(true, mNextMessage.c_str());
        else if (name == "Result_Close" || name == "Button_OK" || name == "Button_OK_Close")
            Window("Result")->EndModal(id);
    }

    std::string mNextMessage; // a server's message for the next Start, else the two short ones

  private:
    std::string Name(int id)
    {
        for (const char* name : {"Btn_Close", "Btn_Navigation4", "Talvo_Close", "Button_Start",
                                 "Result_Close", "Button_OK", "Button_OK_Close"})
            if (mLib.GetControlId(name, 0) == id)
                return name;
        return "";
    }
    IControl* Get(const char* name) { return mLib.GetControl(mLib.GetControlId(name, 0)); }
    IWindow* Window(const char* name) { return dynamic_cast<IWindow*>(Get(name)); }

    void ShowResult()
    {
        const bool ok = mOk;
        mOk = !mOk;
        Show(ok, ok ? "您的电脑配置等级为 2 级，感谢参与本次检测活动！"
                    : "数据提交失败，请稍后再尝试。如果问题持续出现，请检查网络连接。");
    }

    void Show(bool ok, const char* text)
    {
        Get("Button_OK")->SetVisible(ok);
        Get("Button_OK_Close")->SetVisible(!ok);
        auto* rich = dynamic_cast<IRichText*>(Get("RichEdit_Text"));
        rich->ClearText();
        rich->SetRichText(ok ? "<font color=\"0x9b9b9b\" bold=\"1\" "
                               "size=\"14\">检测成功,谢谢，您已成功参与检测。</font>"
                             : "<font color=\"0x9b9b9b\" bold=\"1\" size=\"14\">检测失败。</font>");
        auto* message = dynamic_cast<IStaticText*>(Get("Static_Msg"));
        message->SetText(text);
        CVariableParam2 colour;
        colour.SetUInt(kTextColourKey, ok ? 0xC1D506 : 0x1717C5);
        message->ApplyParams(&colour);
        Window("Result")->DoModal();
    }

    IUILib& mLib;
    bool mOk = true;
};

// What Windows 10 does when the dialog's monitor changes to `dpi`: it asks the dialog for its
// size there (WM_GETDPISCALEDSIZE), then tells it the DPI with a rectangle of that size, here
// centred where it was.
void MoveToDpi(HWND dialog, int dpi)
{
    constexpr UINT kGetDpiScaledSize = 0x02E4;
    RECT now;
    GetWindowRect(dialog, &now);
    SIZE size{now.right - now.left, now.bottom - now.top};
    SendMessageW(dialog, kGetDpiScaledSize, dpi, reinterpret_cast<LPARAM>(&size));
    const int x = (now.left + now.right - size.cx) / 2;
    const int y = (now.top + now.bottom - size.cy) / 2;
    RECT suggested{x, y, x + size.cx, y + size.cy};
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

std::string DefaultFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.rfind('\\'));
    return folder.substr(0, folder.rfind('\\')) + "\\korfact-shots";
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : DefaultFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    LoadComponentLibrary();
    if (!gComponentFactory)
        return 1;
    TKordoPtr<IUILib, 1> lib(static_cast<IUILib*>(gComponentFactory->Create(kUILibId, 0)));
    if (!lib || !lib->LoadLayout("Main.vxm", 0))
        return 2;
    Handler handler(*lib.Get());
    auto* main = dynamic_cast<IWindow*>(lib->GetControl(lib->GetControlId("Main", 0)));
    main->SetEventHandler(&handler);
    lib->SetEventSink(1, &handler);
    HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    std::intptr_t result = 0;
    main->SendWindowMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<std::intptr_t>(icon), &result);
    dynamic_cast<IStaticText*>(lib->GetControl(lib->GetControlId("Static_Captcha", 0)))
        ->SetText("3412");

    HWND dialog = nullptr;
    const auto control = [&](const char* name) {
        return UiInput::FindControl(dialog, lib->GetControlId(name, 0));
    };
    int saved = 0;
    const auto shot = [&](const char* name) {
        const std::string path = folder + "\\" + name + ".png";
        if (ScreenCapture::SavePng(ScreenCapture::Capture(dialog), path)) {
            std::printf("%s\n", path.c_str());
            ++saved;
        }
        return true;
    };
    StepScript script;
    script
        .Then("shown",
              [&] {
                  dialog = UiInput::FindDialog();
                  return dialog && IsWindowVisible(dialog);
              })
        .Then("initial", [&] { return shot("1-main"); })
        .Then("typing",
              [&] {
                  UiInput::Type(L"123456789");
                  UiInput::Press(VK_TAB);
                  UiInput::Type(L"34");
                  UiInput::MoveTo(control("Button_Start"));
                  return true;
              })
        .Then("typed", [&] { return shot("2-main-typing-hover"); })
        .Then("open Talvo",
              [&] {
                  UiInput::Click(control("Btn_Navigation4"));
                  return true;
              })
        .Then("Talvo", [&] { return IsWindowVisible(control("Talvo")) && shot("3-talvo"); })
        .Then("close Talvo",
              [&] {
                  UiInput::Click(control("Talvo_Close"));
                  return true;
              })
        .Then("start",
              [&] {
                  if (IsWindowVisible(control("Talvo")))
                      return false;
                  UiInput::Click(control("Button_Start"));
                  return true;
              })
        .Then("success",
              [&] { return IsWindowVisible(control("Result")) && shot("4-result-success"); })
        .Then("close success",
              [&] {
                  UiInput::Click(control("Button_OK"));
                  return true;
              })
        .Then("start again",
              [&] {
                  if (IsWindowVisible(control("Result")))
                      return false;
                  UiInput::Click(control("Button_Start"));
                  return true;
              })
        .Then("failure",
              [&] { return IsWindowVisible(control("Result")) && shot("5-result-failure"); })
        .Then("close failure", [&] {
            UiInput::Click(control("Button_OK_Close"));
            return true;
        });
    // The longest message the server gives, on monitors of 96, 144 and 192 DPI, and a message
    // longer than the panel may grow, scrolled to its end.
    const auto start = [&](const std::string& message) {
        return [&, message] {
            if (IsWindowVisible(control("Result")))
                return false;
            handler.mNextMessage = message;
            UiInput::Click(control("Button_Start"));
            return true;
        };
    };
    const auto closeResult = [&] {
        UiInput::Click(control("Button_OK"));
        return true;
    };
    static const char* const kLongestShots[] = {"6-result-longest-96dpi", "7-result-longest-144dpi",
                                                "8-result-longest-192dpi"};
    const int dpis[] = {96, 144, 192};
    for (int i = 0; i < 3; ++i) {
        const int dpi = dpis[i];
        const char* name = kLongestShots[i];
        script
            .Then("move to a monitor of another DPI",
                  [&, dpi] {
                      if (IsWindowVisible(control("Result")))
                          return false;
                      MoveToDpi(dialog, dpi);
                      return true;
                  })
            .Then("start", start(ServerMessages::kLongest))
            .Then(name, [&, name] { return IsWindowVisible(control("Result")) && shot(name); })
            .Then("close", closeResult);
    }
    const std::string overlong = std::string(ServerMessages::kLongest) + ServerMessages::kLongest;
    script
        .Then("back to 96 DPI",
              [&] {
                  if (IsWindowVisible(control("Result")))
                      return false;
                  MoveToDpi(dialog, 96);
                  return true;
              })
        .Then("start", start(overlong))
        .Then("overlong",
              [&] { return IsWindowVisible(control("Result")) && shot("9-result-overlong-96dpi"); })
        .Then("to its end",
              [&] {
                  UiInput::Press(VK_END);
                  return true;
              })
        .Then("overlong at its end", [&] { return shot("10-result-overlong-end-96dpi"); })
        .Then("close all", [&] {
            UiInput::AltF4();
            UiInput::AltF4();
            return true;
        });
    script.Start([&](const std::string& step) {
        std::fprintf(stderr, "stalled at: %s\n", step.c_str());
        main->EndModal(-1);
    });
    main->DoModal();
    return saved == 10 ? 0 : 3;
}
