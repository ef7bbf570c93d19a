#include "support/services_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "demo/schema.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"

namespace q9::testing {
namespace {

constexpr const char* kCompanySchema = R"sql(
CREATE TABLE UserDef (cID INTEGER, cClass TEXT, cItem TEXT, cItemName TEXT);
CREATE TABLE Rpt_GlbDEF (ID INTEGER, SystemID TEXT COLLATE NOCASE, Name TEXT COLLATE NOCASE);
CREATE TABLE Rpt_FldDef (ID INTEGER, ORDEREx INTEGER, Width INTEGER, Visible INTEGER,
                         cFieldName TEXT DEFAULT '', cCaption TEXT DEFAULT '未命名');
CREATE TABLE Warehouse (cWhCode TEXT COLLATE NOCASE PRIMARY KEY, cWhName TEXT);
CREATE TABLE Inventory (cInvCode TEXT COLLATE NOCASE PRIMARY KEY, cInvName TEXT, cInvStd TEXT);
CREATE TABLE InventoryClass (cInvCCode TEXT COLLATE NOCASE PRIMARY KEY, cInvCName TEXT);
CREATE TABLE Position (cPosCode TEXT COLLATE NOCASE PRIMARY KEY, cPosName TEXT);
CREATE TABLE Department (cDepCode TEXT COLLATE NOCASE PRIMARY KEY, cDepName TEXT);
CREATE TABLE Person (cPersonCode TEXT COLLATE NOCASE PRIMARY KEY, cPersonName TEXT);
CREATE TABLE Vendor (cVenCode TEXT COLLATE NOCASE PRIMARY KEY, cVenName TEXT);
CREATE TABLE Customer (cCusCode TEXT COLLATE NOCASE PRIMARY KEY, cCusName TEXT);
)sql";

// The system tables are the demo system database's; the rows are this fixture's own.
constexpr const char* kSystemRows = R"sql(
INSERT INTO VA_User (cUser_Id, cUser_Name) VALUES ('demo', '演示用户');
INSERT INTO VA_Account VALUES ('001', '演示账套', '2024-01-01');
WITH RECURSIVE m(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM m WHERE i < 12)
INSERT INTO VA_Period SELECT '001', 2024, i, date('2024-01-01', '+' || (i - 1) || ' months'),
                             date('2024-01-01', '+' || i || ' months', '-1 day') FROM m;
)sql";

}  // namespace

ServicesDatabase::ServicesDatabase()
    : company_(dir_.File("company.db")), system_(dir_.File("system.db")) {
  ExecSqlite(company_, kCompanySchema);
  ExecSqlite(system_, std::string(demo::kSystemSchema) + ";" + kSystemRows);
}

ServicesDatabase::~ServicesDatabase() = default;

std::string ServicesDatabase::connection_string() const {
  return "Provider=SQLite;Data Source=" + company_ + ";System Database=" + system_;
}

void ServicesDatabase::Exec(std::string_view sql) const { ExecSqlite(company_, std::string(sql)); }

void ServicesDatabase::ExecSystem(std::string_view sql) const {
  ExecSqlite(system_, std::string(sql));
}

std::vector<std::vector<std::string>> ServicesDatabase::Rows(std::string_view sql) const {
  return SqliteRows(company_, sql);
}

platform::Variant ServicesDatabase::CallerLogin() const {
  return platform::Variant(
      platform::erp::MakeCallerLogin(connection_string(), kUser, kAccount, kYear));
}

std::vector<std::vector<std::string>> SqliteRows(const std::string& db_path, std::string_view sql,
                                                 const AttachedDbs& attached) {
  sqlite3* db = nullptr;
  std::vector<std::vector<std::string>> rows;
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << db_path;
    sqlite3_close(db);
    return rows;
  }
  std::string attach;
  for (const auto& [file, name] : attached) attach += "ATTACH '" + file + "' AS " + name + ";";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, std::string(sql).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "fixture query failed: " << sqlite3_errmsg(db) << "\n" << sql;
    sqlite3_close(db);
    return rows;
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE)
    ADD_FAILURE() << "fixture query failed: " << sqlite3_errmsg(db) << "\n" << sql;
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

std::vector<std::vector<std::string>> RecordsetRows(const platform::Variant& rs,
                                                    const std::vector<std::string>& columns) {
  auto cursor = platform::db::AsRecordset(rs, "RecordsetRows")->Clone();
  auto text = [](const platform::Variant& v) { return v.is_null() ? "NULL" : v.ToText(); };
  std::vector<std::vector<std::string>> rows;
  for (; !cursor->Eof(); cursor->MoveNext()) {
    std::vector<std::string>& row = rows.emplace_back();
    for (size_t c = 0; columns.empty() && c < cursor->FieldCount(); ++c) {
      row.push_back(text(cursor->Field(c)));
    }
    for (const std::string& name : columns) row.push_back(text(cursor->Field(name)));
  }
  return rows;
}

std::vector<std::string> RecordsetFields(const platform::Variant& rs) {
  auto cursor = platform::db::AsRecordset(rs, "RecordsetFields");
  std::vector<std::string> names;
  for (size_t c = 0; c < cursor->FieldCount(); ++c) names.push_back(cursor->FieldName(c));
  return names;
}

}  // namespace q9::testing
