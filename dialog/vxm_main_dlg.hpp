#pragma once
// The main dialog: account number, captcha and Start, which probes, rates and reports the
// machine and shows the server's answer in the result panel.
#include "framework/kordo_event_impl.hpp"
#include "framework/kordo_ui.hpp"

#include <string>

class VxmMainDlg : public IEventImpl<Kordo::IUILibEvent, 1> {
  public:
    // Loads the UI library and the layout, and finds the controls; mDialog stays null when any
    // of that fails.
    VxmMainDlg();
    ~VxmMainDlg();
    VxmMainDlg(const VxmMainDlg&) = delete;
    VxmMainDlg& operator=(const VxmMainDlg&) = delete;

    void OnEvent(int controlId, Kordo::IVariableParam* params) override;

    Kordo::TKordoPtr<Kordo::IUILib, 1> mUILib;
    Kordo::IWindow* mDialog = nullptr;

    // Whether LoadLayout read the layout; false when the library is missing too.
    bool LayoutLoaded() const { return mLayoutLoaded; }

  private:
    void NewCaptcha();
    bool AccountNumberChecked();
    bool CaptchaChecked();
    void OnStart();
    void ShowResult(const std::string& message, bool ok);
    void MoveTabFocus();
    Kordo::IControl* Control(const char* name);
    void SetProgramIcon();

    Kordo::IStaticText* mCaptchaLabel = nullptr;
    Kordo::ITEdit* mAccountEdit = nullptr;
    Kordo::ITEdit* mCaptchaEdit = nullptr;
    Kordo::IControl* mStartButton = nullptr;
    Kordo::IWindow* mTalvo = nullptr;
    Kordo::IWindow* mResult = nullptr;

    int mMainId = 0;
    int mCloseId = 0;
    int mStartId = 0;
    int mCaptchaLabelId = 0;
    int mNavigation4Id = 0;
    int mTalvoCloseId = 0;
    int mResultCloseId = 0;
    int mOkCloseId = 0;
    int mOkId = 0;
    int mAccountEditId = 0;
    int mCaptchaEditId = 0;

    int mCaptchaValue = 0;
    bool mLayoutLoaded = false;
};
