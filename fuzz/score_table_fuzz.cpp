// Score table text: the parser reads what the table pattern finds, nothing else, and every
// entry it gives, printed back as a table line, parses to the same entry.
#include "fuzz/fuzz_check.hpp"

#include "eval/score_table.hpp"

#include <regex>

namespace {

// The entries of a table by its defining rule: each leftmost, greedy match of "(.*):(\d+)",
// searched on from the end of the previous one; a score that does not fit an int gives none.
ScoreTable ReferenceEntries(const std::string& text)
{
    static const std::regex pattern("(.*):(\\d+)", std::regex::ECMAScript);
    ScoreTable table;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        std::string digits = (*it)[2].str();
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        if (digits.size() > 10 || std::stoll(digits) > 2147483647LL)
            continue;
        table[(*it)[1].str()] = static_cast<int>(std::stoll(digits));
    }
    return table;
}

std::string Describe(const ScoreTable& table)
{
    std::string text;
    for (const auto& [name, score] : table)
        text += "[" + name + "]=" + std::to_string(score) + "\n";
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text = FuzzText(data, size);
    std::size_t debugLines = 0;
    const ScoreTable table = ParseScoreText(text, [&](const std::string& line) {
        FuzzCheck(line.size() <= 1023, "a debug line fits its 1024-byte buffer", line);
        ++debugLines;
    });
    FuzzCheck(debugLines >= table.size(), "every entry has its debug line");

    const ScoreTable reference = ReferenceEntries(text);
    FuzzCheck(table == reference, "entries are the pattern's matches",
              "parsed:\n" + Describe(table) + "pattern:\n" + Describe(reference));

    std::string printed;
    for (const auto& [name, score] : table)
        printed += name + ":" + std::to_string(score) + "\r\n";
    const ScoreTable reparsed = ParseScoreText(printed);
    FuzzCheck(reparsed == table, "printed entries parse back to themselves",
              "parsed:\n" + Describe(table) + "reparsed:\n" + Describe(reparsed));
    return 0;
}
