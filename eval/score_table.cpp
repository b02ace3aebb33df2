#include "eval/score_table.hpp"

#include "common/decimal.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
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
        mBuffer[mLength] = '\0';
    }
    const char* Text() const { return mBuffer; }

  private:
    char mBuffer[kDebugBufferSize];
    std::size_t mLength = 0;

    void Append(std::string_view text)
    {
        const std::size_t room = kDebugBufferSize - 1 - mLength;
        const std::size_t count = std::min(room, text.size());
        std::memcpy(mBuffer + mLength, text.data(), count);
        mLength += count;
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

std::string_view EntryName(const ScoreTable& table, const ScoreEntry& entry)
{
    return std::string_view(table.names).substr(entry.nameAt, entry.nameLength);
}

ScoreTable ParseScoreText(const std::string& text, const DebugSink& debugLine)
{
    ScoreTable table;
    table.names.reserve(text.size());
    table.entries.reserve(std::count(text.begin(), text.end(), '\n') + 1);
    // "." stops at CR and LF, so no match spans a line break, and after a line's match the rest
    // of it holds no other (its colon was the last before a digit): the matches of the whole
    // text are those of its lines, one at most each.
    const char* line = text.data();
    const char* const end = line + text.size();
    while (line != end) {
        const char* const lineEnd = std::find_if(line, end, IsLineBreak);
        if (const std::optional<ScoreLine> match = MatchScoreLine(line, lineEnd)) {
            if (const std::optional<int> score = ParseDecimal<int>(match->digits)) {
                table.entries.push_back({table.names.size(), match->name.size(), *score});
                table.names += match->name;
            } else if (debugLine) {
                debugLine(DebugLine(match->name, ", score out of range:", match->digits).Text());
            }
        }
        line = lineEnd == end ? end : lineEnd + 1;
    }
    // The shipped tables are in order already; a stable sort keeps a repeated name's entries in
    // the text's order, and of each such run the last is kept.
    std::vector<ScoreEntry>& entries = table.entries;
    const auto byName = [&table](const ScoreEntry& a, const ScoreEntry& b) {
        return EntryName(table, a) < EntryName(table, b);
    };
    if (!std::is_sorted(entries.begin(), entries.end(), byName))
        std::stable_sort(entries.begin(), entries.end(), byName);
    auto kept = entries.begin();
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        const auto next = std::next(entry);
        if (next == entries.end() || EntryName(table, *next) != EntryName(table, *entry))
            *kept++ = *entry;
    }
    entries.erase(kept, entries.end());
    if (debugLine) {
        for (const ScoreEntry& entry : entries)
            debugLine(EntryDebugLine(EntryName(table, entry), entry.score).Text());
    }
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
    const auto entry = std::lower_bound(
        table.entries.begin(), table.entries.end(), std::string_view(name),
        [&table](const ScoreEntry& e, std::string_view key) { return EntryName(table, e) < key; });
    if (entry == table.entries.end() || EntryName(table, *entry) != name)
        return std::nullopt;
    return entry->score;
}
