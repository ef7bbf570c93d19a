// The component over ODBC: Init on a SQL Server that is not there (FreeTDS), whose failure the user
// sees only as the fixed message while the driver's words go to the SQL trace.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "component/iclskczt.h"
#include "platform/db/statement_gate.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "support/fake_server.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::component {
namespace {

using platform::Variant;

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();
constexpr const char* kPassword = "Geh31m!pw";

class InitOverOdbcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::FreeTdsDriverInstalled()) {
      GTEST_SKIP() << "FreeTDS is not installed";
    }
    platform::erp::RegisterErpSubstitutes();
  }

  Variant Login(const std::string& cs) {
    return Variant(platform::erp::MakeCallerLogin(cs, "demo", "001", 2026));
  }

  ScopedApartment apartment_{std::make_shared<Apartment>()};
  testing::TempDir dir_;
};

TEST_F(InitOverOdbcTest, AnUnreachableServerGivesTheFixedMessageAndTracesTheCause) {
  testing::FakeServer silent(testing::FakeServer::kSilent);
  std::string trace = dir_.File("trace.jsonl");
  struct Case {
    const char* name;
    std::string vk_db_name;
    const char* driver_words;
  } cases[] = {
      {"closed port",
       "Provider=SQLOLEDB;Data Source=127.0.0.1," + std::to_string(testing::ClosedLocalPort()) +
           ";Initial Catalog=stock_001_2026;User ID=sa;Password=" + kPassword +
           ";Connect Timeout=2",
       "Unable to connect"},
      {"server that never answers",
       "Provider=SQLOLEDB;Data Source=127.0.0.1," + std::to_string(silent.port()) +
           ";Initial Catalog=stock_001_2026;User ID=sa;Password=" + kPassword +
           ";Connect Timeout=2",
       "Timeout expired"}};
  for (const Case& c : cases) {
    platform::db::SetTraceFile(trace);
    IClsKCZT k;
    std::string msg;
    EXPECT_FALSE(k.Init(Login(c.vk_db_name), &msg)) << c.name;
    platform::db::SetTraceFile("");
    EXPECT_EQ(msg, "初始化失败！") << c.name;
    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\"event\":\"open failed\""), std::string::npos) << c.name;
    EXPECT_NE(text.str().find(c.driver_words), std::string::npos) << c.name << "\n" << text.str();
    EXPECT_EQ(text.str().find(kPassword), std::string::npos) << text.str();
    std::remove(trace.c_str());
  }
}

}  // namespace
}  // namespace q9::component
