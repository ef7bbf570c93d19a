// The ODBC engine: unixODBC to SQL Server (FreeTDS's driver, or the vendor's), sending the
// component's statements unchanged. Through the SQLite ODBC driver it reaches a SQLite company
// database instead; then, and only then, statements go through the T-SQL bridge first.
//
// Values by the column's SQL type: BIT → Boolean; TINYINT, SMALLINT, INTEGER, BIGINT → I4 when
// the value is a whole number that fits, else R8; DECIMAL, NUMERIC, FLOAT, REAL, DOUBLE → R8;
// DATE, TIMESTAMP → Date (from the driver's text form; text that is no date stays text);
// everything else → String, read as UTF-8; NULL → Null. The SQLite ODBC driver types a column by
// its declared type, and a computed column by its first row's value.
//
// Errors are ProviderError("ODBC", "[SQLSTATE] (native N) message; ...") with every diagnostic
// record the driver gave, and never a password.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/engine.h"
#include "platform/db/odbc_connection_string.h"

namespace q9::platform::db {

class OdbcEngine : public Engine {
 public:
  // Connects with `target`, waiting at most `login_timeout` seconds (0: no limit) for the login;
  // the target's own login timeout, when it has one, wins. For a SQLite target the database file
  // (and the system database file) must exist, and the system database is attached as VKSystem.
  // Raises the driver's error, prefixed with the redacted connection string.
  static std::unique_ptr<OdbcEngine> Open(const OdbcTarget& target, int login_timeout);
  ~OdbcEngine() override;
  OdbcEngine(const OdbcEngine&) = delete;
  OdbcEngine& operator=(const OdbcEngine&) = delete;

  std::string Name() const override { return "ODBC"; }
  std::string Translate(std::string_view sql) override;
  // Runs one statement: the first result with columns becomes the rows; otherwise the count of
  // rows affected. A statement running past the command timeout is cancelled with HYT00 "Query
  // timeout expired", whether or not the driver keeps the timeout itself.
  StatementResult Run(const std::string& engine_sql) override;
  // Autocommit off until Commit or Rollback; Rollback outside a transaction does nothing.
  void Begin() override;
  void Commit() override;
  void Rollback() override;
  void SetCommandTimeout(int seconds) override { command_timeout_ = seconds; }

  // What the driver calls the database system ("Microsoft SQL Server", "SQLite", ...).
  const std::string& dbms_name() const { return dbms_name_; }
  // True when statements go through the T-SQL bridge (a SQLite target).
  bool translates() const { return translates_; }

 private:
  struct Handles;
  class Watchdog;
  OdbcEngine();
  void ExecPlain(const std::string& sql);
  void EndTransaction(bool commit);

  std::unique_ptr<Handles> handles_;
  std::unique_ptr<Watchdog> watchdog_;
  std::vector<std::string> secrets_;
  std::string dbms_name_;
  bool translates_ = false;
  bool in_transaction_ = false;
  int command_timeout_ = 30;
};

// The drivers the driver manager knows (odbcinst.ini), by name.
std::vector<std::string> InstalledOdbcDrivers();

}  // namespace q9::platform::db
