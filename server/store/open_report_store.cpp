#include "server/store/report_store.hpp"

bool IsPostgresUrl(const std::string& database)
{
    return database.rfind("postgres://", 0) == 0 || database.rfind("postgresql://", 0) == 0;
}

std::unique_ptr<ReportStore> OpenReportStore(const std::string& database, bool transactionPool)
{
    return IsPostgresUrl(database) ? OpenPostgresStore(database, transactionPool)
                                   : OpenSqliteStore(database);
}
