#pragma once
// The table parser as it was first written: the table pattern searched over the whole text, every
// capture copied, every debug line printed with snprintf. The reference the parser in use must
// agree with, entry for entry and debug line for debug line; the benchmark times both.
#include "common/decimal.hpp"
#include "tests/core/score_table_entries.hpp"

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

// A table line's pattern, compiled once: "." takes every byte but CR and LF.
inline const std::regex& ScoreTablePattern()
{
    static const std::regex pattern("(.*):(\\d+)", std::regex::ECMAScript);
    return pattern;
}

inline ScoreMap ReferenceParseScoreText(const std::string& text,
                                        std::vector<std::string>* debugLines)
{
    const auto print = [debugLines](const char* format, const std::string& name,
                                    const char* value) {
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer, format, name.c_str(), value);
        if (debugLines)
            debugLines->push_back(buffer);
    };
    ScoreMap table;
    for (std::sregex_iterator it(text.begin(), text.end(), ScoreTablePattern()), end; it != end;
         ++it) {
        const std::string name = (*it)[1].str();
        const std::string digits = (*it)[2].str();
        const std::optional<int> score = ParseDecimal<int>(digits);
        if (!score) {
            print("key:%s, score out of range:%s\n", name, digits.c_str());
            continue;
        }
        table[name] = *score;
    }
    for (const auto& [name, score] : table)
        print("key:%s, value:%s\n", name, std::to_string(score).c_str());
    return table;
}
