#include "services/task_rights.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "platform/dispatch_test_doubles.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Args;
using platform::ComError;
using platform::Variant;
using q9::testing::ErrorNumberOf;

using testing::Answer;
using testing::LoginOf;
using testing::ScriptedObject;

// An inner login whose TaskExec answers `task_result`, with the given LogState and ShareString.
std::shared_ptr<ScriptedObject> InnerLogin(Variant task_result, Variant state = Variant(),
                                           Variant share = Variant()) {
  auto inner = std::make_shared<ScriptedObject>();
  inner->scripts = {{"TaskExec", Answer(task_result)},
                    {"LogState", Answer(state)},
                    {"ShareString", Answer(share)}};
  return inner;
}

TEST(AskTaskRightTest, GrantedAsksOnlyClearErrorAndTaskExec) {
  auto inner = InnerLogin(Variant(int32_t{-1}));
  EXPECT_EQ(AskTaskRight(Variant(LoginOf(inner)), "ST0101", 3), std::nullopt);
  EXPECT_EQ(inner->Members(), (std::vector<std::string>{"OldLogin", "ClearError", "TaskExec"}));
  EXPECT_EQ(inner->calls->back().args,
            (std::vector<Variant>{Variant("ST0101"), Variant(int16_t{3})}));
}

TEST(AskTaskRightTest, EachRefusalHasItsMessage) {
  struct Case {
    Variant task_result;
    Variant state;
    Variant share;
    const char* message;
  } cases[] = {{Variant(false), Variant(int32_t{20}), Variant("ignored"), "对不起,您没有该项权限!"},
               {Variant("False"), Variant(int16_t{22}), Variant("ignored"),
                "指定功能号不存在(仅发生在功能释放时)"},
               {Variant(int32_t{0}), Variant(int32_t{21}), Variant("功能正被用户 lisi 使用"),
                "功能正被用户 lisi 使用，请稍后再试"},
               {Variant(false), Variant(int32_t{99}), Variant(""), "，请稍后再试"},
               {Variant(false), Variant(int32_t{0}), Variant("锁定"), "锁定，请稍后再试"},
               {Variant(false), Variant::Null(), Variant("未知"), "未知，请稍后再试"},
               {Variant(false), Variant("20"), Variant("x"), "对不起,您没有该项权限!"}};
  for (const Case& c : cases) {
    auto inner = InnerLogin(c.task_result, c.state, c.share);
    EXPECT_EQ(AskTaskRight(Variant(LoginOf(inner)), "ST01", 0),
              std::optional<std::string>(c.message));
    // ShareString is read (through a fresh OldLogin) in every refusal, before LogState.
    EXPECT_EQ(inner->Members(), (std::vector<std::string>{"OldLogin", "ClearError", "TaskExec",
                                                          "OldLogin", "ShareString", "LogState"}));
  }
}

TEST(AskTaskRightTest, ErrorsOfTheLoginComponentPropagate) {
  auto inner = std::make_shared<ScriptedObject>();
  inner->scripts["TaskExec"] = [](Args&) -> Variant { throw ComError(5, "Login", "登录对象出错"); };
  EXPECT_EQ(ErrorNumberOf([&] { AskTaskRight(Variant(LoginOf(inner)), "ST01", 0); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { AskTaskRight(Variant::Nothing(), "ST01", 0); }),
            platform::kErrObjectNotSet);
  // Through the component without Init too.
  IClsKCZT component;
  Variant msg("untouched");
  EXPECT_EQ(ErrorNumberOf([&] { component.GetTaskAuth("ST01", 0, &msg); }),
            platform::kErrObjectNotSet);
  EXPECT_EQ(msg, Variant("untouched"));
}

}  // namespace
}  // namespace q9::services
