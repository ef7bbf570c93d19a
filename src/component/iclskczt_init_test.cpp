#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "platform/dispatch.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "support/login_fixture.h"

namespace q9::component {
namespace {

using platform::Variant;
using testing::LoginFixture;

class InitTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::erp::RegisterErpSubstitutes(); }

  Variant Login(const std::string& cs, const std::string& user = "demo", int year = 2026) {
    return Variant(platform::erp::MakeCallerLogin(cs, user, "001", year));
  }

  // Each test runs in an apartment of its own.
  ScopedApartment apartment_{std::make_shared<Apartment>()};
  LoginFixture company_;
};

TEST_F(InitTest, SucceedsWithoutTouchingTheMessageAndLeavesNoTimeouts) {
  IClsKCZT k;
  std::string msg = "untouched";
  ASSERT_TRUE(k.Init(Login(company_.ConnectionString()), &msg));
  EXPECT_EQ(msg, "untouched");
  ModuleGlobals& g = CurrentApartment()->globals();
  EXPECT_EQ(g.gConn().State(), 1);
  EXPECT_EQ(g.gConn().ConnectionTimeout(), 0);
  EXPECT_EQ(g.gConn().CommandTimeout(), 0);
  EXPECT_TRUE(g.gLogin.has_object());
  EXPECT_TRUE(g.gAccountCO.has_object());
  // gAccount is the login's account, which answers; a fresh account object would not.
  EXPECT_EQ(platform::GetProperty(g.gAccount, "STStartDate").ToDate().ToIsoDate(), "2025-03-15");
}

TEST_F(InitTest, FailuresGiveTheFixedMessage) {
  struct Case {
    const char* name;
    std::string connection;
    std::string user;
    bool null_login;
  } cases[] = {
      {"null login", "", "demo", true},
      {"missing company file",
       "Provider=SQLite;Data Source=/nonexistent/q9.db;System Database=" + company_.system_db(),
       "demo", false},
      {"unknown user", company_.ConnectionString(), "nobody", false}};
  for (const Case& c : cases) {
    IClsKCZT k;
    std::string msg = "before";
    Variant login = c.null_login ? Variant::Nothing() : Login(c.connection, c.user);
    EXPECT_FALSE(k.Init(login, &msg)) << c.name;
    EXPECT_EQ(msg, "初始化失败！") << c.name;
  }
  // The null login was refused before any object was made.
  EXPECT_FALSE(CurrentApartment()->globals().gLogin.has_object());
}

TEST_F(InitTest, ReInitReopensTheSharedConnectionOnTheNewDatabase) {
  LoginFixture other;
  platform::erp::RegisterErpSubstitutes();
  IClsKCZT first, second;
  ASSERT_TRUE(first.Init(Login(company_.ConnectionString())));
  // A table only the second company has.
  testing::ExecSqlite(other.company_db(),
                      "CREATE TABLE OnlyHere(x INTEGER); "
                      "INSERT INTO OnlyHere VALUES (42);");
  ASSERT_TRUE(second.Init(Login(other.ConnectionString())));
  platform::db::Connection& conn = CurrentApartment()->globals().gConn();
  auto result = conn.Run("SELECT x FROM OnlyHere");
  ASSERT_TRUE(result.rows);
  EXPECT_EQ(result.rows->Value(0, 0).ToI4(), 42);
}

TEST_F(InitTest, GlobalsLiveUntilTheLastInstanceOfTheApartmentGoes) {
  auto first = std::make_unique<IClsKCZT>();
  auto second = std::make_unique<IClsKCZT>();
  ASSERT_TRUE(first->Init(Login(company_.ConnectionString())));
  first.reset();
  // The second instance still works on the globals the first one's Init made.
  Variant rs, msg;
  EXPECT_TRUE(second->GetPeriodDay(rs, msg)) << msg.ConcatText();
  second.reset();
  ModuleGlobals& g = CurrentApartment()->globals();
  EXPECT_FALSE(g.gLogin.has_object());
  EXPECT_EQ(g.gConn_, nullptr);
}

}  // namespace
}  // namespace q9::component
