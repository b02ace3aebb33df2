#include "dialog/vxm_main_dlg.hpp"

#include "common/account_number.hpp"
#include "common/fault_report.hpp"
#include "common/program_version.hpp"
#include "dialog/dialog_event.hpp"
#include "dialog/input_checks.hpp"
#include "dialog/privacy_server_line.hpp"
#include "dialog/start_outcome.hpp"
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
#include <variant>

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
    auto found = FindDialogControls(*mUILib.Get());
    if (const auto* fault = std::get_if<ControlFault>(&found)) {
        mFault = *fault;
        return;
    }
    mControls = std::get<FoundControls>(found).controls;
    mIds = std::get<FoundControls>(found).ids;
    mDialog = mControls.main;
    mUILib->SetEventSink(1, this);
    mDialog->SetEventHandler(this);

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    NewCaptcha();
    SetProgramIcon();
    const ReportDestination destination = BuiltInReportDestination();
    mControls.privacyServer->SetText(
        PrivacyServerLine(destination.host, destination.encrypted, kProgramVersion).c_str());
}

VxmMainDlg::~VxmMainDlg()
{
    if (mUILib)
        mUILib->Shutdown();
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
    const DialogResponse response = RespondTo(ReadDialogEvent(controlId, *params), mIds);
    if (response.handled)
        MarkHandled(*params);
    switch (response.action) {
    case DialogAction::None:
        break;
    case DialogAction::Close:
        mDialog->EndModal(controlId);
        break;
    case DialogAction::Start:
        OnStart();
        break;
    case DialogAction::NewCaptcha:
        NewCaptcha();
        break;
    case DialogAction::ShowPrivacy:
        mControls.privacy->DoModal();
        break;
    case DialogAction::ClosePrivacy:
        mControls.privacy->EndModal(controlId);
        break;
    case DialogAction::CloseResult:
        mControls.result->EndModal(controlId);
        break;
    case DialogAction::MoveTabFocus:
        MoveTabFocus();
        break;
    }
}

// Tab cycles the account edit, the captcha edit and Start; elsewhere it moves nothing.
void VxmMainDlg::MoveTabFocus()
{
    const int focused = mUILib->GetFocusControlId();
    if (focused == mIds.accountEdit) {
        mControls.captchaEdit->SetFocus();
        mControls.captchaEdit->ActivateText();
    } else if (focused == mIds.captchaEdit) {
        mControls.start->SetFocus();
    } else if (focused == mIds.start) {
        mControls.accountEdit->SetFocus();
        mControls.accountEdit->ActivateText();
    }
}

void VxmMainDlg::NewCaptcha()
{
    mCaptchaValue = DrawCaptchaValue();
    mControls.captchaLabel->SetText(ShownCaptcha(mCaptchaValue).c_str());
    mControls.captchaEdit->SetText("");
}

bool VxmMainDlg::AccountNumberChecked()
{
    if (AccountNumberValid(mControls.accountEdit->GetText()))
        return true;
    ShowWarning("Zeq号码输入有误，请重新输入");
    return false;
}

bool VxmMainDlg::CaptchaChecked()
{
    if (CaptchaAccepted(mControls.captchaEdit->GetText(), mCaptchaValue))
        return true;
    ShowWarning("验证码输入有误，请重新输入");
    NewCaptcha();
    return false;
}

void VxmMainDlg::OnStart()
{
    if (!AccountNumberChecked() || !CaptchaChecked())
        return;
    MachineInfo()[InfoKey::Zeq] = mControls.accountEdit->GetText();
    GetProbeSummary();
    EvaluateLevel();
    // A GUI program's standard error reaches no one: a failed count goes to the debugger output.
    const StartOutcome outcome =
        SubmitReport([] { return PostReport(); }, [] { RecordParticipation(); }, gShowInfo,
                     std::cerr, [](const std::string& what) { ReportFault("dialog", what); });
    ShowResult(outcome.message, outcome.ok);
    mControls.result->DoModal();
    NewCaptcha();
}

void VxmMainDlg::ShowResult(const std::string& message, bool ok)
{
    const char* markup = ok ? "<font color=\"0x9b9b9b\" bold=\"1\" "
                              "size=\"14\">检测成功,谢谢，您已成功参与检测。</font>"
                            : "<font color=\"0x9b9b9b\" bold=\"1\" size=\"14\">检测失败。</font>";
    mControls.resultOk->SetVisible(ok);
    mControls.resultFailureClose->SetVisible(!ok);
    mControls.resultHeading->ClearText();
    mControls.resultHeading->SetRichText(markup);
    mControls.resultMessage->SetText(message.c_str());
    auto* colour = new Kordo::CVariableParam2;
    colour->SetUInt(Kordo::kTextColourKey, ok ? kSuccessColour : kFailureColour);
    mControls.resultMessage->ApplyParams(colour);
    colour->Destroy(0);
}
