// The embedded engine: a company database file in SQLite, with the system database attached as
// VKSystem, running the component's statements through the T-SQL bridge.
#pragma once

#include <memory>
#include <string>

#include "platform/db/connection_string.h"
#include "platform/db/engine.h"
#include "platform/error.h"

struct sqlite3;

namespace q9::platform::db {

class SqliteEngine : public Engine {
 public:
  // Keys: "Data Source" (the company database file, or ":memory:"), "System Database" (the
  // system database file, attached as VKSystem; optional). Both files must exist: a missing
  // file is an error naming it, never a new empty database.
  static std::unique_ptr<SqliteEngine> Open(const ConnectionString& cs);
  ~SqliteEngine() override;

  std::string Name() const override { return "SQLite"; }
  // The T-SQL bridge's translation. A statement that does not begin with SELECT, INSERT, UPDATE
  // or DELETE (after blanks, comments and opening parentheses) is refused with a provider error
  // naming its first word: the component writes no other.
  std::string Translate(std::string_view sql) override;
  StatementResult Run(const std::string& engine_sql) override;
  void Begin() override;
  void Commit() override;
  void Rollback() override;
  void SetCommandTimeout(int seconds) override { command_timeout_ = seconds; }

  sqlite3* handle() const { return db_; }

 private:
  explicit SqliteEngine(sqlite3* db) : db_(db) {}
  void ExecPlain(const char* sql);

  sqlite3* db_;
  int command_timeout_ = 30;
};

// The engine error of SQLite as the connection reports it.
ComError SqliteError(sqlite3* db, const std::string& context);

}  // namespace q9::platform::db
