#include "server/intake/report_decision.hpp"

#include "common/decimal.hpp"
#include "report/report_token.hpp"
#include "server/intake/report_field_rules.hpp"
#include "server/intake/text_encoding.hpp"

FormCheck CheckReportForm(std::string_view body)
{
    FormCheck check;
    auto values = DecodeReportForm(body);
    if (!values) {
        check.refusal = Decision::Malformed;
        return check;
    }
    check.values = std::move(*values);
    if (BrokenFieldRule(check.values))
        check.refusal = Decision::Malformed;
    else if (ComputeReportToken(check.values) != At(check.values, ReportField::Token))
        check.refusal = Decision::TokenMismatch;
    return check;
}

std::optional<std::int64_t> GainOf(const ReportValues& values)
{
    return ParseDecimal<std::int64_t>(At(values, ReportField::Gain));
}

std::string RefusalMessage(Decision decision)
{
    switch (decision) {
    case Decision::Recorded:
        break;
    case Decision::Repeated:
        return "该账号已在这台电脑上参与过检测，请勿重复提交。";
    case Decision::TokenMismatch:
        return "检测数据校验未通过，请重新检测后再提交。";
    case Decision::Malformed:
        return "提交的检测数据不完整或格式有误，请重新检测。";
    }
    return {};
}

std::string ReplyBody(Decision decision, const std::string& message)
{
    return "{\"ret_code\":" + std::to_string(static_cast<int>(decision)) + ",\"msg\":\"" +
           JsonEscapeUtf8(message) + "\"}";
}

const char* DecisionName(Decision decision)
{
    switch (decision) {
    case Decision::Recorded:
        return "recorded";
    case Decision::Repeated:
        return "repeated";
    case Decision::TokenMismatch:
        return "token";
    case Decision::Malformed:
        return "malformed";
    }
    return "unknown";
}
