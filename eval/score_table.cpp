#include "eval/score_table.hpp"

#include "common/decimal.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kDebugBufferSize = 1024;

// What snprintf(buffer, 1024, "key:%s<label>%s\n", name, value) writes: the name ends at its
// first NUL byte and the text is cut to the buffer. Written by hand, as printf costs more than
// the match itself here.
class DebugLine {
  public:
    DebugLine(std::string_view name, const char* label, std::string_view value)
    {
        Append("key:");
        Append(name.substr(0, name.find('\0')));
        Append(label);
        Append(value);
        Append("\n");
        buffer_[length_] = '\0';
    }
    const char* Text() const { return buffer_; }

  private:
    char buffer_[kDebugBufferSize];
    std::size_t length_ = 0;

    void Append(std::string_view text)
    {
        const std::size_t room = kDebugBufferSize - 1 - length_;
        const std::size_t count = std::min(room, text.size());
        std::memcpy(buffer_ + length_, text.data(), count);
        length_ += count;
    }
};

// The debug line of a table entry.
DebugLine EntryDebugLine(std::string_view name, int score)
{
    char digits[16];
    const char* const stop = std::to_chars(digits, digits + sizeof digits, score).ptr;
    return DebugLine(name, ", value:", std::string_view(digits, stop - digits));
}

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

struct ScoreLine {
    std::string_view name;
    std::string_view digits;
};

// What "(.*):(\d+)" finds in a line without CR or LF: "." takes every other byte and the name is
// greedy, so the colon is the line's last one that a digit follows, and the score every digit
// after it. Nothing when no colon is followed by a digit.
std::optional<ScoreLine> MatchScoreLine(const char* line, const char* end)
{
    if (end - line < 2)
        return std::nullopt;
    for (const char* colon = end - 2;; --colon) {
        if (*colon == ':' && IsDecimalDigit(colon[1])) {
            const char* const stop = std::find_if_not(colon + 1, end, IsDecimalDigit);
            return ScoreLine{{line, std::size_t(colon - line)},
                             {colon + 1, std::size_t(stop - colon - 1)}};
        }
        if (colon == line)
            return std::nullopt;
    }
}

} // namespace

std::string ScoreDebugLine(const std::string& name, int score)
{
    return EntryDebugLine(name, score).Text();
}

ScoreTable ParseScoreText(const std::string& text, const DebugSink& debugLine)
{
    ScoreTable table;
    // "." stops at CR and LF, so no match spans a line break, and after a line's match the rest
    // of it holds no other (its colon was the last before a digit): the matches of the whole
    // text are those of its lines, one at most each.
    const char* line = text.data();
    const char* const end = line + text.size();
    while (line != end) {
        const char* const lineEnd = std::find_if(line, end, IsLineBreak);
        if (const std::optional<ScoreLine> match = MatchScoreLine(line, lineEnd)) {
            const std::optional<int> score = ParseDecimal<int>(match->digits);
            if (score) {
                // A repeated name keeps the later score. The shipped tables are sorted, so most
                // names go to the end, where the hint spares the search.
                std::string name(match->name);
                if (table.empty() || table.rbegin()->first < name)
                    table.emplace_hint(table.end(), std::move(name), *score);
                else
                    table.insert_or_assign(std::move(name), *score);
            } else if (debugLine) {
                debugLine(DebugLine(match->name, ", score out of range:", match->digits).Text());
            }
        }
        line = lineEnd == end ? end : lineEnd + 1;
    }
    if (debugLine) {
        for (const auto& [name, score] : table)
            debugLine(EntryDebugLine(name, score).Text());
    }
    return table;
}

// The tables live until the process ends and are never destroyed: freeing their few thousand
// entries one by one at exit cost a single evaluation about half a millisecond under Wine.
ScoreTable& CpuScoreTable()
{
    static ScoreTable& table = *new ScoreTable;
    return table;
}

ScoreTable& GpuScoreTable()
{
    static ScoreTable& table = *new ScoreTable;
    return table;
}

std::optional<int> LookupScore(const ScoreTable& table, const std::string& name)
{
    const auto entry = table.find(name);
    if (entry == table.end())
        return std::nullopt;
    return entry->second;
}
