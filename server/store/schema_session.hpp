#pragma once
// What opening a database needs of an engine's connection: statements, queries and the tallies'
// upsert, on whatever transaction the statements opened.
#include "server/store/store_schema.hpp"

#include <string>

class SchemaSession {
  public:
    virtual ~SchemaSession() = default;
    // Runs one or more statements that return nothing the caller reads; throws on failure.
    virtual void Execute(const std::string& sql) = 0;
    // Every row of a query whose columns are text or bytes.
    virtual ResultRows Query(const std::string& sql) = 0;
    virtual void AddTallies(const TallyChanges& changes) = 0;
};
