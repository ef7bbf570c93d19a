#include "support/odbc_drivers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "support/fake_server.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* kFreeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

class OdbcDriversEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { UseTestOdbcDrivers(); }
};

// The sections of an ini file other than `skip`, as text ("" when the file cannot be read).
std::string OtherSections(const std::string& path, const std::vector<std::string>& skip) {
  std::ifstream in(path);
  std::string out, line;
  bool keep = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.front() == '[') {
      std::string name = line.substr(1, line.find(']') - 1);
      keep = std::find(skip.begin(), skip.end(), name) == skip.end();
    }
    if (keep) out += line + "\n";
  }
  return out;
}

}  // namespace

const std::string& UseTestOdbcDrivers() {
  static const std::string dir = [] {
    static TempDir holder;  // removed when the process ends
    const char* system = std::getenv("ODBCSYSINI");
    std::string system_dir = system && *system ? system : "/etc";
    // A real server's suite may need the machine's own drivers and data sources (the vendor's
    // driver, a DSN); every other suite sees only the two drivers below and no data source.
    bool machine = std::getenv("Q9STREP_TEST_MSSQL") && *std::getenv("Q9STREP_TEST_MSSQL");
    std::ofstream ini(holder.File("odbcinst.ini"));
    ini << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << kSqliteDriver << "\n\n"
        << "[FreeTDS]\nDescription=FreeTDS\nDriver=" << kFreeTdsDriver << "\n\n";
    if (machine) ini << OtherSections(system_dir + "/odbcinst.ini", {"SQLite3", "FreeTDS", "ODBC"});
    ini.close();
    std::ofstream sources(holder.File("odbc.ini"));
    if (machine) sources << OtherSections(system_dir + "/odbc.ini", {});
    sources.close();
    ::setenv("ODBCSYSINI", holder.path().c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("ODBCINI", holder.File("odbc.ini").c_str(), 1);
    return holder.path().string();
  }();
  return dir;
}

bool RegisterTestOdbcDrivers() {
  ::testing::AddGlobalTestEnvironment(new OdbcDriversEnvironment);
  return true;
}

bool SqliteOdbcDriverInstalled() { return std::filesystem::is_regular_file(kSqliteDriver); }
bool FreeTdsDriverInstalled() { return std::filesystem::is_regular_file(kFreeTdsDriver); }

std::string SqliteOdbcConnectionString(const std::string& company, const std::string& system) {
  std::string cs = "Driver=SQLite3;Database=" + company + ";";
  if (!system.empty()) cs += "System Database=" + system + ";";
  return cs;
}

// A listener of its own, closed again at once.
int ClosedLocalPort() { return FakeServer(FakeServer::kSilent).port(); }

}  // namespace q9::testing
