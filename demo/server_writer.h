// The demo company on a database server: the generator's records written through a connection
// (the ODBC engine) instead of into SQLite files, so that the ledger can run on a real SQL Server.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "demo/company.h"
#include "platform/db/connection.h"

namespace q9::demo {

// Runs a T-SQL script on `connection`, batch by batch; batches are separated by lines that hold
// only GO (any letter case), as sqlcmd reads them. Raises the engine's error for a failing batch,
// with the batch's first line in front.
void RunSqlScript(platform::db::Connection& connection, std::string_view script);

// Fills the server `connection` is open on: runs `schema_script` (kMssqlSchemaScript, which
// drops and re-creates the tables of the connection's database and of VKSystem), then writes every row of `company`. The rows take the way of WriteCompany into
// two temporary SQLite files and are copied from there (CopyCompanyTables), so the server holds
// exactly what the embedded engine reads. `progress` receives the fraction of tables copied.
// Raises the engine's error (the password never shown) and leaves the server half filled then.
void WriteCompanyToServer(const DemoCompany& company, platform::db::Connection& connection,
                          std::string_view schema_script,
                          const std::function<void(double fraction)>& progress = {});

// Copies every row of the SQLite files `company_db` and `system_db` (as WriteCompany makes them)
// into the tables of the same names reached through `connection`: company tables by their names,
// system tables as VKSystem..<name>. The target tables must exist with the same columns in the
// same order and be empty. One transaction per table; INSERT statements of up to 200 rows with
// literal values: N'text' (quotes doubled), numbers with 17 significant digits, dates as the
// 'YYYY-MM-DD' text the files hold (SQL Server reads that as year-month-day under the
// SET DATEFORMAT ymd of the schema script). Runs through the connection's engine, so a SQLite
// target reached through the SQLite ODBC driver works as well (the T-SQL bridge translates).
void CopyCompanyTables(const std::string& company_db, const std::string& system_db,
                       platform::db::Connection& connection,
                       const std::function<void(double fraction)>& progress = {});

}  // namespace q9::demo
