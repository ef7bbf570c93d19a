// WriteCompany: stores the generated records into the company and system database files.
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/tables.h"
#include "platform/error.h"

namespace q9::demo {
namespace {

using platform::ProviderError;

constexpr char kSource[] = "Q9Demo.WriteCompany";

class Database {
 public:
  explicit Database(const std::string& path) : path_(path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw ProviderError(kSource, "无法创建数据库文件 " + path + ": " + message);
    }
  }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Exec(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw Fail(message);
    }
  }

  platform::ComError Fail(const std::string& message) const {
    return ProviderError(kSource, "写入数据库文件 " + path_ + " 失败: " + message);
  }

  sqlite3* handle() const { return db_; }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

// One prepared INSERT of a whole row; the values arrive in column order. Texts are bound without
// copying: the records outlive the step.
class Insert : public ValueSink {
 public:
  Insert(Database& db, const TableSpec& table) : db_(db), columns_(table.columns.size()) {
    std::string sql = "INSERT INTO " + table.name + " VALUES (";
    for (size_t i = 0; i < columns_; ++i) sql += i ? ",?" : "?";
    sql += ")";
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
      throw db.Fail(sqlite3_errmsg(db.handle()));
    }
  }
  ~Insert() override { sqlite3_finalize(stmt_); }
  Insert(const Insert&) = delete;
  Insert& operator=(const Insert&) = delete;

  void Null() override { ++next_; }  // unbound parameters are NULL
  void Integer(int64_t v) override { sqlite3_bind_int64(stmt_, ++next_, v); }
  void Real(double v) override { sqlite3_bind_double(stmt_, ++next_, v); }
  void Text(std::string_view v) override {
    sqlite3_bind_text(stmt_, ++next_, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }

  void Step() {
    if (static_cast<size_t>(next_) != columns_) {
      throw db_.Fail("a row of " + std::to_string(next_) + " values for " +
                     std::to_string(columns_) + " columns");
    }
    if (sqlite3_step(stmt_) != SQLITE_DONE) throw db_.Fail(sqlite3_errmsg(db_.handle()));
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    next_ = 0;
  }

 private:
  Database& db_;
  size_t columns_;
  sqlite3_stmt* stmt_ = nullptr;
  int next_ = 0;
};

// Counts written rows and reports the fraction now and then.
class Progress {
 public:
  Progress(const std::function<void(double)>& callback, size_t total)
      : callback_(callback), total_(total == 0 ? 1 : total) {}
  void Row() {
    if (++done_ % 16384 == 0 && callback_) {
      callback_(static_cast<double>(done_) / static_cast<double>(total_));
    }
  }
  void Finish() {
    if (callback_) callback_(1.0);
  }

 private:
  const std::function<void(double)>& callback_;
  size_t total_;
  size_t done_ = 0;
};

void WriteTables(Database& db, const DemoCompany& company, bool system, Progress& progress) {
  for (const auto& table : Tables()) {
    if (table->system != system) continue;
    Insert insert(db, *table);
    table->ForEachRow(company, insert, [&] {
      insert.Step();
      progress.Row();
    });
  }
}

}  // namespace

void WriteCompany(const DemoCompany& company, const std::string& company_db_path,
                  const std::string& system_db_path,
                  const std::function<void(double fraction)>& progress) {
  size_t rows = 0;
  for (const auto& table : Tables()) rows += table->RowCount(company);
  Progress counter(progress, rows);
  {
    Database db(company_db_path);
    // A fresh file that is rebuilt whole on failure needs no journal.
    db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    db.Exec(kCompanySchema);
    db.Exec("BEGIN");
    WriteTables(db, company, false, counter);
    db.Exec(kCompanyIndexes);
    // The planner's statistics: without them it drives the grouped ledger reads from the lines
    // in table order and sorts them, instead of walking inventories and their covering index.
    db.Exec("ANALYZE");
    db.Exec("COMMIT");
  }
  {
    Database db(system_db_path);
    db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    db.Exec(kSystemSchema);
    db.Exec("BEGIN");
    WriteTables(db, company, true, counter);
    db.Exec("COMMIT");
  }
  counter.Finish();
}

}  // namespace q9::demo
