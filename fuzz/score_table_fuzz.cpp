// Score table text: the hand matcher finds what the table pattern finds, entry for entry and
// debug line for debug line, and every entry it gives, printed back as a table line, parses to
// the same entry.
#include "fuzz/fuzz_check.hpp"

#include "eval/score_table.hpp"
#include "tests/core/score_table_reference.hpp"

#include <vector>

namespace {

std::string Describe(const ScoreMap& table)
{
    std::string text;
    for (const auto& [name, score] : table)
        text += "[" + name + "]=" + std::to_string(score) + "\n";
    return text;
}

std::string Join(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text = FuzzText(data, size);
    std::vector<std::string> lines;
    const ScoreTable table = ParseScoreText(text, [&](const std::string& line) {
        FuzzCheck(line.size() <= 1023, "a debug line fits its 1024-byte buffer", line);
        lines.push_back(line);
    });
    std::vector<std::string> referenceLines;
    const ScoreMap entries = TableEntries(table);
    const ScoreMap reference = ReferenceParseScoreText(text, &referenceLines);
    FuzzCheck(entries == reference, "entries are the pattern's matches",
              "parsed:\n" + Describe(entries) + "pattern:\n" + Describe(reference));
    FuzzCheck(lines == referenceLines, "debug lines are the pattern's, in its order",
              "parsed:\n" + Join(lines) + "pattern:\n" + Join(referenceLines));

    std::string printed;
    for (const auto& [name, score] : entries)
        printed += name + ":" + std::to_string(score) + "\r\n";
    const ScoreMap reparsed = TableEntries(ParseScoreText(printed));
    FuzzCheck(reparsed == entries, "printed entries parse back to themselves",
              "parsed:\n" + Describe(entries) + "reparsed:\n" + Describe(reparsed));
    return 0;
}
