// What the T-SQL bridge may know of a database's schema: each table's columns and unique keys.
// The bridge translates text; rules that keep the rows only on a unique key (see
// tsql_bridge_group_below_joins.h) fire only when these facts are handed to it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace q9::platform::db {

struct ColumnFacts {
  std::string name;       // as declared
  char affinity = 'B';    // SQLite's column affinity: 'T'ext, 'N'umeric, 'I'nteger, 'R'eal, 'B'lob
  std::string collation;  // upper-case: "BINARY", "NOCASE", "RTRIM" or another
  bool not_null = false;  // declared NOT NULL, or the table's integer primary key
};

struct UniqueKeyFacts {
  std::vector<std::string> columns;     // upper-case names
  std::vector<std::string> collations;  // the index's collation of each column, upper-case
};

struct TableFacts {
  std::map<std::string, ColumnFacts> columns;  // by upper-case name
  std::vector<UniqueKeyFacts> unique_keys;     // full (not partial) unique indexes and keys
  // Every full index's leading plain columns, upper-case: only the order of grouping terms
  // follows them, never the rows.
  std::vector<std::vector<std::string>> indexes;
};

struct SchemaFacts {
  std::map<std::string, TableFacts> tables;  // by upper-case name, tables of the main schema
};

// SQLite's affinity of a declared column type.
char AffinityOfDeclaredType(const std::string& declared);

}  // namespace q9::platform::db
