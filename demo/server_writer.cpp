#include "demo/server_writer.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "demo/generator.h"
#include "platform/error.h"

namespace q9::demo {
namespace {

using platform::ComError;
using platform::ProviderError;

constexpr char kSource[] = "Q9Demo.WriteCompanyToServer";
constexpr int kRowsPerInsert = 200;

std::string Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

bool IsGo(std::string_view line) {
  std::string t = Trim(line);
  return t.size() == 2 && std::toupper(static_cast<unsigned char>(t[0])) == 'G' &&
         std::toupper(static_cast<unsigned char>(t[1])) == 'O';
}

class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw ProviderError(kSource, "无法打开数据库文件 " + path + ": " + message);
    }
  }
  ~SqliteFile() { sqlite3_close(db_); }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;
  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class Query {
 public:
  Query(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
      throw ProviderError(kSource, sqlite3_errmsg(db));
    }
  }
  ~Query() { sqlite3_finalize(stmt_); }
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  bool Next() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw ProviderError(kSource, sqlite3_errmsg(db_));
  }
  sqlite3_stmt* stmt() const { return stmt_; }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

std::vector<std::string> TableNames(sqlite3* db) {
  std::vector<std::string> names;
  Query q(db,
          "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
          "ORDER BY rowid");
  while (q.Next())
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(q.stmt(), 0)));
  return names;
}

std::string Literal(sqlite3_stmt* stmt, int col, const std::string& table) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_column_int64(stmt, col));
    case SQLITE_FLOAT: {
      double v = sqlite3_column_double(stmt, col);
      if (!std::isfinite(v)) {
        throw ProviderError(kSource, table + " holds a number that is not finite");
      }
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", v);
      return buffer;
    }
    case SQLITE_TEXT: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      std::string out = "N'";
      for (const char* p = text; *p; ++p) {
        out += *p;
        if (*p == '\'') out += '\'';
      }
      return out + "'";
    }
    default:
      throw ProviderError(kSource, table + " holds a binary value");
  }
}

void CopyTable(sqlite3* db, const std::string& table, const std::string& target,
               platform::db::Connection& connection) {
  Query rows(db, "SELECT * FROM \"" + table + "\" ORDER BY rowid");
  int columns = sqlite3_column_count(rows.stmt());
  const std::string head = "INSERT INTO " + target + " VALUES ";
  std::string sql;
  int pending = 0;
  auto flush = [&] {
    if (pending == 0) return;
    connection.Run(sql);
    pending = 0;
  };
  connection.BeginTrans();
  try {
    while (rows.Next()) {
      if (pending == 0) {
        sql = head;
      } else {
        sql += ", ";
      }
      sql += "(";
      for (int c = 0; c < columns; ++c) {
        if (c) sql += ", ";
        sql += Literal(rows.stmt(), c, table);
      }
      sql += ")";
      if (++pending == kRowsPerInsert) flush();
    }
    flush();
    connection.CommitTrans();
  } catch (...) {
    if (connection.in_transaction()) {
      try {
        connection.RollbackTrans();
      } catch (const ComError&) {
        // The first error is the one worth reporting.
      }
    }
    throw;
  }
}

class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("q9demo-server-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace

void RunSqlScript(platform::db::Connection& connection, std::string_view script) {
  std::string batch;
  std::string first_line;
  auto run = [&] {
    if (!first_line.empty()) {
      try {
        connection.Run(batch);
      } catch (const ComError& e) {
        throw ComError(e.number(), e.source(), "batch '" + first_line + "': " + e.description());
      }
    }
    batch.clear();
    first_line.clear();
  };
  size_t start = 0;
  while (start <= script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string_view::npos) end = script.size();
    std::string_view line = script.substr(start, end - start);
    if (IsGo(line)) {
      run();
    } else {
      batch.append(line).append("\n");
      std::string t = Trim(line);
      if (first_line.empty() && !t.empty() && t.rfind("--", 0) != 0) first_line = t;
    }
    start = end + 1;
  }
  run();
}

void CopyCompanyTables(const std::string& company_db, const std::string& system_db,
                       platform::db::Connection& connection,
                       const std::function<void(double fraction)>& progress) {
  SqliteFile company(company_db);
  SqliteFile system(system_db);
  std::vector<std::string> company_tables = TableNames(company.handle());
  std::vector<std::string> system_tables = TableNames(system.handle());
  double total = static_cast<double>(company_tables.size() + system_tables.size());
  double done = 0;
  for (const std::string& table : company_tables) {
    CopyTable(company.handle(), table, table, connection);
    if (progress) progress(++done / total);
  }
  for (const std::string& table : system_tables) {
    CopyTable(system.handle(), table, "VKSystem.." + table, connection);
    if (progress) progress(++done / total);
  }
}

void WriteCompanyToServer(const DemoCompany& company, platform::db::Connection& connection,
                          std::string_view schema_script,
                          const std::function<void(double fraction)>& progress) {
  ScratchDirectory scratch;
  std::string company_db = scratch.File("company.db");
  std::string system_db = scratch.File("system.db");
  WriteCompany(company, company_db, system_db);
  RunSqlScript(connection, schema_script);
  CopyCompanyTables(company_db, system_db, connection, progress);
}

}  // namespace q9::demo
