// A small SQLite company for the bridge's tests, and its rows read back as text. I inventories
// (NOCASE key), L lines (an index on k, w, b), H headers (integer key), W warehouses (NOCASE key),
// C classes (no unique key), U units (key compared as written), P places (a key of two columns), N
// numbered units (integer codes), X codes (a key that tells letter case apart on codes grouped
// without regard to it), G places (a column named like a partial of a re-grouped statement). Lines
// name missing, case-varied and NULL inventories, headers and warehouses.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace q9::platform::db {

inline constexpr const char* kCompany =
    "CREATE TABLE I (k TEXT COLLATE NOCASE PRIMARY KEY, c TEXT COLLATE NOCASE, u TEXT, "
    "w TEXT COLLATE NOCASE, n TEXT, m INTEGER, d DATE);"
    "CREATE TABLE L (id INTEGER, k TEXT COLLATE NOCASE, b TEXT COLLATE NOCASE, p TEXT, "
    "q REAL, w TEXT COLLATE NOCASE);"
    "CREATE TABLE H (id INTEGER PRIMARY KEY, w TEXT COLLATE NOCASE, f INTEGER);"
    "CREATE TABLE W (w TEXT COLLATE NOCASE PRIMARY KEY, n TEXT, o TEXT);"
    "CREATE TABLE C (c TEXT COLLATE NOCASE, n TEXT);"
    "CREATE TABLE U (u TEXT PRIMARY KEY, n TEXT);"
    "CREATE TABLE P (w TEXT COLLATE NOCASE NOT NULL, p TEXT NOT NULL, n TEXT, UNIQUE (w, p));"
    "CREATE TABLE N (m INTEGER PRIMARY KEY, n TEXT);"
    "CREATE TABLE X (k TEXT COLLATE NOCASE NOT NULL, w TEXT);"
    "CREATE TABLE G (g TEXT COLLATE NOCASE PRIMARY KEY, a1 TEXT);"
    "CREATE TABLE V (k TEXT COLLATE NOCASE NOT NULL PRIMARY KEY, n TEXT);"
    "CREATE UNIQUE INDEX UX_X_Exact ON X (k COLLATE BINARY);"
    "CREATE INDEX IX_L_Key ON L (k, w, b);"
    "CREATE UNIQUE INDEX UX_W_Name ON W (n) WHERE n IS NOT NULL;"
    "CREATE UNIQUE INDEX UX_W_Lower ON W (lower(o));"
    "INSERT INTO I VALUES ('a', 'x', 'u1', 'w1', 'A', 1, '2026-01-01'), ('B', 'y', NULL, 'W1', "
    "'B', 2, NULL), ('c', NULL, 'U1', NULL, 'C', NULL, '2026-02-01'), ('d', 'zz', 'u9', 'w9', 'D', "
    "9, NULL);"
    "INSERT INTO L VALUES (1, 'A', 'p', 'x', 1, 'w1'), (1, 'a', 'P', 'X', 2.5, 'W1'), (2, 'b', "
    "NULL, NULL, 4, 'w2'), (3, 'c', 'p', 'y', NULL, NULL), (4, 'e', 'p', 'x', 8, 'w1'), (9, 'a', "
    "'q', 'x', 16, 'w9'), (NULL, 'b', 'q', 'y', 32, 'W2');"
    "INSERT INTO H VALUES (1, 'w1', 1), (2, 'W1', 0), (3, NULL, 1), (4, 'w9', 0);"
    "INSERT INTO W VALUES ('w1', 'one', 'o1'), ('w2', NULL, 'o2');"
    // Two rows of class x: a LEFT JOIN on the class repeats its rows.
    "INSERT INTO C VALUES ('x', 'ex'), ('X', 'ex2'), ('y', 'why');"
    "INSERT INTO U VALUES ('u1', 'kg'), ('U1', 'KG'), ('u2', 'g');"
    "INSERT INTO P VALUES ('w1', 'x', 'w1x'), ('W1', 'X', 'W1X'), ('w2', 'y', 'w2y');"
    "INSERT INTO N VALUES (1, 'one'), (2, 'two');"
    "INSERT INTO X VALUES ('a', 'w1'), ('A', 'w2');"
    "INSERT INTO V VALUES ('A', 'va'), ('b', 'vb'), ('c', 'vc');";

using Row = std::vector<std::string>;
inline constexpr const char* kNull = "NULL";

class BridgeTestDb {
 public:
  explicit BridgeTestDb(const char* setup) {
    sqlite3_open(":memory:", &db_);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, setup, nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
  }
  ~BridgeTestDb() { sqlite3_close(db_); }
  BridgeTestDb(const BridgeTestDb&) = delete;
  BridgeTestDb& operator=(const BridgeTestDb&) = delete;
  sqlite3* get() const { return db_; }

  enum Read { kInOrder, kSorted, kSortedNamedAnyCase };
  // The rows of the SQLite statement `sql`, NULL as kNull. kSortedNamedAnyCase prefixes each
  // value with its column's name and declared type (which the engine reads DATE and BIT by) and
  // upper-cases it: which spelling of a code that groups without regard to case a group returns
  // is SQLite's choice.
  std::vector<Row> Rows(const std::string& sql, Read read = kInOrder) const {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << "\n" << sql;
      return {};
    }
    std::vector<Row> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      Row row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        std::string value = text ? reinterpret_cast<const char*>(text) : kNull;
        if (read == kSortedNamedAnyCase) {
          for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
          const char* type = sqlite3_column_decltype(stmt, i);
          value =
              sqlite3_column_name(stmt, i) + (":" + std::string(type ? type : "") + "=" + value);
        }
        row.push_back(value);
      }
      rows.push_back(row);
    }
    EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db_) << "\n" << sql;
    sqlite3_finalize(stmt);
    if (read != kInOrder) std::sort(rows.begin(), rows.end());
    return rows;
  }

  // `with` is another text than `without` and gives the same rows, which are not none.
  void ExpectSameRows(const std::string& without, const std::string& with) const {
    EXPECT_NE(with, without);
    const std::vector<Row> rows = Rows(without, kSortedNamedAnyCase);
    EXPECT_FALSE(rows.empty()) << without;
    EXPECT_EQ(Rows(with, kSortedNamedAnyCase), rows) << with;
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace q9::platform::db
