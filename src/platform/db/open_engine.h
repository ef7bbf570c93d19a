// Chooses and opens the engine a connection string names.
#pragma once

#include <memory>
#include <string_view>

#include "platform/db/engine.h"

namespace q9::platform::db {

// "Provider=SQLite;..." opens the embedded engine. An ODBC string ("Driver=..." or "DSN=...")
// or a SQL Server provider ("Provider=SQLOLEDB", "SQLNCLI*", "MSOLEDBSQL") opens the ODBC
// engine (see odbc_connection_string.h for the mapping). Any other provider, or none, is an error
// naming it. `connection_timeout` is in seconds, 0 for no limit.
//
// Errors never show a password. A failure to open is also written to the SQL trace as
// {"event": "open failed", "source": ..., "error": ...}, so the driver's own words are kept where
// a caller shows only its fixed message.
std::unique_ptr<Engine> OpenEngine(std::string_view connection_string, int connection_timeout);

}  // namespace q9::platform::db
