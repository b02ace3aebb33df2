#pragma once
// How the server judges one posted report, and the reply it gives for each decision.
#include "report/report_fields.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The "ret_code" values the program understands.
enum class Decision : int {
    Recorded = 0,
    Repeated = -1,
    TokenMismatch = -2,
    Malformed = -3,
};

// The form's values when the body is well formed, every field keeps to its rule
// (report_field_rules.hpp) and the token matches them; otherwise the decision (Malformed or
// TokenMismatch) in `refusal`.
struct FormCheck {
    ReportValues values;
    std::optional<Decision> refusal;
};
FormCheck CheckReportForm(std::string_view body);

// The gain as a number when "s" is plain decimal digits (a leading "-" allowed).
std::optional<std::int64_t> GainOf(const ReportValues& values);

// Where a recorded report stands among all rated ones, itself included.
struct ReportRank {
    std::int64_t below = 0; // rated reports that rank strictly lower
    std::int64_t total = 0; // rated reports
};

// The "msg" (UTF-8) of a refusal (result_message.hpp words a recorded report's).
std::string RefusalMessage(Decision decision);

// The one-line JSON body: {"ret_code":N,"msg":"..."} with \u escapes for all but ASCII.
std::string ReplyBody(Decision decision, const std::string& message);

// The decision's name in logs and metrics: "recorded", "repeated", "token" or "malformed".
const char* DecisionName(Decision decision);
