#pragma once
// The controls of the main dialog, named once. The layout must hold each with its kind; they are
// found and checked together right after the layout loads.
#include "framework/kordo_ui.hpp"

#include <string>
#include <variant>

struct DialogControls {
    Kordo::IWindow* main;
    Kordo::IControl* close;
    Kordo::IStaticText* captchaLabel;
    Kordo::ITEdit* accountEdit;
    Kordo::ITEdit* captchaEdit;
    Kordo::IControl* start;
    Kordo::IControl* privacyLink;
    Kordo::IWindow* privacy;
    Kordo::IControl* privacyClose;
    Kordo::IStaticText* privacyServer;
    Kordo::IWindow* result;
    Kordo::IControl* resultClose;
    Kordo::IRichText* resultHeading;
    Kordo::IStaticText* resultMessage;
    Kordo::IControl* resultOk;
    Kordo::IControl* resultFailureClose;
};

// Layout ids of the controls whose events or focus the dialog tells apart.
struct DialogControlIds {
    int close = 0;
    int start = 0;
    int captchaLabel = 0;
    int accountEdit = 0;
    int captchaEdit = 0;
    int privacyLink = 0;
    int privacyClose = 0;
    int resultClose = 0;
    int resultOk = 0;
    int resultFailureClose = 0;
};

// A control the layout lacks, or holds as another kind than the dialog needs.
struct ControlFault {
    std::string name;
    bool wrongKind = false;
};

struct FoundControls {
    DialogControls controls;
    DialogControlIds ids;
};

// Every control of the dialog from the loaded layout, or the first one missing or of the wrong
// kind.
std::variant<FoundControls, ControlFault> FindDialogControls(Kordo::IUILib& lib);
