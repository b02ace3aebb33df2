#pragma once
// The UI library component (186): the windows and controls of one layout, their events and the
// modal loops of the dialog and its panels.
#include "framework/kordo_ui.hpp"
#include "korfact/event_codes.hpp"
#include "korfact/geometry.hpp"
#include "korfact/layout_model.hpp"
#include "korfact/placement.hpp"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace KorFact {

// Height of the dialog's title strip and of a panel's header, logical pixels.
constexpr int kTitleHeight = 40;

class UILib;

// What the library keeps for every control beside the interface the program sees.
class ControlCore {
  public:
    ControlCore(UILib& lib, const ControlSpec& spec, ControlCore* window)
        : mLib(lib), mSpec(spec), mWindow(window), mColour(spec.colour)
    {
    }
    virtual ~ControlCore() = default;
    ControlCore(const ControlCore&) = delete;
    ControlCore& operator=(const ControlCore&) = delete;

    virtual Kordo::IControl* Interface() = 0;
    // Creates the control's window, of its kind, at `box` (pixels) in `parent`; sets mHwnd and
    // gives it the font. False when the system made no window.
    virtual bool Open(const Rect& box, HWND parent) = 0;
    // Called once the control has its font and place at a new DPI.
    virtual void ChangeDpi() {}

    UILib& mLib;
    const ControlSpec mSpec;
    ControlCore* const mWindow; // the enclosing window; null for a dialog
    HWND mHwnd = nullptr;
    HFONT mFont = nullptr;
    COLORREF mColour; // text colour, ApplyParams may change it
    bool mHover = false;
    std::string mText; // what GetText last handed out
    int mExtra = 0;    // a growing label, a dialog: pixels it stands taller than laid out

    // Windows only.
    Kordo::IEvent* mHandler = nullptr;
    bool mEnded = false;
    int mCode = 0;
    HWND mLastFocus = nullptr;
};

// Draws the control again; an edit's box, which its window draws, too.
void Repaint(ControlCore& core);

// The IControl slots shared by every kind.
void ApplyControlParams(ControlCore& core, Kordo::IVariableParam* params);
void SetControlVisible(ControlCore& core, bool visible);
void FocusControl(ControlCore& core);
int SendControlMessage(ControlCore& core, unsigned message, std::uintptr_t wParam,
                       std::intptr_t lParam, std::intptr_t* result);
void SetControlText(ControlCore& core, const char* text);

template <class Interface> class Control : public Interface, public ControlCore {
  public:
    using ControlCore::ControlCore;
    Kordo::IControl* Interface() override { return this; }
    void ApplyParams(Kordo::IVariableParam* params) override { ApplyControlParams(*this, params); }
    void SetVisible(bool visible) override { SetControlVisible(*this, visible); }
    void SetFocus() override { FocusControl(*this); }
    int SendWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                          std::intptr_t* result) override
    {
        return SendControlMessage(*this, message, wParam, lParam, result);
    }
};

// Labels, links and buttons.
class TextControl final : public Control<Kordo::IStaticText> {
  public:
    using Control::Control;
    bool Open(const Rect& box, HWND parent) override;
    void SetText(const char* text) override { SetControlText(*this, text); }
};

class EditControl final : public Control<Kordo::ITEdit> {
  public:
    using Control::Control;
    bool Open(const Rect& box, HWND parent) override;
    const char* GetText() override;
    void SetText(const char* text) override { SetControlText(*this, text); }
    void SetSelection(int first, int last) override;
    void ActivateText() override;
};

class RichTextControl final : public Control<Kordo::IRichText> {
  public:
    using Control::Control;
    bool Open(const Rect& box, HWND parent) override;
    void SetRichText(const char* markup) override;
    void ClearText() override;
    void ChangeDpi() override; // formats the text again for the new size

  private:
    std::string mMarkup; // what it shows
};

class WindowControl final : public Control<Kordo::IWindow> {
  public:
    using Control::Control;
    bool Open(const Rect& box, HWND parent) override;
    int DoModal() override;
    void EndModal(int code) override;
    void SetEventHandler(Kordo::IEvent* handler) override { this->mHandler = handler; }
};

class UILib final : public Kordo::IUILib {
  public:
    UILib();
    ~UILib();

    unsigned GetComponentId() const override { return Kordo::kUILibId; }
    int GetVersion() const override { return 1; }
    void Destroy(int) override { delete this; }
    int IsSingleton() const override { return 0; }
    void Initialize(int) override {}
    void Activate() override {}
    void Deactivate() override {}
    void Tick() override {}

    int LoadLayout(const char* file, int reserved) override;
    void Shutdown() override;
    int GetControlId(const char* name, int reserved) override;
    Kordo::IControl* GetControl(int id) override;
    int GetFocusControlId() override;
    void SetEventSink(int kind, Kordo::IUILibEvent* sink) override;

    ControlCore* FindByWindow(HWND hwnd) const;
    ControlCore* FindByName(const std::string& name) const;
    // Hands the event to the window's handler, then to the sink when it is another object;
    // true when a handler marked it handled.
    bool DeliverEvent(ControlCore& control, int code, UINT message, WPARAM wParam);
    // A click on `control` as the user would make it.
    void Click(ControlCore& control, UINT message, WPARAM wParam);
    int RunModal(ControlCore& window);
    ControlCore* TopModal() const { return mModal.empty() ? nullptr : mModal.back(); }
    bool Busy() const { return mBusy > 0; }
    int Dpi() const { return mDpi; }
    int Scale(int logical) const;
    // Lays every window and control out again at `dpi`, the dialog's size and place aside.
    void ChangeDpi(int dpi);
    // Sizes a growing label to its text and lays its window out again around it.
    void Refit(ControlCore& label);
    // Makes the dialog of `panel` tall enough to hold it while `shown` (as far as its monitor
    // allows), or gives the dialog back its own size; the panel is centred over it again.
    void FitDialog(ControlCore& panel, bool shown);
    // Whether `window` runs modally now.
    bool IsModal(const ControlCore& window) const;
    // The labels of `window` that grew to show their text.
    std::vector<Growth> Grown(const ControlCore& window) const;
    HFONT Font(const ControlSpec& spec, bool underline);
    // `icon` at `size` pixels, reloaded from its resource where it came from one.
    HICON IconAt(HICON icon, int size);
    HBRUSH Brush(COLORREF colour);
    // What `window` holds directly, in layout order.
    std::vector<ControlCore*> Children(const ControlCore& window) const;
    // The tab stops of `window` in layout order, visible and enabled ones only.
    std::vector<ControlCore*> TabStops(const ControlCore& window) const;

    // Takes the DPI of the monitor the new dialog is on, then sizes and centres it there.
    void PlaceDialog(ControlCore& dialog);

  private:
    bool Create(const Layout& layout);
    bool CreateControl(const ControlSpec& spec);
    // Moves a control (not a dialog) to its place at the current DPI.
    void Place(ControlCore& control);
    // How far a growing label grows at the current DPI to show its text, and whether it scrolls.
    void Fit(ControlCore& label);
    // Sets how much taller than laid out the dialog stands, about its middle, on its monitor.
    void SetDialogExtra(ControlCore& dialog, int extra);

    std::vector<std::unique_ptr<ControlCore>> mControls;
    std::vector<std::unique_ptr<ControlCore>> mRetired; // shut down inside a modal loop
    std::map<int, ControlCore*> mById;
    std::map<std::string, ControlCore*> mByName;
    std::map<HWND, ControlCore*> mByWindow;
    std::vector<ControlCore*> mModal;
    std::map<std::string, HFONT> mFonts;
    std::map<COLORREF, HBRUSH> mBrushes;
    std::map<std::pair<HICON, int>, HICON> mIcons;
    Kordo::IUILibEvent* mSink = nullptr;
    int mBusy = 0;
    int mDpi = 96;
};

// The work area of the monitor `window` is on.
Rect WorkAreaOf(HWND window);

// The first of `faces` that is installed (else the first), `pixelHeight` high, for GBK text.
HFONT CreateLayoutFont(const std::vector<std::string>& faces, int pixelHeight, bool bold,
                       bool underline);

// The control object of the kind `spec` names, inside `window` (null for a dialog); no window yet.
std::unique_ptr<ControlCore> MakeControl(UILib& lib, const ControlSpec& spec, ControlCore* window);
// The edit window inside `box`, the box its window draws, one line of its font high.
void PlaceEdit(const ControlCore& edit, const Rect& box);

// Window procedures and drawing.
bool RegisterWindowClass();
extern const wchar_t kWindowClass[];
void SubclassControl(ControlCore& control);
void PaintWindow(ControlCore& window, HDC dc);
void DrawOwnerItem(ControlCore& control, const DRAWITEMSTRUCT& item);
// A darkened still of the dialog laid over it while a panel runs, and its removal.
HWND ShowDimmedCopy(ControlCore& dialog);
void HideDimmedCopy(HWND overlay);
// The box an edit sits in, in its window's client coordinates.
RECT EditBox(const ControlCore& edit);
// How high a label's text stands wrapped to `width` pixels in its font.
int WrappedTextHeight(const ControlCore& label, int width);
// How wide the text of a label `width` pixels wide is once it shows its scroll bar: less the bar
// as the system draws it and a gap before it.
int ScrolledTextWidth(const ControlCore& label, int width);
// Scrolls a label that holds more text than it shows, as a scroll bar's `request` (SB_LINEUP
// and the like) asks, or by `lines` lines (the wheel) with SB_ENDSCROLL. False for a label that
// does not scroll.
bool ScrollLabel(ControlCore& label, int request, int lines = 0);
// The label of `window` that scrolls, if any.
ControlCore* ScrollingLabel(const ControlCore& window);
// Moves the focus to the next (or previous) tab stop of the control's window.
void MoveFocus(ControlCore& from, bool backwards);

} // namespace KorFact
