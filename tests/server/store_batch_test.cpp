#include "server/store/report_recorder.hpp"
#include "tests/server/report_samples.hpp"

#include <gtest/gtest.h>

#include <set>

namespace {

// A store that refuses, as a whole transaction, any batch holding a report of a "poisoned"
// account (or its next `down` batches), and records each account once otherwise.
class PoisonStore : public ReportStore {
  public:
    std::set<std::string> poisoned, stored;
    int down = 0;
    std::vector<std::size_t> transactions; // sizes of the batches it was given
    std::vector<RecordOutcome> Record(const std::vector<StoredReport>& reports) override
    {
        transactions.push_back(reports.size());
        if (down > 0 && down--)
            throw std::runtime_error("down");
        std::set<std::string> added;
        std::vector<RecordOutcome> outcomes;
        for (const StoredReport& report : reports) {
            const std::string& account = At(report.values, ReportField::Account);
            if (poisoned.count(account))
                throw std::runtime_error("refused " + account);
            const bool fresh = !stored.count(account) && added.insert(account).second;
            RecordOutcome outcome;
            outcome.recorded = fresh;
            outcomes.push_back(outcome);
        }
        stored.insert(added.begin(), added.end());
        return outcomes;
    }
    SurveyFigures Summarize() override { return {}; }
    void Ping() override {}
    void ForEachUnknownDevice(const std::function<void(const UnknownDevice&)>&) override {}
    void ForEachReport(std::int64_t, const std::function<void(const StoredReport&)>&) override {}
    std::optional<std::int64_t> Rerate(const ServerTables&, std::int64_t, std::size_t) override
    {
        return std::nullopt;
    }
    ReportedNames MostReported(std::size_t) override { return {}; }
    UnratedCounts Unrated() override { return {}; }
};

std::vector<StoredReport> Batch(const std::vector<std::string>& accounts)
{
    std::vector<StoredReport> reports;
    for (const std::string& account : accounts) {
        reports.emplace_back();
        reports.back().values = SampleValues(account);
    }
    return reports;
}

TEST(StoreBatch, EachReportIsAnsweredByWhatBecameOfIt)
{
    struct Case {
        const char* name;
        std::vector<std::string> stored, poisoned, batch;
        int down;
        // "r" recorded, "-" repeated, "x" not stored; the transactions tried; failures counted
        // (transactions whose reports stayed unstored), and commits.
        std::string answers;
        std::vector<std::size_t> transactions;
        std::uint64_t failures, commits;
    };
    const Case cases[] = {
        {"whole batch in one", {"111"}, {}, {"111", "222", "222"}, 0, "-r-", {3}, 0, 1},
        {"one refused",
         {"111"},
         {"666"},
         {"111", "666", "333", "333"},
         0,
         "-xr-",
         {4, 1, 1, 1, 1},
         1,
         3},
        {"store down", {}, {}, {"111", "222"}, 3, "xx", {2, 1, 1}, 2, 0},
        {"one report refused twice", {}, {"666"}, {"666"}, 0, "x", {1, 1}, 1, 0},
        // A connection the database closed fails the first try only: retried and stored, it is
        // no store failure.
        {"one report after a passing failure", {}, {}, {"111"}, 1, "r", {1, 1}, 0, 1},
        {"batch stored after a passing failure", {}, {}, {"111", "222"}, 1, "rr", {2, 1, 1}, 0, 2},
    };
    for (const Case& c : cases) {
        PoisonStore store;
        store.stored.insert(c.stored.begin(), c.stored.end());
        store.poisoned.insert(c.poisoned.begin(), c.poisoned.end());
        store.down = c.down;
        ServerMetrics metrics;
        const auto outcomes = StoreBatch(store, Batch(c.batch), metrics);
        std::string answers;
        for (const auto& outcome : outcomes)
            answers += !outcome ? 'x' : outcome->recorded ? 'r' : '-';
        EXPECT_EQ(answers, c.answers) << c.name;
        EXPECT_EQ(store.transactions, c.transactions) << c.name;
        EXPECT_EQ(metrics.storeFailures.load(), c.failures) << c.name;
        std::uint64_t commits = 0;
        for (const auto& bucket : metrics.commits.counts)
            commits += bucket.load();
        EXPECT_EQ(commits, c.commits) << c.name;
    }
}

} // namespace
