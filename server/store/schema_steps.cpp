#include "server/store/schema_steps.hpp"

const SqlDialect kSqliteDialect = {"INTEGER",
                                   "BLOB",
                                   "INTEGER PRIMARY KEY",
                                   "BEGIN IMMEDIATE",
                                   "SELECT name FROM sqlite_master WHERE name = ",
                                   "SELECT name FROM pragma_table_info('reports') WHERE name = "};
// Any number fits the lock's key; it only keeps two servers from upgrading at once. The server's
// statement timeout is for answering reports: an upgrade at millions of reports takes longer.
const SqlDialect kPostgresDialect = {
    "BIGINT",
    "BYTEA",
    "BIGSERIAL PRIMARY KEY",
    "BEGIN; SET LOCAL statement_timeout = 0; SELECT pg_advisory_xact_lock(7312016)",
    "SELECT relname FROM pg_class WHERE pg_table_is_visible(oid) AND relname = ",
    "SELECT column_name FROM information_schema.columns WHERE table_schema = current_schema() "
    "AND table_name = 'reports' AND column_name = "};

namespace {

// The report columns of the first schema, named after the form's fields.
std::string FirstReportColumns(const SqlDialect& d)
{
    std::string columns;
    for (const char* name : {"u",  "mc", "cpu", "mm", "dm", "cc", "lcc", "lvm", "tvm", "os",
                             "rs", "dx", "vc",  "dd", "hl", "s",  "pn",  "nc",  "ei",  "tk"})
        columns += std::string(", ") + name + " " + d.bytes + " NOT NULL";
    return columns;
}

// The page's top lists read their first rows through a partial index of the dimensions listed
// by count; SQLite uses it only when the query's "dimension = '...'" is one of its OR terms.
constexpr char kTopIndex[] =
    "CREATE INDEX tallies_top ON tallies (dimension, n DESC, label) WHERE dimension = 'cpu' OR "
    "dimension = 'gpu' OR dimension = 'os_name' OR dimension = 'ram_band' OR dimension = 'res' OR "
    "dimension = 'vram_band'";

} // namespace

const std::vector<SchemaStep>& SchemaSteps()
{
    static const std::vector<SchemaStep> steps = {
        {"reports, unique by account and MAC, and a count of each gain",
         [](const SqlDialect& d) -> SqlStatements {
             return {std::string("CREATE TABLE reports (id ") + d.rowId + ", received " +
                         d.integer + " NOT NULL, peer TEXT NOT NULL, gain " + d.integer +
                         FirstReportColumns(d) + ", UNIQUE (u, mc))",
                     std::string("CREATE TABLE gain_counts (gain ") + d.integer +
                         " PRIMARY KEY, n " + d.integer + " NOT NULL)"};
         },
         {}},
        {"running tallies behind the page and the rank, and the machines seen",
         [](const SqlDialect& d) -> SqlStatements {
             return {std::string("CREATE TABLE machines (mc ") + d.bytes + " PRIMARY KEY)",
                     std::string("CREATE TABLE tallies (dimension TEXT NOT NULL, label ") +
                         d.bytes + " NOT NULL, n " + d.integer + " NOT NULL, gained " + d.integer +
                         " NOT NULL, gain_sum " + d.integer +
                         " NOT NULL, PRIMARY KEY (dimension, label))",
                     "INSERT INTO machines (mc) SELECT DISTINCT mc FROM reports",
                     "DROP TABLE gain_counts"};
         },
         {kEveryTally}},
        {"the tallies in count order",
         [](const SqlDialect&) -> SqlStatements {
             return {"CREATE INDEX tallies_by_count ON tallies (dimension, n DESC, label)"};
         },
         {}},
        {"count order for the listed dimensions only",
         [](const SqlDialect&) -> SqlStatements {
             return {"DROP INDEX tallies_by_count", kTopIndex};
         },
         {}},
        {"processors and adapters the score tables do not rate",
         [](const SqlDialect&) -> SqlStatements {
             return {"DROP INDEX tallies_top", std::string(kTopIndex) +
                                                   " OR dimension = 'cpu_unknown' OR dimension "
                                                   "= 'gpu_unknown'"};
         },
         {"cpu_unknown", "gpu_unknown"}},
        // Databases from before this step were counted by builds that counted differently (video
        // memory from one build on, ranks by every stored gain, systems by their texts), and
        // upgraded in place by each: their tallies are all counted again from the reports.
        {"the schema version",
         [](const SqlDialect&) -> SqlStatements { return {"DROP TABLE IF EXISTS gain_counts"}; },
         {kEveryTally}},
        // The reports stored before are rated after the opening, a batch at a time, by the
        // writer (rating_upkeep.hpp), which adds their rating tallies as it goes: until then
        // the tallies of ratings are those of new reports alone.
        {"the server's rating of each report beside it",
         [](const SqlDialect& d) -> SqlStatements {
             SqlStatements statements;
             for (const char* column : {"srv_level", "cpu_score", "gpu_score", "cpu_band",
                                        "gpu_band", "mem_band", "low_devices", "unknown_devices"})
                 statements.push_back(std::string("ALTER TABLE reports ADD COLUMN ") + column +
                                      " " + d.integer);
             statements.push_back("ALTER TABLE reports ADD COLUMN rated_with TEXT");
             statements.push_back("DELETE FROM tallies WHERE dimension IN ('cpu_unknown', "
                                  "'gpu_unknown', 'true_level', 'deciding', 'rank_key', "
                                  "'unrated', 'disagree')");
             return statements;
         },
         {}},
        // Each writer adds to rows of its own, so that no two transactions wait for the same
        // row, and moves them to the tallies now and then; the tallies read are the sums. No
        // index holds the counts, so a writer's update of its row stays on its page.
        {"tally rows of each writer, moved to the tallies now and then",
         [](const SqlDialect& d) -> SqlStatements {
             return {std::string("CREATE TABLE writer_tallies (writer ") + d.integer +
                     " NOT NULL, dimension TEXT NOT NULL, label " + d.bytes + " NOT NULL, n " +
                     d.integer + " NOT NULL, gained " + d.integer + " NOT NULL, gain_sum " +
                     d.integer + " NOT NULL, PRIMARY KEY (dimension, label, writer))"};
         },
         {}},
    };
    return steps;
}
