#include "dialog/dialog_event.hpp"

#include "framework/kordo_ui.hpp"

namespace {

// The window messages and keys the dialog reacts to (the values are the system's).
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kKeyUp = 0x0101;
constexpr unsigned kChar = 0x0102;
constexpr unsigned kTab = 0x09;
constexpr unsigned kReturn = 0x0D;

constexpr bool kKeep = false; // read an entry without removing it from the bag

DialogAction ClickAction(int id, const DialogControlIds& ids)
{
    if (id == ids.close)
        return DialogAction::Close;
    if (id == ids.start)
        return DialogAction::Start;
    if (id == ids.captchaLabel)
        return DialogAction::NewCaptcha;
    if (id == ids.privacyLink)
        return DialogAction::ShowPrivacy;
    if (id == ids.privacyClose)
        return DialogAction::ClosePrivacy;
    if (id == ids.resultClose || id == ids.resultFailureClose || id == ids.resultOk)
        return DialogAction::CloseResult;
    return DialogAction::None;
}

} // namespace

DialogEvent ReadDialogEvent(int controlId, Kordo::IVariableParam& params)
{
    return {controlId, params.GetInt(Kordo::kEventCodeKey, kKeep),
            static_cast<unsigned>(params.GetInt(Kordo::kEventMessageKey, kKeep)),
            params.GetUInt(Kordo::kEventWParamKey, kKeep)};
}

void MarkHandled(Kordo::IVariableParam& params)
{
    params.SetInt(Kordo::kEventHandledKey, 1);
}

DialogResponse RespondTo(const DialogEvent& event, const DialogControlIds& ids)
{
    DialogResponse response;
    const bool keyMessage =
        event.message == kKeyDown || event.message == kKeyUp || event.message == kChar;
    response.handled = keyMessage && event.key == kTab;
    if (event.code == Kordo::kEventClick)
        response.action = ClickAction(event.controlId, ids);
    else if (event.message == kKeyDown && event.key == kTab)
        response.action = DialogAction::MoveTabFocus;
    else if (event.code == Kordo::kEventEditKey && event.message == kKeyDown &&
             event.key == kReturn &&
             (event.controlId == ids.accountEdit || event.controlId == ids.captchaEdit))
        response.action = DialogAction::Start;
    return response;
}
