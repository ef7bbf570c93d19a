#include "support/demo_engine.h"

#include <cstdlib>
#include <filesystem>

#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/server_writer.h"
#include "platform/db/connection.h"
#include "support/ledger_rows.h"
#include "support/odbc_drivers.h"

namespace q9::testing {
namespace {

const char* SqlServerConnectionString() {
  const char* cs = std::getenv("Q9STREP_TEST_MSSQL");
  return cs && *cs ? cs : nullptr;
}

demo::DemoCompany Generated(int64_t lines, const std::function<void(demo::DemoCompany&)>& edit) {
  demo::DemoCompany company = demo::GenerateCompany({20261206, lines});
  if (edit) edit(company);
  return company;
}

}  // namespace

std::string DemoEngineName(DemoEngine engine) {
  static const char* const kNames[] = {"embedded", "sqlite_odbc", "mssql"};
  return kNames[static_cast<int>(engine)];
}

std::optional<std::string> DemoEngineUnavailable(DemoEngine engine) {
  if (engine == DemoEngine::kSqliteOdbc && !SqliteOdbcDriverInstalled()) {
    return "the SQLite ODBC driver (Debian libsqliteodbc) is not installed";
  }
  if (engine == DemoEngine::kSqlServer && !SqlServerConnectionString()) {
    return "Q9STREP_TEST_MSSQL is not set: give it the connection string of a scratch SQL "
           "Server database (its VKSystem database is overwritten too) to run this suite "
           "on a real server";
  }
  return std::nullopt;
}

std::string DemoConnectionString(DemoEngine engine, const demo::DemoCompany& company,
                                 const std::string& company_db, const std::string& system_db) {
  switch (engine) {
    case DemoEngine::kEmbedded:
      return demo::EmbeddedConnectionString(company_db, system_db);
    case DemoEngine::kSqliteOdbc:
      return SqliteOdbcConnectionString(company_db, system_db);
    case DemoEngine::kSqlServer:
      break;
  }
  std::string cs = SqlServerConnectionString();
  platform::db::Connection conn;
  conn.Open(cs);
  conn.SetCommandTimeout(0);
  demo::WriteCompanyToServer(company, conn, demo::kMssqlSchemaScript);
  return cs;
}

DemoFiles::DemoFiles(int64_t lines, const std::function<void(demo::DemoCompany&)>& edit)
    : company(Generated(lines, edit)), model(company, demo::kDemoAccount, demo::kDemoLoginYear) {
  demo::WriteCompany(company, dir.File("company.db"), dir.File("system.db"));
}

void DemoFiles::CopyTo(const TempDir& to) const {
  for (const char* file : {"company.db", "system.db"}) {
    std::filesystem::copy_file(dir.File(file), to.File(file));
  }
}

std::string DemoFiles::Connection(DemoEngine engine, const TempDir* files) const {
  const TempDir& at = files ? *files : dir;
  return DemoConnectionString(engine, company, at.File("company.db"), at.File("system.db"));
}

std::string DemoFiles::Bytes() const {
  return FileBytes(dir.File("company.db")) + FileBytes(dir.File("system.db"));
}

}  // namespace q9::testing
