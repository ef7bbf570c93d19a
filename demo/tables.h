// The tables of the demo company and of its system database, each described once: its columns
// (name, type, keys) in their order, its indexes, and how each column's value is read from the
// generator's records. The SQLite and the SQL Server schema and the writer all walk this list,
// so a column or an index is one line here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "demo/company.h"

namespace q9::demo {

// How a column is declared. A code is text compared without regard to letter case; a date is
// 'YYYY-MM-DD' text on SQLite and DATETIME on SQL Server; a bit holds 0/1.
enum class ColumnType { kCode, kText, kInteger, kReal, kBit, kDate };

// Constraints of one column; a key of several columns is TableDef::primary_key.
inline constexpr unsigned kNotNull = 1;
inline constexpr unsigned kPrimaryKey = 2;
inline constexpr unsigned kUnique = 4;

struct ColumnDef {
  std::string name;
  ColumnType type = ColumnType::kText;
  unsigned constraints = 0;
  std::string default_value;  // a literal ("0", "''"), empty when the column has no default
};

struct IndexDef {
  std::string name;
  std::vector<std::string> columns;
  bool unique = false;
};

// Receives the values of one row in column order. A text stays valid until the row's last
// value has been given.
class ValueSink {
 public:
  virtual ~ValueSink() = default;
  virtual void Null() = 0;
  virtual void Integer(int64_t value) = 0;
  virtual void Real(double value) = 0;
  virtual void Text(std::string_view value) = 0;
};

class TableDef {
 public:
  virtual ~TableDef() = default;

  std::string name;
  bool system = false;  // in the system database (VKSystem), else in the company database
  std::vector<ColumnDef> columns;
  std::vector<std::string> primary_key;  // a key of several columns
  std::vector<IndexDef> indexes;

  virtual size_t RowCount(const DemoCompany& company) const = 0;
  // Gives every row of this table in `company` to `sink`, value by value, and calls `row_done`
  // after each row.
  virtual void ForEachRow(const DemoCompany& company, ValueSink& sink,
                          const std::function<void()>& row_done) const = 0;
};

// Every table, in the order they are created and written: the company tables, then the system
// tables.
const std::vector<std::unique_ptr<TableDef>>& Tables();

}  // namespace q9::demo
