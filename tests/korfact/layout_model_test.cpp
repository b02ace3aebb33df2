#include "korfact/layout_model.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>

using namespace KorFact;

namespace {

const char kDialogOpen[] = "<layout><dialog name=\"Main\" id=\"1\" width=\"200\" height=\"100\" "
                           "close=\"Close\" size=\"15\" color=\"0x102030\">"
                           "<button name=\"Close\" id=\"2\" x=\"160\" width=\"40\" height=\"40\" "
                           "look=\"cross\"/>";
const char kDialogClose[] = "</dialog></layout>";

std::string WithControls(const std::string& controls)
{
    return kDialogOpen + controls + kDialogClose;
}

LayoutError Refusal(const std::string& xml)
{
    Layout layout;
    LayoutError error;
    EXPECT_FALSE(ParseLayout(xml, layout, error)) << xml;
    EXPECT_TRUE(layout.controls.empty()) << "half loaded: " << xml;
    return error;
}

// A panel 60 high in the dialog of kDialogOpen, holding `controls`.
std::string GrowingPanel(const std::string& controls)
{
    return "<panel name=\"P\" id=\"8\" width=\"100\" height=\"60\">" + controls + "</panel>";
}

} // namespace

TEST(LayoutModel, ReadsControlsWithWhatTheyTakeFromTheirWindow)
{
    Layout layout;
    LayoutError error;
    ASSERT_TRUE(ParseLayout(
        WithControls("<edit name=\"Edit\" id=\"3\" x=\"10\" y=\"50\" width=\"100\" height=\"30\" "
                     "limit=\"11\" text=\"12345\"/>"
                     "<panel name=\"P\" id=\"4\" width=\"100\" height=\"60\" visible=\"0\" "
                     "font=\"A, B ,C\" size=\"12\"><label name=\"L\" id=\"5\" width=\"10\" "
                     "height=\"10\" bold=\"1\" color=\"#FF0000\" align=\"center\"/></panel>"),
        layout, error))
        << error.element << ": " << error.reason;
    ASSERT_EQ(layout.controls.size(), 5u);
    const ControlSpec& edit = layout.controls[2];
    EXPECT_EQ(edit.kind, Kind::Edit);
    EXPECT_EQ(edit.parent, 0);
    EXPECT_EQ(edit.limit, 11);
    EXPECT_TRUE(edit.tabStop);
    EXPECT_EQ(edit.fontSize, 15);
    EXPECT_EQ(edit.colour, 0x302010u); // COLORREF of 0x102030
    const ControlSpec& panel = layout.controls[3];
    EXPECT_FALSE(panel.visible);
    EXPECT_EQ(panel.faces, (std::vector<std::string>{"A", "B", "C"}));
    const ControlSpec& label = layout.controls[4];
    EXPECT_EQ(label.parent, 3);
    EXPECT_EQ(label.faces, panel.faces);
    EXPECT_EQ(label.fontSize, 12);
    EXPECT_TRUE(label.bold);
    EXPECT_FALSE(label.tabStop);
    EXPECT_EQ(label.colour, 0x0000FFu);
    EXPECT_EQ(label.align, Align::Centre);
    EXPECT_EQ(layout.controls[1].look, ButtonLook::Cross);
}

TEST(LayoutModel, RefusesBrokenLayoutsNamingElementAndReason)
{
    const struct {
        std::string xml;
        std::string element;
        std::string reason;
    } cases[] = {
        {"<layout><dialog name=\"Main\"", "line", "malformed XML"},
        {"", "document", "root element"},
        {"<other/>", "document", "root element"},
        {"<layout></layout>", "layout", "no dialog"},
        {WithControls("<slider name=\"S\" id=\"3\" width=\"1\" height=\"1\"/>"),
         "layout/dialog[Main]/slider[S]", "unknown kind slider"},
        {WithControls("<label name=\"Close\" id=\"3\" width=\"1\" height=\"1\"/>"),
         "layout/dialog[Main]/label[Close]", "duplicate name Close"},
        {WithControls("<label name=\"L\" id=\"2\" width=\"1\" height=\"1\"/>"), "label[L]",
         "duplicate id 2"},
        {"<layout><label name=\"L\" id=\"3\" width=\"1\" height=\"1\"/></layout>",
         "layout/label[L]", "outside any window"},
        {"<layout><panel name=\"P\" id=\"3\" width=\"1\" height=\"1\"/></layout>", "panel[P]",
         "outside a dialog"},
        {WithControls("<label name=\"L\" id=\"3\" width=\"100000\" height=\"1\"/>"), "label[L]",
         "width out of range"},
        {WithControls("<label name=\"L\" id=\"3\" x=\"150\" width=\"60\" height=\"1\"/>"),
         "label[L]", "outside its window"},
        {WithControls("<label name=\"L\" id=\"3\" width=\"1x\" height=\"1\"/>"), "label[L]",
         "not a whole number"},
        {WithControls("<label name=\"L\" id=\"70000\" width=\"1\" height=\"1\"/>"), "label[L]",
         "id out of range"},
        {WithControls("<label name=\"L\" width=\"1\" height=\"1\"/>"), "label[L]", "id missing"},
        {WithControls("<label id=\"3\" width=\"1\" height=\"1\"/>"), "label[]", "name missing"},
        {WithControls("<label name=\"L\" id=\"3\" width=\"1\" height=\"1\" colour=\"1\"/>"),
         "label[L]", "unknown attribute colour"},
        {WithControls("<label name=\"L\" id=\"3\" width=\"1\" height=\"1\" color=\"red\"/>"),
         "label[L]", "not a colour"},
        {WithControls("<edit name=\"E\" id=\"3\" width=\"9\" height=\"9\" limit=\"4\" "
                      "text=\"12345\"/>"),
         "edit[E]", "longer than its buffer of 4"},
        {WithControls("<label name=\"L\" id=\"3\" width=\"1\" height=\"1\" text=\"" +
                      std::string(kTextCapacity + 1, 'x') + "\"/>"),
         "label[L]", "longer than its buffer"},
        {"<layout><dialog name=\"D\" id=\"1\" width=\"9\" height=\"9\" close=\"X\"/></layout>",
         "dialog[D]", "close control X is not in the window"},
        {WithControls("<label name=\"L\" id=\"3\" width=\"9\" height=\"9\" maxheight=\"20\"/>"),
         "label[L]", "only a label in a panel grows"},
        {WithControls(GrowingPanel("<button name=\"B\" id=\"9\" width=\"9\" height=\"9\" "
                                   "maxheight=\"20\"/>")),
         "button[B]", "unknown attribute maxheight"},
        {WithControls(GrowingPanel("<label name=\"L\" id=\"9\" width=\"9\" height=\"9\" "
                                   "maxheight=\"8\"/>")),
         "label[L]", "maxheight out of range"},
    };
    for (const auto& c : cases) {
        const LayoutError error = Refusal(c.xml);
        EXPECT_NE(error.element.find(c.element), std::string::npos) << c.xml << "\n"
                                                                    << error.element;
        EXPECT_NE(error.reason.find(c.reason), std::string::npos) << c.xml << "\n" << error.reason;
    }
}

// Labels in a panel may each name how far they grow.
TEST(LayoutModel, ReadsHowFarALabelInAPanelMayGrow)
{
    Layout layout;
    LayoutError error;
    ASSERT_TRUE(ParseLayout(
        WithControls(GrowingPanel("<label name=\"L\" id=\"9\" width=\"9\" height=\"10\" "
                                  "maxheight=\"30\"/><label name=\"M\" id=\"10\" y=\"20\" "
                                  "width=\"9\" height=\"10\" maxheight=\"30\"/>"
                                  "<label name=\"N\" id=\"11\" y=\"40\" width=\"9\" "
                                  "height=\"10\"/>")),
        layout, error))
        << error.element << ": " << error.reason;
    ASSERT_EQ(layout.controls.size(), 6u);
    EXPECT_EQ(layout.controls[3].maxHeight, 30);
    EXPECT_EQ(layout.controls[4].maxHeight, 30);
    EXPECT_EQ(layout.controls[5].maxHeight, 0);
}

TEST(LayoutModel, BareNamesLieBesideTheProgram)
{
    EXPECT_EQ(ResolveLayoutPath("Main.vxm", "C:\\Prog"), "C:\\Prog\\Main.vxm");
    EXPECT_EQ(ResolveLayoutPath("sub\\Main.vxm", "C:\\Prog"), "sub\\Main.vxm");
    EXPECT_EQ(ResolveLayoutPath("D:\\x.vxm", "C:\\Prog"), "D:\\x.vxm");
}

// The shipped layout holds every control the dialog program looks up, each once.
TEST(LayoutModel, ShippedLayoutHasTheProgramsControls)
{
    std::ifstream in(VXM_KORFACT_DIR "/Main.vxm", std::ios::binary);
    const std::string xml{std::istreambuf_iterator<char>(in), {}};
    Layout layout;
    LayoutError error;
    ASSERT_TRUE(ParseLayout(xml, layout, error)) << error.element << ": " << error.reason;
    std::map<std::string, Kind> kinds;
    for (const ControlSpec& spec : layout.controls)
        kinds[spec.name] = spec.kind;
    const std::map<std::string, Kind> wanted = {
        {"Main", Kind::Dialog},           {"Btn_Close", Kind::Button},
        {"Static_Captcha", Kind::Link},   {"Edit_Zeq", Kind::Edit},
        {"Edit_Captcha", Kind::Edit},     {"Button_Start", Kind::Button},
        {"Btn_Navigation4", Kind::Link},  {"Talvo", Kind::Panel},
        {"Talvo_Close", Kind::Button},    {"Result", Kind::Panel},
        {"Result_Close", Kind::Button},   {"RichEdit_Text", Kind::RichText},
        {"Static_Msg", Kind::Label},      {"Button_OK", Kind::Button},
        {"Button_OK_Close", Kind::Button}};
    for (const auto& [name, kind] : wanted) {
        ASSERT_TRUE(kinds.count(name)) << name;
        EXPECT_EQ(kinds[name], kind) << name;
    }
    // The privacy panel's line that the program fills with its server and version.
    ASSERT_TRUE(kinds.count("Talvo_Server"));
    EXPECT_EQ(kinds["Talvo_Server"], Kind::Label);
    // Every id and name is written on its element, where a reader finds it.
    for (const ControlSpec& spec : layout.controls)
        EXPECT_NE(xml.find("name=\"" + spec.name + "\" id=\"" + std::to_string(spec.id) + "\""),
                  std::string::npos)
            << spec.name;
}

// The XML reader recurses per element: deep nesting is refused before it runs out of stack,
// while comments, CDATA and quoted '>' around a real layout do not count as elements.
TEST(LayoutModel, RefusesNestingDeeperThanALayoutNeeds)
{
    std::string deep = "<layout>";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    const LayoutError error = Refusal(deep);
    EXPECT_EQ(error.element, "document");
    EXPECT_EQ(error.reason, "elements nested deeper than 16");

    std::string noise;
    for (int i = 0; i < 20; ++i)
        noise += "<!-- <a><b> --><![CDATA[<c><d>]]><?pi <e>?>";
    Layout layout;
    LayoutError unused;
    EXPECT_TRUE(
        ParseLayout(noise + WithControls(noise +
                                         "<label name=\"L\" id=\"3\" width=\"1\" height=\"1\" "
                                         "text=\"a>b\"/>" +
                                         noise),
                    layout, unused))
        << unused.element << ": " << unused.reason;
    EXPECT_EQ(layout.controls.size(), 3u);
}
