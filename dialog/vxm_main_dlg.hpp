#pragma once
// The main dialog: account number, captcha and Start, which probes, rates and reports the
// machine and shows the server's answer in the result panel.
#include "dialog/dialog_controls.hpp"
#include "framework/kordo_event_impl.hpp"
#include "framework/kordo_ui.hpp"

#include <optional>
#include <string>

class VxmMainDlg : public IEventImpl<Kordo::IUILibEvent, 1> {
  public:
    // Loads the UI library and the layout, and finds and checks the controls; mDialog stays
    // null when any of that fails.
    VxmMainDlg();
    ~VxmMainDlg();
    VxmMainDlg(const VxmMainDlg&) = delete;
    VxmMainDlg& operator=(const VxmMainDlg&) = delete;

    void OnEvent(int controlId, Kordo::IVariableParam* params) override;

    Kordo::TKordoPtr<Kordo::IUILib, 1> mUILib;
    Kordo::IWindow* mDialog = nullptr;

    // Whether LoadLayout read the layout; false when the library is missing too.
    bool LayoutLoaded() const { return mLayoutLoaded; }
    // The control the loaded layout lacks or holds as another kind, if any.
    const std::optional<ControlFault>& ControlFaultFound() const { return mFault; }

  private:
    void NewCaptcha();
    bool AccountNumberChecked();
    bool CaptchaChecked();
    void OnStart();
    void ShowResult(const std::string& message, bool ok);
    void MoveTabFocus();
    void SetProgramIcon();

    DialogControls mControls{};
    DialogControlIds mIds;
    std::optional<ControlFault> mFault;
    int mCaptchaValue = 0;
    bool mLayoutLoaded = false;
};
