#pragma once
// The SQLite data folder and its files hold account numbers and MAC addresses: they are the
// service's alone, whatever modes an earlier build or a copy gave them.
#include <string>

// Makes the folder (created when missing) 0700 and the database file with its write-ahead log,
// shared-memory and rollback journal files 0600 where they exist, and says on standard error
// which ones allowed more.
void KeepStorePrivate(const std::string& folder, const std::string& database);
