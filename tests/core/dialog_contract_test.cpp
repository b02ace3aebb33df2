// The dialog's controls checked once against a layout, and its events read into a typed value.
#include "dialog/dialog_controls.hpp"
#include "dialog/dialog_event.hpp"
#include "framework/variable_param.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

template <class Interface> struct Fake : Interface {
    void ApplyParams(Kordo::IVariableParam*) override {}
    void SetVisible(bool) override {}
    void SetFocus() override {}
    int SendWindowMessage(unsigned, std::uintptr_t, std::intptr_t, std::intptr_t*) override
    {
        return 0;
    }
};
struct FakeLabel : Fake<Kordo::IStaticText> {
    void SetText(const char*) override {}
};
struct FakeEdit : Fake<Kordo::ITEdit> {
    const char* GetText() override { return ""; }
    void SetText(const char*) override {}
    void SetSelection(int, int) override {}
    void ActivateText() override {}
};
struct FakeRichText : Fake<Kordo::IRichText> {
    void SetRichText(const char*) override {}
    void ClearText() override {}
};
struct FakeWindow : Fake<Kordo::IWindow> {
    int DoModal() override { return 0; }
    void EndModal(int) override {}
    void SetEventHandler(Kordo::IEvent*) override {}
};

enum class Made { Label, Edit, RichText, Window };

// The kinds Main.vxm gives the dialog's controls (buttons and links are labels to the program).
const std::vector<std::pair<std::string, Made>> kLayout = {
    {"Main", Made::Window},           {"Btn_Close", Made::Label},
    {"Static_Captcha", Made::Label},  {"Edit_Zeq", Made::Edit},
    {"Edit_Captcha", Made::Edit},     {"Button_Start", Made::Label},
    {"Btn_Navigation4", Made::Label}, {"Talvo", Made::Window},
    {"Talvo_Close", Made::Label},     {"Result", Made::Window},
    {"Result_Close", Made::Label},    {"RichEdit_Text", Made::RichText},
    {"Static_Msg", Made::Label},      {"Button_OK", Made::Label},
    {"Button_OK_Close", Made::Label}, {"Talvo_Server", Made::Label},
    {"Label_Intro", Made::Label}};

// The labels the dialog writes into: they must be labels, where other controls may be any kind.
const std::set<std::string> kWrittenLabels = {"Static_Captcha", "Static_Msg", "Talvo_Server"};

class FakeLayout final : public Kordo::IUILib {
  public:
    explicit FakeLayout(const std::vector<std::pair<std::string, Made>>& controls)
    {
        for (const auto& [name, made] : controls) {
            mIds[name] = static_cast<int>(mControls.size()) + 1;
            mControls.push_back(Make(made));
        }
    }
    int GetControlId(const char* name, int) override
    {
        const auto found = mIds.find(name);
        return found == mIds.end() ? 0 : found->second;
    }
    Kordo::IControl* GetControl(int id) override
    {
        return id >= 1 && id <= static_cast<int>(mControls.size()) ? mControls[id - 1]->get()
                                                                   : nullptr;
    }
    unsigned GetComponentId() const override { return Kordo::kUILibId; }
    int GetVersion() const override { return 1; }
    void Destroy(int) override {}
    int IsSingleton() const override { return 0; }
    void Initialize(int) override {}
    void Activate() override {}
    void Deactivate() override {}
    void Tick() override {}
    int LoadLayout(const char*, int) override { return 1; }
    void Shutdown() override {}
    int GetFocusControlId() override { return 0; }
    void SetEventSink(int, Kordo::IUILibEvent*) override {}

  private:
    struct Owned {
        virtual ~Owned() = default;
        virtual Kordo::IControl* get() = 0;
    };
    template <class T> struct Holder : Owned {
        T control;
        Kordo::IControl* get() override { return &control; }
    };
    static std::unique_ptr<Owned> Make(Made made)
    {
        switch (made) {
        case Made::Label:
            return std::make_unique<Holder<FakeLabel>>();
        case Made::Edit:
            return std::make_unique<Holder<FakeEdit>>();
        case Made::RichText:
            return std::make_unique<Holder<FakeRichText>>();
        case Made::Window:
            break;
        }
        return std::make_unique<Holder<FakeWindow>>();
    }

    std::map<std::string, int> mIds;
    std::vector<std::unique_ptr<Owned>> mControls;
};

int IdIn(const std::vector<std::pair<std::string, Made>>& layout, const std::string& name)
{
    for (std::size_t i = 0; i < layout.size(); ++i)
        if (layout[i].first == name)
            return static_cast<int>(i) + 1;
    return 0;
}

} // namespace

TEST(DialogControls, TheWholeLayoutGivesEveryControlAndTheIdsThatCount)
{
    FakeLayout layout(kLayout);
    const auto found = FindDialogControls(layout);
    ASSERT_TRUE(std::holds_alternative<FoundControls>(found));
    const FoundControls& got = std::get<FoundControls>(found);
    EXPECT_EQ(got.controls.main, layout.GetControl(IdIn(kLayout, "Main")));
    EXPECT_EQ(got.controls.resultHeading, layout.GetControl(IdIn(kLayout, "RichEdit_Text")));
    EXPECT_EQ(got.controls.privacyServer, layout.GetControl(IdIn(kLayout, "Talvo_Server")));
    const std::pair<int DialogControlIds::*, const char*> ids[] = {
        {&DialogControlIds::close, "Btn_Close"},
        {&DialogControlIds::start, "Button_Start"},
        {&DialogControlIds::captchaLabel, "Static_Captcha"},
        {&DialogControlIds::accountEdit, "Edit_Zeq"},
        {&DialogControlIds::captchaEdit, "Edit_Captcha"},
        {&DialogControlIds::privacyLink, "Btn_Navigation4"},
        {&DialogControlIds::privacyClose, "Talvo_Close"},
        {&DialogControlIds::resultClose, "Result_Close"},
        {&DialogControlIds::resultOk, "Button_OK"},
        {&DialogControlIds::resultFailureClose, "Button_OK_Close"}};
    for (const auto& [member, name] : ids)
        EXPECT_EQ(got.ids.*member, IdIn(kLayout, name)) << name;
}

TEST(DialogControls, EachMissingOrWrongKindControlIsNamed)
{
    for (std::size_t i = 0; i + 1 < kLayout.size(); ++i) { // the last, Label_Intro, is not needed
        const std::string& name = kLayout[i].first;
        auto without = kLayout;
        without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
        FakeLayout missing(without);
        const auto lacking = FindDialogControls(missing);
        ASSERT_TRUE(std::holds_alternative<ControlFault>(lacking)) << name;
        EXPECT_EQ(std::get<ControlFault>(lacking).name, name);
        EXPECT_FALSE(std::get<ControlFault>(lacking).wrongKind) << name;

        // A label stands for any control; another kind for those that need a label.
        auto changed = kLayout;
        changed[i].second = kLayout[i].second == Made::Label ? Made::Edit : Made::Label;
        FakeLayout other(changed);
        const auto mismatched = FindDialogControls(other);
        const bool anyKind = kLayout[i].second == Made::Label && !kWrittenLabels.count(name);
        if (anyKind) {
            EXPECT_TRUE(std::holds_alternative<FoundControls>(mismatched)) << name;
        } else {
            ASSERT_TRUE(std::holds_alternative<ControlFault>(mismatched)) << name;
            EXPECT_EQ(std::get<ControlFault>(mismatched).name, name);
            EXPECT_TRUE(std::get<ControlFault>(mismatched).wrongKind) << name;
        }
    }
}

TEST(DialogEvent, TheBagBecomesATypedEventAndItsResponse)
{
    DialogControlIds ids;
    ids.close = 1, ids.start = 2, ids.captchaLabel = 3, ids.accountEdit = 4, ids.captchaEdit = 5;
    ids.privacyLink = 6, ids.privacyClose = 7, ids.resultClose = 8, ids.resultOk = 9;
    ids.resultFailureClose = 10;
    constexpr unsigned kCommand = 0x0111, kKeyDown = 0x0100, kKeyUp = 0x0101, kChar = 0x0102;
    constexpr unsigned kTab = 9, kReturn = 13, kEscape = 27;
    struct Case {
        int id;
        int code;
        unsigned message;
        unsigned key;
        DialogAction action;
        bool handled;
    };
    const Case cases[] = {
        {1, Kordo::kEventClick, kCommand, 1, DialogAction::Close, false},
        {2, Kordo::kEventClick, kCommand, 2, DialogAction::Start, false},
        {2, Kordo::kEventClick, kKeyDown, kReturn, DialogAction::Start, false},
        {3, Kordo::kEventClick, kCommand, 3, DialogAction::NewCaptcha, false},
        {6, Kordo::kEventClick, kCommand, 6, DialogAction::ShowPrivacy, false},
        {7, Kordo::kEventClick, kKeyDown, kEscape, DialogAction::ClosePrivacy, false},
        {8, Kordo::kEventClick, 0x0010, 0, DialogAction::CloseResult, false},
        {9, Kordo::kEventClick, kCommand, 9, DialogAction::CloseResult, false},
        {10, Kordo::kEventClick, kCommand, 10, DialogAction::CloseResult, false},
        {42, Kordo::kEventClick, kCommand, 42, DialogAction::None, false},
        // Tab: moved by the dialog on key-down, and every Tab message kept from the library.
        {4, Kordo::kEventEditKey, kKeyDown, kTab, DialogAction::MoveTabFocus, true},
        {2, 0x300020, kKeyDown, kTab, DialogAction::MoveTabFocus, true},
        {4, Kordo::kEventEditKey, kKeyUp, kTab, DialogAction::None, true},
        {5, Kordo::kEventEditKey, kChar, kTab, DialogAction::None, true},
        // Enter in either edit starts; elsewhere, or as a character, it does not.
        {4, Kordo::kEventEditKey, kKeyDown, kReturn, DialogAction::Start, false},
        {5, Kordo::kEventEditKey, kKeyDown, kReturn, DialogAction::Start, false},
        {5, Kordo::kEventEditKey, kChar, kReturn, DialogAction::None, false},
        {42, Kordo::kEventEditKey, kKeyDown, kReturn, DialogAction::None, false},
        {4, Kordo::kEventEditKey, kKeyDown, 'A', DialogAction::None, false},
    };
    for (const Case& c : cases) {
        Kordo::CVariableParam2 params;
        params.SetInt(Kordo::kEventCodeKey, c.code);
        params.SetInt(Kordo::kEventMessageKey, static_cast<int>(c.message));
        params.SetUInt(Kordo::kEventWParamKey, c.key);
        const DialogEvent event = ReadDialogEvent(c.id, params);
        EXPECT_EQ(event.controlId, c.id);
        EXPECT_EQ(event.code, c.code);
        EXPECT_EQ(event.message, c.message);
        EXPECT_EQ(event.key, c.key);
        const DialogResponse response = RespondTo(event, ids);
        EXPECT_EQ(response.action, c.action) << c.id << " " << c.message << " " << c.key;
        EXPECT_EQ(response.handled, c.handled) << c.id << " " << c.message << " " << c.key;
        // Reading leaves the bag as it was for the library's other handlers.
        EXPECT_EQ(params.GetInt(Kordo::kEventCodeKey, false), c.code);
    }
    Kordo::CVariableParam2 params;
    MarkHandled(params);
    EXPECT_EQ(params.GetInt(Kordo::kEventHandledKey, false), 1);
}
