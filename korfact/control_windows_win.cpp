// The control object and the system window each kind of the layout makes.
#include "korfact/gdi_win.hpp"
#include "korfact/placement.hpp"
#include "korfact/text_win.hpp"
#include "korfact/ui_lib_win.hpp"

#include <richedit.h>

namespace KorFact {
namespace {

// A child window of a system class for `control`, its layout id as its window id.
HWND ChildWindow(const ControlCore& control, const wchar_t* windowClass, DWORD style,
                 const Rect& box, HWND parent)
{
    const ControlSpec& spec = control.mSpec;
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | (spec.visible ? WS_VISIBLE : 0) |
                        (spec.tabStop ? WS_TABSTOP : 0);
    return CreateWindowExW(0, windowClass, Widen(spec.text).c_str(), child | style, box.x, box.y,
                           box.width, box.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)),
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

std::unique_ptr<ControlCore> MakeControl(UILib& lib, const ControlSpec& spec, ControlCore* window)
{
    switch (spec.kind) {
    case Kind::Dialog:
    case Kind::Panel:
        return std::make_unique<WindowControl>(lib, spec, window);
    case Kind::Edit:
        return std::make_unique<EditControl>(lib, spec, window);
    case Kind::RichText:
        return std::make_unique<RichTextControl>(lib, spec, window);
    case Kind::Label:
    case Kind::Link:
    case Kind::Button:
        break;
    }
    return std::make_unique<TextControl>(lib, spec, window);
}

void PlaceEdit(const ControlCore& edit, const Rect& box)
{
    TEXTMETRICW metrics{};
    {
        const WindowDc dc(edit.mHwnd);
        const Selection font(dc.get(), edit.mFont);
        GetTextMetricsW(dc.get(), &metrics);
    }
    const Rect at = EditWindowIn(box, metrics.tmHeight, edit.mLib.Dpi());
    MoveWindow(edit.mHwnd, at.x, at.y, at.width, at.height, FALSE);
}

// The dialog and its panels are windows of the library's own class; the window procedure
// learns its control at creation and sets hwnd.
bool WindowControl::Open(const Rect& box, HWND parent)
{
    const std::wstring text = Widen(mSpec.text);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (mSpec.kind == Kind::Panel) {
        const DWORD visible = mSpec.visible ? WS_VISIBLE : 0;
        return CreateWindowExW(0, kWindowClass, text.c_str(),
                               WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | visible, box.x, box.y,
                               box.width, box.height, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(mSpec.id)), instance,
                               static_cast<ControlCore*>(this)) != nullptr;
    }
    if (!CreateWindowExW(WS_EX_APPWINDOW, kWindowClass, text.c_str(),
                         WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, box.width,
                         box.height, nullptr, nullptr, instance, static_cast<ControlCore*>(this)))
        return false;
    // Its layout id as its window id too, so automation finds it like every control. A
    // top-level window keeps its menu in that slot: the window procedure opens no menu.
    SetWindowLongPtrW(mHwnd, GWLP_ID, mSpec.id);
    mLib.PlaceDialog(*this);
    return true;
}

// Labels and links are owner-drawn statics (links tell clicks), buttons owner-drawn buttons.
bool TextControl::Open(const Rect& box, HWND parent)
{
    if (mSpec.kind == Kind::Button)
        mHwnd = ChildWindow(*this, L"BUTTON", BS_OWNERDRAW, box, parent);
    else
        mHwnd =
            ChildWindow(*this, L"STATIC",
                        SS_OWNERDRAW | (TraitsOf(mSpec.kind).pressed ? SS_NOTIFY : 0), box, parent);
    return mHwnd != nullptr;
}

// The text sits in the middle of the layout's box, which the window draws.
bool EditControl::Open(const Rect& box, HWND parent)
{
    const DWORD align = mSpec.align == Align::Centre  ? ES_CENTER
                        : mSpec.align == Align::Right ? ES_RIGHT
                                                      : ES_LEFT;
    mHwnd = ChildWindow(*this, L"EDIT", ES_AUTOHSCROLL | align, Rect{0, 0, 1, 1}, parent);
    if (!mHwnd)
        return false;
    SendMessageW(mHwnd, EM_LIMITTEXT, mSpec.limit, 0);
    SendMessageW(mHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(mFont), FALSE);
    PlaceEdit(*this, box);
    return true;
}

bool RichTextControl::Open(const Rect& box, HWND parent)
{
    mHwnd =
        ChildWindow(*this, L"RICHEDIT50W", ES_MULTILINE | ES_READONLY | ES_NOHIDESEL, box, parent);
    if (mHwnd)
        SendMessageW(mHwnd, EM_SETBKGNDCOLOR, 0, mSpec.background);
    return mHwnd != nullptr;
}

} // namespace KorFact
