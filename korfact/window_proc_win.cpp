// The window procedure of the dialog and its panels, and the subclass procedures of the control
// kinds: clicks, keys (handed to the program before the control sees them), hover and cursors.
#include "korfact/gdi_win.hpp"
#include "korfact/placement.hpp"
#include "korfact/ui_lib_win.hpp"

#include <commctrl.h>

namespace KorFact {

const wchar_t kWindowClass[] = L"KorFactWindow";

namespace {

// Windows 10 1703 asks a per-monitor aware window for its size at a new DPI; older headers
// leave the message out for the Windows 7 target.
constexpr UINT kGetDpiScaledSize = 0x02E4;

ControlCore* CloseControl(const ControlCore& window)
{
    ControlCore* close =
        window.spec.close.empty() ? nullptr : window.lib.FindByName(window.spec.close);
    return close && close->window == &window ? close : nullptr;
}

// Closing by the system (Alt+F4, the task bar) acts like the close control of the innermost
// modal window, which is the window itself when no panel of it runs.
void CloseBySystem(ControlCore& window)
{
    ControlCore* target = &window;
    ControlCore* top = window.lib.TopModal();
    if (top && top->window == &window)
        target = top;
    if (ControlCore* close = CloseControl(*target))
        window.lib.Click(*close, WM_CLOSE, 0);
    else
        static_cast<WindowControl*>(target)->EndModal(0);
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
    if (key == VK_RETURN && core.spec.kind == Kind::Button) {
        core.lib.Click(core, message, key);
        return true;
    }
    if (key == VK_ESCAPE && core.window && core.window->spec.kind == Kind::Panel) {
        if (ControlCore* close = CloseControl(*core.window)) {
            core.lib.Click(*close, message, key);
            return true;
        }
    }
    return false;
}

// What every kind does with a message before its own handling: keys go to the program, then to
// the default key handling; the wait cursor shows while a handler runs. True when that settled
// the message, with its result.
bool CommonMessage(SUBCLASSPROC self, ControlCore& core, HWND hwnd, UINT message, WPARAM wParam,
                   LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
        const int code = core.spec.kind == Kind::Edit ? Kordo::kEventEditKey : kEventControlKey;
        UILib& lib = core.lib;
        if (lib.DeliverEvent(core, code, message, wParam))
            return true;
        // The handler may have shut the layout down.
        return lib.FindByWindow(hwnd) != &core || DefaultKey(core, message, wParam);
    }
    case WM_SETCURSOR:
        if (!core.lib.Busy())
            return false;
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        result = TRUE;
        return true;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, self, 0);
        return false;
    }
    return false;
}

// Buttons and links light up under the mouse and show the hand.
bool PointerLook(ControlCore& core, HWND hwnd, UINT message, LRESULT& result)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (!core.hover) {
            core.hover = true;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&track);
            Repaint(core);
        }
        return false;
    case WM_MOUSELEAVE:
        core.hover = false;
        Repaint(core);
        return false;
    case WM_SETCURSOR:
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        result = TRUE;
        return true;
    }
    return false;
}

// Buttons and edits draw a focus ring (an edit's is its box, which its window draws).
bool FocusLook(ControlCore& core, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
               LRESULT& result)
{
    if (message != WM_SETFOCUS && message != WM_KILLFOCUS)
        return false;
    result = DefSubclassProc(hwnd, message, wParam, lParam);
    Repaint(core);
    return true;
}

ControlCore& CoreOf(DWORD_PTR reference)
{
    return *reinterpret_cast<ControlCore*>(reference);
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR reference)
{
    ControlCore& core = CoreOf(reference);
    LRESULT result;
    if (CommonMessage(ButtonProc, core, hwnd, message, wParam, result) ||
        PointerLook(core, hwnd, message, result) ||
        FocusLook(core, hwnd, message, wParam, lParam, result))
        return result;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR reference)
{
    ControlCore& core = CoreOf(reference);
    LRESULT result;
    if (CommonMessage(LinkProc, core, hwnd, message, wParam, result) ||
        PointerLook(core, hwnd, message, result))
        return result;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR reference)
{
    ControlCore& core = CoreOf(reference);
    LRESULT result;
    if (CommonMessage(EditProc, core, hwnd, message, wParam, result) ||
        FocusLook(core, hwnd, message, wParam, lParam, result))
        return result;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// Labels and rich text: keys and the wait cursor only.
LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR reference)
{
    LRESULT result;
    if (CommonMessage(PlainProc, CoreOf(reference), hwnd, message, wParam, result))
        return result;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* core = static_cast<ControlCore*>(created->lpCreateParams);
        core->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(core));
    }
    auto* core = reinterpret_cast<ControlCore*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!core)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    UILib& lib = core->lib;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintBuffered(hwnd, [core](HDC dc, const RECT&) { PaintWindow(*core, dc); });
        return 0;
    case WM_NCHITTEST: {
        // The dialog's title strip moves it.
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(hwnd, &at);
        if (core->spec.kind == Kind::Dialog && at.y >= 0 && at.y < lib.Scale(kTitleHeight))
            return HTCAPTION;
        break;
    }
    case WM_COMMAND: {
        ControlCore* control = lib.FindByWindow(reinterpret_cast<HWND>(lParam));
        const WORD notification = HIWORD(wParam);
        // Clicks and double clicks (a quick second click is a click too) of buttons and links.
        if (control && control->spec.kind != Kind::Edit && control->spec.kind != Kind::RichText &&
            (notification == BN_CLICKED || notification == BN_DOUBLECLICKED))
            lib.Click(*control, message, wParam);
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (ControlCore* control = lib.FindByWindow(item->hwndItem))
            DrawOwnerItem(*control, *item);
        return TRUE;
    }
    case WM_CTLCOLOREDIT:
        if (ControlCore* control = lib.FindByWindow(reinterpret_cast<HWND>(lParam))) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, control->colour);
            SetBkColor(dc, RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(lib.Brush(RGB(255, 255, 255)));
        }
        break;
    case WM_CLOSE:
        CloseBySystem(*core);
        return 0;
    case WM_SETICON: {
        const LRESULT previous = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case WM_ACTIVATE:
        // Back to the control that had the focus when the dialog was left.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus))
                core->lastFocus = focus;
        } else if (core->lastFocus && IsWindow(core->lastFocus)) {
            SetFocus(core->lastFocus);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            FocusControl(*core);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (lib.Busy()) {
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case kGetDpiScaledSize:
        // Our own size at the new DPI, so the rectangle the system then suggests is exact.
        if (core->spec.kind == Kind::Dialog) {
            const Rect box = PlaceAtDpi(core->spec, nullptr, UsableDpi(static_cast<int>(wParam)));
            auto* size = reinterpret_cast<SIZE*>(lParam);
            size->cx = box.width;
            size->cy = box.height;
            return TRUE;
        }
        break;
    case WM_DPICHANGED:
        // Moved to a monitor of another DPI (or that monitor's scale changed).
        if (core->spec.kind == Kind::Dialog) {
            lib.ChangeDpi(HIWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        break;
    case WM_NCCALCSIZE:
        if (core->spec.kind == Kind::Dialog)
            return 0; // all client: no frame, and no menu bar for the id in the menu slot
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU)
            return 0; // there is no menu to open
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

bool RegisterWindowClass()
{
    return RegisterClassOnce(kWindowClass, WindowProc);
}

void SubclassControl(ControlCore& control)
{
    SUBCLASSPROC procedure = PlainProc;
    if (control.spec.kind == Kind::Button)
        procedure = ButtonProc;
    else if (control.spec.kind == Kind::Link)
        procedure = LinkProc;
    else if (control.spec.kind == Kind::Edit)
        procedure = EditProc;
    SetWindowSubclass(control.hwnd, procedure, 0, reinterpret_cast<DWORD_PTR>(&control));
}

void MoveFocus(ControlCore& from, bool backwards)
{
    ControlCore& window = from.window ? *from.window : from;
    const std::vector<ControlCore*> stops = from.lib.TabStops(window);
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
    SetFocus(target.hwnd);
    if (target.spec.kind == Kind::Edit)
        SendMessageW(target.hwnd, EM_SETSEL, 0, -1);
}

} // namespace KorFact
