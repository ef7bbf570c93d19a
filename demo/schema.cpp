#include "demo/schema.h"

#include <memory>
#include <vector>

#include "demo/tables.h"

namespace q9::demo {
namespace {

enum class Dialect { kSqlite, kTsql };

// Every text column on SQL Server: case-insensitive, one collation for all.
constexpr char kTsqlCollation[] = " COLLATE Chinese_PRC_CI_AS";

std::string TypeOf(const ColumnDef& c, Dialect d) {
  bool sqlite = d == Dialect::kSqlite;
  switch (c.type) {
    case ColumnType::kCode:
      return sqlite ? "TEXT COLLATE NOCASE" : std::string("NVARCHAR(60)") + kTsqlCollation;
    case ColumnType::kText:
      return sqlite ? "TEXT" : std::string("NVARCHAR(255)") + kTsqlCollation;
    case ColumnType::kInteger:
      return sqlite ? "INTEGER" : "INT";
    case ColumnType::kReal:
      return sqlite ? "REAL" : "FLOAT";
    case ColumnType::kBit:
      return "BIT";
    case ColumnType::kDate:
      return sqlite ? "DATE" : "DATETIME";
  }
  return "TEXT";
}

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

// "VKSystem.dbo.<name>" for a system table on SQL Server, else the name.
std::string QualifiedName(const TableDef& t, Dialect d) {
  return t.system && d == Dialect::kTsql ? "VKSystem.dbo." + t.name : t.name;
}

std::string CreateTable(const TableDef& t, Dialect d) {
  std::string sql = "CREATE TABLE " + QualifiedName(t, d) + " (";
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnDef& c = t.columns[i];
    bool key = (c.constraints & kPrimaryKey) != 0;
    // A primary key is never NULL: SQL Server requires the declaration, and SQLite, which would
    // accept NULLs in a key that is not the rowid, needs it to know that a scan of the key's index
    // meets each key once (so a GROUP BY on it and a joined table's index order needs no sort).
    bool not_null = (c.constraints & kNotNull) != 0 || key;
    sql += (i ? ",\n  " : "\n  ") + c.name + " " + TypeOf(c, d);
    if (not_null) sql += " NOT NULL";
    if (key) sql += " PRIMARY KEY";
    if (c.constraints & kUnique) sql += " UNIQUE";
    if (!c.default_value.empty()) {
      sql += std::string(" DEFAULT ") +
             (d == Dialect::kTsql && c.default_value[0] == '\'' ? "N" : "") + c.default_value;
    }
  }
  if (!t.primary_key.empty()) sql += ",\n  PRIMARY KEY (" + Join(t.primary_key) + ")";
  return sql + "\n);\n";
}

std::string CreateIndexes(const TableDef& t, Dialect d) {
  std::string sql;
  for (const IndexDef& index : t.indexes) {
    sql += std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " + index.name +
           " ON " + QualifiedName(t, d) + " (" + Join(index.columns) + ");\n";
  }
  return sql;
}

enum class Part { kTables, kIndexes };

std::string Statements(bool system, Part part, Dialect d) {
  std::string sql;
  for (const auto& t : Tables()) {
    if (t->system != system) continue;
    if (part == Part::kTables) {
      sql += (sql.empty() ? "" : "\n") + CreateTable(*t, d);
    } else {
      sql += CreateIndexes(*t, d);
    }
  }
  return sql;
}

std::string Drops(bool system) {
  std::string sql;
  for (const auto& t : Tables()) {
    if (t->system != system) continue;
    std::string name = system ? "VKSystem.dbo." + t->name : "dbo." + t->name;
    sql += "IF OBJECT_ID(N'" + name + "', N'U') IS NOT NULL DROP TABLE " + name + ";\n";
  }
  return sql;
}

std::string TsqlScript() {
  return "-- The demo company on SQL Server: the company database's tables (created in the "
         "database the\n-- connection opens) and the system database VKSystem beside it. The "
         "tables are DROPPED and\n-- created again: run it only on a scratch database, on a "
         "server whose VKSystem is a scratch\n-- database too.\n\n"
         "-- Dates in the rows come as 'YYYY-MM-DD', which DATETIME reads as year-month-day "
         "only under\n-- this setting (it lasts for the session that runs the script and "
         "writes the rows).\n"
         "SET DATEFORMAT ymd;\nGO\n\n"
         "IF DB_ID(N'VKSystem') IS NULL CREATE DATABASE VKSystem;\nGO\n\n" +
         Drops(false) + "GO\n\n" + Statements(false, Part::kTables, Dialect::kTsql) + "GO\n\n" +
         Statements(false, Part::kIndexes, Dialect::kTsql) + "GO\n\n" + Drops(true) + "GO\n\n" +
         Statements(true, Part::kTables, Dialect::kTsql) + "\n" +
         Statements(true, Part::kIndexes, Dialect::kTsql) + "GO\n";
}

}  // namespace

// Each text is built once, on first use, and lives as long as the program.
const std::string_view kCompanySchema = [] {
  static const std::string text = Statements(false, Part::kTables, Dialect::kSqlite);
  return std::string_view(text);
}();
const std::string_view kCompanyIndexes = [] {
  static const std::string text = Statements(false, Part::kIndexes, Dialect::kSqlite);
  return std::string_view(text);
}();
const std::string_view kSystemSchema = [] {
  static const std::string text = Statements(true, Part::kTables, Dialect::kSqlite) +
                                  Statements(true, Part::kIndexes, Dialect::kSqlite);
  return std::string_view(text);
}();
const std::string_view kMssqlSchemaScript = [] {
  static const std::string text = TsqlScript();
  return std::string_view(text);
}();

}  // namespace q9::demo
