// What the embedded engine says when it cannot do what it is asked (keys it does not know, paths
// that are not database files, statements beyond SQLite's limits, a lock held too long), and how
// it shares a file with other processes: readers never wait, writers wait for the busy timeout.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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
  static std::string ErrorOf(const std::string& cs, const std::string& sql = "SELECT 1",
                             const char* engine = "SQLite") {
    try {
      Connection conn;
      conn.Open(cs);
      conn.Run(sql);
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), kErrProvider);
      EXPECT_EQ(e.source(), engine);
      return e.description();
    }
    return "no error";
  }

  testing::TempDir dir_;
  std::string db_ = dir_.File("company.db");
  std::string cs_ = "Provider=SQLite;Data Source=" + db_ + ";";
};

TEST_F(SqliteEngineErrorsTest, KeysAndValuesItDoesNotUnderstandAreNamed) {
  EXPECT_EQ(ErrorOf(cs_ + "PWD=s3cret"),
            "the connection string key 'PWD' (value '***') is not understood for Provider=SQLite");
  EXPECT_EQ(ErrorOf(cs_ + "busy timeout=2147483648"),
            "the connection string's busy timeout '2147483648' is not a number of milliseconds (0 "
            "to 2147483647)");
  EXPECT_EQ(ErrorOf(cs_ + "busy timeout=0;Connect Timeout=15;User ID=u;Password=p"), "no error");
}

TEST_F(SqliteEngineErrorsTest, PathsThatAreNotDatabaseFilesAndStatementsBeyondItsLimits) {
  const std::string dir = dir_.path().string();
  const std::pair<std::string, std::string> cases[] = {
      {"Provider=SQLite;Data Source=" + dir, "the company database '" + dir + "' is a directory"},
      {cs_ + "System Database=" + dir, "the system database '" + dir + "' is a directory"},
      {testing::SqliteOdbcConnectionString(dir),
       "the company database '" + dir + "' is a directory"}};
  for (const auto& [cs, message] : cases) {
    const bool odbc = cs.starts_with("Driver");
    if (odbc && !testing::SqliteOdbcDriverInstalled()) continue;
    EXPECT_TRUE(ErrorOf(cs, "SELECT 1", odbc ? "ODBC" : "SQLite").starts_with(message)) << cs;
  }
  std::string deep = "SELECT c FROM T WHERE c = 'a'";
  for (int i = 0; i < 1200; ++i) deep += " AND c <> 'x" + std::to_string(i) + "'";
  EXPECT_NE(ErrorOf(cs_, deep).find("the statement's condition is nested deeper than the embedded "
                                    "engine can parse (Expression tree is too large"),
            std::string::npos);
  EXPECT_EQ(ErrorOf(cs_, "SELECT c FROM T WHERE c LIKE '" + std::string(60000, 'a') + "%'"),
            "a LIKE pattern is longer than the embedded engine matches (50000 bytes); no code is "
            "that long (LIKE or GLOB pattern too complex)");
}

TEST_F(SqliteEngineErrorsTest, ReadersNeverWaitForAWriterAndWritersWaitTheirTurn) {
  ASSERT_EQ(ErrorOf(cs_), "no error");  // the first open switches the file to write-ahead logging
  // Another connection holds the write lock, which would shut readers out of a rollback journal.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE; INSERT INTO T VALUES ('b')", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  EXPECT_EQ(ErrorOf(cs_ + "Busy Timeout=0", "SELECT c FROM T"), "no error");
  EXPECT_EQ(ErrorOf(cs_ + "Busy Timeout=200", "INSERT INTO T VALUES ('c')"),
            "another connection held the database locked for longer than the busy timeout "
            "(database is locked)");
  // Without a Busy Timeout a writer waits seconds: long enough for the lock to go.
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  });
  EXPECT_EQ(ErrorOf(cs_, "INSERT INTO T VALUES ('d')"), "no error");
  releaser.join();
  sqlite3_close(holder);
}

TEST_F(SqliteEngineErrorsTest, FilesItMayNotWriteStillOpen) {
  // One file in write-ahead logging (opened by the engine before), one in rollback mode, both
  // read-only, in a directory the reader may not write and in one it may; read by a user who may
  // not write them. The read-only directory first: a reader in the other may leave a -shm file.
  std::string rollback = dir_.File("rollback.db");
  testing::ExecSqlite(rollback, "CREATE TABLE T(c TEXT); INSERT INTO T VALUES ('a');");
  ASSERT_EQ(ErrorOf(cs_), "no error");
  namespace fs = std::filesystem;
  for (fs::perms dir : {fs::perms(0555), fs::perms::all}) {
    fs::permissions(dir_.path(), dir);
    for (const std::string& file : {db_, rollback}) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
      pid_t reader = fork();
      if (reader == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
        const std::string cs = "Provider=SQLite;Data Source=" + file;
        const bool read = ErrorOf(cs, "SELECT c FROM T") == "no error";
        _exit(read && ErrorOf(cs, "INSERT INTO T VALUES ('x')").find("readonly") !=
                          std::string::npos
                  ? 0
                  : 1);
      }
      int status = 0;
      waitpid(reader, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << file << std::oct << (int)dir;
    }
  }
  fs::permissions(dir_.path(), fs::perms::all);
}

}  // namespace
}  // namespace q9::platform::db
