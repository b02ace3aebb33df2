#include "dialog/vxm_main_dlg.hpp"

#include "dialog/input_checks.hpp"
#include "eval/level.hpp"
#include "framework/component_library_loader.hpp"
#include "framework/variable_param.hpp"
#include "probe/machine_info.hpp"
#include "probe/machine_keys.hpp"
#include "probe/probe_run.hpp"
#include "probe/run_counter.hpp"
#include "probe/show_info_flag.hpp"
#include "report/post_report.hpp"

#include <windows.h>

#include <ctime>
#include <iostream>
#include <stdexcept>

namespace {

constexpr int kProgramIconResource = 105;
constexpr unsigned kSuccessColour = 0xC1D506; // teal green, as COLORREF 0x00BBGGRR
constexpr unsigned kFailureColour = 0x1717C5; // red

void ShowWarning(const char* text)
{
    MessageBoxA(nullptr, text, "提示", MB_ICONWARNING | MB_OK);
}

} // namespace

VxmMainDlg::VxmMainDlg()
{
    if (!Kordo::gComponentFactory)
        Kordo::LoadComponentLibrary();
    if (Kordo::gComponentFactory) {
        mUILib = static_cast<Kordo::IUILib*>(Kordo::gComponentFactory->Create(Kordo::kUILibId, 0));
        if (mUILib)
            mUILib->Initialize(0);
    }
    if (!mUILib || !mUILib->LoadLayout("Main.vxm", 0))
        return;
    mLayoutLoaded = true;
    mUILib->SetEventSink(1, this);

    mDialog = dynamic_cast<Kordo::IWindow*>(Control("Main"));
    mCaptchaLabel = dynamic_cast<Kordo::IStaticText*>(Control("Static_Captcha"));
    mAccountEdit = dynamic_cast<Kordo::ITEdit*>(Control("Edit_Zeq"));
    mCaptchaEdit = dynamic_cast<Kordo::ITEdit*>(Control("Edit_Captcha"));
    mStartButton = Control("Button_Start");
    mTalvo = dynamic_cast<Kordo::IWindow*>(Control("Talvo"));
    mResult = dynamic_cast<Kordo::IWindow*>(Control("Result"));
    if (!mDialog)
        return;
    mDialog->SetEventHandler(this);

    mMainId = mUILib->GetControlId("Main", 0);
    mCloseId = mUILib->GetControlId("Btn_Close", 0);
    mStartId = mUILib->GetControlId("Button_Start", 0);
    mCaptchaLabelId = mUILib->GetControlId("Static_Captcha", 0);
    mNavigation4Id = mUILib->GetControlId("Btn_Navigation4", 0);
    mTalvoCloseId = mUILib->GetControlId("Talvo_Close", 0);
    mResultCloseId = mUILib->GetControlId("Result_Close", 0);
    mOkCloseId = mUILib->GetControlId("Button_OK_Close", 0);
    mOkId = mUILib->GetControlId("Button_OK", 0);
    mAccountEditId = mUILib->GetControlId("Edit_Zeq", 0);
    mCaptchaEditId = mUILib->GetControlId("Edit_Captcha", 0);

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    NewCaptcha();
    SetProgramIcon();
}

VxmMainDlg::~VxmMainDlg()
{
    if (mUILib)
        mUILib->Shutdown();
}

Kordo::IControl* VxmMainDlg::Control(const char* name)
{
    return mUILib->GetControl(mUILib->GetControlId(name, 0));
}

void VxmMainDlg::SetProgramIcon()
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kProgramIconResource));
    std::intptr_t result = 0;
    const auto handle = reinterpret_cast<std::intptr_t>(icon);
    mDialog->SendWindowMessage(WM_SETICON, ICON_BIG, handle, &result);
    mDialog->SendWindowMessage(WM_SETICON, ICON_SMALL, handle, &result);
}

void VxmMainDlg::OnEvent(int controlId, Kordo::IVariableParam* params)
{
    const int code = params->GetInt(Kordo::kEventCodeKey, false);
    if (code == Kordo::kEventClick) {
        if (controlId == mCloseId) {
            mDialog->EndModal(controlId);
        } else if (controlId == mStartId) {
            OnStart();
        } else if (controlId == mCaptchaLabelId) {
            NewCaptcha();
        } else if (controlId == mNavigation4Id) {
            if (mTalvo)
                mTalvo->DoModal();
        } else if (controlId == mTalvoCloseId) {
            if (mTalvo)
                mTalvo->EndModal(controlId);
        } else if (controlId == mResultCloseId || controlId == mOkCloseId || controlId == mOkId) {
            if (mResult)
                mResult->EndModal(controlId);
        }
    }

    const int message = params->GetInt(Kordo::kEventMessageKey, false);
    const unsigned key = params->GetUInt(Kordo::kEventWParamKey, false);
    if (message == WM_KEYDOWN && key == VK_TAB)
        MoveTabFocus();
    if ((message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) && key == VK_TAB)
        params->SetInt(Kordo::kEventHandledKey, 1);
    if ((controlId == mAccountEditId || controlId == mCaptchaEditId) &&
        code == Kordo::kEventEditKey && message == WM_KEYDOWN && key == VK_RETURN)
        OnStart();
}

// Tab cycles the account edit, the captcha edit and Start; elsewhere it moves nothing.
void VxmMainDlg::MoveTabFocus()
{
    const int focused = mUILib->GetFocusControlId();
    Kordo::IControl* target = nullptr;
    if (focused == mAccountEditId)
        target = mCaptchaEdit;
    else if (focused == mCaptchaEditId)
        target = mStartButton;
    else if (focused == mStartId)
        target = mAccountEdit;
    if (!target)
        return;
    target->SetFocus();
    if (auto* edit = dynamic_cast<Kordo::ITEdit*>(target))
        edit->ActivateText();
}

void VxmMainDlg::NewCaptcha()
{
    mCaptchaValue = DrawCaptchaValue();
    if (mCaptchaLabel)
        mCaptchaLabel->SetText(ShownCaptcha(mCaptchaValue).c_str());
    if (mCaptchaEdit)
        mCaptchaEdit->SetText("");
}

bool VxmMainDlg::AccountNumberChecked()
{
    if (mAccountEdit && AccountNumberValid(mAccountEdit->GetText()))
        return true;
    ShowWarning("Zeq号码输入有误，请重新输入");
    return false;
}

bool VxmMainDlg::CaptchaChecked()
{
    if (mCaptchaEdit && CaptchaAccepted(mCaptchaEdit->GetText(), mCaptchaValue))
        return true;
    ShowWarning("验证码输入有误，请重新输入");
    NewCaptcha();
    return false;
}

void VxmMainDlg::OnStart()
{
    if (!AccountNumberChecked() || !CaptchaChecked())
        return;
    MachineInfo()[InfoKey::Zeq] = mAccountEdit->GetText();
    GetProbeSummary();
    EvaluateLevel();

    std::string message;
    bool ok = false;
    const auto networkFailure = [&message](const std::exception& failure) {
        std::cerr << failure.what() << std::endl;
        message =
            gShowInfo ? std::string("网络错误:") + failure.what() : "数据提交失败，请稍后再尝试。";
    };
    try {
        message = PostReport();
        ok = true;
        RecordParticipation();
    } catch (const ReplicatedCommit& repeated) {
        message = repeated.what();
        // Counting can fail here as after a success; it must not escape into the UI library.
        try {
            RecordParticipation();
        } catch (const std::exception& failure) {
            networkFailure(failure);
        }
    } catch (const std::logic_error& refused) {
        message = refused.what();
    } catch (const std::exception& failure) {
        networkFailure(failure);
    }
    ShowResult(message, ok);
    if (mResult)
        mResult->DoModal();
    NewCaptcha();
}

void VxmMainDlg::ShowResult(const std::string& message, bool ok)
{
    const char* markup = ok ? "<font color=\"0x9b9b9b\" bold=\"1\" "
                              "size=\"14\">检测成功,谢谢，您已成功参与检测。</font>"
                            : "<font color=\"0x9b9b9b\" bold=\"1\" size=\"14\">检测失败。</font>";
    if (Kordo::IControl* okButton = Control("Button_OK"))
        okButton->SetVisible(ok);
    if (Kordo::IControl* closeButton = Control("Button_OK_Close"))
        closeButton->SetVisible(!ok);
    if (auto* text = dynamic_cast<Kordo::IRichText*>(Control("RichEdit_Text"))) {
        text->ClearText();
        text->SetRichText(markup);
    }
    if (auto* label = dynamic_cast<Kordo::IStaticText*>(Control("Static_Msg"))) {
        label->SetText(message.c_str());
        auto* colour = new Kordo::CVariableParam2;
        colour->SetUInt(Kordo::kTextColourKey, ok ? kSuccessColour : kFailureColour);
        label->ApplyParams(colour);
        colour->Destroy(0);
    }
}
