#pragma once
// The UI library (component 186), its controls and the event handler the program gives it.
// Texts are ANSI (code page 936). Slot order is declaration order and part of the contract.
#include "framework/kordo_component.hpp"

#include <cstdint>

namespace Kordo {

class IVariableParam;

// Event codes (integer key 4 of an event's parameters).
constexpr int kEventClick = 0x300200;
constexpr int kEventEditKey = 0x300010;
// Keys of an event's parameters: integer 4 the code, integer 0 the window message, unsigned 1
// its wParam; integer 7 set to 1 marks a key as handled.
constexpr unsigned kEventCodeKey = 4;
constexpr unsigned kEventMessageKey = 0;
constexpr unsigned kEventWParamKey = 1;
constexpr unsigned kEventHandledKey = 7;
// ApplyParams key (unsigned): text colour.
constexpr unsigned kTextColourKey = 0x101A00;

class IControl {
  public:
    virtual void ApplyParams(IVariableParam* params) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetFocus() = 0;
    // Nonzero when the control has a window the message was sent to.
    virtual int SendWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                  std::intptr_t* result) = 0;

  protected:
    // Controls belong to the library.
    ~IControl() = default;
};

class IStaticText : public IControl {
  public:
    virtual void SetText(const char* text) = 0;

  protected:
    ~IStaticText() = default;
};

// The one kind the program recognises at run time (dynamic_cast from IControl).
class ITEdit : public IControl {
  public:
    // The current text; valid until the control changes.
    virtual const char* GetText() = 0;
    virtual void SetText(const char* text) = 0;
    virtual void SetSelection(int first, int last) = 0;
    // Puts the caret into the text so typing goes there.
    virtual void ActivateText() = 0;

  protected:
    ~ITEdit() = default;
};

class IRichText : public IControl {
  public:
    virtual void SetRichText(const char* markup) = 0;
    virtual void ClearText() = 0;

  protected:
    ~IRichText() = default;
};

class IEvent {
  public:
    // Nonzero while the handler takes events.
    virtual int IsEnabled() const = 0;
    virtual void OnEvent(int controlId, IVariableParam* params) = 0;

  protected:
    ~IEvent() = default;
};

class IUILibEvent : public IEvent {
  protected:
    ~IUILibEvent() = default;
};

class IWindow : public IControl {
  public:
    // Runs the window's own message loop until EndModal; returns the code given there.
    virtual int DoModal() = 0;
    virtual void EndModal(int code) = 0;
    virtual void SetEventHandler(IEvent* handler) = 0;

  protected:
    ~IWindow() = default;
};

class IUILib : public IComponent {
  public:
    // Nonzero when the layout file was read.
    virtual int LoadLayout(const char* file, int reserved) = 0;
    virtual void Shutdown() = 0;
    virtual int GetControlId(const char* name, int reserved) = 0;
    // Null for an unknown id.
    virtual IControl* GetControl(int id) = 0;
    virtual int GetFocusControlId() = 0;
    virtual void SetEventSink(int kind, IUILibEvent* sink) = 0;

  protected:
    ~IUILib() = default;
};

} // namespace Kordo
