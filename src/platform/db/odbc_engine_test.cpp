// The ODBC engine's own paths: the driver manager's drivers, the SQLite target and the FreeTDS
// driver against servers that are not there, that never answer, or that hang up.
#include "platform/db/odbc_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/db/connection.h"
#include "platform/db/statement_gate.h"
#include "platform/db/tsql_bridge.h"
#include "platform/error.h"
#include "support/fake_server.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

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
  testing::TempDir dir_;
};

TEST_F(OdbcEngineTest, TheDriverManagerSeesTheTestDrivers) {
  std::vector<std::string> drivers = InstalledOdbcDrivers();
  ASSERT_GE(drivers.size(), 2u);
  EXPECT_EQ(drivers[0], "SQLite3");
  EXPECT_EQ(drivers[1], "FreeTDS");
  // The machine's other drivers come in only for the real server's suite.
  if (!std::getenv("Q9STREP_TEST_MSSQL")) {
    EXPECT_EQ(drivers.size(), 2u);
  }
}

TEST_F(OdbcEngineTest, ASqliteTargetRunsTheBridgeAndOthersWouldNot) {
  std::string db = dir_.File("c.db");
  testing::ExecSqlite(db, "CREATE TABLE T(x INTEGER); INSERT INTO T VALUES (1);");
  auto engine = OdbcEngine::Open(
      MapOdbcConnectionString(ConnectionString::Parse(testing::SqliteOdbcConnectionString(db)),
                              InstalledOdbcDrivers()),
      15);
  EXPECT_EQ(engine->Name(), "ODBC");
  EXPECT_EQ(engine->dbms_name(), "SQLite");
  EXPECT_TRUE(engine->translates());
  const std::string tsql = "SELECT iId FROM VKSystem..VA_Period";
  EXPECT_EQ(engine->Translate(tsql), TranslateTsqlToSqlite(tsql));
  EXPECT_NE(engine->Translate(tsql), tsql);
}

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
  } cases[] = {
      {"closed port", odbc(closed), 2, "[08001]", 0, 4},
      {"server that never answers", odbc(silent.port()), 2, "[HYT00]", 1.5, 6},
      {"Connect Timeout of the string wins over the connection's",
       "Provider=SQLOLEDB;Data Source=127.0.0.1," + std::to_string(silent.port()) +
           ";User ID=sa;Password=" + kPassword + ";Connect Timeout=1",
       0, "[HYT00]", 0.5, 4},
      {"server that hangs up", odbc(hang_up.port()), 2, "[08001]", 0, 4},
  };
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

TEST_F(OdbcEngineTest, BadDriversAndDataSourcesAreClearErrors) {
  struct Case {
    std::string connection;
    const char* words;
  } cases[] = {
      {"Driver=NoSuchDriver;Server=h;PWD=" + std::string(kPassword),
       "the ODBC driver 'NoSuchDriver' is not installed here (installed: SQLite3, FreeTDS"},
      {"DSN=NoSuchSource;PWD=" + std::string(kPassword), "[IM002]"},
      {"Driver=SQLite3;Database=" + dir_.File("none.db"), "does not exist"},
      {"Provider=SQLOLEDB;Data Source=h;Integrated Security=SSPI",
       "not available with the FreeTDS driver"},
  };
  for (const Case& c : cases) {
    OpenOutcome out = FailToOpen(c.connection, 2);
    EXPECT_EQ(out.source, "ODBC") << c.connection;
    EXPECT_NE(out.description.find(c.words), std::string::npos) << out.description;
    EXPECT_EQ(out.description.find(kPassword), std::string::npos) << out.description;
  }
}

}  // namespace
}  // namespace q9::platform::db
