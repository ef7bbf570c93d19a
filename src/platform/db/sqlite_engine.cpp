#include "platform/db/sqlite_engine.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/db/tsql_bridge.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

enum class DeclKind { kOther, kDate, kBit };

DeclKind KindOf(const char* decl) {
  if (!decl) return DeclKind::kOther;
  std::string d;
  for (const char* p = decl; *p; ++p) d += static_cast<char>(std::toupper(*p));
  if (d == "DATE" || d == "DATETIME" || d == "SMALLDATETIME") return DeclKind::kDate;
  if (d == "BIT" || d == "BOOLEAN") return DeclKind::kBit;
  return DeclKind::kOther;
}

void AppendCell(RowSet& rows, sqlite3_stmt* stmt, int col, DeclKind kind) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_NULL: rows.AppendNull(); return;
    case SQLITE_INTEGER: {
      sqlite3_int64 v = sqlite3_column_int64(stmt, col);
      if (kind == DeclKind::kBit) {
        rows.AppendBoolean(v != 0);
      } else if (v >= INT32_MIN && v <= INT32_MAX) {
        rows.AppendInteger(static_cast<int32_t>(v));
      } else {
        rows.AppendDouble(static_cast<double>(v));
      }
      return;
    }
    case SQLITE_FLOAT: rows.AppendDouble(sqlite3_column_double(stmt, col)); return;
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      std::string_view s(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, col)));
      if (kind == DeclKind::kDate) {
        if (auto d = Date::Parse(s)) {
          rows.AppendDate(*d);
          return;
        }
      }
      rows.AppendText(s);
    }
  }
}

// Interrupts a statement that runs past its deadline.
struct Deadline {
  std::chrono::steady_clock::time_point until;
};

int CheckDeadline(void* arg) {
  auto* d = static_cast<Deadline*>(arg);
  return std::chrono::steady_clock::now() > d->until ? 1 : 0;
}

// The word a statement begins with, after blanks, comments and opening parentheses; empty for a
// statement of blanks and comments only. `at` receives its byte offset.
std::string_view LeadingWord(std::string_view sql, std::size_t& at) {
  std::size_t i = 0;
  while (i < sql.size()) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    if (std::isspace(c) || c == '(') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      i = sql.find('\n', i);
      if (i == std::string_view::npos) return {};
    } else if (sql.substr(i, 2) == "/*") {
      i = sql.find("*/", i + 2);
      if (i == std::string_view::npos) return {};
      i += 2;
    } else {
      at = i;
      std::size_t end = i;
      while (end < sql.size() &&
             (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) {
        ++end;
      }
      return sql.substr(i, std::max(end, i + 1) - i);
    }
  }
  return {};
}

// The component runs queries and the writes of its format rows. Any other statement (a DDL
// statement, or SQLite's own PRAGMA, ATTACH or VACUUM) would run with whatever meaning SQLite gives
// it, so the engine refuses it before translating.
void RequireQueryOrWrite(std::string_view sql) {
  std::size_t at = 0;
  std::string_view word = LeadingWord(sql, at);
  if (word.empty()) return;
  std::string upper;
  for (char c : word) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "SELECT" || upper == "INSERT" || upper == "UPDATE" || upper == "DELETE") return;
  throw ProviderError("SQLite",
                      "the embedded engine runs SELECT, INSERT, UPDATE and DELETE "
                      "statements only, not one that begins with '" +
                          std::string(word) + "' (at byte " + std::to_string(at + 1) + ")");
}

}  // namespace

ComError SqliteError(sqlite3* db, const std::string& context) {
  std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
  if (!context.empty()) msg = context + ": " + msg;
  return ProviderError("SQLite", msg);
}

std::unique_ptr<SqliteEngine> SqliteEngine::Open(const ConnectionString& cs) {
  auto source = cs.Get("Data Source");
  if (!source) source = cs.Get("Database");
  if (!source || source->empty()) {
    throw ProviderError("SQLite", "the connection string names no database (Data Source)");
  }
  bool memory = *source == ":memory:";
  if (!memory && !std::filesystem::is_regular_file(*source)) {
    throw ProviderError("SQLite", "the company database '" + *source + "' does not exist");
  }
  auto system = cs.Get("System Database");
  if (system && !system->empty() && *system != ":memory:" &&
      !std::filesystem::is_regular_file(*system)) {
    throw ProviderError("SQLite", "the system database '" + *system + "' does not exist");
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(source->c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    ComError e = SqliteError(db, "cannot open '" + *source + "'");
    sqlite3_close(db);
    throw e;
  }
  std::unique_ptr<SqliteEngine> engine(new SqliteEngine(db));
  engine->ExecPlain("PRAGMA foreign_keys = OFF");
  // The ledger statements read hundreds of megabytes of a large company at random (headers by
  // line, inventories by code): pages are read through a memory map instead of one system call
  // each, the page cache may grow to hold the ledger's tables and indexes (it only grows as
  // pages are read), and the sorts of GROUP BY and DISTINCT stay in memory.
  engine->ExecPlain("PRAGMA mmap_size = 2147418112");
  engine->ExecPlain("PRAGMA cache_size = -262144");
  engine->ExecPlain("PRAGMA temp_store = MEMORY");
  if (system && !system->empty()) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS VKSystem", -1, &stmt, nullptr) !=
        SQLITE_OK) {
      throw SqliteError(db, "attach");
    }
    sqlite3_bind_text(stmt, 1, system->c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw SqliteError(db, "cannot attach '" + *system + "'");
  }
  return engine;
}

SqliteEngine::~SqliteEngine() { sqlite3_close_v2(db_); }

std::string SqliteEngine::Translate(std::string_view sql) {
  RequireQueryOrWrite(sql);
  return TranslateTsqlToSqlite(sql);
}

void SqliteEngine::ExecPlain(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "unknown error";
    sqlite3_free(err);
    throw ProviderError("SQLite", msg);
  }
}

StatementResult SqliteEngine::Run(const std::string& engine_sql) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, engine_sql.c_str(), static_cast<int>(engine_sql.size()), &stmt,
                         &tail) != SQLITE_OK) {
    throw SqliteError(db_, "");
  }
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
  if (!stmt) return {nullptr, 0};  // only blanks or comments
  for (const char* p = tail; p && *p; ++p) {
    if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';') {
      throw ProviderError("SQLite", "only one statement can run at a time");
    }
  }

  Deadline deadline;
  if (command_timeout_ > 0) {
    deadline.until = std::chrono::steady_clock::now() + std::chrono::seconds(command_timeout_);
    sqlite3_progress_handler(db_, 10000, CheckDeadline, &deadline);
  }
  struct ClearHandler {
    sqlite3* db;
    ~ClearHandler() { sqlite3_progress_handler(db, 0, nullptr, nullptr); }
  } clear{db_};

  int columns = sqlite3_column_count(stmt);
  StatementResult result;
  std::shared_ptr<RowSet> rows;
  std::vector<DeclKind> kinds;
  if (columns > 0) {
    std::vector<std::string> names;
    for (int c = 0; c < columns; ++c) {
      names.emplace_back(sqlite3_column_name(stmt, c));
      kinds.push_back(KindOf(sqlite3_column_decltype(stmt, c)));
    }
    rows = std::make_shared<RowSet>(std::move(names));
  }
  for (;;) {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      if (rc == SQLITE_INTERRUPT && command_timeout_ > 0) {
        throw ProviderError("SQLite", "Query timeout expired");
      }
      throw SqliteError(db_, "");
    }
    for (int c = 0; c < columns; ++c) AppendCell(*rows, stmt, c, kinds[c]);
  }
  if (rows) {
    rows->ShrinkToFit();
    result.rows = std::move(rows);
  } else {
    result.rows_affected = sqlite3_changes(db_);
  }
  return result;
}

void SqliteEngine::Begin() { ExecPlain("BEGIN"); }
void SqliteEngine::Commit() { ExecPlain("COMMIT"); }
void SqliteEngine::Rollback() {
  if (!sqlite3_get_autocommit(db_)) ExecPlain("ROLLBACK");
}

}  // namespace q9::platform::db
