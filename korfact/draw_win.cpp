// How the windows and the owner-drawn controls look: flat, light, one teal accent.
#include "korfact/gdi_win.hpp"
#include "korfact/placement.hpp"
#include "korfact/text_wrap.hpp"
#include "korfact/ui_lib_win.hpp"

#include <algorithm>

namespace KorFact {
namespace {

const COLORREF kAccent = RGB(0x12, 0xA5, 0x94);
const COLORREF kAccentHover = RGB(0x0E, 0x8E, 0x80);
const COLORREF kAccentPressed = RGB(0x0A, 0x74, 0x69);
const COLORREF kFocusRing = RGB(0x9A, 0xDD, 0xD4);
const COLORREF kBorder = RGB(0xD3, 0xD8, 0xDE);
const COLORREF kHairline = RGB(0xE4, 0xE7, 0xEB);
const COLORREF kField = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kCloseHover = RGB(0xE8, 0x11, 0x23);
const COLORREF kCrossColour = RGB(0x8A, 0x90, 0x99);
const COLORREF kDisabled = RGB(0xB8, 0xBD, 0xC4);

void FillBox(HDC dc, const RECT& box, COLORREF fill, COLORREF border, int radius)
{
    const Brush brush(CreateSolidBrush(fill));
    const Pen pen(CreatePen(PS_SOLID, 1, border));
    const Selection brushSelected(dc, brush.get());
    const Selection penSelected(dc, pen.get());
    RoundRect(dc, box.left, box.top, box.right, box.bottom, radius, radius);
}

void FillPlain(HDC dc, const RECT& area, COLORREF colour)
{
    const Brush brush(CreateSolidBrush(colour));
    FillRect(dc, &area, brush.get());
}

std::wstring WindowTextOf(HWND hwnd)
{
    std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size())));
    return text;
}

int TextWidth(HDC dc, const std::wstring& text, std::size_t start, std::size_t length)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str() + start, static_cast<int>(length), &size);
    return static_cast<int>(size.cx);
}

// The lines of `text` `width` pixels wide in the font selected into `dc`.
std::vector<Line> WrapInDc(HDC dc, const std::wstring& text, int width)
{
    const std::u16string units(text.begin(), text.end());
    return WrapText(units, width, [&](std::size_t start, std::size_t length) {
        return TextWidth(dc, text, start, length);
    });
}

// Wrapped text in `area`, `scrolled` pixels of it above the area: one line sits in the middle,
// several start at the top.
void DrawWrapped(HDC dc, const std::wstring& text, RECT area, Align align, int scrolled)
{
    const std::vector<Line> lines = WrapInDc(dc, text, area.right - area.left);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = LineAdvance(metrics.tmHeight);
    int y = area.top - scrolled;
    if (lines.size() == 1)
        y += (area.bottom - area.top - metrics.tmHeight) / 2;
    for (const Line& line : lines) {
        const int width = TextWidth(dc, text, line.start, line.length);
        int x = area.left;
        if (align == Align::Centre)
            x += (area.right - area.left - width) / 2;
        else if (align == Align::Right)
            x = area.right - width;
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &area, text.c_str() + line.start,
                    static_cast<UINT>(line.length), nullptr);
        y += lineHeight;
    }
}

void DrawCross(HDC dc, const RECT& area, COLORREF colour, int size, int thickness)
{
    const int cx = (area.left + area.right) / 2;
    const int cy = (area.top + area.bottom) / 2;
    const int half = size / 2;
    const Pen pen(CreatePen(PS_SOLID, thickness, colour));
    const Selection selected(dc, pen.get());
    MoveToEx(dc, cx - half, cy - half, nullptr);
    LineTo(dc, cx + half + 1, cy + half + 1);
    MoveToEx(dc, cx + half, cy - half, nullptr);
    LineTo(dc, cx - half - 1, cy + half + 1);
}

void DrawButton(ControlCore& button, const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    UILib& lib = button.mLib;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;
    const bool focused = GetFocus() == button.mHwnd;
    FillPlain(dc, area, button.mSpec.background);
    if (button.mSpec.look == ButtonLook::Cross) {
        if (button.mHover || pressed)
            FillPlain(dc, area, pressed ? RGB(0xC5, 0x0F, 0x1F) : kCloseHover);
        DrawCross(dc, area, button.mHover || pressed ? RGB(255, 255, 255) : kCrossColour,
                  lib.Scale(10), std::max(1, lib.Scale(1)) + 1);
        return;
    }
    const int radius = lib.Scale(8);
    const bool primary = button.mSpec.look == ButtonLook::Primary;
    RECT body = area;
    if (focused) {
        FillBox(dc, area, kFocusRing, kFocusRing, radius + lib.Scale(2));
        InflateRect(&body, -lib.Scale(2), -lib.Scale(2));
    }
    COLORREF text = button.mColour;
    if (primary) {
        const COLORREF fill = disabled        ? kDisabled
                              : pressed       ? kAccentPressed
                              : button.mHover ? kAccentHover
                                              : kAccent;
        FillBox(dc, body, fill, fill, radius);
        text = RGB(255, 255, 255);
    } else {
        const bool lit = button.mHover || pressed;
        FillBox(dc, body, pressed ? RGB(0xEE, 0xF7, 0xF6) : kField, lit ? kAccent : kBorder,
                radius);
        if (lit)
            text = kAccent;
        if (disabled)
            text = kDisabled;
    }
    const Selection font(dc, button.mFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    std::wstring label = WindowTextOf(button.mHwnd);
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &body,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void DrawLabel(ControlCore& label, const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    FillPlain(dc, item.rcItem, label.mSpec.background);
    // A link underlines under the mouse.
    const bool lit = label.mSpec.kind == Kind::Link && label.mHover;
    const Selection font(dc, lit ? label.mLib.Font(label.mSpec, true) : label.mFont);
    SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = lit ? kAccentHover : label.mColour;
    SetTextColor(dc, colour);
    RECT area = item.rcItem;
    if (GetWindowLongW(label.mHwnd, GWL_STYLE) & WS_VSCROLL) {
        RECT outer;
        GetWindowRect(label.mHwnd, &outer);
        area.right = area.left + ScrolledTextWidth(label, outer.right - outer.left);
    }
    DrawWrapped(dc, WindowTextOf(label.mHwnd), area, label.mSpec.align,
                GetScrollPos(label.mHwnd, SB_VERT));
}

} // namespace

RECT EditBox(const ControlCore& edit)
{
    const Rect box = PlaceAtDpi(edit.mSpec, &edit.mWindow->mSpec, edit.mLib.Dpi(),
                                edit.mLib.Grown(*edit.mWindow));
    return RECT{box.x, box.y, box.x + box.width, box.y + box.height};
}

int WrappedTextHeight(const ControlCore& label, int width)
{
    const WindowDc dc(label.mHwnd);
    const Selection font(dc.get(), label.mFont);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    return WrappedHeight(WrapInDc(dc.get(), WindowTextOf(label.mHwnd), width).size(),
                         metrics.tmHeight);
}

int ScrolledTextWidth(const ControlCore& label, int width)
{
    RECT outer, client;
    GetWindowRect(label.mHwnd, &outer);
    GetClientRect(label.mHwnd, &client);
    const int bar = (outer.right - outer.left) - client.right;
    return std::max(1, width - bar - label.mLib.Scale(kScrollGap));
}

bool ScrollLabel(ControlCore& label, int request, int lines)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (!(GetWindowLongW(label.mHwnd, GWL_STYLE) & WS_VSCROLL) ||
        !GetScrollInfo(label.mHwnd, SB_VERT, &info))
        return false;
    const int page = static_cast<int>(info.nPage);
    const int line = LineAdvance(label.mLib.Scale(label.mSpec.fontSize));
    const int last = std::max(0, info.nMax - page + 1);
    int at = info.nPos + lines * line;
    switch (request) {
    case SB_LINEUP:
        at = info.nPos - line;
        break;
    case SB_LINEDOWN:
        at = info.nPos + line;
        break;
    case SB_PAGEUP:
        at = info.nPos - std::max(line, page - line);
        break;
    case SB_PAGEDOWN:
        at = info.nPos + std::max(line, page - line);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        at = info.nTrackPos;
        break;
    case SB_TOP:
        at = 0;
        break;
    case SB_BOTTOM:
        at = last;
        break;
    }
    at = std::clamp(at, 0, last);
    if (at != info.nPos) {
        SetScrollPos(label.mHwnd, SB_VERT, at, TRUE);
        Repaint(label);
    }
    return true;
}

ControlCore* ScrollingLabel(const ControlCore& window)
{
    for (ControlCore* control : window.mLib.Children(window))
        if (control->mSpec.maxHeight > 0 &&
            (GetWindowLongW(control->mHwnd, GWL_STYLE) & WS_VSCROLL))
            return control;
    return nullptr;
}

void PaintWindow(ControlCore& window, HDC dc)
{
    UILib& lib = window.mLib;
    RECT client;
    GetClientRect(window.mHwnd, &client);
    FillPlain(dc, client, window.mSpec.background);
    const int title = lib.Scale(kTitleHeight);
    const bool dialog = window.mSpec.kind == Kind::Dialog;
    const std::wstring text = WindowTextOf(window.mHwnd);
    if (dialog || !text.empty()) {
        RECT strip{client.left, client.top, client.right, client.top + title};
        if (dialog)
            FillPlain(dc, strip, RGB(255, 255, 255));
        RECT line{client.left, strip.bottom - 1, client.right, strip.bottom};
        FillPlain(dc, line, kHairline);
        int x = lib.Scale(16);
        if (dialog) {
            HICON icon =
                reinterpret_cast<HICON>(SendMessageW(window.mHwnd, WM_GETICON, ICON_SMALL, 0));
            if (!icon)
                icon = reinterpret_cast<HICON>(SendMessageW(window.mHwnd, WM_GETICON, ICON_BIG, 0));
            const int size = lib.Scale(20);
            if (icon) {
                DrawIconEx(dc, x, (title - size) / 2, lib.IconAt(icon, size), size, size, 0,
                           nullptr, DI_NORMAL);
                x += size + lib.Scale(8);
            }
        }
        ControlSpec heading = window.mSpec;
        heading.bold = true;
        heading.fontSize = window.mSpec.fontSize + 1;
        const Selection font(dc, lib.Font(heading, false));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, window.mColour);
        RECT words{x, strip.top, strip.right - title, strip.bottom};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &words,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    for (ControlCore* control : lib.Children(window)) {
        if (control->mSpec.kind != Kind::Edit || !IsWindowVisible(control->mHwnd))
            continue;
        const bool focused = GetFocus() == control->mHwnd;
        RECT box = EditBox(*control);
        if (focused) {
            FillBox(dc, box, kFocusRing, kFocusRing, lib.Scale(8) + lib.Scale(2));
            InflateRect(&box, -lib.Scale(2), -lib.Scale(2));
        }
        FillBox(dc, box, kField, focused ? kAccent : kBorder, lib.Scale(8));
    }
    // A hairline frame, since neither the dialog nor a panel has a system frame.
    const Brush frame(CreateSolidBrush(dialog ? kBorder : RGB(0xC4, 0xCA, 0xD1)));
    FrameRect(dc, &client, frame.get());
}

namespace {

const wchar_t kDimClass[] = L"KorFactDim";

// Paints the still it was given (GWLP_USERDATA) and frees it at the end.
LRESULT CALLBACK DimProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto still = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintBuffered(hwnd, [still](HDC dc, const RECT& client) {
            const MemoryDc memory(dc);
            const Selection selected(memory.get(), still);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
        });
        return 0;
    case WM_NCDESTROY:
        DeleteObject(still);
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

HWND ShowDimmedCopy(ControlCore& dialog)
{
    if (!RegisterClassOnce(kDimClass, DimProc))
        return nullptr;
    RECT area;
    GetWindowRect(dialog.mHwnd, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP still = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!still)
        return nullptr;
    {
        // What the user sees now, from the screen, darkened towards slate.
        const WindowDc screen(nullptr);
        const MemoryDc memory(screen.get());
        const Selection selected(memory.get(), still);
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
        GdiFlush();
        auto* pixel = static_cast<BYTE*>(bits);
        for (int i = 0; i < width * height * 4; ++i)
            pixel[i] = static_cast<BYTE>(pixel[i] * 55 / 100 + 0x30 * 45 / 100);
    }
    HWND overlay =
        CreateWindowExW(0, kDimClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, width, height,
                        dialog.mHwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!overlay) {
        DeleteObject(still);
        return nullptr;
    }
    // The overlay owns the still from here and frees it when it goes.
    SetWindowLongPtrW(overlay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(still));
    SetWindowPos(overlay, HWND_TOP, 0, 0, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    return overlay;
}

void HideDimmedCopy(HWND overlay)
{
    if (overlay && IsWindow(overlay))
        DestroyWindow(overlay);
}

void DrawOwnerItem(ControlCore& control, const DRAWITEMSTRUCT& item)
{
    if (control.mSpec.kind == Kind::Button)
        DrawButton(control, item);
    else
        DrawLabel(control, item);
}

} // namespace KorFact
