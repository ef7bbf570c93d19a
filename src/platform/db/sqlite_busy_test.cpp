// The embedded engine beside other processes: readers never wait for a writer, a writer waits up
// to the busy timeout, and files it may not write still open. (Writers taking turns: the
// concurrent format saves of services/format_save_guard_test.cpp.)
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/db/connection.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace q9::platform::db {
namespace {

// Runs `body` in a child process; its exit status (0 when `body` returned true). An error
// escaping `body` is printed and counts as a failure.
int InChild(const std::function<bool()>& body) {
  pid_t pid = fork();
  if (pid == 0) {
    bool ok = false;
    try {
      ok = body();
    } catch (const ComError& e) {
      std::fprintf(stderr, "child: %s\n", e.description().c_str());
    }
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SqliteBusyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ExecSqlite(db_, "CREATE TABLE T(k INTEGER, v TEXT); INSERT INTO T VALUES (1, 'a');");
  }

  std::string ConnectionString(const std::string& extra = "") const {
    return "Provider=SQLite;Data Source=" + db_ + ";" + extra;
  }

  // The number of rows of T, read through the engine.
  int Count(const std::string& extra = "") const {
    Connection conn;
    conn.Open(ConnectionString(extra));
    return conn.Run("SELECT COUNT(*) FROM T").rows->Value(0, 0).ToI4();
  }

  testing::TempDir dir_;
  std::string db_ = dir_.File("company.db");
};

TEST_F(SqliteBusyTest, AReaderDoesNotWaitForAnotherProcessWriting) {
  ASSERT_EQ(Count(), 1);  // the first open switches the file to write-ahead logging
  // A writer process holds an exclusive lock, which shuts readers out of a rollback journal but
  // not out of a write-ahead log, until told to commit. No process shares a connection.
  int locked[2], release[2];
  ASSERT_EQ(pipe(locked), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t writer = fork();
  if (writer == 0) {
    sqlite3* db = nullptr;
    char c = 0;
    bool ok = sqlite3_open(db_.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, "BEGIN EXCLUSIVE; INSERT INTO T VALUES (2, 'b')", nullptr, nullptr,
                           nullptr) == SQLITE_OK &&
              write(locked[1], "l", 1) == 1 && read(release[0], &c, 1) == 1 &&
              sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    _exit(ok ? 0 : 1);
  }
  char c = 0;
  ASSERT_EQ(read(locked[0], &c, 1), 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(InChild([&] { return Count("Busy Timeout=0") == 1; }), 0);
  // Another writer waits for the lock and gives up after its busy timeout, saying so.
  EXPECT_EQ(InChild([&] {
              Connection conn;
              conn.Open(ConnectionString("Busy Timeout=200"));
              try {
                conn.Run("INSERT INTO T VALUES (3, 'c')");
              } catch (const ComError& e) {
                return e.description().find("busy timeout") != std::string::npos;
              }
              return false;
            }),
            0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  ASSERT_EQ(write(release[1], "r", 1), 1);
  int status = 0;
  waitpid(writer, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Count(), 2);
  for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}

TEST_F(SqliteBusyTest, FilesItMayNotWriteStillOpen) {
  // One file in write-ahead logging (opened by the engine before), one in rollback mode, both
  // made read-only, in a directory the reader may write and in one it may not; read by a user
  // who may not write them.
  std::string rollback = dir_.File("rollback.db");
  testing::ExecSqlite(rollback, "CREATE TABLE T(k INTEGER); INSERT INTO T VALUES (1), (2);");
  ASSERT_EQ(Count(), 1);
  namespace fs = std::filesystem;
  const fs::perms read = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  // The read-only directory first: a reader in the writable one may leave a -shm file behind.
  const fs::perms read_only_dir =
      read | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  for (fs::perms dir : {read_only_dir, fs::perms::all}) {
    fs::permissions(dir_.path(), dir);
    for (const std::string& file : {db_, rollback}) {
      fs::permissions(file, read);
      EXPECT_EQ(InChild([&] {
                  if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return false;
                  Connection conn;
                  conn.Open("Provider=SQLite;Data Source=" + file);
                  int rows = conn.Run("SELECT COUNT(*) FROM T").rows->Value(0, 0).ToI4();
                  try {
                    conn.Run("INSERT INTO T(k) VALUES (9)");
                    return false;
                  } catch (const ComError& e) {
                    return rows > 0 && e.description().find("readonly") != std::string::npos;
                  }
                }),
                0)
          << file << " in a directory of mode " << std::oct << static_cast<int>(dir);
    }
  }
  fs::permissions(dir_.path(), fs::perms::all);
}

}  // namespace
}  // namespace q9::platform::db
