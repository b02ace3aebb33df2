#pragma once
// The information summary of one probe run, formatted from the probes' texts.
#include <cstdint>
#include <string>

struct ProbeTexts {
    std::string mac;
    std::string msvc;
    std::string directX;
    std::string resolution;
    std::string os;
    std::string cpu;
    std::string ram;
    std::string gpu;
    std::string adapter;
    std::string host;
    std::uint32_t times = 0;
};

// One "Label:\tvalue" line per fact, each value followed by two line feeds; values as they are.
std::string FormatProbeSummary(const ProbeTexts& texts);
