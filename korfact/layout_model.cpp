#include "korfact/layout_model.hpp"

#include "common/decimal.hpp"
#include "korfact/colour.hpp"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <cstring>
#include <map>
#include <set>
#include <sstream>

namespace KorFact {
namespace {

using boost::property_tree::ptree;

struct Refusal {
    std::string element;
    std::string reason;
};

const std::map<std::string, Kind> kKinds = {{"dialog", Kind::Dialog},    {"panel", Kind::Panel},
                                            {"label", Kind::Label},      {"link", Kind::Link},
                                            {"edit", Kind::Edit},        {"button", Kind::Button},
                                            {"richtext", Kind::RichText}};

bool IsWindow(Kind kind)
{
    return kind == Kind::Dialog || kind == Kind::Panel;
}

class Reader {
  public:
    Reader(const ptree& attributes, const std::string& element)
        : mAttributes(attributes), mElement(element)
    {
    }

    const std::string* Find(const char* name)
    {
        mKnown.insert(name);
        const auto found = mAttributes.find(name);
        return found == mAttributes.not_found() ? nullptr : &found->second.data();
    }

    [[noreturn]] void Refuse(const std::string& reason) { throw Refusal{mElement, reason}; }

    std::string Text(const char* name, const std::string& fallback)
    {
        const std::string* value = Find(name);
        return value ? *value : fallback;
    }

    int Int(const char* name, int fallback, int low, int high)
    {
        const std::string* value = Find(name);
        if (!value)
            return fallback;
        const std::optional<int> number = ParseDecimal<int>(*value);
        if (!number)
            Refuse(std::string("attribute ") + name + " is not a whole number: \"" + *value + "\"");
        if (*number < low || *number > high)
            Refuse(std::string("attribute ") + name + " out of range: " + *value);
        return *number;
    }

    int Required(const char* name, int low, int high)
    {
        if (!mAttributes.count(name))
            Refuse(std::string("attribute ") + name + " missing");
        return Int(name, 0, low, high);
    }

    bool Flag(const char* name, bool fallback) { return Int(name, fallback, 0, 1) != 0; }

    std::uint32_t Colour(const char* name, std::uint32_t fallback)
    {
        const std::string* value = Find(name);
        std::uint32_t colour = fallback;
        if (value && !ParseColour(*value, colour))
            Refuse(std::string("attribute ") + name + " is not a colour: \"" + *value + "\"");
        return colour;
    }

    template <class T>
    T Choice(const char* name, T fallback, const std::map<std::string, T>& choices)
    {
        const std::string* value = Find(name);
        if (!value)
            return fallback;
        const auto found = choices.find(*value);
        if (found == choices.end())
            Refuse(std::string("attribute ") + name + " has no such value: \"" + *value + "\"");
        return found->second;
    }

    // Every attribute must have been asked for: a misspelt one would otherwise pass unseen.
    void CheckAllKnown()
    {
        for (const auto& attribute : mAttributes)
            if (!mKnown.count(attribute.first))
                Refuse("unknown attribute " + attribute.first);
    }

  private:
    const ptree& mAttributes;
    std::string mElement;
    std::set<std::string> mKnown;
};

std::vector<std::string> SplitFaces(const std::string& list)
{
    std::vector<std::string> faces;
    std::istringstream in(list);
    std::string face;
    while (std::getline(in, face, ','))
        if (face.find_first_not_of(' ') != std::string::npos)
            faces.push_back(
                face.substr(face.find_first_not_of(' '),
                            face.find_last_not_of(' ') - face.find_first_not_of(' ') + 1));
    return faces;
}

class Builder {
  public:
    explicit Builder(Layout& layout) : mLayout(layout) {}

    void Element(const std::string& tag, const ptree& node, int parent, const std::string& path)
    {
        static const ptree kNone;
        const auto attributesFound = node.find("<xmlattr>");
        const ptree& attributes =
            attributesFound == node.not_found() ? kNone : attributesFound->second;
        const std::string element =
            path + "/" + tag + "[" + attributes.get<std::string>("name", "") + "]";
        Reader read(attributes, element);
        const auto kind = kKinds.find(tag);
        if (kind == kKinds.end())
            read.Refuse("unknown kind " + tag);

        ControlSpec spec;
        if (parent >= 0)
            spec = Inherited(mLayout.controls[parent]);
        spec.kind = kind->second;
        spec.parent = parent;
        if (spec.kind == Kind::Dialog && parent >= 0)
            read.Refuse("a dialog inside another window");
        if (spec.kind == Kind::Panel &&
            (parent < 0 || mLayout.controls[parent].kind != Kind::Dialog))
            read.Refuse("a panel outside a dialog");
        if (!IsWindow(spec.kind) && parent < 0)
            read.Refuse("a control outside any window");

        spec.name = read.Text("name", "");
        if (spec.name.empty())
            read.Refuse("attribute name missing");
        if (!mNames.insert(spec.name).second)
            read.Refuse("duplicate name " + spec.name);
        // Ids travel in the low word of WM_COMMAND.
        spec.id = read.Required("id", 1, 0xFFFF);
        if (!mIds.insert(spec.id).second)
            read.Refuse("duplicate id " + std::to_string(spec.id));
        spec.x = read.Int("x", 0, 0, kMaxExtent);
        spec.y = read.Int("y", 0, 0, kMaxExtent);
        spec.width = read.Required("width", 1, kMaxExtent);
        spec.height = read.Required("height", 1, kMaxExtent);
        if (parent >= 0) {
            const ControlSpec& window = mLayout.controls[parent];
            if (spec.x + spec.width > window.width || spec.y + spec.height > window.height)
                read.Refuse("lies outside its window");
        }
        spec.text = read.Text("text", "");
        if (read.Find("font"))
            spec.faces = SplitFaces(read.Text("font", ""));
        spec.fontSize = read.Int("size", spec.fontSize, 6, 200);
        spec.bold = read.Flag("bold", false);
        spec.colour = read.Colour("color", spec.colour);
        spec.background = read.Colour("background", spec.background);
        spec.align = read.Choice<Align>(
            "align", spec.align,
            {{"left", Align::Left}, {"center", Align::Centre}, {"right", Align::Right}});
        spec.visible = read.Flag("visible", true);
        spec.tabStop = read.Flag("tabstop", spec.kind == Kind::Edit || spec.kind == Kind::Button);
        if (spec.kind == Kind::Button)
            spec.look = read.Choice<ButtonLook>("look", ButtonLook::Plain,
                                                {{"plain", ButtonLook::Plain},
                                                 {"primary", ButtonLook::Primary},
                                                 {"cross", ButtonLook::Cross}});
        std::size_t capacity = kTextCapacity;
        if (spec.kind == Kind::Edit) {
            spec.limit = read.Int("limit", 256, 1, static_cast<int>(kTextCapacity));
            capacity = spec.limit;
        }
        if (IsWindow(spec.kind))
            spec.close = read.Text("close", "");
        if (spec.kind == Kind::Label && read.Find("maxheight")) {
            if (mLayout.controls[parent].kind != Kind::Panel)
                read.Refuse("only a label in a panel grows");
            spec.maxHeight = read.Int("maxheight", 0, spec.height, kMaxExtent);
        }
        if (spec.text.size() > capacity)
            read.Refuse("text of " + std::to_string(spec.text.size()) +
                        " bytes is longer than its buffer of " + std::to_string(capacity));
        read.CheckAllKnown();

        const int index = static_cast<int>(mLayout.controls.size());
        mLayout.controls.push_back(spec);
        for (const auto& child : node)
            if (child.first != "<xmlattr>")
                Element(child.first, child.second, index, element);
        if (IsWindow(spec.kind) && !spec.close.empty())
            CheckCloseButton(index, element);
    }

  private:
    // What a control takes from its window.
    static ControlSpec Inherited(const ControlSpec& window)
    {
        ControlSpec spec;
        spec.faces = window.faces;
        spec.fontSize = window.fontSize;
        spec.colour = window.colour;
        spec.background = window.background;
        spec.align = window.align;
        return spec;
    }

    void CheckCloseButton(int window, const std::string& element)
    {
        const ControlSpec& spec = mLayout.controls[window];
        for (std::size_t i = window + 1; i < mLayout.controls.size(); ++i) {
            const ControlSpec& control = mLayout.controls[i];
            if (control.parent == window && control.name == spec.close) {
                if (control.kind != Kind::Button)
                    throw Refusal{element, "close control " + spec.close + " is not a button"};
                return;
            }
        }
        throw Refusal{element, "close control " + spec.close + " is not in the window"};
    }

    Layout& mLayout;
    std::set<std::string> mNames;
    std::set<int> mIds;
};

// The XML reader descends once per element, on the caller's stack: some ten thousand nested
// tags would exhaust it. A layout nests four deep (layout, dialog, panel, control).
constexpr std::size_t kMaxElementDepth = 16;

// Whether elements nest deeper than `limit`. Comments, CDATA sections, declarations and
// processing instructions do not count; quoted attribute values may hold '>'.
bool NestsDeeperThan(const std::string& xml, std::size_t limit)
{
    const auto skipPast = [&xml](std::size_t from, const char* end) {
        const std::size_t found = xml.find(end, from);
        return found == std::string::npos ? xml.size() : found + std::strlen(end);
    };
    std::size_t depth = 0;
    for (std::size_t i = xml.find('<'); i < xml.size(); i = xml.find('<', i)) {
        if (xml.compare(i, 4, "<!--") == 0) {
            i = skipPast(i + 4, "-->");
        } else if (xml.compare(i, 9, "<![CDATA[") == 0) {
            i = skipPast(i + 9, "]]>");
        } else if (xml.compare(i, 2, "<?") == 0) {
            i = skipPast(i + 2, "?>");
        } else if (xml.compare(i, 2, "<!") == 0) {
            i = skipPast(i + 2, ">");
        } else if (xml.compare(i, 2, "</") == 0) {
            if (depth > 0)
                --depth;
            i = skipPast(i + 2, ">");
        } else {
            if (++depth > limit)
                return true;
            char quote = 0;
            for (++i; i < xml.size() && (quote != 0 || xml[i] != '>'); ++i) {
                if (quote == 0 && (xml[i] == '"' || xml[i] == '\''))
                    quote = xml[i];
                else if (xml[i] == quote)
                    quote = 0;
            }
            if (i < xml.size() && xml[i - 1] == '/')
                --depth; // an empty element closes itself
        }
    }
    return false;
}

} // namespace

bool ParseLayout(const std::string& xml, Layout& layout, LayoutError& error)
{
    layout = Layout{};
    try {
        if (NestsDeeperThan(xml, kMaxElementDepth))
            throw Refusal{"document",
                          "elements nested deeper than " + std::to_string(kMaxElementDepth)};
        ptree document;
        std::istringstream in(xml);
        boost::property_tree::read_xml(in, document, boost::property_tree::xml_parser::no_comments);
        if (document.size() != 1 || document.front().first != "layout")
            throw Refusal{"document", "the root element must be the one <layout>"};
        Builder builder(layout);
        for (const auto& child : document.front().second)
            if (child.first != "<xmlattr>")
                builder.Element(child.first, child.second, -1, "layout");
        if (layout.controls.empty())
            throw Refusal{"layout", "no dialog"};
        return true;
    } catch (const Refusal& refusal) {
        error = {refusal.element, refusal.reason};
    } catch (const boost::property_tree::xml_parser_error& e) {
        error = {"line " + std::to_string(e.line()), "malformed XML: " + e.message()};
    }
    layout = Layout{};
    return false;
}

std::string ResolveLayoutPath(const std::string& name, const std::string& programDirectory)
{
    if (name.find_first_of("\\/:") != std::string::npos)
        return name;
    return programDirectory + "\\" + name;
}

} // namespace KorFact
