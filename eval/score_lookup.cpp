#include "eval/score_lookup.hpp"

#include "eval/canonical_name.hpp"

#include <algorithm>
#include <string_view>

namespace {

std::string_view NameOf(const CanonicalIndex& index, const CanonicalScore& score)
{
    return std::string_view(index.names).substr(score.nameAt, score.nameLength);
}

// All canonical names in one text, as the table holds its names: a string each cost more than
// the rest of making the index.
void MakeCanonicalIndex(const ScoreTable& table, CanonicalIndex& index)
{
    index.names.reserve(table.names.size());
    std::vector<CanonicalScore> scores;
    scores.reserve(table.entries.size());
    for (const ScoreEntry& entry : table.entries) {
        const std::size_t at = index.names.size();
        AppendCanonicalDeviceName(index.names, EntryName(table, entry));
        scores.push_back({at, index.names.size() - at, entry.score});
    }
    std::sort(scores.begin(), scores.end(),
              [&index](const CanonicalScore& a, const CanonicalScore& b) {
                  return NameOf(index, a) < NameOf(index, b);
              });
    // One entry a name: its score when all that share it agree, none when they differ.
    for (const CanonicalScore& score : scores) {
        if (!index.scores.empty() && NameOf(index, index.scores.back()) == NameOf(index, score)) {
            if (index.scores.back().score != score.score)
                index.scores.back().score.reset();
        } else {
            index.scores.push_back(score);
        }
    }
}

} // namespace

std::optional<int> FindScore(const ScoreTable& table, const std::string& name)
{
    if (const std::optional<int> exact = LookupScore(table, name))
        return exact;
    CanonicalIndex& index = *table.canonical;
    std::call_once(index.made, [&] { MakeCanonicalIndex(table, index); });
    const std::string canonical = CanonicalDeviceName(name);
    const auto found =
        std::lower_bound(index.scores.begin(), index.scores.end(), std::string_view(canonical),
                         [&index](const CanonicalScore& score, std::string_view key) {
                             return NameOf(index, score) < key;
                         });
    if (found == index.scores.end() || NameOf(index, *found) != canonical)
        return std::nullopt;
    return found->score;
}
