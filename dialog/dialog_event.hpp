#pragma once
// An event of the UI library as the dialog reads it: the parameter bag becomes a small typed
// value at the dialog's edge, and what the event asks of the dialog is decided from that alone.
#include "dialog/dialog_controls.hpp"
#include "framework/kordo_variable_param.hpp"

struct DialogEvent {
    int controlId = 0;
    int code = 0;         // Kordo::kEventClick, Kordo::kEventEditKey, ...
    unsigned message = 0; // the window message behind it
    unsigned key = 0;     // its wParam: the virtual key or character of key messages
};

DialogEvent ReadDialogEvent(int controlId, Kordo::IVariableParam& params);

// Marks the event handled, so the library does not act on the key itself.
void MarkHandled(Kordo::IVariableParam& params);

enum class DialogAction {
    None,
    Close,
    Start,
    NewCaptcha,
    ShowPrivacy,
    ClosePrivacy,
    CloseResult,
    MoveTabFocus,
};

struct DialogResponse {
    DialogAction action = DialogAction::None;
    // Tab belongs to the dialog on every control: the library must not move the focus as well.
    bool handled = false;
};

DialogResponse RespondTo(const DialogEvent& event, const DialogControlIds& ids);
