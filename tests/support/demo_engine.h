// The engines an end-to-end suite runs the demo company on: the embedded SQLite engine, the ODBC
// engine through the SQLite ODBC driver, and a real SQL Server through the ODBC engine when the
// environment variable Q9STREP_TEST_MSSQL holds its connection string (an ODBC string or the
// ADO-style string of an ERP login). The server's database and its VKSystem database are
// scratch: filling them drops and re-creates the demo tables (demo::kMssqlSchemaScript).
#pragma once

#include <optional>
#include <string>

#include "demo/company.h"

namespace q9::testing {

enum class DemoEngine { kEmbedded, kSqliteOdbc, kSqlServer };

// "embedded", "sqlite_odbc", "mssql" (usable in test names).
std::string DemoEngineName(DemoEngine engine);

// Why `engine` cannot run here, for GTEST_SKIP; nothing when it can.
std::optional<std::string> DemoEngineUnavailable(DemoEngine engine);

// The connection string a caller's login carries (VkDbName) for the demo company `company`, which
// WriteCompany wrote into `company_db` and `system_db`. The SQLite engines read those files; for
// kSqlServer the server is filled with `company` first, on every call (a few seconds for a small
// company), so a test that writes can ask again for a fresh copy.
std::string DemoConnectionString(DemoEngine engine, const demo::DemoCompany& company,
                                 const std::string& company_db, const std::string& system_db);

}  // namespace q9::testing
