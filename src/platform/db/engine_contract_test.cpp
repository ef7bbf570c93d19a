// One suite for every engine: the embedded SQLite engine and the ODBC engine through the SQLite
// ODBC driver answer the same statements with the same values and the same failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/error.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::platform::db {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

struct EmbeddedSqlite {
  static std::string ConnectionString(const std::string& company, const std::string& system) {
    return "Provider=SQLite;Data Source=" + company + ";System Database=" + system;
  }
  static constexpr const char* kEngine = "SQLite";
  static bool Available() { return true; }
};

struct SqliteThroughOdbc {
  static std::string ConnectionString(const std::string& company, const std::string& system) {
    return testing::SqliteOdbcConnectionString(company, system);
  }
  static constexpr const char* kEngine = "ODBC";
  static bool Available() { return testing::SqliteOdbcDriverInstalled(); }
};

template <typename Backend>
class EngineContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Backend::Available()) GTEST_SKIP() << "the SQLite ODBC driver is not installed";
    testing::ExecSqlite(company_, R"(
      CREATE TABLE Stock(id INTEGER PRIMARY KEY, code TEXT COLLATE NOCASE, name NVARCHAR(60),
                         qty REAL, big INTEGER, day DATE, stamp DATETIME, closed BIT);
      INSERT INTO Stock VALUES
        (1, 'A01', '螺丝钉 M6', 12.5, 5000000000, '2025-03-15', '2025-03-15 10:11:12', 1),
        (2, 'a02', 'Mutter', -3, 7, '2024-12-31', '2024-12-31 00:00:00', 0),
        (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL);)");
    // Enough rows that joining them thrice runs for minutes.
    testing::ExecSqlite(company_, R"(
      CREATE TABLE Numbers(n INTEGER);
      WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 3000)
      INSERT INTO Numbers SELECT x FROM c;)");
    testing::ExecSqlite(system_, "CREATE TABLE VA_Period(cAcc_ID TEXT);");
  }

  void Open(Connection& conn) {
    conn.Open(Backend::ConnectionString(company_, system_));
    ASSERT_EQ(conn.EngineName(), Backend::kEngine);
  }

  // The description of the error `f` raises, which must be a provider error of this engine.
  std::string ProviderErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), kErrProvider) << e.description();
      EXPECT_EQ(e.source(), Backend::kEngine) << e.description();
      return e.description();
    }
    ADD_FAILURE() << "no error";
    return {};
  }

  testing::TempDir dir_;
  std::string company_ = dir_.File("company.db");
  std::string system_ = dir_.File("system.db");
};

using Backends = ::testing::Types<EmbeddedSqlite, SqliteThroughOdbc>;
TYPED_TEST_SUITE(EngineContractTest, Backends);

TYPED_TEST(EngineContractTest, ValuesComeBackWithTheirTypes) {
  Connection conn;
  this->Open(conn);
  auto r = conn.Run("SELECT id, code, name, qty, big, day, stamp, closed FROM Stock ORDER BY id");
  ASSERT_TRUE(r.rows);
  const RowSet& rows = *r.rows;
  ASSERT_EQ(rows.row_count(), 3u);
  EXPECT_EQ(rows.columns(), (std::vector<std::string>{"id", "code", "name", "qty", "big", "day",
                                                      "stamp", "closed"}));
  // Beyond the 32-bit range a whole number becomes a double, as automation values do.
  const std::vector<std::vector<Variant>> expected = {
      {Variant(int32_t{1}), Variant("A01"), Variant("螺丝钉 M6"), Variant(12.5),
       Variant(5000000000.0), Variant(*Date::Make(2025, 3, 15)),
       Variant(*Date::Make(2025, 3, 15, 10, 11, 12)), Variant(true)},
      {Variant(int32_t{2}), Variant("a02"), Variant("Mutter"), Variant(-3.0), Variant(int32_t{7}),
       Variant(*Date::Make(2024, 12, 31)), Variant(*Date::Make(2024, 12, 31)), Variant(false)},
      {Variant(int32_t{3}), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(),
       Variant::Null(), Variant::Null(), Variant::Null()}};
  for (size_t r = 0; r < expected.size(); ++r) {
    for (size_t c = 0; c < expected[r].size(); ++c) {
      EXPECT_EQ(rows.Value(r, c), expected[r][c]) << r << ", " << rows.column_name(c);
    }
  }
  // An empty result keeps its columns.
  auto none = conn.Run("SELECT id, code FROM Stock WHERE id > 100");
  ASSERT_TRUE(none.rows);
  EXPECT_EQ(none.rows->row_count(), 0u);
  EXPECT_EQ(none.rows->columns(), (std::vector<std::string>{"id", "code"}));
}

TYPED_TEST(EngineContractTest, LongChineseTextSurvivesWhole) {
  // 3-byte characters that straddle every chunk a driver may hand back in.
  std::string text;
  for (int i = 0; i < 5000; ++i) text += (i % 2 ? "库" : "存") + std::to_string(i % 10);
  Connection conn;
  this->Open(conn);
  conn.Run("INSERT INTO Stock(id, name) VALUES (10, '" + text + "')");
  auto r = conn.Run("SELECT name, LEN(name) FROM Stock WHERE id = 10");
  ASSERT_TRUE(r.rows);
  EXPECT_EQ(r.rows->Value(0, 0), Variant(text));
  EXPECT_EQ(r.rows->Value(0, 1), Variant(int32_t{10000}));
}

TYPED_TEST(EngineContractTest, RowsAffectedByChanges) {
  Connection conn;
  this->Open(conn);
  struct Case {
    const char* sql;
    int64_t affected;
  } cases[] = {{"UPDATE Stock SET qty = 1 WHERE id <= 2", 2},
               {"UPDATE Stock SET qty = 1 WHERE id > 100", 0},
               {"INSERT INTO Stock(id, code) VALUES (20, 'Z'), (21, 'Y'), (22, 'X')", 3},
               {"DELETE FROM Stock WHERE id >= 20", 3}};
  for (const Case& c : cases) {
    int64_t affected = -2;
    conn.Execute(c.sql, &affected);
    EXPECT_EQ(affected, c.affected) << c.sql;
  }
}

TYPED_TEST(EngineContractTest, TransactionsCommitAndRollBack) {
  Connection conn, other;
  this->Open(conn);
  this->Open(other);
  auto count = [&](Connection& c) { return c.Run("SELECT COUNT(*) FROM Stock").rows->Value(0, 0); };
  conn.BeginTrans();
  conn.Run("INSERT INTO Stock(id) VALUES (30)");
  EXPECT_EQ(count(conn), Variant(int32_t{4}));
  conn.RollbackTrans();
  EXPECT_EQ(count(conn), Variant(int32_t{3}));
  conn.BeginTrans();
  conn.Run("INSERT INTO Stock(id) VALUES (31)");
  conn.CommitTrans();
  // Committed work is visible to another connection.
  EXPECT_EQ(count(other), Variant(int32_t{4}));
  // Outside a transaction every statement commits by itself; closing rolls an open one back.
  conn.Run("DELETE FROM Stock WHERE id = 31");
  EXPECT_EQ(count(other), Variant(int32_t{3}));
  conn.BeginTrans();
  conn.Run("DELETE FROM Stock");
  conn.Close();
  EXPECT_EQ(count(other), Variant(int32_t{3}));
}

TYPED_TEST(EngineContractTest, StatementErrorsCarryTheEngineMessage) {
  Connection conn;
  this->Open(conn);
  struct Case {
    const char* sql;
    const char* words;
  } cases[] = {{"SELECT nosuch FROM Stock", "no such column: nosuch"},
               {"SELECT * FROM NoSuchTable", "no such table: NoSuchTable"},
               {"INSERT INTO Stock(id) VALUES (1)", "UNIQUE constraint failed: Stock.id"},
               {"SELECT FROM Stock", "syntax error"}};
  for (const Case& c : cases) {
    std::string d = this->ProviderErrorOf([&] { conn.Run(c.sql); });
    EXPECT_NE(d.find(c.words), std::string::npos) << c.sql << ": " << d;
  }
  // The connection stays usable after a failed statement.
  EXPECT_EQ(conn.Run("SELECT COUNT(*) FROM Stock").rows->Value(0, 0), Variant(int32_t{3}));
}

TYPED_TEST(EngineContractTest, CommandTimeoutStopsALongStatement) {
  Connection conn;
  this->Open(conn);
  conn.SetCommandTimeout(1);
  std::string d = this->ProviderErrorOf([&] {
    conn.Run(
        "SELECT COUNT(*) FROM Numbers A INNER JOIN Numbers B ON 1 = 1 "
        "INNER JOIN Numbers C ON 1 = 1 WHERE A.n + B.n + C.n > 0");
  });
  EXPECT_NE(d.find("Query timeout expired"), std::string::npos) << d;
  // 0 means no limit; the connection works on.
  conn.SetCommandTimeout(0);
  EXPECT_EQ(conn.Run("SELECT COUNT(*) FROM Stock").rows->Value(0, 0), Variant(int32_t{3}));
}

TYPED_TEST(EngineContractTest, AMissingDatabaseFileIsNamedAndNotCreated) {
  std::string missing = this->dir_.File("missing.db");
  struct Case {
    std::string company, system, named;
  } cases[] = {{missing, this->system_, missing}, {this->company_, missing, missing}};
  for (const Case& c : cases) {
    Connection conn;
    std::string d =
        this->ProviderErrorOf([&] { conn.Open(TypeParam::ConnectionString(c.company, c.system)); });
    EXPECT_NE(d.find("'" + c.named + "' does not exist"), std::string::npos) << d;
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(conn.State(), kStateClosed);
  }
}

}  // namespace
}  // namespace q9::platform::db
