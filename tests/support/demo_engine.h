// The demo company as the end-to-end suites use it: generated, written to SQLite files of its own
// and modelled by the reference ledger, and the engines a suite runs it on: the embedded SQLite
// engine, the ODBC engine through the SQLite ODBC driver, and a real SQL Server through the ODBC
// engine when the environment variable Q9STREP_TEST_MSSQL holds its connection string (an ODBC
// string or the ADO-style string of an ERP login). The server's database and its VKSystem
// database are scratch: filling them drops and re-creates the demo tables
// (demo::kMssqlSchemaScript).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "demo/company.h"
#include "support/reference_ledger.h"
#include "support/temp_dir.h"

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

// A company of `lines` document lines (seed 20261206), changed by `edit` before it is written to
// company.db and system.db in `dir`, and the reference ledger of the demo account over it. A suite
// keeps one in a function-local static, so it is made once per run of the binary.
struct DemoFiles {
  explicit DemoFiles(int64_t lines, const std::function<void(demo::DemoCompany&)>& edit = {});

  TempDir dir;
  demo::DemoCompany company;
  ReferenceLedger model;

  // Copies company.db and system.db into `to`, for a test that writes.
  void CopyTo(const TempDir& to) const;
  // The connection string of `engine` on the files in `files` (a copy) or else in `dir`.
  std::string Connection(DemoEngine engine = DemoEngine::kEmbedded,
                         const TempDir* files = nullptr) const;
  // Both files' bytes, to show that nothing was written.
  std::string Bytes() const;
};

}  // namespace q9::testing
