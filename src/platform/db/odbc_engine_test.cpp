// The ODBC engine's own paths: the FreeTDS driver against servers that are not there, that never
// answer, or that hang up.
#include "platform/db/odbc_engine.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/db/connection.h"
#include "platform/db/statement_gate.h"
#include "platform/error.h"
#include "support/fake_server.h"
#include "support/odbc_drivers.h"

namespace q9::platform::db {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();
constexpr const char* kPassword = "Geh31m!pw";

struct OpenOutcome {
  std::string description;
  std::string source;
  double seconds = 0;
};

OpenOutcome FailToOpen(const std::string& connection_string, int connection_timeout) {
  OpenOutcome out;
  Connection conn;
  conn.SetConnectionTimeout(connection_timeout);
  auto start = std::chrono::steady_clock::now();
  try {
    conn.Open(connection_string);
    ADD_FAILURE() << "opened " << connection_string;
  } catch (const ComError& e) {
    out.description = e.description();
    out.source = e.source();
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(conn.State(), kStateClosed);
  return out;
}

class OdbcEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::SqliteOdbcDriverInstalled() || !testing::FreeTdsDriverInstalled()) {
      GTEST_SKIP() << "the SQLite ODBC driver or FreeTDS is not installed";
    }
  }
};

TEST_F(OdbcEngineTest, UnreachableServersFailWithinTheLoginTimeoutAndWithoutThePassword) {
  testing::FakeServer silent(testing::FakeServer::kSilent);
  testing::FakeServer hang_up(testing::FakeServer::kHangUp);
  int closed = testing::ClosedLocalPort();
  auto odbc = [&](int port) {
    return "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port) +
           ";Database=demo;UID=sa;PWD=" + kPassword + ";TDS_Version=7.4;";
  };
  struct Case {
    const char* name;
    std::string connection;
    int connection_timeout;
    const char* sqlstate;
    double at_least, at_most;
  } cases[] = {{"closed port", odbc(closed), 2, "[08001]", 0, 4},
               {"server that never answers", odbc(silent.port()), 2, "[HYT00]", 1.5, 6},
               {"Connect Timeout of the string wins over the connection's",
                "Provider=SQLOLEDB;Data Source=127.0.0.1," + std::to_string(silent.port()) +
                    ";User ID=sa;Password=" + kPassword + ";Connect Timeout=1",
                0, "[HYT00]", 0.5, 4},
               {"server that hangs up", odbc(hang_up.port()), 2, "[08001]", 0, 4}};
  for (const Case& c : cases) {
    OpenOutcome out = FailToOpen(c.connection, c.connection_timeout);
    EXPECT_EQ(out.source, "ODBC") << c.name;
    EXPECT_NE(out.description.find(c.sqlstate), std::string::npos)
        << c.name << ": " << out.description;
    EXPECT_NE(out.description.find("[FreeTDS]"), std::string::npos) << out.description;
    EXPECT_NE(out.description.find("PWD=***"), std::string::npos) << out.description;
    EXPECT_EQ(out.description.find(kPassword), std::string::npos) << out.description;
    if (std::string(c.name).rfind("closed port", 0) == 0) {
      // Every diagnostic record: the socket's failure (FreeTDS's own number) and the connect's.
      EXPECT_NE(out.description.find("[08S01] (native 20009) [FreeTDS][SQL Server]Unable to "
                                     "connect: Adaptive Server is unavailable or does not exist; "),
                std::string::npos)
          << out.description;
      EXPECT_NE(out.description.find(
                    "; [08001] (native 0) [FreeTDS][SQL Server]Unable to connect to data source"),
                std::string::npos)
          << out.description;
    }
    EXPECT_GE(out.seconds, c.at_least) << c.name;
    EXPECT_LE(out.seconds, c.at_most) << c.name;
  }
}

TEST_F(OdbcEngineTest, AnUnknownDataSourceIsTheDriverManagersErrorWithoutThePassword) {
  OpenOutcome out = FailToOpen("DSN=NoSuchSource;PWD=" + std::string(kPassword), 2);
  EXPECT_EQ(out.source, "ODBC");
  EXPECT_NE(out.description.find("[IM002]"), std::string::npos) << out.description;
  EXPECT_EQ(out.description.find(kPassword), std::string::npos) << out.description;
}

}  // namespace
}  // namespace q9::platform::db
