#include "demo/server_writer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>

#include "demo/generator.h"
#include "demo/schema.h"
#include "platform/error.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::demo {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

// Every row of every table of a SQLite file, each value with its storage class, as text.
std::vector<std::string> Dump(const std::string& path) {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::vector<std::string> tables;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(
      db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name",
      -1, &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  }
  sqlite3_finalize(st);
  for (const std::string& table : tables) {
    sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\" ORDER BY rowid").c_str(), -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string row = table + ":";
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        switch (sqlite3_column_type(st, c)) {
          case SQLITE_NULL:
            row += " NULL";
            break;
          case SQLITE_INTEGER:
            row += " i" + std::to_string(sqlite3_column_int64(st, c));
            break;
          case SQLITE_FLOAT: {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, " r%.17g", sqlite3_column_double(st, c));
            row += buffer;
            break;
          }
          default:
            row += " t'" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) +
                   "'";
        }
      }
      out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

class ServerWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::SqliteOdbcDriverInstalled()) GTEST_SKIP() << "the SQLite ODBC driver is missing";
  }
  testing::TempDir dir_;
};

TEST_F(ServerWriterTest, CopiesEveryRowThroughTheOdbcEngineUnchanged) {
  DemoCompany company = GenerateCompany({.seed = 7, .lines = 1000});
  std::string source = dir_.File("source.db"), source_system = dir_.File("source_sys.db");
  WriteCompany(company, source, source_system);
  // The target: empty tables of the same schema, reached through the SQLite ODBC driver.
  std::string target = dir_.File("target.db"), target_system = dir_.File("target_sys.db");
  testing::ExecSqlite(target, std::string(kCompanySchema));
  testing::ExecSqlite(target_system, std::string(kSystemSchema));
  platform::db::Connection conn;
  conn.Open(testing::SqliteOdbcConnectionString(target, target_system));
  ASSERT_EQ(conn.EngineName(), "ODBC");
  double last = 0;
  CopyCompanyTables(source, source_system, conn, [&](double f) {
    EXPECT_GT(f, last);
    last = f;
  });
  EXPECT_EQ(last, 1.0);
  conn.Close();

  std::vector<std::string> expected = Dump(source), copied = Dump(target);
  // Several hundred rows a table: the INSERTs of 200 rows each are split and joined.
  ASSERT_GT(expected.size(), 2000u);
  EXPECT_EQ(copied, expected);
  EXPECT_EQ(Dump(target_system), Dump(source_system));
}

TEST_F(ServerWriterTest, ScriptsRunBatchByBatch) {
  std::string db = dir_.File("s.db");
  testing::ExecSqlite(db, "CREATE TABLE T(x INTEGER);");
  platform::db::Connection conn;
  conn.Open(testing::SqliteOdbcConnectionString(db));
  RunSqlScript(conn,
               "-- a heading\n"
               "INSERT INTO T VALUES (1)\n"
               "go\n"
               "  GO  \r\n"
               "-- a batch of comments only\n"
               "GO\n"
               "UPDATE T SET x = x + 1\n"
               "GO\n"
               "INSERT INTO T VALUES (10)");
  auto rows = conn.Run("SELECT x FROM T ORDER BY x").rows;
  ASSERT_EQ(rows->row_count(), 2u);
  EXPECT_EQ(rows->Value(0, 0), platform::Variant(int32_t{2}));
  EXPECT_EQ(rows->Value(1, 0), platform::Variant(int32_t{10}));

  try {
    RunSqlScript(conn,
                 "DELETE FROM T\nGO\n-- next\nINSERT INTO Missing VALUES (2)\nGO\n"
                 "INSERT INTO T VALUES (3)\n");
    ADD_FAILURE() << "a failing batch passed";
  } catch (const platform::ComError& e) {
    EXPECT_EQ(e.source(), "ODBC");
    EXPECT_EQ(e.description().rfind("batch 'INSERT INTO Missing VALUES (2)': ", 0), 0u)
        << e.description();
    EXPECT_NE(e.description().find("no such table: Missing"), std::string::npos);
  }
  // The batches before the failing one ran, the ones after it did not.
  EXPECT_EQ(conn.Run("SELECT COUNT(*) FROM T").rows->Value(0, 0), platform::Variant(int32_t{0}));
}

}  // namespace
}  // namespace q9::demo
