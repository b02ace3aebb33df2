#include "korfact/ui_lib_win.hpp"

#include "common/fault_report.hpp"
#include "framework/variable_param.hpp"
#include "korfact/dpi_win.hpp"
#include "korfact/placement.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace KorFact {
namespace {

constexpr std::streamoff kMaxLayoutBytes = 1 << 20;

void ReportLayoutError(const std::string& file, const std::string& element,
                       const std::string& reason)
{
    ReportFault("korfact", "LoadLayout " + file + ": " + element + ": " + reason);
}

std::string ProgramDirectory()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    const std::size_t cut = text.rfind('\\');
    return cut == std::string::npos ? std::string(".") : text.substr(0, cut);
}

bool ReadFile(const std::string& path, std::string& content, std::string& reason)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        reason = "cannot open the file";
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxLayoutBytes) {
        reason = "the file is larger than 1 MiB";
        return false;
    }
    content.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(&content[0], size)) {
        reason = "cannot read the file";
        return false;
    }
    return true;
}

// Shows the wait cursor while a handler runs (a Start takes seconds).
class BusyCursor {
  public:
    explicit BusyCursor(int& busy)
        : mBusy(busy), mPrevious(SetCursor(LoadCursor(nullptr, IDC_WAIT)))
    {
        ++mBusy;
    }
    ~BusyCursor()
    {
        --mBusy;
        SetCursor(mPrevious);
    }

  private:
    int& mBusy;
    HCURSOR mPrevious;
};

bool IsInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK);
}

} // namespace

UILib::UILib() : mDpi(SystemDpi()) {}

UILib::~UILib()
{
    Shutdown();
    for (const auto& font : mFonts)
        DeleteObject(font.second);
    for (const auto& brush : mBrushes)
        DeleteObject(brush.second);
    for (const auto& icon : mIcons)
        if (icon.second != icon.first.first)
            DestroyIcon(icon.second);
}

int UILib::Scale(int logical) const
{
    return ScaleToDpi(logical, mDpi);
}

int UILib::LoadLayout(const char* file, int)
{
    const std::string name = file ? file : "";
    const std::string path = ResolveLayoutPath(name, ProgramDirectory());
    std::string content, reason;
    if (name.empty() || !ReadFile(path, content, reason)) {
        ReportLayoutError(path, "file", name.empty() ? "no file name" : reason);
        return 0;
    }
    Layout layout;
    LayoutError error;
    if (!ParseLayout(content, layout, error)) {
        ReportLayoutError(path, error.element, error.reason);
        return 0;
    }
    Shutdown();
    if (!RegisterWindowClass() || !Create(layout)) {
        ReportLayoutError(path, "layout", "a window could not be created");
        Shutdown();
        return 0;
    }
    return 1;
}

bool UILib::Create(const Layout& layout)
{
    for (const ControlSpec& spec : layout.controls)
        if (spec.kind == Kind::RichText) {
            LoadLibraryA("msftedit.dll"); // registers RICHEDIT50W; stays for the process
            break;
        }
    for (const ControlSpec& spec : layout.controls)
        if (!CreateControl(spec))
            return false;
    for (const auto& control : mControls)
        if (control->mSpec.maxHeight > 0)
            Refit(*control);
    return true;
}

bool UILib::CreateControl(const ControlSpec& spec)
{
    ControlCore* window = spec.parent >= 0 ? mControls[spec.parent].get() : nullptr;
    mControls.push_back(MakeControl(*this, spec, window));
    ControlCore& core = *mControls.back();
    mById[spec.id] = &core;
    mByName[spec.name] = &core;
    core.mFont = Font(spec, false);
    if (!core.Open(PlaceAtDpi(spec, window ? &window->mSpec : nullptr, mDpi),
                   window ? window->mHwnd : nullptr))
        return false;
    mByWindow[core.mHwnd] = &core;
    SendMessageW(core.mHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(core.mFont), FALSE);
    if (window)
        SubclassControl(core);
    return true;
}

void UILib::PlaceDialog(ControlCore& dialog)
{
    mDpi = WindowDpi(dialog.mHwnd);
    dialog.mFont = Font(dialog.mSpec, false);
    // Centred on the work area of the monitor it opened on.
    const Rect at = CentreIn(PlaceAtDpi(dialog.mSpec, nullptr, mDpi), WorkAreaOf(dialog.mHwnd));
    SetWindowPos(dialog.mHwnd, nullptr, at.x, at.y, at.width, at.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect WorkAreaOf(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    return Rect{work.left, work.top, work.right - work.left, work.bottom - work.top};
}

void UILib::SetDialogExtra(ControlCore& dialog, int extra)
{
    if (extra == dialog.mExtra)
        return;
    RECT now;
    GetWindowRect(dialog.mHwnd, &now);
    const Rect work = WorkAreaOf(dialog.mHwnd);
    const int height = PlaceAtDpi(dialog.mSpec, nullptr, mDpi).height + extra;
    int top = (now.top + now.bottom - height) / 2;
    top = std::max(work.y, std::min(top, work.y + work.height - height));
    dialog.mExtra = extra;
    SetWindowPos(dialog.mHwnd, nullptr, now.left, top, now.right - now.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void UILib::FitDialog(ControlCore& panel, bool shown)
{
    ControlCore& dialog = *panel.mWindow;
    int extra = 0;
    if (shown) {
        const Rect box = PlaceAtDpi(panel.mSpec, &dialog.mSpec, mDpi, Grown(panel));
        const int room =
            WorkAreaOf(dialog.mHwnd).height - PlaceAtDpi(dialog.mSpec, nullptr, mDpi).height;
        extra = std::min(DialogGrowthAtDpi(dialog.mSpec, box.height, mDpi), std::max(0, room));
    }
    SetDialogExtra(dialog, extra);
    Place(panel);
}

void UILib::Place(ControlCore& control)
{
    const bool window = TraitsOf(control.mSpec.kind).window;
    const Rect box =
        PlaceAtDpi(control.mSpec, &control.mWindow->mSpec, mDpi,
                   Grown(window ? control : *control.mWindow), control.mWindow->mExtra);
    if (control.mSpec.kind == Kind::Edit)
        PlaceEdit(control, box);
    else
        SetWindowPos(control.mHwnd, nullptr, box.x, box.y, box.width, box.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void UILib::Fit(ControlCore& label)
{
    const ControlCore& panel = *label.mWindow;
    const Rect box = PlaceAtDpi(label.mSpec, &panel.mSpec, mDpi);
    // As tall as its maxheight, or as its panel may grow on this monitor, whichever is less.
    const int most = box.height + MostGrowthAtDpi(label.mSpec, panel.mSpec,
                                                  WorkAreaOf(panel.mHwnd).height, mDpi);
    int needed = WrappedTextHeight(label, box.width);
    // Taller than it may grow: it scrolls, and its text wraps beside the scroll bar.
    const bool scrolls = needed > most;
    ShowScrollBar(label.mHwnd, SB_VERT, scrolls);
    if (scrolls)
        needed = WrappedTextHeight(label, ScrolledTextWidth(label, box.width));
    label.mExtra = std::min(GrowthAtDpi(label.mSpec, needed, mDpi), most - box.height);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = scrolls ? needed - 1 : 0;
    info.nPage = scrolls ? static_cast<UINT>(most) : 0;
    SetScrollInfo(label.mHwnd, SB_VERT, &info, FALSE);
}

void UILib::Refit(ControlCore& label)
{
    Fit(label);
    ControlCore& window = *label.mWindow;
    if (window.mSpec.kind == Kind::Panel)
        FitDialog(window, IsModal(window));
    else
        Place(window);
    for (ControlCore* control : Children(window))
        Place(*control);
    RedrawWindow(window.mHwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool UILib::IsModal(const ControlCore& window) const
{
    return std::find(mModal.begin(), mModal.end(), &window) != mModal.end();
}

std::vector<Growth> UILib::Grown(const ControlCore& window) const
{
    std::vector<Growth> grown;
    for (const ControlCore* control : Children(window))
        if (control->mExtra > 0)
            grown.push_back({&control->mSpec, control->mExtra});
    return grown;
}

void UILib::ChangeDpi(int dpi)
{
    mDpi = UsableDpi(dpi);
    // The system gives the dialog its size at the new DPI: a panel it holds fits it again then.
    for (const auto& control : mControls)
        if (!control->mWindow)
            control->mExtra = 0;
    for (const auto& control : mControls) {
        control->mFont = Font(control->mSpec, false);
        SendMessageW(control->mHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(control->mFont), FALSE);
    }
    // Growing labels measure their text in the new font before anything is placed around them.
    for (const auto& control : mControls)
        if (control->mSpec.maxHeight > 0)
            Fit(*control);
    for (const auto& control : mControls)
        if (control->mWindow) {
            Place(*control);
            control->ChangeDpi();
        }
    for (const auto& control : mControls)
        if (!control->mWindow)
            RedrawWindow(control->mHwnd, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void UILib::Shutdown()
{
    for (ControlCore* window : mModal)
        window->mEnded = true;
    for (const auto& control : mControls)
        if (!control->mWindow && control->mHwnd)
            DestroyWindow(control->mHwnd);
    mById.clear();
    mByName.clear();
    mByWindow.clear();
    // A modal loop still running on one of these returns first; free them with the library.
    if (!mModal.empty())
        for (auto& control : mControls)
            mRetired.push_back(std::move(control));
    mControls.clear();
}

int UILib::GetControlId(const char* name, int)
{
    const ControlCore* control = name ? FindByName(name) : nullptr;
    return control ? control->mSpec.id : 0; // ids start at 1
}

Kordo::IControl* UILib::GetControl(int id)
{
    const auto found = mById.find(id);
    return found == mById.end() ? nullptr : found->second->Interface();
}

int UILib::GetFocusControlId()
{
    const ControlCore* control = FindByWindow(GetFocus());
    return control ? control->mSpec.id : 0;
}

void UILib::SetEventSink(int, Kordo::IUILibEvent* sink)
{
    mSink = sink;
}

ControlCore* UILib::FindByWindow(HWND hwnd) const
{
    const auto found = mByWindow.find(hwnd);
    return found == mByWindow.end() ? nullptr : found->second;
}

ControlCore* UILib::FindByName(const std::string& name) const
{
    const auto found = mByName.find(name);
    return found == mByName.end() ? nullptr : found->second;
}

bool UILib::DeliverEvent(ControlCore& control, int code, UINT message, WPARAM wParam)
{
    Kordo::IEvent* handler = nullptr;
    for (const ControlCore* at = TraitsOf(control.mSpec.kind).window ? &control : control.mWindow;
         at && !handler; at = at->mWindow)
        handler = at->mHandler;
    Kordo::IEvent* const handlers[] = {handler, mSink != handler ? mSink : nullptr};
    const int id = control.mSpec.id; // a handler may shut the library down
    Kordo::CVariableParam2 params;
    params.SetInt(Kordo::kEventCodeKey, code);
    params.SetInt(Kordo::kEventMessageKey, static_cast<int>(message));
    params.SetUInt(Kordo::kEventWParamKey, static_cast<unsigned>(wParam));
    BusyCursor busy(mBusy);
    for (Kordo::IEvent* each : handlers)
        if (each && each->IsEnabled())
            each->OnEvent(id, &params);
    return params.GetInt(Kordo::kEventHandledKey, false) == 1;
}

void UILib::Click(ControlCore& control, UINT message, WPARAM wParam)
{
    DeliverEvent(control, Kordo::kEventClick, message, wParam);
}

int UILib::RunModal(ControlCore& window)
{
    window.mEnded = false;
    window.mCode = 0;
    mModal.push_back(&window);
    const int busy = mBusy; // the wait cursor belongs to the handler that opened this loop
    mBusy = 0;
    const auto outerEnded = [&] {
        for (const ControlCore* each : mModal)
            if (each->mEnded)
                return true;
        return false;
    };
    MSG message;
    while (!outerEnded()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(message.wParam)); // for the loops outside
            window.mCode = -1;
            break;
        }
        // Input to windows outside the innermost modal one goes nowhere.
        if (IsInputMessage(message.message) && window.mHwnd &&
            !(message.hwnd == window.mHwnd || IsChild(window.mHwnd, message.hwnd)))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    mBusy = busy;
    mModal.pop_back();
    const int code = window.mCode;
    if (mModal.empty())
        mRetired.clear();
    return code;
}

HFONT UILib::Font(const ControlSpec& spec, bool underline)
{
    std::string key;
    for (const std::string& face : spec.faces)
        key += face + ",";
    // By pixel height: fonts made for another DPI stay valid for windows not yet laid out again.
    const int height = Scale(spec.fontSize);
    key += std::to_string(height) + (spec.bold ? "b" : "") + (underline ? "u" : "");
    HFONT& font = mFonts[key];
    if (!font)
        font = CreateLayoutFont(spec.faces, height, spec.bold, underline);
    return font;
}

HICON UILib::IconAt(HICON icon, int size)
{
    HICON& sized = mIcons[{icon, size}];
    if (!sized)
        sized = static_cast<HICON>(CopyImage(icon, IMAGE_ICON, size, size, LR_COPYFROMRESOURCE));
    if (!sized)
        sized = icon; // drawn stretched
    return sized;
}

HBRUSH UILib::Brush(COLORREF colour)
{
    HBRUSH& brush = mBrushes[colour];
    if (!brush)
        brush = CreateSolidBrush(colour);
    return brush;
}

std::vector<ControlCore*> UILib::Children(const ControlCore& window) const
{
    std::vector<ControlCore*> children;
    for (const auto& control : mControls)
        if (control->mWindow == &window)
            children.push_back(control.get());
    return children;
}

std::vector<ControlCore*> UILib::TabStops(const ControlCore& window) const
{
    std::vector<ControlCore*> stops;
    for (ControlCore* control : Children(window))
        if (control->mSpec.tabStop && IsWindowVisible(control->mHwnd) &&
            IsWindowEnabled(control->mHwnd))
            stops.push_back(control);
    return stops;
}

} // namespace KorFact
