// demo/mssql_schema.sql against the embedded schema: the same tables with the same columns in the
// same order, types that hold the same values, the same keys, defaults and indexes, and text
// columns long enough for what the generator writes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "demo/generator.h"
#include "support/temp_dir.h"

namespace q9::demo {
namespace {

struct Column {
  std::string name;
  std::string type;  // as declared, upper case (SQLite: "TEXT"; SQL Server: "NVARCHAR(60)")
  bool not_null = false;
  int pk = 0;  // position in the primary key, 0 when not part of it
  bool unique = false;
  std::string default_value;  // as written, empty when none
  std::string collation;
};

struct Table {
  std::vector<Column> columns;
  std::set<std::string> dropped;  // (script) the table has its DROP line
};

struct Index {
  std::string table;
  bool unique = false;
  std::vector<std::string> columns;
};

std::string Describe(const Index& index) {
  std::string out = (index.unique ? "UNIQUE ON " : "ON ") + index.table + " (";
  for (size_t i = 0; i < index.columns.size(); ++i) out += (i ? ", " : "") + index.columns[i];
  return out + ")";
}

struct Schema {
  std::map<std::string, Table> tables;  // system tables as "VKSystem.<name>"
  std::map<std::string, Index> indexes;
  std::set<std::string> drops;
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string ScriptText() {
  const char* source = std::getenv("Q9_SOURCE_DIR");
  std::filesystem::path root = source ? std::filesystem::path(source)
                                      : std::filesystem::path(__FILE__).parent_path().parent_path();
  std::ifstream in(root / "demo" / "mssql_schema.sql");
  EXPECT_TRUE(in.good()) << "cannot read " << (root / "demo" / "mssql_schema.sql");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// "VKSystem.dbo.X" -> "VKSystem.X", "dbo.X" and "X" -> "X".
std::string TableKey(std::string name) {
  if (name.rfind("VKSystem.dbo.", 0) == 0) return "VKSystem." + name.substr(13);
  if (name.rfind("dbo.", 0) == 0) return name.substr(4);
  return name;
}

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> out;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    out.push_back(item);
  }
  return out;
}

Schema ParseScript(const std::string& script) {
  Schema schema;
  std::string text;
  {
    // Comments out, so that their words cannot look like statements.
    std::stringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
      size_t dash = line.find("--");
      text += (dash == std::string::npos ? line : line.substr(0, dash)) + "\n";
    }
  }
  std::regex create(R"(CREATE TABLE ([\w.]+) \(\n([\s\S]*?)\n\);)");
  for (std::sregex_iterator it(text.begin(), text.end(), create), end; it != end; ++it) {
    Table& table = schema.tables[TableKey((*it)[1])];
    std::stringstream body((*it)[2].str());
    std::string line;
    while (std::getline(body, line)) {
      line.erase(0, line.find_first_not_of(' '));
      if (!line.empty() && line.back() == ',') line.pop_back();
      std::smatch m;
      if (std::regex_match(line, m, std::regex(R"(PRIMARY KEY \((.*)\))"))) {
        int position = 0;
        for (const std::string& name : SplitNames(m[1])) {
          for (Column& c : table.columns) {
            if (c.name == name) c.pk = ++position;
          }
        }
        continue;
      }
      std::regex column(
          R"((\w+) (\w+(?:\(\d+\))?)(?: COLLATE (\w+))?( NOT NULL)?( PRIMARY KEY)?( UNIQUE)?(?: DEFAULT (\S+))?)");
      EXPECT_TRUE(std::regex_match(line, m, column)) << "unread column line: " << line;
      Column c{m[1], Upper(m[2]), m[4].matched, m[5].matched ? 1 : 0, m[6].matched, m[7], m[3]};
      table.columns.push_back(c);
    }
  }
  std::regex index(R"(CREATE (UNIQUE )?INDEX (\w+) ON ([\w.]+) \(([^)]*)\);)");
  for (std::sregex_iterator it(text.begin(), text.end(), index), end; it != end; ++it) {
    schema.indexes[(*it)[2]] = {TableKey((*it)[3]), (*it)[1].matched, SplitNames((*it)[4])};
  }
  std::regex drop(R"(IF OBJECT_ID\(N'([\w.]+)', N'U'\) IS NOT NULL DROP TABLE ([\w.]+);)");
  for (std::sregex_iterator it(text.begin(), text.end(), drop), end; it != end; ++it) {
    EXPECT_EQ((*it)[1].str(), (*it)[2].str());
    schema.drops.insert(TableKey((*it)[2]));
  }
  return schema;
}

std::string Text(sqlite3_stmt* st, int col) {
  const unsigned char* t = sqlite3_column_text(st, col);
  return t ? reinterpret_cast<const char*>(t) : "";
}

// The schema of a SQLite file as the writer made it; system tables under the "VKSystem." prefix.
void ReadSqlite(const std::string& path, const std::string& prefix, Schema& schema) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::vector<std::string> names;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'",
                     -1, &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) names.push_back(Text(st, 0));
  sqlite3_finalize(st);
  for (const std::string& name : names) {
    Table& table = schema.tables[prefix + name];
    sqlite3_prepare_v2(db, ("PRAGMA table_info(\"" + name + "\")").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      Column c;
      c.name = Text(st, 1);
      c.type = Upper(Text(st, 2));
      c.not_null = sqlite3_column_int(st, 3) != 0;
      c.default_value = Text(st, 4);
      c.pk = sqlite3_column_int(st, 5);
      const char* collation = nullptr;
      sqlite3_table_column_metadata(db, nullptr, name.c_str(), c.name.c_str(), nullptr, &collation,
                                    nullptr, nullptr, nullptr);
      c.collation = collation ? collation : "";
      table.columns.push_back(c);
    }
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, ("PRAGMA index_list(\"" + name + "\")").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string index = Text(st, 1), origin = Text(st, 3);
      bool unique = sqlite3_column_int(st, 2) != 0;
      std::vector<std::string> columns;
      sqlite3_stmt* info = nullptr;
      sqlite3_prepare_v2(db, ("PRAGMA index_info(\"" + index + "\")").c_str(), -1, &info, nullptr);
      while (sqlite3_step(info) == SQLITE_ROW) columns.push_back(Text(info, 2));
      sqlite3_finalize(info);
      if (origin == "c") {
        schema.indexes[index] = {prefix + name, unique, columns};
      } else if (origin == "u" && columns.size() == 1) {
        for (Column& c : table.columns) {
          if (c.name == columns[0]) c.unique = true;
        }
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
}

// The longest text (in characters) of each column of a SQLite file.
std::map<std::string, int64_t> LongestTexts(const std::string& path, const std::string& prefix,
                                            const Schema& schema) {
  std::map<std::string, int64_t> out;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  for (const auto& [key, table] : schema.tables) {
    if (key.rfind(prefix, 0) != 0 || (prefix.empty() && key.rfind("VKSystem.", 0) == 0)) continue;
    std::string name = key.substr(prefix.size());
    for (const Column& c : table.columns) {
      if (c.type != "TEXT") continue;
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db, ("SELECT MAX(length(" + c.name + ")) FROM \"" + name + "\"").c_str(),
                         -1, &st, nullptr);
      if (sqlite3_step(st) == SQLITE_ROW) out[key + "." + c.name] = sqlite3_column_int64(st, 0);
      sqlite3_finalize(st);
    }
  }
  sqlite3_close(db);
  return out;
}

class MssqlSchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script_ = ParseScript(ScriptText());
    std::string company = dir_.File("company.db"), system = dir_.File("system.db");
    WriteCompany(GenerateCompany(DemoOptions{}), company, system);
    ReadSqlite(company, "", embedded_);
    ReadSqlite(system, "VKSystem.", embedded_);
    longest_ = LongestTexts(company, "", embedded_);
    for (const auto& [k, v] : LongestTexts(system, "VKSystem.", embedded_)) longest_[k] = v;
  }

  testing::TempDir dir_;
  Schema script_, embedded_;
  std::map<std::string, int64_t> longest_;
};

TEST_F(MssqlSchemaTest, TheSameTablesAndColumnsInTheSameOrder) {
  std::vector<std::string> script_tables, embedded_tables;
  for (const auto& [name, t] : script_.tables) script_tables.push_back(name);
  for (const auto& [name, t] : embedded_.tables) embedded_tables.push_back(name);
  ASSERT_EQ(script_tables, embedded_tables);
  EXPECT_EQ(script_.drops, std::set<std::string>(script_tables.begin(), script_tables.end()));
  for (const auto& [name, table] : embedded_.tables) {
    const Table& other = script_.tables.at(name);
    std::vector<std::string> a, b;
    for (const Column& c : table.columns) a.push_back(c.name);
    for (const Column& c : other.columns) b.push_back(c.name);
    EXPECT_EQ(b, a) << name;
  }
}

TEST_F(MssqlSchemaTest, TypesKeysAndDefaultsCorrespond) {
  const std::map<std::string, std::string> kTypes = {
      {"INTEGER", "INT"}, {"REAL", "FLOAT"}, {"DATE", "DATETIME"}, {"BIT", "BIT"}};
  for (const auto& [name, table] : embedded_.tables) {
    const Table& other = script_.tables.at(name);
    if (other.columns.size() != table.columns.size()) continue;  // reported above
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const Column& e = table.columns[i];
      const Column& s = other.columns[i];
      std::string where = name + "." + e.name;
      if (e.type == "TEXT") {
        EXPECT_EQ(s.type.rfind("NVARCHAR(", 0), 0u) << where << " is " << s.type;
        // One collation on every text column: SQL Server refuses to compare two columns of
        // different collations, and the ERP's databases compare without regard to case.
        EXPECT_EQ(s.collation, "Chinese_PRC_CI_AS") << where;
      } else {
        ASSERT_TRUE(kTypes.count(e.type)) << where << " has the embedded type " << e.type;
        EXPECT_EQ(s.type, kTypes.at(e.type)) << where;
        EXPECT_TRUE(s.collation.empty()) << where;
      }
      EXPECT_EQ(s.pk, e.pk) << where;
      EXPECT_EQ(s.not_null, e.not_null || e.pk > 0) << where;
      EXPECT_EQ(s.unique, e.unique) << where;
      std::string expected_default = e.default_value == "''" ? "N''" : e.default_value;
      EXPECT_EQ(s.default_value, expected_default) << where;
    }
  }
}

TEST_F(MssqlSchemaTest, TheSameIndexes) {
  ASSERT_FALSE(embedded_.indexes.empty());
  EXPECT_EQ(script_.indexes.size(), embedded_.indexes.size());
  for (const auto& [name, index] : embedded_.indexes) {
    ASSERT_TRUE(script_.indexes.count(name)) << name;
    EXPECT_EQ(Describe(script_.indexes.at(name)), Describe(index)) << name;
  }
}

TEST_F(MssqlSchemaTest, TextColumnsHoldWhatTheGeneratorWrites) {
  ASSERT_FALSE(longest_.empty());
  for (const auto& [key, length] : longest_) {
    size_t dot = key.rfind('.');
    const Table& table = script_.tables.at(key.substr(0, dot));
    for (const Column& c : table.columns) {
      if (c.name != key.substr(dot + 1)) continue;
      int declared = std::atoi(c.type.c_str() + std::strlen("NVARCHAR("));
      EXPECT_LE(length, declared) << key;
    }
  }
}

}  // namespace
}  // namespace q9::demo
