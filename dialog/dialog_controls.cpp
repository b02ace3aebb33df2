#include "dialog/dialog_controls.hpp"

#include <cstddef>

namespace {

// One control of the contract: its layout name, where it lands and, for those whose events or
// focus count, where its id lands.
struct Binding {
    const char* name;
    bool (*bind)(Kordo::IControl* control, DialogControls& into);
    int DialogControlIds::*id;
};

template <class Kind, Kind* DialogControls::*Member>
bool Bind(Kordo::IControl* control, DialogControls& into)
{
    into.*Member = dynamic_cast<Kind*>(control);
    return into.*Member != nullptr;
}

const Binding kBindings[] = {
    {"Main", Bind<Kordo::IWindow, &DialogControls::main>, nullptr},
    {"Btn_Close", Bind<Kordo::IControl, &DialogControls::close>, &DialogControlIds::close},
    {"Static_Captcha", Bind<Kordo::IStaticText, &DialogControls::captchaLabel>,
     &DialogControlIds::captchaLabel},
    {"Edit_Zeq", Bind<Kordo::ITEdit, &DialogControls::accountEdit>, &DialogControlIds::accountEdit},
    {"Edit_Captcha", Bind<Kordo::ITEdit, &DialogControls::captchaEdit>,
     &DialogControlIds::captchaEdit},
    {"Button_Start", Bind<Kordo::IControl, &DialogControls::start>, &DialogControlIds::start},
    {"Btn_Navigation4", Bind<Kordo::IControl, &DialogControls::privacyLink>,
     &DialogControlIds::privacyLink},
    {"Talvo", Bind<Kordo::IWindow, &DialogControls::privacy>, nullptr},
    {"Talvo_Close", Bind<Kordo::IControl, &DialogControls::privacyClose>,
     &DialogControlIds::privacyClose},
    {"Talvo_Server", Bind<Kordo::IStaticText, &DialogControls::privacyServer>, nullptr},
    {"Result", Bind<Kordo::IWindow, &DialogControls::result>, nullptr},
    {"Result_Close", Bind<Kordo::IControl, &DialogControls::resultClose>,
     &DialogControlIds::resultClose},
    {"RichEdit_Text", Bind<Kordo::IRichText, &DialogControls::resultHeading>, nullptr},
    {"Static_Msg", Bind<Kordo::IStaticText, &DialogControls::resultMessage>, nullptr},
    {"Button_OK", Bind<Kordo::IControl, &DialogControls::resultOk>, &DialogControlIds::resultOk},
    {"Button_OK_Close", Bind<Kordo::IControl, &DialogControls::resultFailureClose>,
     &DialogControlIds::resultFailureClose},
};

static_assert(sizeof kBindings / sizeof kBindings[0] ==
                  sizeof(DialogControls) / sizeof(Kordo::IControl*),
              "every control of the dialog has one binding");

} // namespace

std::variant<FoundControls, ControlFault> FindDialogControls(Kordo::IUILib& lib)
{
    FoundControls found{};
    for (const Binding& binding : kBindings) {
        const int id = lib.GetControlId(binding.name, 0);
        Kordo::IControl* control = id ? lib.GetControl(id) : nullptr;
        if (!control)
            return ControlFault{binding.name, false};
        if (!binding.bind(control, found.controls))
            return ControlFault{binding.name, true};
        if (binding.id)
            found.ids.*binding.id = id;
    }
    return found;
}
