// The window procedure of the dialog and its panels, and the subclass procedures of the control
// kinds: clicks, keys (handed to the program before the control sees them), hover and cursors.
#include "korfact/gdi_win.hpp"
#include "korfact/placement.hpp"
#include "korfact/ui_lib_win.hpp"

#include <commctrl.h>

#include <optional>
#include <utility>

namespace KorFact {

const wchar_t kWindowClass[] = L"KorFactWindow";

namespace {

// Windows 10 1703 asks a per-monitor aware window for its size at a new DPI; older headers
// leave the message out for the Windows 7 target.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// A message's result, or nothing to let the default procedure have it.
using Handled = std::optional<LRESULT>;

// While a handler runs the wait cursor shows over every window and control of the library.
Handled ShowBusyCursor(const UILib& lib)
{
    if (!lib.Busy())
        return std::nullopt;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    return TRUE;
}

ControlCore* CloseControl(const ControlCore& window)
{
    ControlCore* close =
        window.mSpec.close.empty() ? nullptr : window.mLib.FindByName(window.mSpec.close);
    return close && close->mWindow == &window ? close : nullptr;
}

// Closing by the system (Alt+F4, the task bar) acts like the close control of the innermost
// modal window, which is the window itself when no panel of it runs.
void CloseBySystem(ControlCore& window)
{
    ControlCore* target = &window;
    ControlCore* top = window.mLib.TopModal();
    if (top && top->mWindow == &window)
        target = top;
    if (ControlCore* close = CloseControl(*target))
        window.mLib.Click(*close, WM_CLOSE, 0);
    else
        static_cast<WindowControl*>(target)->EndModal(0);
}

// The arrows, Page Up and Down, Home and End scroll a window's text that does not fit.
bool ScrollByKey(const ControlCore& window, WPARAM key)
{
    static const std::pair<WPARAM, int> kRequests[] = {
        {VK_UP, SB_LINEUP},     {VK_DOWN, SB_LINEDOWN}, {VK_PRIOR, SB_PAGEUP},
        {VK_NEXT, SB_PAGEDOWN}, {VK_HOME, SB_TOP},      {VK_END, SB_BOTTOM}};
    ControlCore* label = ScrollingLabel(window);
    for (const auto& [each, request] : kRequests)
        if (label && key == each)
            return ScrollLabel(*label, request);
    return false;
}

// The wheel's turn in lines, three a notch as the system sets by default.
int WheelLines(WPARAM wParam)
{
    return -static_cast<short>(HIWORD(wParam)) * 3 / WHEEL_DELTA;
}

// What a key does when the program left it alone. Tab moves through the tab stops, Enter
// presses a button, Escape closes a panel; Tab, Enter and Escape characters are swallowed so
// an edit does not beep.
bool DefaultKey(ControlCore& core, UINT message, WPARAM key)
{
    if (message == WM_CHAR)
        return key == '\t' || key == '\r' || key == '\n' || key == 0x1B;
    if (message != WM_KEYDOWN)
        return false;
    if (key == VK_TAB) {
        MoveFocus(core, GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (key == VK_RETURN && core.mSpec.kind == Kind::Button) {
        core.mLib.Click(core, message, key);
        return true;
    }
    if (key == VK_ESCAPE && core.mWindow && core.mWindow->mSpec.kind == Kind::Panel) {
        if (ControlCore* close = CloseControl(*core.mWindow)) {
            core.mLib.Click(*close, message, key);
            return true;
        }
    }
    return core.mWindow && core.mSpec.kind != Kind::Edit && ScrollByKey(*core.mWindow, key);
}

// What every kind does with a key: it goes to the program, then to the default key handling.
Handled Key(ControlCore& core, HWND hwnd, UINT message, WPARAM wParam)
{
    const int code = core.mSpec.kind == Kind::Edit ? Kordo::kEventEditKey : kEventControlKey;
    UILib& lib = core.mLib;
    // The handler may have shut the layout down.
    if (lib.DeliverEvent(core, code, message, wParam) || lib.FindByWindow(hwnd) != &core ||
        DefaultKey(core, message, wParam))
        return 0;
    return std::nullopt;
}

// Pressed kinds light up under the mouse and show the hand.
Handled PointerLook(ControlCore& core, HWND hwnd, UINT message)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (!core.mHover) {
            core.mHover = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&track);
            Repaint(core);
        }
        break;
    case WM_MOUSELEAVE:
        core.mHover = false;
        Repaint(core);
        break;
    case WM_SETCURSOR:
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
    }
    return std::nullopt;
}

// A focus ring is drawn by the control (an edit's is its box, which its window draws).
LRESULT FocusLook(ControlCore& core, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    Repaint(core);
    return result;
}

// The subclass procedure of every control: what its kind shares decides what it handles.
LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR reference)
{
    ControlCore& core = *reinterpret_cast<ControlCore*>(reference);
    const KindTraits traits = TraitsOf(core.mSpec.kind);
    Handled handled;
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        handled = Key(core, hwnd, message, wParam);
        break;
    case WM_SETCURSOR:
        handled = ShowBusyCursor(core.mLib);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (traits.focusRing)
            handled = FocusLook(core, hwnd, message, wParam, lParam);
        break;
    case WM_VSCROLL:
        if (ScrollLabel(core, LOWORD(wParam)))
            handled = 0;
        break;
    case WM_MOUSEWHEEL:
        if (ScrollLabel(core, SB_ENDSCROLL, WheelLines(wParam)))
            handled = 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, ControlProc, 0);
        break;
    }
    if (!handled && traits.pressed)
        handled = PointerLook(core, hwnd, message);
    return handled ? *handled : DefSubclassProc(hwnd, message, wParam, lParam);
}

// The dialog's own messages: its title strip moves it, it has no frame, and it takes its size at
// a new DPI.
Handled DialogMessage(ControlCore& dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCHITTEST: {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(hwnd, &at);
        if (at.y >= 0 && at.y < dialog.mLib.Scale(kTitleHeight))
            return HTCAPTION;
        break;
    }
    case kGetDpiScaledSize: {
        // Our own size at the new DPI, so the rectangle the system then suggests is exact.
        const Rect box = PlaceAtDpi(dialog.mSpec, nullptr, UsableDpi(static_cast<int>(wParam)));
        *reinterpret_cast<SIZE*>(lParam) = SIZE{box.width, box.height};
        return TRUE;
    }
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI (or that monitor's scale changed).
        dialog.mLib.ChangeDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (ControlCore* panel = dialog.mLib.TopModal(); panel && panel->mWindow == &dialog)
            dialog.mLib.FitDialog(*panel, true);
        return 0;
    }
    case WM_NCCALCSIZE:
        return 0; // all client: no frame, and no menu bar for the id in the menu slot
    }
    return std::nullopt;
}

// Clicks and double clicks (a quick second click is a click too) of the pressed kinds.
LRESULT Command(UILib& lib, WPARAM wParam, LPARAM lParam)
{
    ControlCore* control = lib.FindByWindow(reinterpret_cast<HWND>(lParam));
    const WORD notification = HIWORD(wParam);
    if (control && TraitsOf(control->mSpec.kind).pressed &&
        (notification == BN_CLICKED || notification == BN_DOUBLECLICKED))
        lib.Click(*control, WM_COMMAND, wParam);
    return 0;
}

Handled EditColours(UILib& lib, WPARAM wParam, LPARAM lParam)
{
    const ControlCore* control = lib.FindByWindow(reinterpret_cast<HWND>(lParam));
    if (!control)
        return std::nullopt;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, control->mColour);
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(lib.Brush(RGB(255, 255, 255)));
}

// Back to the control that had the focus when the dialog was left.
LRESULT Activate(ControlCore& window, HWND hwnd, WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus))
            window.mLastFocus = focus;
    } else if (window.mLastFocus && IsWindow(window.mLastFocus)) {
        SetFocus(window.mLastFocus);
    }
    return 0;
}

// What the dialog and its panels do with a message, or nothing for the default procedure.
Handled WindowMessage(ControlCore& window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    UILib& lib = window.mLib;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintBuffered(hwnd, [&window](HDC dc, const RECT&) { PaintWindow(window, dc); });
        return 0;
    case WM_COMMAND:
        return Command(lib, wParam, lParam);
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (ControlCore* control = lib.FindByWindow(item->hwndItem))
            DrawOwnerItem(*control, *item);
        return TRUE;
    }
    case WM_CTLCOLOREDIT:
        return EditColours(lib, wParam, lParam);
    case WM_CLOSE:
        CloseBySystem(window);
        return 0;
    case WM_SETICON: {
        const LRESULT previous = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case WM_ACTIVATE:
        return Activate(window, hwnd, wParam);
    case WM_KEYDOWN:
        if (wParam != VK_TAB)
            break;
        FocusControl(window);
        return 0;
    case WM_SETCURSOR:
        return ShowBusyCursor(lib);
    case WM_MOUSEWHEEL:
        // The wheel over the window or a control that has no use for it scrolls its text.
        if (ControlCore* label = ScrollingLabel(window)) {
            ScrollLabel(*label, SB_ENDSCROLL, WheelLines(wParam));
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU)
            return 0; // there is no menu to open
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    }
    return window.mSpec.kind == Kind::Dialog ? DialogMessage(window, hwnd, message, wParam, lParam)
                                             : std::nullopt;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* core =
            static_cast<ControlCore*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        core->mHwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(core));
    }
    auto* core = reinterpret_cast<ControlCore*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    const Handled handled =
        core ? WindowMessage(*core, hwnd, message, wParam, lParam) : std::nullopt;
    return handled ? *handled : DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

bool RegisterWindowClass()
{
    return RegisterClassOnce(kWindowClass, WindowProc);
}

void SubclassControl(ControlCore& control)
{
    SetWindowSubclass(control.mHwnd, ControlProc, 0, reinterpret_cast<DWORD_PTR>(&control));
}

void MoveFocus(ControlCore& from, bool backwards)
{
    ControlCore& window = from.mWindow ? *from.mWindow : from;
    const std::vector<ControlCore*> stops = from.mLib.TabStops(window);
    if (stops.empty())
        return;
    std::size_t at = 0;
    while (at < stops.size() && stops[at] != &from)
        ++at;
    std::size_t next;
    if (at == stops.size())
        next = backwards ? stops.size() - 1 : 0;
    else
        next = (at + (backwards ? stops.size() - 1 : 1)) % stops.size();
    ControlCore& target = *stops[next];
    SetFocus(target.mHwnd);
    if (target.mSpec.kind == Kind::Edit)
        SendMessageW(target.mHwnd, EM_SETSEL, 0, -1);
}

} // namespace KorFact
