#pragma once
// Opening a database: its schema version is read from the database and the steps it lacks run
// in order (schema_steps.hpp), all in one transaction, each said on standard error as it runs,
// then the tallies they made new are counted from the reports. A database already at the latest
// version costs one query. A database from before versions were stored is recognised once by
// its shape and given the version that matches; one from a newer server is refused.
#include "server/store/schema_session.hpp"
#include "server/store/schema_steps.hpp"

#include <cstddef>

// Brings the database to `version` (by default the latest; tests build older ones).
void UpgradeSchema(SchemaSession& session, const SqlDialect& dialect,
                   std::size_t version = SchemaSteps().size());
