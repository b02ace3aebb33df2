// The slots of the control kinds.
#include "korfact/dpi_win.hpp"
#include "korfact/rich_markup.hpp"
#include "korfact/text_win.hpp"
#include "korfact/ui_lib_win.hpp"

#include "framework/kordo_variable_param.hpp"

#include <richedit.h>

namespace KorFact {
namespace {

// `scale` is the window's DPI over the system's: the control turns twips into pixels at the
// system DPI, so a window on a monitor of another DPI asks for that much more or less.
void FormatRange(HWND rich, LONG first, LONG last, const TextStyle& style, const ControlSpec& spec,
                 int dpi, int systemDpi)
{
    CHARRANGE range{first, last};
    SendMessageW(rich, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR | CFM_BOLD | CFM_SIZE;
    format.crTextColor = style.colour;
    format.dwEffects = style.bold ? CFE_BOLD : 0;
    // Twips of a character height given in logical pixels.
    format.yHeight = MulDiv((style.size ? style.size : spec.fontSize) * 15, dpi, systemDpi);
    SendMessageW(rich, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

} // namespace

// Every control paints its whole area, so nothing needs erasing first.
void Repaint(ControlCore& core)
{
    InvalidateRect(core.mHwnd, nullptr, FALSE);
    if (core.mSpec.kind == Kind::Edit && core.mWindow) {
        const RECT box = EditBox(core);
        InvalidateRect(core.mWindow->mHwnd, &box, FALSE);
    }
}

void ApplyControlParams(ControlCore& core, Kordo::IVariableParam* params)
{
    if (!params || !params->HasUInt(Kordo::kTextColourKey))
        return;
    // Rich text takes it for runs without a colour of their own at its next SetRichText.
    core.mColour = params->GetUInt(Kordo::kTextColourKey, false) & 0xFFFFFF;
    Repaint(core);
}

void SetControlVisible(ControlCore& core, bool visible)
{
    if (!core.mHwnd)
        return;
    ShowWindow(core.mHwnd, visible ? SW_SHOWNA : SW_HIDE);
    if (core.mSpec.kind == Kind::Panel && visible)
        SetWindowPos(core.mHwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Repaint(core);
}

void FocusControl(ControlCore& core)
{
    if (!core.mHwnd)
        return;
    if (TraitsOf(core.mSpec.kind).window) {
        const std::vector<ControlCore*> stops = core.mLib.TabStops(core);
        SetFocus(stops.empty() ? core.mHwnd : stops.front()->mHwnd);
        return;
    }
    SetFocus(core.mHwnd);
}

int SendControlMessage(ControlCore& core, unsigned message, std::uintptr_t wParam,
                       std::intptr_t lParam, std::intptr_t* result)
{
    if (!core.mHwnd)
        return 0;
    // The program's texts are ANSI: the system converts for our Unicode windows.
    const LRESULT answer = SendMessageA(core.mHwnd, message, wParam, lParam);
    if (result)
        *result = answer;
    return 1;
}

void SetControlText(ControlCore& core, const char* text)
{
    if (!core.mHwnd)
        return;
    SetWindowTextW(core.mHwnd, Widen(text ? text : "").c_str());
    if (core.mSpec.maxHeight > 0)
        core.mLib.Refit(core);
    Repaint(core);
}

const char* EditControl::GetText()
{
    mText.clear();
    if (mHwnd) {
        std::wstring typed(GetWindowTextLengthW(mHwnd) + 1, L'\0');
        typed.resize(GetWindowTextW(mHwnd, &typed[0], static_cast<int>(typed.size())));
        mText = Narrow(typed);
    }
    return mText.c_str();
}

void EditControl::SetSelection(int first, int last)
{
    if (mHwnd)
        SendMessageW(mHwnd, EM_SETSEL, first, last);
}

void EditControl::ActivateText()
{
    if (!mHwnd)
        return;
    ::SetFocus(mHwnd);
    SendMessageW(mHwnd, EM_SETSEL, 0, -1);
}

void RichTextControl::SetRichText(const char* markup)
{
    if (!mHwnd)
        return;
    mMarkup = markup ? markup : "";
    const int systemDpi = SystemDpi();
    // Text first, then each run formatted: formats set before the text would be dropped.
    const std::vector<TextRun> runs = ParseMarkup(markup ? markup : "");
    std::wstring all;
    std::vector<std::wstring> pieces;
    for (const TextRun& run : runs) {
        pieces.push_back(Widen(run.text));
        all += pieces.back();
    }
    SendMessageW(mHwnd, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(mHwnd, all.c_str());
    LONG at = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        // The control keeps a line break as one character.
        const std::wstring& piece = pieces[i];
        LONG length = 0;
        for (std::size_t c = 0; c < piece.size(); ++c)
            if (!(piece[c] == L'\n' && c > 0 && piece[c - 1] == L'\r'))
                ++length;
        TextStyle style = runs[i].style;
        if (!style.hasColour) { // plain runs take the control's colour
            style.hasColour = true;
            style.colour = mColour;
        }
        FormatRange(mHwnd, at, at + length, style, mSpec, mLib.Dpi(), systemDpi);
        at += length;
    }
    PARAFORMAT2 paragraph{};
    paragraph.cbSize = sizeof paragraph;
    paragraph.dwMask = PFM_ALIGNMENT;
    paragraph.wAlignment = mSpec.align == Align::Centre  ? PFA_CENTER
                           : mSpec.align == Align::Right ? PFA_RIGHT
                                                         : PFA_LEFT;
    SendMessageW(mHwnd, EM_SETSEL, 0, -1);
    SendMessageW(mHwnd, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
    SendMessageW(mHwnd, EM_SETSEL, 0, 0);
    SendMessageW(mHwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(mHwnd, nullptr, TRUE);
}

void RichTextControl::ClearText()
{
    mMarkup.clear();
    if (mHwnd)
        SetWindowTextW(mHwnd, L"");
}

void RichTextControl::ChangeDpi()
{
    if (!mMarkup.empty())
        SetRichText(std::string(mMarkup).c_str());
}

int WindowControl::DoModal()
{
    if (!mHwnd)
        return -1;
    HWND previousFocus = GetFocus();
    HWND overlay = nullptr;
    if (mSpec.kind == Kind::Dialog) {
        ShowWindow(mHwnd, SW_SHOW);
        SetForegroundWindow(mHwnd);
    } else {
        // The dialog first takes the size the panel needs, then its still is taken for the dim.
        mLib.FitDialog(*this, true);
        RedrawWindow(mWindow->mHwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (IsWindowVisible(mWindow->mHwnd))
            overlay = ShowDimmedCopy(*mWindow);
        SetControlVisible(*this, true);
    }
    FocusControl(*this);
    UpdateWindow(mHwnd);
    const int result = mLib.RunModal(*this);
    HideDimmedCopy(overlay);
    if (IsWindow(mHwnd)) {
        ShowWindow(mHwnd, SW_HIDE);
        if (mSpec.kind == Kind::Panel)
            mLib.FitDialog(*this, false); // its own size again
        if (mSpec.kind == Kind::Panel && IsWindow(previousFocus))
            ::SetFocus(previousFocus);
    }
    return result;
}

void WindowControl::EndModal(int code)
{
    mEnded = true;
    this->mCode = code;
    if (mHwnd)
        PostMessageW(mHwnd, WM_NULL, 0, 0); // wakes the loop
}

} // namespace KorFact
