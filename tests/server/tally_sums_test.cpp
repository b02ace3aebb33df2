// The page's top lists against the sums of the tallies and the writers' rows: the tallies are
// read only through their first rows by count, the writers' rows that are not moved yet are all
// added, and the lists must still be the first of the sums.
#include "server/store/report_store.hpp"
#include "tests/server/server_fixture.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <map>

namespace {

struct TallyRow {
    std::string label;
    int writer; // 0: the tallies
    std::int64_t count;
};

// The first `limit` of the summed rows, most counted first, then by label.
std::vector<std::pair<std::string, std::int64_t>> FirstBySum(const std::vector<TallyRow>& rows,
                                                             std::size_t limit)
{
    std::map<std::string, std::int64_t> sums;
    for (const TallyRow& row : rows)
        sums[row.label] += row.count;
    std::vector<std::pair<std::string, std::int64_t>> first(sums.begin(), sums.end());
    std::stable_sort(first.begin(), first.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    first.resize(std::min(first.size(), limit));
    return first;
}

// Fourteen processors in the tallies, "c00" counted 100 times down to "c13" 87 times: the list
// of twelve leaves out c12 and c13 unless writers' rows lift them.
std::vector<TallyRow> CountedRows()
{
    std::vector<TallyRow> rows;
    for (int i = 0; i < 14; ++i)
        rows.push_back({std::string(i < 10 ? "c0" : "c") + std::to_string(i), 0, 100 - i});
    return rows;
}

TEST(TallySums, TopListsAreTheFirstOfTheSumsOverEveryWritersRows)
{
    const struct {
        const char* name;
        std::vector<TallyRow> pending; // writers' rows not moved yet
    } cases[] = {
        {"the tallies alone", {}},
        {"a writer lifts one from outside the tallies' first", {{"c13", 3, 50}}},
        {"two writers lift one together", {{"c13", 1, 7}, {"c13", 2, 7}}},
        {"a label only a writer holds", {{"new", 4, 300}}},
        {"a writer adds to one already first", {{"c00", 1, 5}}},
        {"lifted to a tie, it ranks after the smaller label", {{"c12", 1, 1}}},
        {"lifted to a tie, it ranks before the greater label", {{"c12", 1, 2}}},
        {"small additions everywhere", {{"c05", 1, 1}, {"c12", 2, 1}, {"c13", 3, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = FreshSqliteFolder();
        const auto store = OpenReportStore(folder);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((folder + "/reports.sqlite3").c_str(), &db), SQLITE_OK);
        std::vector<TallyRow> rows = CountedRows();
        rows.insert(rows.end(), c.pending.begin(), c.pending.end());
        for (const TallyRow& row : rows) {
            const std::string sql =
                (row.writer
                     ? "INSERT INTO writer_tallies (writer, dimension, label, n, gained, "
                       "gain_sum) VALUES (" +
                           std::to_string(row.writer) + ", "
                     : "INSERT INTO tallies (dimension, label, n, gained, gain_sum) VALUES (") +
                "'cpu', CAST('" + row.label + "' AS BLOB), " + std::to_string(row.count) +
                ", 0, 0)";
            ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                << sqlite3_errmsg(db);
        }
        sqlite3_close(db);

        const std::vector<Tally> listed = store->Summarize()[SurveyList::Processors];
        const auto expected = FirstBySum(rows, 12);
        ASSERT_EQ(listed.size(), expected.size());
        for (std::size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(listed[i].label, expected[i].first) << i;
            EXPECT_EQ(listed[i].count, expected[i].second) << i;
        }
        // The names the rating suggests are read the same way, at their own length.
        const ReportedNames names = store->MostReported(3);
        ASSERT_EQ(names.processors.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(names.processors[i], expected[i].first) << i;
        std::filesystem::remove_all(folder);
    }
}

} // namespace
