#include "support/demo_engine.h"

#include <cstdlib>

#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/server_writer.h"
#include "platform/db/connection.h"
#include "support/odbc_drivers.h"

namespace q9::testing {
namespace {

const char* SqlServerConnectionString() {
  const char* cs = std::getenv("Q9STREP_TEST_MSSQL");
  return cs && *cs ? cs : nullptr;
}

}  // namespace

std::string DemoEngineName(DemoEngine engine) {
  switch (engine) {
    case DemoEngine::kEmbedded:
      return "embedded";
    case DemoEngine::kSqliteOdbc:
      return "sqlite_odbc";
    case DemoEngine::kSqlServer:
      return "mssql";
  }
  return {};
}

std::optional<std::string> DemoEngineUnavailable(DemoEngine engine) {
  switch (engine) {
    case DemoEngine::kEmbedded:
      return std::nullopt;
    case DemoEngine::kSqliteOdbc:
      if (SqliteOdbcDriverInstalled()) return std::nullopt;
      return "the SQLite ODBC driver (Debian libsqliteodbc) is not installed";
    case DemoEngine::kSqlServer:
      if (SqlServerConnectionString()) return std::nullopt;
      return "Q9STREP_TEST_MSSQL is not set: give it the connection string of a scratch SQL "
             "Server database (its VKSystem database is overwritten too) to run this suite "
             "on a real server";
  }
  return "unknown engine";
}

std::string DemoConnectionString(DemoEngine engine, const demo::DemoCompany& company,
                                 const std::string& company_db, const std::string& system_db) {
  switch (engine) {
    case DemoEngine::kEmbedded:
      return demo::EmbeddedConnectionString(company_db, system_db);
    case DemoEngine::kSqliteOdbc:
      return SqliteOdbcConnectionString(company_db, system_db);
    case DemoEngine::kSqlServer: {
      std::string cs = SqlServerConnectionString();
      platform::db::Connection conn;
      conn.Open(cs);
      conn.SetCommandTimeout(0);
      demo::WriteCompanyToServer(company, conn, demo::kMssqlSchemaScript);
      return cs;
    }
  }
  return {};
}

}  // namespace q9::testing
