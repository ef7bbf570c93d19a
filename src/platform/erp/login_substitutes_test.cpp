#include "platform/erp/login_substitutes.h"

#include <gtest/gtest.h>

#include "platform/erp/caller_login.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/login_fixture.h"

namespace q9::platform::erp {
namespace {

class LoginSubstitutesTest : public ::testing::Test {
 protected:
  Variant LoadedLogin(const std::string& user, int year = 2026) {
    Variant login(CreateLogin());
    Variant caller(MakeCallerLogin(company_.ConnectionString(), user, "001", year));
    Args args;
    args.Ref(&caller);
    CallMethod(login, "Load", args);
    return login;
  }

  std::string Rights(const Variant& login, const std::string& kind) {
    Args args;
    args.Val(Variant(kind));
    return CallMethod(login, "GetAuthString", args).ToText();
  }

  testing::LoginFixture company_;
};

TEST_F(LoginSubstitutesTest, RightsListsAreReadyForAnInList) {
  Variant clerk = LoadedLogin("clerk");
  EXPECT_EQ(Rights(clerk, "WareHouse"), "'01','O''Neil'");
  EXPECT_EQ(Rights(clerk, "inventory"), "12,7");
  EXPECT_EQ(Rights(clerk, "department"), "");
  EXPECT_EQ(Rights(clerk, "position"), "");
  Args makers;
  makers.Val(Variant("user")).Omitted().Val(Variant("R"));
  EXPECT_EQ(CallMethod(clerk, "GetAuthString", makers).ToText(), "'张三'");
  Variant demo = LoadedLogin("demo");
  EXPECT_EQ(Rights(demo, "WareHouse"), "");
  EXPECT_EQ(q9::testing::ErrorNumberOf([&] { Rights(demo, "planets"); }), kErrInvalidCall);
}

TEST_F(LoginSubstitutesTest, AccountAnswersFromTheSystemDatabase) {
  Variant account = GetProperty(LoadedLogin("demo", 2026), "Account");
  EXPECT_EQ(GetProperty(account, "STStartDate").ToDate().ToIsoDate(), "2025-03-15");
  // 2025-03-15 lies in the calendar-month period of 2025 that starts on the 1st.
  EXPECT_EQ(GetProperty(account, "STStartPeriodDate").ToDate().ToIsoDate(), "2025-03-01");
  Args march;
  march.Val(Variant(int32_t{3}));
  EXPECT_EQ(GetProperty(GetProperty(account, "Period", march), "BeginDate").ToDate().ToIsoDate(),
            "2026-02-26");
  Args thirteen;
  thirteen.Val(Variant(int32_t{13}));
  EXPECT_EQ(q9::testing::ErrorNumberOf([&] { GetProperty(account, "Period", thirteen); }),
            kErrSubscript);
  // The inner login carries the identity.
  Variant inner = GetProperty(LoadedLogin("clerk", 2025), "OldLogin");
  EXPECT_EQ(GetProperty(inner, "cAcc_Id").ToText(), "001");
  EXPECT_EQ(GetProperty(inner, "cIYear").ToI4(), 2025);
  EXPECT_EQ(GetProperty(inner, "cUserId").ToText(), "clerk");
}

TEST_F(LoginSubstitutesTest, TaskExecStates) {
  struct Case {
    const char* user;
    const char* func;
    int lock;
    bool granted;
    int state;
  } cases[] = {{"demo", "ST01", 0, true, 0},    {"clerk", "ST01", 0, true, 0},
               {"clerk", "ST02", 0, false, 20}, {"demo", "ST99", 0, false, 22},
               {"demo", "ST02", 1, false, 21},  {"demo", "ST02", 2, true, 0}};
  for (const Case& c : cases) {
    Variant inner = GetProperty(LoadedLogin(c.user), "OldLogin");
    CallMethod(inner, "ClearError");
    Args args;
    args.Val(Variant(c.func)).Val(Variant(static_cast<int16_t>(c.lock)));
    EXPECT_EQ(CallMethod(inner, "TaskExec", args).ToBool(), c.granted) << c.user << c.func;
    if (!c.granted) {
      EXPECT_EQ(GetProperty(inner, "LogState").ToI4(), c.state) << c.user << c.func;
      EXPECT_FALSE(GetProperty(inner, "ShareString").ToText().empty());
    }
  }
  Variant inner = GetProperty(LoadedLogin("demo"), "OldLogin");
  Args held;
  held.Val(Variant("ST02")).Val(Variant(int16_t{1}));
  CallMethod(inner, "TaskExec", held);
  EXPECT_EQ(GetProperty(inner, "ShareString").ToText(), "功能 格式设置 正被用户 clerk 使用");
  CallMethod(inner, "ClearError");
  EXPECT_EQ(GetProperty(inner, "LogState").ToI4(), 0);
  EXPECT_EQ(GetProperty(inner, "ShareString").ToText(), "");
}

}  // namespace
}  // namespace q9::platform::erp
