#pragma once
// The layout file: XML whose elements are the windows and controls, texts in GBK.
//
//   <layout>
//     <dialog name="Main" id="1000" width="460" height="360" text="..." close="Btn_Close">
//       <label name="..." id="..." x="24" y="64" width="120" height="24" text="..."/>
//       <panel name="Talvo" id="2000" width="..." height="..." visible="0" close="Talvo_Close">
//         <button .../>
//       </panel>
//     </dialog>
//   </layout>
//
// Kinds: dialog (a top-level window), panel (a modal window inside a dialog, centred over it),
// label, link (a label that reports clicks), edit, button, richtext. Sizes are logical pixels
// relative to the enclosing window. Fonts, colours and alignment pass from a window to what it
// holds unless set again. A label in a panel may name a maxheight: it then grows up to that
// height to show its whole text, its panel grows by as much (and the dialog with it while the
// panel is shown, when the panel would not fit), and what lies below the label in that panel
// moves down; text taller still, or than the monitor has room for, scrolls.
#include <cstdint>
#include <string>
#include <vector>

namespace KorFact {

enum class Kind { Dialog, Panel, Label, Link, Edit, Button, RichText };

// What kinds share, decided here for every kind at once.
struct KindTraits {
    bool window;    // a window of the library's own class that holds controls
    bool pressed;   // a click presses it; it lights up under the mouse and shows the hand
    bool focusRing; // it shows a ring while it has the focus
};
constexpr KindTraits TraitsOf(Kind kind)
{
    return {kind == Kind::Dialog || kind == Kind::Panel, kind == Kind::Button || kind == Kind::Link,
            kind == Kind::Button || kind == Kind::Edit};
}

enum class Align { Left, Centre, Right };

// How a button is drawn: an outlined one, the filled main action, or a window's close cross.
enum class ButtonLook { Plain, Primary, Cross };

// The most bytes a control's text may hold; an edit's own limit may be lower.
constexpr std::size_t kTextCapacity = 2048;
constexpr int kMaxExtent = 4096;

struct ControlSpec {
    Kind kind = Kind::Label;
    std::string name;
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;
    std::vector<std::string> faces; // first installed one wins
    int fontSize = 13;              // character height, logical pixels
    bool bold = false;
    std::uint32_t colour = 0x333333;     // COLORREF
    std::uint32_t background = 0xFFFFFF; // COLORREF
    Align align = Align::Left;
    bool visible = true;
    bool tabStop = false;
    ButtonLook look = ButtonLook::Plain;
    int limit = 0;     // edits: most characters typed
    int maxHeight = 0; // labels in a panel: the tallest they grow to (0: they keep their height)
    std::string close; // windows: the button that closes them
    int parent = -1;   // index of the enclosing window, -1 for a dialog
};

struct Layout {
    std::vector<ControlSpec> controls; // in document order, each window before what it holds
};

struct LayoutError {
    std::string element; // path such as "layout/dialog[Main]/edit[Edit_Zeq]"
    std::string reason;
};

// Reads the layout in `xml`; on any fault fills `error` and leaves `layout` empty.
bool ParseLayout(const std::string& xml, Layout& layout, LayoutError& error);

// The file a bare layout name stands for: beside the program, not in the current directory.
// Names with a folder or drive are used as they are.
std::string ResolveLayoutPath(const std::string& name, const std::string& programDirectory);

} // namespace KorFact
