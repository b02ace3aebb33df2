#pragma once
// The operator's page: the survey's aggregates as one self-contained HTML page (UTF-8, inline
// SVG charts, no scripts, fonts or images from elsewhere). Shows no account number, network
// address or computer name.
#include "server/store/report_store.hpp"

#include <cstdint>
#include <string>

std::string RenderSurveyPage(const SurveyFigures& figures, std::int64_t now);
