// The dialog of the real program under Wine, driven as a user drives it: account number and
// captcha checks, Tab and Enter, and whole Starts against scripted report servers on loopback.
#include "tests/e2e/program_driver.hpp"
#include "tools/report_server/report_server.hpp"
#include "tools/win/dialog_driver.hpp"
#include "tools/win/server_messages.hpp"

#include "common/md5.hpp"
#include "report/report_fields.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

constexpr DWORD kTimeout = 20000;
constexpr unsigned short kPort = VXM_LOOPBACK_PORT;

std::string LoopbackProgram()
{
    return std::string(VXM_LOOPBACK_DIR) + "\\VxmCheck.exe";
}

std::string Reply(const std::string& json)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n" + json + "\n";
}

// "OK 你好" on the screen: the message travels as \u escapes.
const std::string kSuccess = Reply(R"({"ret_code":0,"msg":"OK \u4f60\u597d"})");
const std::string kRepeated = Reply(R"({"ret_code":-1,"msg":"repeated"})");
const std::string kRefused = Reply(R"({"ret_code":-5,"msg":"refused"})");

// A reply that carries `gbk` as the report server writes its messages: every character beyond
// ASCII as a \u escape.
std::string ReplyWithMessage(const std::string& gbk)
{
    std::wstring text(gbk.size(), L'\0');
    text.resize(MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), &text[0],
                                    static_cast<int>(text.size())));
    std::string escaped;
    for (const wchar_t c : text) {
        char unit[8];
        std::snprintf(unit, sizeof unit, "\\u%04x", static_cast<unsigned>(c));
        escaped += c < 0x80 && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : unit;
    }
    return Reply(R"({"ret_code":0,"msg":")" + escaped + "\"}");
}

// The form's fields in order, decoded.
std::vector<std::pair<std::string, std::string>> FormFields(const std::string& request)
{
    std::vector<std::pair<std::string, std::string>> fields;
    const auto bodyAt = request.find("\r\n\r\n");
    if (bodyAt == std::string::npos)
        return fields;
    const std::string body = request.substr(bodyAt + 4);
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        const auto equals = pair.find('=');
        fields.emplace_back(pair.substr(0, equals),
                            equals == std::string::npos
                                ? ""
                                : UrlDecodeValue(pair.substr(equals + 1)).value_or("<bad escape>"));
        start = end + 1;
    }
    return fields;
}

// The dialog of one running program, found through the ids of its layout.
class Dialog {
  public:
    explicit Dialog(const std::string& arguments = "",
                    const std::string& program = LoopbackProgram())
        : mIds(LayoutControlIds(std::string(VXM_LOOPBACK_DIR) + "\\Main.vxm")),
          mRun(arguments, program)
    {
    }

    ProgramRun& Run() { return mRun; }
    HWND Find(const char* name, bool visibleOnly = true)
    {
        return FindControl(mRun.Pid(), mIds.at(name), visibleOnly);
    }
    HWND WaitFor(const char* name, DWORD milliseconds = kTimeout)
    {
        HWND found = nullptr;
        WaitUntil([&] { return (found = Find(name)) != nullptr; }, milliseconds);
        return found;
    }
    std::string Text(const char* name)
    {
        HWND control = Find(name, false);
        return control ? ControlText(control) : "<missing " + std::string(name) + ">";
    }
    // Types both edits; the captcha as shown unless another text is given.
    void Fill(const std::string& account, const std::string* captcha = nullptr)
    {
        const std::string typed = captcha ? *captcha : Text("Static_Captcha");
        ReplaceText(Find("Edit_Zeq"), account);
        ReplaceText(Find("Edit_Captcha"), typed);
        // The typed characters are posted: both edits must have taken all of them.
        WaitUntil([&] { return Text("Edit_Zeq") == account && Text("Edit_Captcha") == typed; },
                  5000);
    }
    // The warning box of a refused input: its text, after pressing its OK.
    std::string Warning()
    {
        HWND box = mRun.WaitForWindow("提示", kTimeout);
        if (!box)
            return "<no box>";
        const std::string text = MessageBoxText(box);
        CloseMessageBox(box);
        WaitUntil([&] { return !IsWindow(box); }, 5000);
        return text;
    }
    // The focused window of the program's UI thread.
    HWND Focus()
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        HWND dialog = Find("Main");
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
        return info.hwndFocus;
    }
    // Closes the dialog with its close button; the program's exit code.
    long Close()
    {
        Click(Find("Btn_Close"));
        if (!mRun.Wait(kTimeout))
            return 0x7FFFFFFF;
        return mRun.ExitCode();
    }

  private:
    std::map<std::string, int> mIds;
    ProgramRun mRun;
};

struct Outcome {
    bool ok;
    std::string markup;
    std::string message;
    bool okShown;
    bool closeShown;
    int tealPixels;
    int redPixels;
};

// Presses Start (or Enter in an edit), waits for the result panel, reads it, lets `inspect` look
// at it and closes it.
Outcome StartAndRead(Dialog& dialog, const std::function<void()>& start, DWORD wait = 40000,
                     const std::function<void()>& inspect = {})
{
    start();
    Outcome outcome{};
    if (!dialog.WaitFor("Result", wait)) {
        ADD_FAILURE() << "no result panel";
        return outcome;
    }
    WaitUntil([&] { return !dialog.Text("Static_Msg").empty(); }, 5000);
    Sleep(300); // the panel paints
    outcome.markup = dialog.Text("RichEdit_Text");
    outcome.message = dialog.Text("Static_Msg");
    outcome.okShown = dialog.Find("Button_OK") != nullptr;
    outcome.closeShown = dialog.Find("Button_OK_Close") != nullptr;
    const ScreenCapture::Image shot = ScreenCapture::Capture(dialog.Find("Static_Msg"));
    outcome.tealPixels = ScreenCapture::CountColour(shot, 0xC1D506);
    outcome.redPixels = ScreenCapture::CountColour(shot, 0x1717C5);
    outcome.ok = outcome.okShown;
    if (inspect)
        inspect();
    Click(dialog.Find(outcome.okShown ? "Button_OK" : "Button_OK_Close"));
    WaitUntil([&] { return !dialog.Find("Result"); }, 5000);
    return outcome;
}

const char kSuccessMarkup[] = "检测成功,谢谢，您已成功参与检测。";
const char kFailureMarkup[] = "检测失败。";

} // namespace

TEST(Dialog, AccountNumbersThatMustFailLeaveEverythingAsItWas)
{
    Dialog dialog;
    ASSERT_TRUE(dialog.WaitFor("Main")) << "no dialog";
    for (const std::string account : {"01234", "1234", "123456789012", " 123456", "123456 "}) {
        dialog.Fill(account);
        const std::string captcha = dialog.Text("Static_Captcha");
        const std::string typedCaptcha = dialog.Text("Edit_Captcha");
        Click(dialog.Find("Button_Start"));
        EXPECT_EQ(dialog.Warning(), "Zeq号码输入有误，请重新输入") << account;
        EXPECT_EQ(dialog.Text("Static_Captcha"), captcha) << account;
        EXPECT_EQ(dialog.Text("Edit_Captcha"), typedCaptcha) << account;
        EXPECT_EQ(dialog.Text("Edit_Zeq"), account);
    }
    EXPECT_EQ(dialog.Close(), 0);
}

TEST(Dialog, WrongCaptchaDrawsANewOneAndALabelClickToo)
{
    Dialog dialog;
    ASSERT_TRUE(dialog.WaitFor("Main"));
    const std::string shown = dialog.Text("Static_Captcha");
    ASSERT_EQ(shown.size(), 4u);
    const std::string wrong = std::to_string((std::atoi(shown.c_str()) + 1) % 10000);
    dialog.Fill("12345", &wrong);
    Click(dialog.Find("Button_Start"));
    EXPECT_EQ(dialog.Warning(), "验证码输入有误，请重新输入");
    EXPECT_TRUE(WaitUntil([&] { return dialog.Text("Edit_Captcha").empty(); }, 5000));
    EXPECT_EQ(dialog.Text("Edit_Zeq"), "12345");

    // A click on the captcha draws a new one (the same four digits come back 1 time in 10000,
    // so a few clicks are allowed) and empties the captcha edit.
    ReplaceText(dialog.Find("Edit_Captcha"), "99");
    const std::string before = dialog.Text("Static_Captcha");
    bool changed = false;
    for (int i = 0; i < 3 && !changed; ++i) {
        Click(dialog.Find("Static_Captcha"));
        changed = WaitUntil([&] { return dialog.Text("Static_Captcha") != before; }, 3000);
    }
    EXPECT_TRUE(changed);
    EXPECT_TRUE(dialog.Text("Edit_Captcha").empty());
    EXPECT_EQ(dialog.Close(), 0);
}

TEST(Dialog, TabCyclesTheEditsAndStart)
{
    Dialog dialog;
    ASSERT_TRUE(dialog.WaitFor("Main"));
    HWND account = dialog.Find("Edit_Zeq");
    HWND captcha = dialog.Find("Edit_Captcha");
    HWND start = dialog.Find("Button_Start");
    Click(account);
    ASSERT_TRUE(WaitUntil([&] { return dialog.Focus() == account; }, 5000));
    PressKey(account, VK_TAB, '\t');
    EXPECT_TRUE(WaitUntil([&] { return dialog.Focus() == captcha; }, 5000));
    PressKey(captcha, VK_TAB, '\t');
    EXPECT_TRUE(WaitUntil([&] { return dialog.Focus() == start; }, 5000));
    PressKey(start, VK_TAB, '\t');
    EXPECT_TRUE(WaitUntil([&] { return dialog.Focus() == account; }, 5000));
    // The Tab was consumed: no tab character landed in an edit.
    EXPECT_EQ(dialog.Text("Edit_Zeq").find('\t'), std::string::npos);
    EXPECT_EQ(dialog.Text("Edit_Captcha").find('\t'), std::string::npos);
    EXPECT_EQ(dialog.Close(), 0);
}

// One program, several Starts against servers with different answers: each outcome's panel,
// which ones count, and what the server received.
TEST(Dialog, StartsReportTheServersAnswers)
{
    Dialog dialog;
    ASSERT_TRUE(dialog.WaitFor("Main"));
    std::vector<std::string> requests;

    {
        report_server::Server server({kSuccess}, kPort);
        dialog.Fill("10000");
        const Outcome o = StartAndRead(dialog, [&] { Click(dialog.Find("Button_Start")); });
        EXPECT_NE(o.markup.find(kSuccessMarkup), std::string::npos) << o.markup;
        EXPECT_EQ(o.message, "OK 你好");
        EXPECT_TRUE(o.okShown);
        EXPECT_FALSE(o.closeShown);
        EXPECT_GT(o.tealPixels, 10);
        EXPECT_EQ(o.redPixels, 0);
        EXPECT_EQ(dialog.Text("Edit_Zeq"), "10000");
        // A new captcha was drawn: only that empties the captcha edit after a Start.
        EXPECT_TRUE(dialog.Text("Edit_Captcha").empty());
        requests.push_back(server.Requests(1).at(0));
    }
    {
        // Enter in the captcha edit starts too; the captcha with trailing letters passes.
        report_server::Server server({kRepeated}, kPort);
        const std::string typed = dialog.Text("Static_Captcha") + "ab";
        dialog.Fill("99999999999", &typed);
        const Outcome o =
            StartAndRead(dialog, [&] { PressKey(dialog.Find("Edit_Captcha"), VK_RETURN, '\r'); });
        EXPECT_NE(o.markup.find(kFailureMarkup), std::string::npos) << o.markup;
        EXPECT_EQ(o.message, "repeated");
        EXPECT_FALSE(o.okShown);
        EXPECT_TRUE(o.closeShown);
        EXPECT_GT(o.redPixels, 10);
        requests.push_back(server.Requests(1).at(0));
    }
    {
        // Enter in the account edit; leading blanks and a plus sign before the captcha pass.
        report_server::Server server({kRefused}, kPort);
        const std::string typed = "  +" + dialog.Text("Static_Captcha");
        dialog.Fill("123456", &typed);
        const Outcome o =
            StartAndRead(dialog, [&] { PressKey(dialog.Find("Edit_Zeq"), VK_RETURN, '\r'); });
        EXPECT_NE(o.markup.find(kFailureMarkup), std::string::npos);
        EXPECT_EQ(o.message, "refused");
        requests.push_back(server.Requests(1).at(0));
    }
    {
        report_server::Server server({kSuccess}, kPort);
        dialog.Fill("123456");
        StartAndRead(dialog, [&] { Click(dialog.Find("Button_Start")); });
        requests.push_back(server.Requests(1).at(0));
    }

    // The success and the repeated submission counted; the refusal did not.
    std::vector<int> counts;
    const char* accounts[] = {"10000", "99999999999", "123456", "123456"};
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto fields = FormFields(requests[i]);
        ASSERT_EQ(fields.size(), 20u) << requests[i];
        const char* names[] = {"u",  "mc", "cpu", "mm", "dm", "cc", "lcc", "lvm", "tvm", "os",
                               "rs", "dx", "vc",  "dd", "hl", "s",  "pn",  "nc",  "ei",  "tk"};
        for (int f = 0; f < 20; ++f)
            EXPECT_EQ(fields[f].first, names[f]);
        EXPECT_EQ(fields[0].second, accounts[i]);
        auto value = [&](int f) { return fields[f].second; };
        EXPECT_EQ(value(19),
                  Md5Hex(value(0) + "R!%&58T^wnq27d" + value(1) + value(2) + value(3) + value(4) +
                         "#*!^%KTRB941" + value(14) + value(15) + "r5.2071815m#"));
        EXPECT_EQ(requests[i].rfind("POST http://127.0.0.1:" + std::to_string(kPort) +
                                        "/vorn/a20140220checkmachine/postInfo.php HTTP/1.0\r\n",
                                    0),
                  0u)
            << requests[i].substr(0, 120);
        counts.push_back(std::atoi(value(18).c_str()));
    }
    EXPECT_EQ(counts[1], counts[0] + 1);
    EXPECT_EQ(counts[2], counts[1] + 1);
    EXPECT_EQ(counts[3], counts[2]);
    EXPECT_EQ(dialog.Close(), 0);
}

// The longest message the report server gives stands whole in the program's result panel: the
// message is taller than laid out, scrolls not, and the panel has grown around it inside the
// dialog with its button below it.
TEST(Dialog, TheLongestServerMessageStandsWhole)
{
    Dialog dialog;
    ASSERT_TRUE(dialog.WaitFor("Main"));
    report_server::Server server({ReplyWithMessage(ServerMessages::kLongest)}, kPort);
    dialog.Fill("10000");
    const auto rectOf = [&](const char* name) {
        RECT at{};
        GetWindowRect(dialog.Find(name), &at);
        return at;
    };
    const Outcome o = StartAndRead(
        dialog, [&] { Click(dialog.Find("Button_Start")); }, 40000,
        [&] {
            const RECT main = rectOf("Main"), panel = rectOf("Result");
            const RECT message = rectOf("Static_Msg"), ok = rectOf("Button_OK");
            const double scale = (main.right - main.left) / 480.0; // the layout's width at 96 DPI
            EXPECT_GT(message.bottom - message.top, 72 * scale * 1.5);
            EXPECT_GT(panel.bottom - panel.top, (244 + 36) * scale);
            EXPECT_FALSE(GetWindowLongW(dialog.Find("Static_Msg"), GWL_STYLE) & WS_VSCROLL);
            EXPECT_LT(message.bottom, ok.top);
            EXPECT_LT(ok.bottom, panel.bottom);
            EXPECT_GT(panel.top, main.top);
            EXPECT_LT(panel.bottom, main.bottom);
        });
    EXPECT_EQ(o.message, ServerMessages::kLongest);
    EXPECT_TRUE(o.okShown);
    EXPECT_GT(o.tealPixels, 100);
    EXPECT_EQ(dialog.Close(), 0);
}

TEST(Dialog, NetworkFailuresShowTheDialogsOwnTexts)
{
    {
        Dialog dialog; // nothing listens on the port
        ASSERT_TRUE(dialog.WaitFor("Main"));
        dialog.Fill("123456");
        const Outcome o = StartAndRead(dialog, [&] { Click(dialog.Find("Button_Start")); });
        EXPECT_NE(o.markup.find(kFailureMarkup), std::string::npos);
        EXPECT_EQ(o.message, "数据提交失败，请稍后再尝试。");
        EXPECT_EQ(dialog.Close(), 0);
    }
    {
        Dialog dialog("--show_info");
        HWND box = dialog.Run().WaitForWindow("Probe Information", 60000);
        ASSERT_NE(box, nullptr);
        CloseMessageBox(box);
        ASSERT_TRUE(dialog.WaitFor("Main"));
        dialog.Fill("123456");
        const Outcome o = StartAndRead(dialog, [&] { Click(dialog.Find("Button_Start")); });
        EXPECT_EQ(o.message.rfind("网络错误:connect: ", 0), 0u) << o.message;
        EXPECT_EQ(dialog.Close(), 0);
    }
}

TEST(Dialog, AServerThatNeverAnswersIsBounded)
{
    report_server::Answer silent;
    silent.silent = true;
    report_server::Server server(silent, kPort);
    Dialog dialog;
    ASSERT_TRUE(dialog.WaitFor("Main"));
    dialog.Fill("123456");
    const Outcome o = StartAndRead(
        dialog, [&] { Click(dialog.Find("Button_Start")); }, 60000);
    EXPECT_EQ(o.message, "数据提交失败，请稍后再尝试。");
    EXPECT_EQ(dialog.Close(), 0);
}

namespace {

// A copy of the program in a folder of its own, with only the given files of the product.
std::string ScratchProduct(const char* name, const std::vector<std::string>& files)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* file : {"VxmCheck.exe", "KorFact.dll", "Main.vxm", "Kordo.ini"})
        DeleteFileA((folder + "\\" + file).c_str());
    for (const std::string& file : files)
        CopyFileA(ProductPath(file).c_str(), (folder + "\\" + file).c_str(), FALSE);
    return folder + "\\VxmCheck.exe";
}

long MissingPartExitCode(const std::string& program, const std::string& expected)
{
    ProgramRun run("", program);
    HWND box = run.WaitForWindow("VxmCheck", kTimeout);
    if (!box) {
        ADD_FAILURE() << "no message box";
        return 0x7FFFFFFF;
    }
    const std::string text = MessageBoxText(box);
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    CloseMessageBox(box);
    return run.Wait(kTimeout) ? run.ExitCode() : 0x7FFFFFFF;
}

} // namespace

TEST(Dialog, MissingLibraryOrLayoutIsReportedWithItsPlace)
{
    const std::string noLibrary =
        ScratchProduct("vxm-no-library", {"VxmCheck.exe", "Main.vxm", "Kordo.ini"});
    EXPECT_EQ(MissingPartExitCode(noLibrary, "KorFact.dll"), -4);
    const std::string noLayout =
        ScratchProduct("vxm-no-layout", {"VxmCheck.exe", "KorFact.dll", "Kordo.ini"});
    EXPECT_EQ(MissingPartExitCode(noLayout, "vxm-no-layout\\Main.vxm"), -4);
}

// A layout whose control is missing or of another kind ends the dialog as a missing layout does,
// naming the control.
TEST(Dialog, LayoutWithoutAControlOfItsKindIsReported)
{
    std::ifstream in(ProductPath("Main.vxm"), std::ios::binary);
    const std::string layout{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    struct Case {
        const char* from;
        const char* to;
        const char* expected; // in the message box
    };
    const Case cases[] = {
        {"name=\"Edit_Zeq\"", "name=\"Edit_Gone\"", "没有控件“Edit_Zeq”"},
        {"<link name=\"Static_Captcha\"", "<richtext name=\"Static_Captcha\"",
         "控件“Static_Captcha”类型不对"},
    };
    for (const Case& c : cases) {
        const std::string program =
            ScratchProduct("vxm-bad-control", {"VxmCheck.exe", "KorFact.dll", "Kordo.ini"});
        std::string changed = layout;
        const std::size_t at = changed.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        changed.replace(at, std::strlen(c.from), c.to);
        std::ofstream(program.substr(0, program.rfind('\\')) + "\\Main.vxm", std::ios::binary)
            << changed;
        EXPECT_EQ(MissingPartExitCode(program, c.expected), -4) << c.from;
    }
}
