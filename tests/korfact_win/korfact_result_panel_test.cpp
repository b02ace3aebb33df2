// The result panel with the server's message at each DPI: a message that fits keeps the panel as
// laid out; a longer one grows the message and the panel by what its text needs, measured with
// the message's own font, with the buttons below it, and the dialog with them while the panel
// shows; one taller than the panel may grow scrolls.
#include "framework/component_library_loader.hpp"
#include "framework/kordo_ui.hpp"
#include "korfact/layout_model.hpp"
#include "korfact/placement.hpp"
#include "korfact/text_wrap.hpp"
#include "tests/korfact_win/shipped_layout.hpp"
#include "tools/win/server_messages.hpp"
#include "tools/win/step_script.hpp"
#include "tools/win/ui_input.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <functional>

using namespace Kordo;

namespace {

// The message's text as the label wraps it in its own font within its client area.
struct Wrapped {
    std::wstring text;
    std::vector<KorFact::Line> lines;
    std::vector<int> widths;
    int height = 0;
    int clientWidth = 0, clientHeight = 0;
};

// `gap`: pixels the text keeps from the right edge of the client area.
Wrapped WrapAsShown(HWND label, int gap = 0)
{
    Wrapped wrapped;
    wrapped.text.resize(GetWindowTextLengthW(label) + 1);
    wrapped.text.resize(
        GetWindowTextW(label, &wrapped.text[0], static_cast<int>(wrapped.text.size())));
    RECT client;
    GetClientRect(label, &client);
    wrapped.clientWidth = client.right - gap;
    wrapped.clientHeight = client.bottom;
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const auto measure = [&](std::size_t start, std::size_t length) {
        SIZE size{};
        GetTextExtentPoint32W(dc, wrapped.text.c_str() + start, static_cast<int>(length), &size);
        return static_cast<int>(size.cx);
    };
    const std::u16string units(wrapped.text.begin(), wrapped.text.end());
    wrapped.lines = KorFact::WrapText(units, wrapped.clientWidth, measure);
    for (const KorFact::Line& line : wrapped.lines)
        wrapped.widths.push_back(measure(line.start, line.length));
    wrapped.height = KorFact::WrappedHeight(wrapped.lines.size(), metrics.tmHeight);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return wrapped;
}

std::string Gbk(const std::wstring& text)
{
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

// Offsets in `gbk` where a character starts.
std::vector<bool> CharacterStarts(const std::string& gbk)
{
    std::vector<bool> starts(gbk.size() + 1, false);
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        starts[i] = true;
        if (IsDBCSLeadByteEx(936, static_cast<BYTE>(gbk[i])))
            ++i;
    }
    starts[gbk.size()] = true;
    return starts;
}

bool IsWordCharacter(wchar_t c)
{
    return c < 0x80 &&
           (std::isalnum(c) || c == '(' || c == ')' || c == '-' || c == '.' || c == '@');
}

int WorkAreaHeight()
{
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work.bottom - work.top;
}

bool Scrolls(HWND label)
{
    return (GetWindowLongW(label, GWL_STYLE) & WS_VSCROLL) != 0;
}

class ResultPanel : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!gComponentFactory)
            LoadComponentLibrary();
        ASSERT_NE(gComponentFactory, nullptr);
        mLibrary = static_cast<IUILib*>(gComponentFactory->Create(kUILibId, 0));
        ASSERT_TRUE(mLibrary);
        ASSERT_EQ(mLibrary->LoadLayout("Main.vxm", 0), 1);
        mShipped = ShippedLayout();
        mDialog = UiInput::FindDialog();
        ASSERT_NE(mDialog, nullptr);
        for (const char* name : {"Main", "Result", "Static_Msg", "Button_OK", "RichEdit_Text"})
            ASSERT_NE(FindSpec(mShipped, name), nullptr) << name;
        mPanel = Window("Result");
        mMessage = Window("Static_Msg");
        mOk = Window("Button_OK");
        ASSERT_GT(FindSpec(mShipped, "Static_Msg")->maxHeight,
                  FindSpec(mShipped, "Static_Msg")->height);
    }

    void TearDown() override
    {
        if (mLibrary)
            mLibrary->Shutdown();
    }

    HWND Window(const char* name)
    {
        return UiInput::FindControl(mDialog, FindSpec(mShipped, name)->id);
    }

    void MoveToDpi(int dpi)
    {
        RECT before;
        GetWindowRect(mDialog, &before);
        const KorFact::Rect size = KorFact::PlaceAtDpi(*FindSpec(mShipped, "Main"), nullptr, dpi);
        RECT suggested{before.left, before.top, before.left + size.width, before.top + size.height};
        SendMessageW(mDialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    }

    void Show(const char* message)
    {
        dynamic_cast<IStaticText*>(mLibrary->GetControl(FindSpec(mShipped, "Static_Msg")->id))
            ->SetText(message);
    }

    // Where a control of the result panel goes at `dpi` when the message grew by `extra` and
    // the dialog by `dialogExtra`.
    KorFact::Rect Expected(const char* name, int dpi, int extra, int dialogExtra = 0)
    {
        const KorFact::ControlSpec* spec = FindSpec(mShipped, name);
        const KorFact::ControlSpec& window = mShipped.controls[spec->parent];
        std::vector<KorFact::Growth> grown;
        if (extra > 0)
            grown.push_back({FindSpec(mShipped, "Static_Msg"), extra});
        return KorFact::PlaceAtDpi(*spec, &window, dpi, grown, dialogExtra);
    }

    int DialogHeight()
    {
        RECT client;
        GetClientRect(mDialog, &client);
        return client.bottom;
    }

    // Runs the result panel modally, as the program does after a Start, with `check` while it
    // shows.
    void WhileShown(const std::function<void()>& check)
    {
        auto* panel =
            dynamic_cast<IWindow*>(mLibrary->GetControl(FindSpec(mShipped, "Result")->id));
        StepScript script;
        script.Then("shown", [&] {
            check();
            panel->EndModal(0);
            return true;
        });
        script.Start([&](const std::string&) { panel->EndModal(-1); });
        EXPECT_EQ(panel->DoModal(), 0);
    }

    TKordoPtr<IUILib, 1> mLibrary;
    KorFact::Layout mShipped;
    HWND mDialog = nullptr, mPanel = nullptr, mMessage = nullptr, mOk = nullptr;
};

const int kDpis[] = {96, 144, 192};

} // namespace

TEST_F(ResultPanel, AMessageThatFitsLeavesThePanelAsLaidOut)
{
    for (const int dpi : kDpis) {
        SCOPED_TRACE(dpi);
        MoveToDpi(dpi);
        for (const char* message : {ServerMessages::kShort, "", "数据提交失败，请稍后再尝试。"}) {
            Show(message);
            for (const char* name : {"Result", "Static_Msg", "Button_OK", "Button_OK_Close"})
                EXPECT_EQ(PlacedRect(Window(name)), Expected(name, dpi, 0)) << name;
            EXPECT_FALSE(Scrolls(mMessage));
            const Wrapped wrapped = WrapAsShown(mMessage);
            EXPECT_LE(wrapped.height, wrapped.clientHeight);
        }
        WhileShown([&] {
            EXPECT_EQ(DialogHeight(),
                      KorFact::PlaceAtDpi(*FindSpec(mShipped, "Main"), nullptr, dpi).height);
            EXPECT_EQ(PlacedRect(mPanel), Expected("Result", dpi, 0));
        });
    }
}

// The longest message stands whole at every DPI, its lines wrapped as the label draws them:
// each inside the label's width, the whole as tall as the label, the buttons below it. While the
// panel shows, the dialog stands as tall as the grown panel with its margins needs, and takes
// its own size again after.
TEST_F(ResultPanel, TheLongestMessageGrowsThePanelAndStandsWhole)
{
    const KorFact::ControlSpec& main = *FindSpec(mShipped, "Main");
    for (const int dpi : kDpis) {
        SCOPED_TRACE(dpi);
        MoveToDpi(dpi);
        Show(ServerMessages::kShort);
        Show(ServerMessages::kLongest);
        const Wrapped wrapped = WrapAsShown(mMessage);
        const KorFact::Rect laidOut = Expected("Static_Msg", dpi, 0);
        const int extra = wrapped.height - laidOut.height;
        const int laidDialog = KorFact::PlaceAtDpi(main, nullptr, dpi).height;
        const int dialogExtra =
            KorFact::DialogGrowthAtDpi(main, Expected("Result", dpi, extra).height, dpi);
        ASSERT_LE(laidDialog + dialogExtra, WorkAreaHeight()) << "a screen too small for this DPI";
        EXPECT_GT(extra, 0);
        EXPECT_GE(wrapped.lines.size(), 5u);
        EXPECT_FALSE(Scrolls(mMessage));
        EXPECT_EQ(wrapped.clientWidth, laidOut.width);
        EXPECT_EQ(wrapped.clientHeight, wrapped.height); // no line cut at the bottom
        for (const int width : wrapped.widths)
            EXPECT_LE(width, wrapped.clientWidth);
        EXPECT_EQ(DialogHeight(), laidDialog);
        WhileShown([&] {
            EXPECT_EQ(DialogHeight(), laidDialog + dialogExtra);
            for (const char* name : {"Result", "Static_Msg", "Button_OK", "Button_OK_Close",
                                     "RichEdit_Text", "Result_Close"})
                EXPECT_EQ(PlacedRect(Window(name)), Expected(name, dpi, extra, dialogExtra))
                    << name;
            const KorFact::Rect message = PlacedRect(mMessage);
            const KorFact::Rect ok = PlacedRect(mOk);
            EXPECT_EQ(ok.y - (message.y + message.height),
                      KorFact::ScaleToDpi(180, dpi) - KorFact::ScaleToDpi(166, dpi));
            const KorFact::Rect panel = PlacedRect(mPanel);
            EXPECT_GE(panel.y, 0);
            EXPECT_LE(panel.y + panel.height, DialogHeight());
        });
        EXPECT_EQ(DialogHeight(), laidDialog);
        EXPECT_EQ(PlacedRect(mPanel), Expected("Result", dpi, extra));
    }
}

// Lines break between characters, never inside one of the GBK text's double-byte characters,
// and never inside a Latin word.
TEST_F(ResultPanel, TheLongestMessageBreaksBetweenCharactersAndWords)
{
    const std::string gbk = ServerMessages::kLongest;
    const std::vector<bool> starts = CharacterStarts(gbk);
    for (const int dpi : kDpis) {
        SCOPED_TRACE(dpi);
        MoveToDpi(dpi);
        Show(ServerMessages::kLongest);
        const Wrapped wrapped = WrapAsShown(mMessage);
        EXPECT_EQ(Gbk(wrapped.text), gbk);
        std::size_t from = 0;
        for (std::size_t i = 0; i < wrapped.lines.size(); ++i) {
            const KorFact::Line& line = wrapped.lines[i];
            const std::string bytes = Gbk(wrapped.text.substr(line.start, line.length));
            const std::size_t at = gbk.find(bytes, from);
            ASSERT_NE(at, std::string::npos) << i;
            EXPECT_TRUE(starts[at] && starts[at + bytes.size()]) << i;
            from = at + bytes.size();
            const std::size_t end = line.start + line.length;
            if (i + 1 < wrapped.lines.size()) {
                EXPECT_FALSE(IsWordCharacter(wrapped.text[end - 1]) &&
                             IsWordCharacter(wrapped.text[end]))
                    << "a word cut after line " << i;
            }
        }
        EXPECT_EQ(from, gbk.size());
    }
}

// A message taller than the panel may grow: the panel stands at its largest, the message
// scrolls through all of its lines; the next short message puts the panel back.
TEST_F(ResultPanel, AMessageTallerThanTheLargestPanelScrolls)
{
    const std::string overlong =
        std::string(ServerMessages::kLongest) + ServerMessages::kLongest + ServerMessages::kLongest;
    for (const int dpi : kDpis) {
        SCOPED_TRACE(dpi);
        MoveToDpi(dpi);
        Show(overlong.c_str());
        const KorFact::ControlSpec& spec = *FindSpec(mShipped, "Static_Msg");
        const int most =
            KorFact::MostGrowthAtDpi(spec, *FindSpec(mShipped, "Result"), WorkAreaHeight(), dpi);
        EXPECT_TRUE(Scrolls(mMessage));
        EXPECT_EQ(PlacedRect(mMessage), Expected("Static_Msg", dpi, most));
        EXPECT_EQ(PlacedRect(mOk), Expected("Button_OK", dpi, most));
        // Beside the scroll bar, a gap from it.
        const Wrapped wrapped =
            WrapAsShown(mMessage, KorFact::ScaleToDpi(KorFact::kScrollGap, dpi));
        EXPECT_LT(wrapped.clientWidth, PlacedRect(mMessage).width);
        for (const int width : wrapped.widths)
            EXPECT_LE(width, wrapped.clientWidth);
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        ASSERT_TRUE(GetScrollInfo(mMessage, SB_VERT, &info));
        EXPECT_EQ(info.nMax + 1, wrapped.height);
        EXPECT_EQ(static_cast<int>(info.nPage), wrapped.clientHeight);
        EXPECT_GT(info.nMax + 1, 2 * wrapped.clientHeight);
        EXPECT_EQ(info.nPos, 0);

        const struct {
            UINT message;
            WPARAM wParam;
            HWND to;
            int position; // -1: somewhere between the ends
        } steps[] = {
            {WM_VSCROLL, SB_BOTTOM, mMessage, info.nMax - static_cast<int>(info.nPage) + 1},
            {WM_VSCROLL, SB_PAGEDOWN, mMessage, info.nMax - static_cast<int>(info.nPage) + 1},
            {WM_VSCROLL, SB_TOP, mMessage, 0},
            {WM_VSCROLL, SB_LINEUP, mMessage, 0},
            {WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), mOk, -1}, // to the focus, then its panel
            {WM_KEYDOWN, VK_HOME, mOk, 0},
            {WM_KEYDOWN, VK_END, mOk, info.nMax - static_cast<int>(info.nPage) + 1},
        };
        for (const auto& step : steps) {
            SendMessageW(step.to, step.message, step.wParam, 0);
            const int position = GetScrollPos(mMessage, SB_VERT);
            if (step.position >= 0) {
                EXPECT_EQ(position, step.position) << step.message << " " << step.wParam;
            } else {
                EXPECT_GT(position, 0) << step.message;
                EXPECT_LT(position, info.nMax - static_cast<int>(info.nPage) + 1) << step.message;
            }
        }

        Show(ServerMessages::kShort);
        EXPECT_FALSE(Scrolls(mMessage));
        EXPECT_EQ(GetScrollPos(mMessage, SB_VERT), 0);
        EXPECT_EQ(PlacedRect(mPanel), Expected("Result", dpi, 0));
        EXPECT_EQ(PlacedRect(mMessage), Expected("Static_Msg", dpi, 0));
    }
}

// A dialog moved to a monitor of another DPI while the grown message shows measures it again in
// the new font and fits itself to the panel again.
TEST_F(ResultPanel, TheGrownMessageIsMeasuredAgainAtANewDpi)
{
    const KorFact::ControlSpec& main = *FindSpec(mShipped, "Main");
    MoveToDpi(96);
    Show(ServerMessages::kLongest);
    WhileShown([&] {
        for (const int dpi : {192, 144, 96}) {
            SCOPED_TRACE(dpi);
            MoveToDpi(dpi);
            const Wrapped wrapped = WrapAsShown(mMessage);
            EXPECT_EQ(wrapped.clientHeight, wrapped.height);
            const int extra = wrapped.height - Expected("Static_Msg", dpi, 0).height;
            const int dialogExtra =
                KorFact::DialogGrowthAtDpi(main, Expected("Result", dpi, extra).height, dpi);
            EXPECT_EQ(DialogHeight(), KorFact::PlaceAtDpi(main, nullptr, dpi).height + dialogExtra);
            EXPECT_EQ(PlacedRect(mPanel), Expected("Result", dpi, extra, dialogExtra));
            EXPECT_EQ(PlacedRect(mOk), Expected("Button_OK", dpi, extra));
        }
    });
}
