// WriteCompany: stores the generated records into the company and system database files.
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <memory>
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
  Insert(Database& db, const TableDef& table) : db_(db), columns_(table.columns.size()) {
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

// The two files being written: the company tables in one transaction, batch after batch, with
// one prepared INSERT per table; then the indexes, and the system database.
class CompanyFiles {
 public:
  CompanyFiles(const std::string& company_db_path, const std::string& system_db_path)
      : company_(company_db_path), system_db_path_(system_db_path) {
    // A fresh file that is rebuilt whole on failure needs no journal.
    company_.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    company_.Exec(kCompanySchema);
    company_.Exec("BEGIN");
  }

  // Appends every row of the company tables of `company`.
  void Write(const DemoCompany& company, const std::function<void()>& row_done) {
    for (const auto& table : Tables()) {
      if (table->system || table->RowCount(company) == 0) continue;
      std::unique_ptr<Insert>& insert = inserts_[table.get()];
      if (!insert) insert = std::make_unique<Insert>(company_, *table);
      table->ForEachRow(company, *insert, [&] {
        insert->Step();
        row_done();
      });
    }
  }

  // Builds the indexes, closes the company file and writes the system database from `company`.
  void Finish(const DemoCompany& company, const std::function<void()>& row_done) {
    inserts_.clear();
    company_.Exec(kCompanyIndexes);
    // The planner's statistics: without them it drives the grouped ledger reads from the lines
    // in table order and sorts them, instead of walking inventories and their covering index.
    company_.Exec("ANALYZE");
    company_.Exec("COMMIT");
    // Finished files are left in write-ahead logging, the mode the engine reads them in, so the
    // first reader's open does not rewrite the file's header to switch it.
    company_.Exec("PRAGMA journal_mode=WAL");
    Database db(system_db_path_);
    db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    db.Exec(kSystemSchema);
    db.Exec("BEGIN");
    for (const auto& table : Tables()) {
      if (!table->system) continue;
      Insert insert(db, *table);
      table->ForEachRow(company, insert, [&] {
        insert.Step();
        row_done();
      });
    }
    db.Exec("COMMIT");
    db.Exec("PRAGMA journal_mode=WAL");
  }

 private:
  Database company_;
  std::string system_db_path_;
  std::map<const TableDef*, std::unique_ptr<Insert>> inserts_;
};

}  // namespace

void WriteCompany(const DemoCompany& company, const std::string& company_db_path,
                  const std::string& system_db_path,
                  const std::function<void(double fraction)>& progress) {
  size_t rows = 0;
  for (const auto& table : Tables()) rows += table->RowCount(company);
  Progress counter(progress, rows);
  CompanyFiles files(company_db_path, system_db_path);
  files.Write(company, [&] { counter.Row(); });
  files.Finish(company, [&] { counter.Row(); });
  counter.Finish();
}

void WriteGeneratedCompany(const DemoOptions& options, const std::string& company_db_path,
                           const std::string& system_db_path,
                           const std::function<void(double fraction)>& progress) {
  CompanyFiles files(company_db_path, system_db_path);
  // The documents are nearly every row: their share stands for the whole.
  DemoCompany rest = GenerateCompany(options, [&](const DemoCompany& documents, double fraction) {
    files.Write(documents, [] {});
    if (progress && fraction < 1) progress(fraction);
  });
  files.Write(rest, [] {});
  files.Finish(rest, [] {});
  if (progress) progress(1.0);
}

}  // namespace q9::demo
