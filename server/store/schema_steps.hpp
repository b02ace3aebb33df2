#pragma once
// The database's history as one list of steps, which both engines run: step N takes a database
// of schema version N - 1 to version N, and a database made today runs them all, in order.
//
// To change the schema, add a step at the end of the list in schema_steps.cpp: its SQL (written
// out, not generated from today's tables, so that the step means the same later) and the tally
// dimensions it makes new, which are then counted from the stored reports. A step is never
// changed once shipped: databases out there are at its version. A new tally (AddToTallies) needs
// a step that names it, or databases made before it miss their older reports; one the page lists
// by count also needs the index tallies_top made again with it (TopListsReadThroughTheCountIndex
// fails otherwise); the report fields it counts are read by the recount (TallySourceSql).
#include <string>
#include <vector>

// What differs between the engines in the steps' SQL.
struct SqlDialect {
    const char* integer; // a 64-bit integer column
    const char* bytes;   // a column of raw bytes
    const char* rowId;   // the reports' rising row number, as a column definition
    // Opens the upgrade's transaction, held against every other connection's upgrade.
    const char* begin;
    // A query that returns a row when followed by a quoted name of a table or index that exists.
    const char* objectNamed;
    // A query that returns a row when followed by a quoted name of a column of the reports.
    const char* reportColumnNamed;
};

extern const SqlDialect kSqliteDialect;
extern const SqlDialect kPostgresDialect;

using SqlStatements = std::vector<std::string>;

struct SchemaStep {
    const char* what; // said on standard error as it runs
    SqlStatements (*sql)(const SqlDialect& dialect);
    // The tally dimensions this step makes new, or kEveryTally.
    std::vector<std::string> newTallies;
};

inline const std::string kEveryTally = "*";

const std::vector<SchemaStep>& SchemaSteps();

// The version from which the reports have the rating's columns.
constexpr std::size_t kRatedReportsVersion = 7;
// The version from which each writer keeps tally rows of its own (writer_tallies).
constexpr std::size_t kWriterTalliesVersion = 8;
