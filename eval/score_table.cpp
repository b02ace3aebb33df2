#include "eval/score_table.hpp"

#include "common/decimal.hpp"

#include <cstdio>

namespace {

constexpr std::size_t kDebugBufferSize = 1024;

std::string CutToDebugBuffer(const char* format, const std::string& name, const char* value)
{
    char buffer[kDebugBufferSize];
    std::snprintf(buffer, sizeof buffer, format, name.c_str(), value);
    return buffer;
}

} // namespace

const std::regex& ScoreTablePattern()
{
    static const std::regex pattern("(.*):(\\d+)", std::regex::ECMAScript);
    return pattern;
}

std::string ScoreDebugLine(const std::string& name, int score)
{
    return CutToDebugBuffer("key:%s, value:%s\n", name, std::to_string(score).c_str());
}

ScoreTable ParseScoreText(const std::string& text,
                          const std::function<void(const std::string&)>& debugLine)
{
    ScoreTable table;
    for (std::sregex_iterator it(text.begin(), text.end(), ScoreTablePattern()), end; it != end;
         ++it) {
        const std::string name = (*it)[1].str();
        const std::string digits = (*it)[2].str();
        const std::optional<int> score = ParseDecimal<int>(digits);
        if (!score) {
            if (debugLine)
                debugLine(
                    CutToDebugBuffer("key:%s, score out of range:%s\n", name, digits.c_str()));
            continue;
        }
        table[name] = *score; // a repeated name keeps the later score
    }
    if (debugLine)
        for (const auto& [name, score] : table)
            debugLine(ScoreDebugLine(name, score));
    return table;
}

ScoreTable& CpuScoreTable()
{
    static ScoreTable table;
    return table;
}

ScoreTable& GpuScoreTable()
{
    static ScoreTable table;
    return table;
}

std::optional<int> LookupScore(const ScoreTable& table, const std::string& name)
{
    const auto entry = table.find(name);
    if (entry == table.end())
        return std::nullopt;
    return entry->second;
}
