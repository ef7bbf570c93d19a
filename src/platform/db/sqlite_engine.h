// The embedded engine: a company database file in SQLite, with the system database attached as
// VKSystem, running the component's statements through the T-SQL bridge.
#pragma once

#include <memory>
#include <string>

#include "platform/db/connection_string.h"
#include "platform/db/engine.h"
#include "platform/db/tsql_bridge_schema_facts.h"
#include "platform/error.h"

struct sqlite3;

namespace q9::platform::db {

// What a "Provider=SQLite" connection string says. Keys (any letter case): "Provider",
// "Data Source" (or "Database"), "System Database", "Busy Timeout" (milliseconds a statement
// waits for another connection's lock, default 5000; 0 fails at once), "Connect Timeout" /
// "Connection Timeout" (seconds; accepted for ADO's sake, an open file never waits), and
// "User ID" / "Password" (Connection.Open adds them; a file has no login). Any other key, or a
// timeout that is not a whole number from 0 up, raises ProviderError("SQLite", ...) naming the
// key and its value (a secret's value shown as ***).
struct SqliteOptions {
  std::string data_source;
  std::string system_database;
  int busy_timeout_ms = 5000;
};
SqliteOptions ParseSqliteOptions(const ConnectionString& cs);

class SqliteEngine : public Engine {
 public:
  // Opens the company database with the system database attached as VKSystem (optional). Both
  // must be existing files (or ":memory:"): a missing path, a directory or a device is an error
  // naming the path and what it is, never a new empty database. Writable files are switched to
  // write-ahead logging, so readers never wait for a writer; read-only files open as they are
  // (one in write-ahead logging whose directory is read-only too is opened immutable).
  static std::unique_ptr<SqliteEngine> Open(const ConnectionString& cs);
  ~SqliteEngine() override;

  std::string Name() const override { return "SQLite"; }
  // The T-SQL bridge's translation. A statement that does not begin with SELECT, INSERT, UPDATE
  // or DELETE (after blanks, comments and opening parentheses) is refused with a provider error
  // naming its first word: the component writes no other.
  std::string Translate(std::string_view sql) override;
  StatementResult Run(const std::string& engine_sql) override;
  // Takes the write lock at once (BEGIN IMMEDIATE), waiting up to the busy timeout for another
  // writer: two transactions that both read before writing would otherwise deadlock, and one of
  // them fail, instead of running in turn.
  void Begin() override;
  void Commit() override;
  void Rollback() override;
  void SetCommandTimeout(int seconds) override { command_timeout_ = seconds; }

  sqlite3* handle() const { return db_; }
  // The unique keys and column facts of the main schema, read on the first call and kept for
  // the connection's life: a report server's schema does not change under it (a connection that
  // alters tables would have to read them again).
  const SchemaFacts& Facts();

 private:
  explicit SqliteEngine(sqlite3* db) : db_(db) {}
  void ExecPlain(const char* sql);
  void UseWriteAheadLog(const char* schema);

  sqlite3* db_;
  int command_timeout_ = 30;
  std::unique_ptr<SchemaFacts> facts_;
};

// The engine error of SQLite as the connection reports it, the one place that turns SQLite's
// errors into messages: a lock held past the busy timeout, a condition nested deeper than SQLite
// parses and a LIKE pattern longer than it matches are explained; the engine's own text follows.
ComError SqliteError(sqlite3* db, const std::string& context);

// Reads the tables of the main schema, their columns (affinity, collation, NOT NULL) and their
// full unique keys (unique indexes without a WHERE or expression, primary keys). A table whose
// facts cannot all be read is left out, so no rule relies on it.
SchemaFacts ReadSchemaFacts(sqlite3* db);

}  // namespace q9::platform::db
