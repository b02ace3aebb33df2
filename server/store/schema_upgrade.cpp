#include "server/store/schema_upgrade.hpp"

#include "server/monitor/event_log.hpp"
#include "server/store/tally_rebuild.hpp"

#include <chrono>
#include <cstdio>
#include <optional>
#include <set>
#include <stdexcept>

namespace {

bool Exists(SchemaSession& session, const SqlDialect& dialect, const std::string& name)
{
    return !session.Query(dialect.objectNamed + ("'" + name + "'")).empty();
}

std::optional<std::size_t> StoredVersion(SchemaSession& session, const SqlDialect& dialect)
{
    if (!Exists(session, dialect, "schema_version"))
        return std::nullopt;
    const ResultRows rows = session.Query("SELECT CAST(version AS TEXT) FROM schema_version");
    if (rows.size() != 1)
        throw std::runtime_error("the schema_version table holds " + std::to_string(rows.size()) +
                                 " rows instead of one");
    return std::stoull(rows[0].at(0));
}

// The version of a database from before versions were stored, by the tables and indexes the
// steps made. The fifth step's index has the fourth's name: a database with unknown devices
// counted is of the fifth, one with none yet is taken for the fourth's, and the fifth step then
// only makes its index again.
std::size_t VersionByShape(SchemaSession& session, const SqlDialect& dialect)
{
    if (!Exists(session, dialect, "reports"))
        return 0;
    if (!Exists(session, dialect, "tallies"))
        return 1;
    // No build made these without a version; one whose version was lost, say.
    if (Exists(session, dialect, "writer_tallies"))
        return kWriterTalliesVersion;
    if (!session.Query(dialect.reportColumnNamed + std::string("'rated_with'")).empty())
        return kRatedReportsVersion;
    if (Exists(session, dialect, "tallies_top")) {
        const bool unknownCounted =
            !session
                 .Query("SELECT 1 FROM tallies WHERE dimension IN ('cpu_unknown', 'gpu_unknown') "
                        "LIMIT 1")
                 .empty();
        return unknownCounted ? 5 : 4;
    }
    return Exists(session, dialect, "tallies_by_count") ? 3 : 2;
}

void Note(const std::string& what, const std::string& detail)
{
    LogNotice("schema upgrade", what, detail);
}

// The steps after `from` up to `to`, then the tallies they made new (all of them with
// `recountAll`).
void RunSteps(SchemaSession& session, const SqlDialect& dialect, std::size_t from, std::size_t to,
              bool recountAll)
{
    std::set<std::string> newTallies;
    if (recountAll)
        newTallies.insert(kEveryTally);
    for (std::size_t version = from + 1; version <= to; ++version) {
        const std::vector<std::string>& made = SchemaSteps().at(version - 1).newTallies;
        newTallies.insert(made.begin(), made.end());
    }
    // Tallies that are all counted again afterwards go first, so that no step's index is built
    // over them (at a million names that was most of the steps' time).
    if (newTallies.count(kEveryTally) && Exists(session, dialect, "tallies"))
        session.Execute("DELETE FROM tallies");
    for (std::size_t version = from + 1; version <= to; ++version) {
        const SchemaStep& step = SchemaSteps().at(version - 1);
        Note("version " + std::to_string(version) + " of " + std::to_string(SchemaSteps().size()),
             step.what);
        for (const std::string& sql : step.sql(dialect))
            session.Execute(sql);
    }
    if (newTallies.empty())
        return;
    std::string names;
    if (newTallies.count(kEveryTally))
        names = "every tally";
    else
        for (const std::string& name : newTallies)
            names += (names.empty() ? "" : ", ") + name;
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t reports = RebuildTallies(session, dialect, newTallies, to);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    Note("counted " + names, "from " + std::to_string(reports) + " reports in " + seconds + " s");
}

} // namespace

void UpgradeSchema(SchemaSession& session, const SqlDialect& dialect, std::size_t version)
{
    // Most openings find the database current, and take no lock for it.
    if (StoredVersion(session, dialect) == version)
        return;
    session.Execute(dialect.begin);
    try {
        // Read again under the lock: another server may have upgraded it meanwhile.
        std::optional<std::size_t> stored = StoredVersion(session, dialect);
        const bool byShape = !stored;
        if (!stored) {
            stored = VersionByShape(session, dialect);
            if (*stored > 0)
                Note("taken for version " + std::to_string(*stored),
                     "a database from before schema versions, recognised by its tables");
            session.Execute(std::string("CREATE TABLE schema_version (version ") + dialect.integer +
                            " NOT NULL)");
            session.Execute("INSERT INTO schema_version (version) VALUES (" +
                            std::to_string(*stored) + ")");
        }
        if (*stored > version)
            throw std::runtime_error("the database's schema version is " + std::to_string(*stored) +
                                     ", this server knows up to " + std::to_string(version) +
                                     ": a newer server made it");
        // A database recognised by its shape has its tallies all counted again, whatever the
        // build that kept them counted: those before the version by the version's step, those
        // of the rating's columns (whose version was lost) here.
        RunSteps(session, dialect, *stored, version, byShape && *stored >= kRatedReportsVersion);
        session.Execute("UPDATE schema_version SET version = " + std::to_string(version));
        session.Execute("COMMIT");
    } catch (...) {
        try {
            session.Execute("ROLLBACK");
        } catch (const std::runtime_error&) {
            // The connection broke; the database rolled back by itself.
        }
        throw;
    }
}
