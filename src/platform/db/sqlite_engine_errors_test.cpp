// What the embedded engine says when it cannot do what it is asked: keys it does not know, paths
// that are not database files, statements beyond SQLite's limits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/db/connection.h"
#include "platform/error.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::platform::db {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

class SqliteEngineErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ExecSqlite(db_, "CREATE TABLE T(c TEXT); INSERT INTO T VALUES ('a');");
  }

  // The description of the provider error of `engine` that opening `cs` (and running `sql`)
  // raises.
  static std::string ErrorOf(const std::string& cs, const std::string& sql = "",
                             const char* engine = "SQLite") {
    try {
      Connection conn;
      conn.Open(cs);
      if (!sql.empty()) conn.Run(sql);
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), kErrProvider);
      EXPECT_EQ(e.source(), engine);
      return e.description();
    }
    return "no error";
  }

  testing::TempDir dir_;
  std::string db_ = dir_.File("company.db");
};

TEST_F(SqliteEngineErrorsTest, KeysAndValuesItDoesNotUnderstandAreNamed) {
  const std::string base = "Provider=SQLite;Data Source=" + db_ + ";";
  struct Case {
    std::string extra;
    std::string message;
  } cases[] = {
      {"Foo=bar",
       "the connection string key 'Foo' (value 'bar') is not understood for "
       "Provider=SQLite"},
      {"PWD=s3cret",
       "the connection string key 'PWD' (value '***') is not understood for "
       "Provider=SQLite"},
      {"Connect Timeout=abc",
       "the connection string's Connect Timeout 'abc' is not a number of "
       "seconds (0 to 2147483647)"},
      {"Busy Timeout=-1",
       "the connection string's Busy Timeout '-1' is not a number of "
       "milliseconds (0 to 2147483647)"},
      {"busy timeout=2147483648",
       "the connection string's busy timeout '2147483648' is not a "
       "number of milliseconds (0 to 2147483647)"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(base + c.extra), c.message) << c.extra;
  // The keys it knows, in any letter case, open.
  EXPECT_EQ(ErrorOf(base + "busy timeout=0;Connect Timeout=15;User ID=u;Password=p", "SELECT 1"),
            "no error");
}

TEST_F(SqliteEngineErrorsTest, PathsThatAreNotDatabaseFilesAreNamedWithWhatTheyAre) {
  const std::string fifo = dir_.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string dir = dir_.path().string();
  const std::string missing = dir_.File("missing.db");
  const std::string odbc = testing::SqliteOdbcDriverInstalled() ? "Driver=SQLite3;" : "";
  struct Case {
    std::string cs;
    std::string message;
  } cases[] = {
      {"Provider=SQLite;Data Source=" + dir, "the company database '" + dir + "' is a directory"},
      {"Provider=SQLite;Data Source=/dev/null",
       "the company database '/dev/null' is a character device"},
      {"Provider=SQLite;Data Source=" + fifo, "the company database '" + fifo + "' is a FIFO"},
      {"Provider=SQLite;Data Source=" + missing, "the company database '" + missing + "' does not"},
      {"Provider=SQLite;Data Source=" + db_ + ";System Database=" + dir,
       "the system database '" + dir + "' is a directory"},
      // The ODBC engine checks the files of the SQLite driver the same way.
      {odbc + "Database=" + dir, "the company database '" + dir + "' is a directory"},
      {odbc + "Database=" + db_ + ";System Database=/dev/null",
       "the system database '/dev/null' is a character device"},
  };
  for (const Case& c : cases) {
    if (c.cs.starts_with("Database=")) continue;  // no SQLite ODBC driver here
    const char* engine = c.cs.starts_with("Provider") ? "SQLite" : "ODBC";
    EXPECT_TRUE(ErrorOf(c.cs, "", engine).starts_with(c.message)) << ErrorOf(c.cs, "", engine);
  }
}

TEST_F(SqliteEngineErrorsTest, StatementsBeyondTheEnginesLimitsAreExplained) {
  const std::string cs = "Provider=SQLite;Data Source=" + db_;
  std::string deep = "SELECT c FROM T WHERE c = 'a'";
  for (int i = 0; i < 1200; ++i) deep += " AND c <> 'x" + std::to_string(i) + "'";
  EXPECT_NE(ErrorOf(cs, deep).find("the statement's condition is nested deeper than the embedded "
                                   "engine can parse (Expression tree is too large"),
            std::string::npos);
  std::string like = "SELECT c FROM T WHERE c LIKE '" + std::string(60000, 'a') + "%'";
  EXPECT_EQ(ErrorOf(cs, like),
            "a LIKE pattern is longer than the embedded engine matches (50000 bytes); no code is "
            "that long (LIKE or GLOB pattern too complex)");
}

}  // namespace
}  // namespace q9::platform::db
