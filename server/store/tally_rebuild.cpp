#include "server/store/tally_rebuild.hpp"

#include <iterator>

namespace {

// Distinct tally keys held before they are written: some megabytes at most.
constexpr std::size_t kKeysHeld = 20000;

std::string QuotedList(const std::set<std::string>& names)
{
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "'" : ", '") + name + "'";
    return list;
}

} // namespace

std::int64_t RebuildTallies(SchemaSession& session, const SqlDialect& dialect,
                            const std::set<std::string>& dimensions, std::size_t version,
                            std::size_t reportsABatch)
{
    const bool rated = version >= kRatedReportsVersion;
    const bool every = dimensions.count(kEveryTally) > 0;
    const auto wanted = [&](const std::string& dimension) {
        return every || dimensions.count(dimension) > 0;
    };
    const std::string counted = every ? "" : " WHERE dimension IN (" + QuotedList(dimensions) + ")";
    session.Execute("DELETE FROM tallies" + counted);
    // What writers had not moved to the tallies yet was counted too.
    if (version >= kWriterTalliesVersion)
        session.Execute("DELETE FROM writer_tallies" + counted);
    std::int64_t reports = 0, afterId = 0;
    TallyChanges changes;
    for (;;) {
        const ResultRows rows = session.Query(TallySourceSql(afterId, reportsABatch, rated));
        for (const ResultRow& row : rows) {
            const StoredReport report = TallySourceFromRow(row, rated);
            // The machines are counted below, from the first report of each.
            AddToTallies(changes, report, report.rated ? &report.rating : nullptr, false);
            afterId = report.id;
        }
        reports += static_cast<std::int64_t>(rows.size());
        for (auto at = changes.begin(); at != changes.end();)
            at = wanted(at->first.first) ? std::next(at) : changes.erase(at);
        if (!changes.empty() && (changes.size() >= kKeysHeld || rows.size() < reportsABatch)) {
            session.AddTallies(changes);
            changes.clear();
        }
        if (rows.size() < reportsABatch)
            break;
    }
    if (wanted("machines"))
        session.Execute(MachineTallySql(dialect.bytes));
    return reports;
}
