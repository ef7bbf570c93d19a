#include "support/odbc_drivers.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "support/temp_dir.h"

namespace q9::testing {
namespace {

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* kFreeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

class OdbcDriversEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { UseTestOdbcDrivers(); }
};

}  // namespace

const std::string& UseTestOdbcDrivers() {
  static const std::string dir = [] {
    static TempDir holder;  // removed when the process ends
    std::ofstream ini(holder.File("odbcinst.ini"));
    ini << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << kSqliteDriver << "\n\n"
        << "[FreeTDS]\nDescription=FreeTDS\nDriver=" << kFreeTdsDriver << "\n";
    ini.close();
    // An odbc.ini of no data sources, so a DSN the machine defines cannot leak into a test.
    std::ofstream(holder.File("odbc.ini")).close();
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

int ClosedLocalPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  if (fd >= 0) ::close(fd);
  return port;
}

}  // namespace q9::testing
