// The dialog at each DPI a monitor may have: moved to a monitor of another DPI (WM_DPICHANGED) it
// takes the suggested rectangle, every control goes to its place at that DPI, and every text
// fits inside its control, measured with the control's own font.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_ui.hpp"
#include "korfact/layout_model.hpp"
#include "korfact/placement.hpp"
#include "korfact/text_wrap.hpp"
#include "tests/korfact_win/shipped_layout.hpp"
#include "tools/win/ui_input.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <richedit.h>

#include <sstream>

using namespace Kordo;

namespace {

std::wstring TextOf(HWND window)
{
    std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
    text.resize(GetWindowTextW(window, &text[0], static_cast<int>(text.size())));
    return text;
}

// Why the text of `control` (of layout kind `kind`) does not fit, or empty when it does.
std::string TextMisfit(HWND control, KorFact::Kind kind, int dpi)
{
    const std::wstring text = TextOf(control);
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const auto measure = [&](std::size_t start, std::size_t length) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str() + start, static_cast<int>(length), &size);
        return static_cast<int>(size.cx);
    };
    std::ostringstream misfit;
    const int width = client.right, height = client.bottom;
    switch (kind) {
    case KorFact::Kind::Label:
    case KorFact::Kind::Link: {
        const std::u16string units(text.begin(), text.end());
        const auto lines = KorFact::WrapText(units, width, measure);
        for (const KorFact::Line& line : lines)
            if (measure(line.start, line.length) > width)
                misfit << "a line is " << measure(line.start, line.length) << " wide. ";
        const int needed = KorFact::WrappedHeight(lines.size(), metrics.tmHeight);
        if (needed > height)
            misfit << lines.size() << " lines need " << needed << " of " << height << ". ";
        break;
    }
    case KorFact::Kind::Button: {
        // Inside the focus ring.
        const int ring = KorFact::ScaleToDpi(2, dpi);
        if (measure(0, text.size()) > width - 2 * ring || metrics.tmHeight > height - 2 * ring)
            misfit << measure(0, text.size()) << "x" << metrics.tmHeight << " in " << width << "x"
                   << height << ". ";
        break;
    }
    case KorFact::Kind::Edit:
        if (metrics.tmHeight > height)
            misfit << "a line " << metrics.tmHeight << " high in " << height << ". ";
        break;
    case KorFact::Kind::RichText: {
        // One line (first and last character level), ending inside the control.
        POINTL first{}, last{};
        SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
        SendMessageW(control, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&last),
                     static_cast<LPARAM>(text.size() - 1));
        if (first.y != last.y || first.x < 0 || last.x >= width)
            misfit << "from " << first.x << "," << first.y << " to " << last.x << "," << last.y
                   << " in " << width << ". ";
        break;
    }
    default:
        break;
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return misfit.str();
}

} // namespace

TEST(KorFactDpi, EachDpiLaysTheDialogOutAgainAndEveryTextFits)
{
    if (!gComponentFactory)
        LoadComponentLibrary();
    ASSERT_NE(gComponentFactory, nullptr);
    TKordoPtr<IUILib, 1> library(static_cast<IUILib*>(gComponentFactory->Create(kUILibId, 0)));
    ASSERT_TRUE(library);
    IUILib& lib = *library.Get();
    ASSERT_EQ(lib.LoadLayout("Main.vxm", 0), 1);
    const KorFact::Layout layout = ShippedLayout();
    ASSERT_FALSE(layout.controls.empty());
    HWND dialog = UiInput::FindDialog();
    ASSERT_NE(dialog, nullptr);
    // The longest texts the program puts in the result panel.
    dynamic_cast<IRichText*>(lib.GetControl(lib.GetControlId("RichEdit_Text", 0)))
        ->SetRichText("<font bold=\"1\" size=\"14\">检测成功,谢谢，您已成功参与检测。</font>");
    dynamic_cast<IStaticText*>(lib.GetControl(lib.GetControlId("Static_Msg", 0)))
        ->SetText("您的电脑为 1 级，超过了 100% 的已参与电脑。");

    for (const int dpi : {120, 144, 192, 96}) {
        SCOPED_TRACE(dpi);
        RECT before;
        GetWindowRect(dialog, &before);
        const KorFact::Rect size = KorFact::PlaceAtDpi(layout.controls.front(), nullptr, dpi);
        RECT suggested{before.left + 7, before.top + 5, before.left + 7 + size.width,
                       before.top + 5 + size.height};
        SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        RECT now;
        GetWindowRect(dialog, &now);
        EXPECT_TRUE(EqualRect(&now, &suggested));
        EXPECT_EQ(now.right - now.left, 480 * dpi / 96);
        EXPECT_EQ(now.bottom - now.top, 380 * dpi / 96);

        for (const KorFact::ControlSpec& spec : layout.controls) {
            if (spec.parent < 0)
                continue;
            SCOPED_TRACE(spec.name);
            HWND control = UiInput::FindControl(dialog, spec.id);
            ASSERT_NE(control, nullptr);
            const KorFact::Rect box = KorFact::PlaceAtDpi(spec, &layout.controls[spec.parent], dpi);
            const KorFact::Rect at = PlacedRect(control);
            if (spec.kind == KorFact::Kind::Edit) {
                EXPECT_GT(at.x, box.x); // inside the box its window draws
                EXPECT_LT(at.x + at.width, box.x + box.width);
            } else {
                EXPECT_EQ(at, box);
            }
            EXPECT_EQ(TextMisfit(control, spec.kind, dpi), "");
            if (spec.kind == KorFact::Kind::Panel || spec.kind == KorFact::Kind::RichText)
                continue; // no font of their own: the title strip's, the runs' own
            // The font follows: its character height is the layout's size at this DPI.
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
                       sizeof font, &font);
            EXPECT_EQ(font.lfHeight, -KorFact::ScaleToDpi(spec.fontSize, dpi));
        }
    }
    lib.Shutdown();
}
