#include "platform/db/sqlite_engine.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/db/database_file.h"
#include "platform/db/tsql_bridge.h"
#include "platform/dispatch.h"
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
    case SQLITE_NULL:
      rows.AppendNull();
      return;
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
    case SQLITE_FLOAT:
      rows.AppendDouble(sqlite3_column_double(stmt, col));
      return;
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
  const int code = db ? sqlite3_extended_errcode(db) & 0xff : SQLITE_NOMEM;
  if (code == SQLITE_BUSY) {
    msg = "another connection held the database locked for longer than the busy timeout (" + msg +
          ")";
  } else if (msg.starts_with("Expression tree is too large")) {
    msg = "the statement's condition is nested deeper than the embedded engine can parse (" + msg +
          ")";
  } else if (msg == "LIKE or GLOB pattern too complex") {
    msg = "a LIKE pattern is longer than the embedded engine matches (" +
          std::to_string(db ? sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1) : 0) +
          " bytes); no code is that long (" + msg + ")";
  }
  if (!context.empty()) msg = context + ": " + msg;
  return ProviderError("SQLite", msg);
}

namespace {

ComError OptionError(const std::string& text) { return ProviderError("SQLite", text); }

// A whole number from 0 to INT_MAX, written with digits only.
int WholeNumber(const std::string& key, const std::string& value, const char* unit) {
  std::string_view v(value);
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  bool digits = !v.empty() && v.size() <= 10 &&
                std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoll(std::string(v)) > INT32_MAX) {
    throw OptionError("the connection string's " + key + " '" + value + "' is not a number of " +
                      unit + " (0 to 2147483647)");
  }
  return static_cast<int>(std::stoll(std::string(v)));
}

bool IsKey(std::string_view key, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(),
                     [key](std::string_view n) { return SameMemberName(key, n); });
}

// The name SQLite opens `path` by. A file in write-ahead logging needs its -shm file beside it
// even to be read; where neither the file nor its directory may be written (a read-only copy),
// SQLite cannot create one, so such a file is opened immutable: read as it stands, unlocked,
// which is safe because no one can write it through SQLite there either.
std::string SqliteFileName(const std::string& path) {
  if (path == ":memory:" || access(path.c_str(), W_OK) == 0) return path;
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  const std::string dir_name = dir.empty() ? std::string(".") : dir.string();
  if (access(dir_name.c_str(), W_OK) == 0) return path;
  char header[20] = {};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  bool wal = f && std::fread(header, 1, sizeof header, f) == sizeof header && header[18] == 2;
  if (f) std::fclose(f);
  if (!wal) return path;
  std::string uri = "file:";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static const char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[c & 0xf];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

}  // namespace

SqliteOptions ParseSqliteOptions(const ConnectionString& cs) {
  SqliteOptions options;
  for (const auto& [key, value] : cs.pairs()) {
    if (IsKey(key, {"Data Source", "Database"})) {
      options.data_source = value;
    } else if (IsKey(key, {"System Database"})) {
      options.system_database = value;
    } else if (IsKey(key, {"Busy Timeout"})) {
      options.busy_timeout_ms = WholeNumber(key, value, "milliseconds");
    } else if (IsKey(key, {"Connect Timeout", "Connection Timeout"})) {
      WholeNumber(key, value, "seconds");
    } else if (!IsKey(key, {"Provider", "User ID", "Password"})) {
      throw OptionError("the connection string key '" + key + "' (value '" +
                        (IsSecretKey(key) ? std::string("***") : value) +
                        "') is not understood for Provider=SQLite");
    }
  }
  if (options.data_source.empty()) {
    throw ProviderError("SQLite", "the connection string names no database (Data Source)");
  }
  return options;
}

std::unique_ptr<SqliteEngine> SqliteEngine::Open(const ConnectionString& cs) {
  const SqliteOptions options = ParseSqliteOptions(cs);
  const std::string& source = options.data_source;
  const std::string& system = options.system_database;
  RequireDatabaseFile(source, "company database", "SQLite");
  if (!system.empty()) RequireDatabaseFile(system, "system database", "SQLite");
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(SqliteFileName(source).c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
  if (rc != SQLITE_OK) {
    ComError e = SqliteError(db, "cannot open '" + source + "'");
    sqlite3_close(db);
    throw e;
  }
  std::unique_ptr<SqliteEngine> engine(new SqliteEngine(db));
  sqlite3_busy_timeout(db, options.busy_timeout_ms);
  engine->ExecPlain("PRAGMA foreign_keys = OFF");
  // The ledger statements read hundreds of megabytes of a large company at random (headers by
  // line, inventories by code): pages are read through a memory map instead of one system call
  // each. The page cache then holds little but written pages, and its size is also what the
  // sorts of GROUP BY and DISTINCT keep in memory: beyond 8 MiB they spill to temporary files,
  // which costs no measurable time but keeps a summary of a million lines (and each web
  // session) from holding all its records in memory.
  engine->ExecPlain("PRAGMA mmap_size = 2147418112");
  engine->ExecPlain("PRAGMA cache_size = -8192");
  engine->ExecPlain("PRAGMA temp_store = FILE");
  if (!system.empty()) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS VKSystem", -1, &stmt, nullptr) != SQLITE_OK) {
      throw SqliteError(db, "attach");
    }
    sqlite3_bind_text(stmt, 1, SqliteFileName(system).c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw SqliteError(db, "cannot attach '" + system + "'");
  }
  engine->UseWriteAheadLog("main");
  if (!system.empty()) engine->UseWriteAheadLog("VKSystem");
  return engine;
}

void SqliteEngine::UseWriteAheadLog(const char* schema) {
  // Read-only files (and in-memory databases) keep their journal; a file that cannot switch now
  // (another connection holds it past the busy timeout) still works in its current mode.
  if (sqlite3_db_readonly(db_, schema) != 0) return;
  const char* file = sqlite3_db_filename(db_, schema);
  if (!file || !*file) return;
  const std::string pragma = std::string("PRAGMA ") + schema + ".journal_mode = WAL";
  sqlite3_exec(db_, pragma.c_str(), nullptr, nullptr, nullptr);
}

SqliteEngine::~SqliteEngine() { sqlite3_close_v2(db_); }

std::string SqliteEngine::Translate(std::string_view sql) {
  RequireQueryOrWrite(sql);
  // The schema is read only when a rule that needs it is on.
  return TranslateTsqlToSqlite(
      sql, kAllBridgeRules,
      (kAllBridgeRules & (kRuleGroupBelowUniqueKeyJoins | kRuleRegroupBelowUniqueKeyJoins)) != 0
          ? &Facts()
          : nullptr);
}

const SchemaFacts& SqliteEngine::Facts() {
  if (!facts_) facts_ = std::make_unique<SchemaFacts>(ReadSchemaFacts(db_));
  return *facts_;
}

namespace {

std::string UpperAscii(const unsigned char* text) {
  std::string s = text ? reinterpret_cast<const char*>(text) : "";
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Runs `sql` and calls `row` with each result row; false when it fails.
template <typename Row>
bool EachRow(sqlite3* db, const std::string& sql, Row row) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) row(stmt);
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE;
}

std::string Quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + '"';
}

bool ReadTable(sqlite3* db, const std::string& table, TableFacts& facts) {
  std::vector<std::string> names;
  std::vector<std::string> key_columns;  // the primary key's columns
  std::vector<std::string> key_types;
  if (!EachRow(db, "PRAGMA main.table_info(" + Quoted(table) + ")", [&](sqlite3_stmt* s) {
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
        if (sqlite3_column_int(s, 5) > 0) {
          key_columns.push_back(UpperAscii(sqlite3_column_text(s, 1)));
          key_types.push_back(UpperAscii(sqlite3_column_text(s, 2)));
        }
      })) {
    return false;
  }
  for (const std::string& name : names) {
    const char* type = nullptr;
    const char* collation = nullptr;
    int not_null = 0;
    int primary = 0;
    int autoincrement = 0;
    if (sqlite3_table_column_metadata(db, "main", table.c_str(), name.c_str(), &type, &collation,
                                      &not_null, &primary, &autoincrement) != SQLITE_OK) {
      return false;
    }
    ColumnFacts column;
    column.name = name;
    column.affinity = AffinityOfDeclaredType(type ? type : "");
    column.collation = UpperAscii(reinterpret_cast<const unsigned char*>(collation));
    column.not_null = not_null != 0;
    facts.columns[UpperAscii(reinterpret_cast<const unsigned char*>(name.c_str()))] = column;
  }
  // A single INTEGER PRIMARY KEY is the rowid: unique, never NULL, and in no index list.
  if (key_columns.size() == 1 && key_types[0] == "INTEGER") {
    facts.columns[key_columns[0]].not_null = true;
    facts.unique_keys.push_back({key_columns, {"BINARY"}});
  }
  std::vector<std::pair<std::string, bool>> indexes;  // full indexes, unique or not
  if (!EachRow(db, "PRAGMA main.index_list(" + Quoted(table) + ")", [&](sqlite3_stmt* s) {
        if (sqlite3_column_int(s, 4) == 0) {
          indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                               sqlite3_column_int(s, 2) != 0);
        }
      })) {
    return false;
  }
  for (const auto& [index, unique] : indexes) {
    UniqueKeyFacts key;
    std::vector<std::string> leading;
    bool plain = true;
    if (!EachRow(db, "PRAGMA main.index_xinfo(" + Quoted(index) + ")", [&](sqlite3_stmt* s) {
          if (sqlite3_column_int(s, 5) == 0) return;        // the rowid after the key columns
          if (sqlite3_column_int(s, 1) < 0) plain = false;  // an expression
          key.columns.push_back(UpperAscii(sqlite3_column_text(s, 2)));
          key.collations.push_back(UpperAscii(sqlite3_column_text(s, 4)));
          if (plain) leading.push_back(key.columns.back());
        })) {
      return false;
    }
    if (!leading.empty()) facts.indexes.push_back(std::move(leading));
    if (unique && plain && !key.columns.empty()) facts.unique_keys.push_back(std::move(key));
  }
  return true;
}

}  // namespace

SchemaFacts ReadSchemaFacts(sqlite3* db) {
  SchemaFacts facts;
  std::vector<std::string> tables;
  EachRow(db,
          "SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE "
          "'sqlite\\_%' ESCAPE '\\'",
          [&](sqlite3_stmt* s) {
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
          });
  // A name that a temporary table shadows is not the main schema's table.
  std::vector<std::string> shadowed;
  EachRow(db, "SELECT upper(name) FROM temp.sqlite_master WHERE type IN ('table', 'view')",
          [&](sqlite3_stmt* s) {
            shadowed.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
          });
  for (const std::string& table : tables) {
    const std::string upper = UpperAscii(reinterpret_cast<const unsigned char*>(table.c_str()));
    if (std::find(shadowed.begin(), shadowed.end(), upper) != shadowed.end()) continue;
    TableFacts t;
    if (ReadTable(db, table, t)) facts.tables[upper] = std::move(t);
  }
  return facts;
}

void SqliteEngine::ExecPlain(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw SqliteError(db_, "");
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

void SqliteEngine::Begin() { ExecPlain("BEGIN IMMEDIATE"); }
void SqliteEngine::Commit() { ExecPlain("COMMIT"); }
void SqliteEngine::Rollback() {
  if (!sqlite3_get_autocommit(db_)) ExecPlain("ROLLBACK");
}

}  // namespace q9::platform::db
