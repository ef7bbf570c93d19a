#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace q9::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("q9test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void ExecSqlite(const std::string& db_path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(db_path.c_str(), &db), SQLITE_OK) << db_path;
  char* err = nullptr;
  // One transaction, no syncs: test databases need no durability, and a sync per statement
  // makes fixtures slow.
  std::string wrapped = "PRAGMA synchronous = OFF; BEGIN; " + sql + "\n; COMMIT;";
  int rc = sqlite3_exec(db, wrapped.c_str(), nullptr, nullptr, &err);
  std::string msg = err ? err : "";
  sqlite3_free(err);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << msg << "\n" << sql;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace q9::testing
