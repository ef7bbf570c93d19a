// A directory of its own for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace q9::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs SQL text (several statements) on a database file through the sqlite3 API, creating the
// file when needed. Fails the test on an error.
void ExecSqlite(const std::string& db_path, const std::string& sql);

// The whole content of a file, for byte-for-byte comparisons.
std::string FileBytes(const std::string& path);

}  // namespace q9::testing
