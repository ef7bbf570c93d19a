#include "platform/erp/login_substitutes.h"

#include <gtest/gtest.h>

#include "platform/erp/caller_login.h"
#include "platform/error.h"
#include "support/login_fixture.h"

namespace q9::platform::erp {
namespace {

// Rights lists, periods and task rights are proved through the component on the demo company;
// here the states and the text of the inner login that no caller shows whole.
TEST(LoginSubstitutesTest, TaskExecStatesAndTheHolderOfALock) {
  testing::LoginFixture company;
  auto inner_login = [&](const char* user) {
    Variant login(CreateLogin());
    Variant caller(MakeCallerLogin(company.ConnectionString(), user, "001", 2026));
    Args args;
    args.Ref(&caller);
    CallMethod(login, "Load", args);
    return GetProperty(login, "OldLogin");
  };
  struct Case {
    const char* user;
    const char* func;
    int lock;
    int state;  // 0: granted
    const char* share;
  } cases[] = {{"demo", "ST01", 0, 0, ""},
               {"clerk", "ST01", 0, 0, ""},
               {"clerk", "ST02", 0, 20, nullptr},
               {"demo", "ST99", 0, 22, nullptr},
               {"demo", "ST02", 1, 21, "功能 格式设置 正被用户 clerk 使用"},
               {"demo", "ST02", 2, 0, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " " + c.func + " " + std::to_string(c.lock));
    Variant inner = inner_login(c.user);
    Args args;
    args.Val(Variant(c.func)).Val(Variant(static_cast<int16_t>(c.lock)));
    EXPECT_EQ(CallMethod(inner, "TaskExec", args).ToBool(), c.state == 0);
    EXPECT_EQ(GetProperty(inner, "LogState").ToI4(), c.state);
    std::string share = GetProperty(inner, "ShareString").ToText();
    if (c.share) {
      EXPECT_EQ(share, c.share);
    } else {
      EXPECT_FALSE(share.empty());
    }
    CallMethod(inner, "ClearError");
    EXPECT_EQ(GetProperty(inner, "LogState").ToI4(), 0);
    EXPECT_EQ(GetProperty(inner, "ShareString").ToText(), "");
  }
}

}  // namespace
}  // namespace q9::platform::erp
