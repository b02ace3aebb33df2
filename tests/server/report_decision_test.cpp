#include "server/intake/report_decision.hpp"
#include "server/http/request_route.hpp"
#include "server/intake/text_encoding.hpp"
#include "tests/server/report_samples.hpp"

#include <gtest/gtest.h>

TEST(DecodeReportForm, ReadsBackWhatTheProgramWrites)
{
    const ReportValues values = SampleValues();
    const auto decoded = DecodeReportForm(EncodeReportForm(values));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, values);
    // Every byte value survives the round trip, "+" and "%" included.
    ReportValues all = values;
    for (int byte = 0; byte < 256; ++byte)
        all[2] += static_cast<char>(byte);
    EXPECT_EQ(DecodeReportForm(EncodeReportForm(all)), all);
}

TEST(DecodeReportForm, RefusesEveryShapeButTheTwentyFieldsInOrder)
{
    const std::string form = SampleForm();
    const std::string bad[] = {
        "",
        form + "&",
        form + "&x=1",
        "x=1&" + form,
        form.substr(0, form.find("&tk=")), // token missing
        form.substr(form.find('&') + 1),   // first field missing
        "mc=" + form.substr(2),            // renamed
        "u" + form.substr(1, form.find('&') - 1) + form.substr(form.find("&mc")), // ok control
        [&] {
            std::string s = form;
            s.replace(s.find("&cpu="), 5, "&cpux=");
            return s;
        }(),
        [&] {
            std::string s = form;
            s.replace(s.find("&cc="), 1, ";");
            return s;
        }(),
        [&] {
            std::string s = form;
            s.insert(s.find("&mm=") + 4, "%G1");
            return s;
        }(),
        [&] {
            std::string s = form;
            s.insert(s.find("&dm="), "%4");
            return s;
        }(),
        [&] {
            std::string s = form;
            s.erase(s.find("&cc="), s.find("&lcc=") - s.find("&cc="));
            return s + "&cc=4";
        }(),
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        if (i == 7) {
            EXPECT_TRUE(DecodeReportForm(bad[i])) << "control case";
            continue;
        }
        EXPECT_FALSE(DecodeReportForm(bad[i])) << "case " << i << ": " << bad[i];
    }
    // A lone "%" at the very end of the body is a bad escape too.
    EXPECT_FALSE(DecodeReportForm(form + "%"));
    EXPECT_EQ(UrlDecodeValue("a+b%2b%2B%e4"), std::string("a b++\xE4"));
}

TEST(CheckReportForm, JudgesFormThenToken)
{
    EXPECT_FALSE(CheckReportForm(SampleForm()).refusal);
    EXPECT_EQ(CheckReportForm("u=1").refusal, Decision::Malformed);

    // Each field that feeds the token is bound (changed within its rule); the others are not.
    const std::vector<std::pair<ReportField, const char*>> changes = {
        {ReportField::Account, "1234567"},   {ReportField::Mac, "00-1A-2B-3C-4D-5F"},
        {ReportField::Cpu, "Other CPU"},     {ReportField::Ram, "4096.00 MB"},
        {ReportField::Gpu, "Other adapter"}, {ReportField::Gain, "842"}};
    for (const auto& [field, value] : changes) {
        ReportValues values = SampleValues();
        values[static_cast<std::size_t>(field)] = value;
        EXPECT_EQ(CheckReportForm(EncodeReportForm(values)).refusal, Decision::TokenMismatch)
            << kReportFields[static_cast<std::size_t>(field)].name;
    }
    ReportValues values = SampleValues();
    values[static_cast<std::size_t>(ReportField::LevelCode)] = "3";
    values[static_cast<std::size_t>(ReportField::Gain)] = "700";
    EXPECT_EQ(CheckReportForm(EncodeReportForm(values)).refusal, Decision::TokenMismatch);
    values = SampleValues();
    values[static_cast<std::size_t>(ReportField::HostName)] = "other";
    EXPECT_FALSE(CheckReportForm(EncodeReportForm(values)).refusal);
    // An upper-case token is not even the token's shape.
    values = SampleValues();
    std::string& token = values[static_cast<std::size_t>(ReportField::Token)];
    for (char& c : token)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(CheckReportForm(EncodeReportForm(values)).refusal, Decision::Malformed);
}

TEST(RefusalMessage, EachRefusalKeepsItsText)
{
    const std::pair<Decision, const char*> cases[] = {
        {Decision::Repeated, "该账号已在这台电脑上参与过检测，请勿重复提交。"},
        {Decision::TokenMismatch, "检测数据校验未通过，请重新检测后再提交。"},
        {Decision::Malformed, "提交的检测数据不完整或格式有误，请重新检测。"},
    };
    for (const auto& [decision, text] : cases)
        EXPECT_EQ(RefusalMessage(decision), text) << DecisionName(decision);
}

TEST(ReplyBody, OneLineOfAsciiJson)
{
    EXPECT_EQ(ReplyBody(Decision::Repeated, "重复 \"a\\b\"\n"),
              "{\"ret_code\":-1,\"msg\":\"\\u91cd\\u590d \\\"a\\\\b\\\"\\n\"}");
    // Beyond the basic plane: a surrogate pair.
    EXPECT_EQ(JsonEscapeUtf8("\xF0\x9F\x98\x80"), "\\ud83d\\ude00");
    // A broken UTF-8 sequence cannot produce a broken reply.
    EXPECT_EQ(JsonEscapeUtf8("a\xE4\xB8"), "a\\ufffd\\ufffd");
    // The program decodes every "\\uXXXX" before it parses, also after an escaped backslash,
    // and refuses raw control characters: those are written so that it reads them right.
    EXPECT_EQ(JsonEscapeUtf8("\\u0041"), "\\\\\\u0075"
                                         "0041");
    EXPECT_EQ(JsonEscapeUtf8("\t\r\n\b\f\x01\x1F"), "\\t\\r\\n\\b\\f\\ufffd\\ufffd");
    const std::string body =
        ReplyBody(Decision::Recorded, "您的电脑为 1 级（1 级最好，共 5 级）。已是最高一级。");
    for (const char c : body)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << body;
}

TEST(TextEncoding, GbkToUtf8AndHtml)
{
    EXPECT_EQ(Utf8FromGbk("\xD5\xC5\xC8\xFD@PC"), "张三@PC");
    // A lead byte without its trail, and a byte GBK does not use, become U+FFFD.
    EXPECT_EQ(Utf8FromGbk("a\xD5"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Utf8FromGbk("\xFF"
                          "b"),
              "\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(HtmlEscape("<script>\"&'"), "&lt;script&gt;&quot;&amp;&#39;");
}

TEST(RouteOf, AbsoluteAndOriginTargets)
{
    EXPECT_EQ(RouteOf("POST", "http://h:8080/vorn/a20140220checkmachine/postInfo.php"),
              Route::Report);
    EXPECT_EQ(RouteOf("POST", "/vorn/a20140220checkmachine/postInfo.php"), Route::Report);
    EXPECT_EQ(RouteOf("GET", "/vorn/a20140220checkmachine/postInfo.php"), Route::NotAllowed);
    EXPECT_EQ(RouteOf("GET", "/"), Route::Page);
    EXPECT_EQ(RouteOf("GET", "http://h"), Route::Page);
    EXPECT_EQ(RouteOf("GET", "/?x=1"), Route::Page);
    EXPECT_EQ(RouteOf("POST", "/"), Route::NotAllowed);
    EXPECT_EQ(RouteOf("GET", "/export.csv?key=a"), Route::Export);
    EXPECT_EQ(RouteOf("GET", "/healthz"), Route::Health);
    EXPECT_EQ(RouteOf("GET", "http://h/metrics"), Route::Metrics);
    EXPECT_EQ(RouteOf("POST", "/metrics"), Route::NotAllowed);
    EXPECT_EQ(RouteOf("GET", "/healthz/"), Route::NotFound);
    EXPECT_EQ(RouteOf("GET", "/vorn/other.php"), Route::NotFound);
    EXPECT_EQ(QueryValue("/export.csv?x=1&key=a%26b", "key"), "a&b");
    EXPECT_EQ(QueryValue("/export.csv?keyx=1", "key"), std::nullopt);
    EXPECT_EQ(QueryValue("/export.csv?key=", "key"), "");
}
