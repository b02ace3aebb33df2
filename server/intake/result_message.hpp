#pragma once
// The message a recorded report is answered with (UTF-8; the program converts it): the
// machine's level as the server rates it, the parts that decide it with the smallest step up for
// each, the parts the tables do not know yet, and where the machine stands among the others.
#include "report/report_fields.hpp"
#include "server/intake/report_decision.hpp"
#include "server/intake/report_rating.hpp"
#include "server/intake/step_up.hpp"

#include <string>

// Names longer than this are cut with "…", so that the message has a bound.
constexpr std::size_t kMessageNameCharacters = 60;

std::string RecordedMessage(const ReportValues& values, const ReportRating& rating, ReportRank rank,
                            const ServerTables& tables, const PopularParts* popular);
