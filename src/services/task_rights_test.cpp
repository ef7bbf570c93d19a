#include "services/task_rights.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Args;
using platform::ComError;
using platform::InvokeKind;
using platform::Variant;
using q9::testing::ErrorNumberOf;

// An inner login object with a scripted answer; it logs every member used, in order.
class ScriptedInnerLogin : public platform::Object {
 public:
  Variant task_result = Variant(false);
  Variant log_state = Variant(int32_t{0});
  Variant share_string = Variant("");
  bool fail_task = false;
  std::vector<std::string>* log = nullptr;
  std::vector<Variant> task_args;

  Variant Invoke(std::string_view name, InvokeKind, Args& args) override {
    log->emplace_back(name);
    if (platform::SameMemberName(name, "TaskExec")) {
      for (size_t i = 0; i < args.size(); ++i) task_args.push_back(args[i]);
      if (fail_task) throw ComError(5, "VtCOMMON.Login", "登录对象出错");
      return task_result;
    }
    if (platform::SameMemberName(name, "LogState")) return log_state;
    if (platform::SameMemberName(name, "ShareString")) return share_string;
    return Variant();
  }
  std::string ClassName() const override { return "ScriptedInnerLogin"; }
};

class ScriptedLogin : public platform::Object {
 public:
  std::shared_ptr<ScriptedInnerLogin> inner = std::make_shared<ScriptedInnerLogin>();
  std::vector<std::string> log;
  ScriptedLogin() { inner->log = &log; }
  Variant Invoke(std::string_view name, InvokeKind, Args&) override {
    log.emplace_back(name);
    return Variant(inner);
  }
  std::string ClassName() const override { return "ScriptedLogin"; }
};

TEST(AskTaskRightTest, GrantedAsksOnlyClearErrorAndTaskExec) {
  auto login = std::make_shared<ScriptedLogin>();
  login->inner->task_result = Variant(int32_t{-1});
  EXPECT_EQ(AskTaskRight(Variant(login), "ST0101", 3), std::nullopt);
  EXPECT_EQ(login->log, (std::vector<std::string>{"OldLogin", "ClearError", "TaskExec"}));
  EXPECT_EQ(login->inner->task_args,
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
    auto login = std::make_shared<ScriptedLogin>();
    login->inner->task_result = c.task_result;
    login->inner->log_state = c.state;
    login->inner->share_string = c.share;
    EXPECT_EQ(AskTaskRight(Variant(login), "ST01", 0), std::optional<std::string>(c.message));
    // ShareString is read (through a fresh OldLogin) in every refusal, before LogState.
    EXPECT_EQ(login->log, (std::vector<std::string>{"OldLogin", "ClearError", "TaskExec",
                                                    "OldLogin", "ShareString", "LogState"}));
  }
}

TEST(AskTaskRightTest, ErrorsOfTheLoginComponentPropagate) {
  auto login = std::make_shared<ScriptedLogin>();
  login->inner->fail_task = true;
  EXPECT_EQ(ErrorNumberOf([&] { AskTaskRight(Variant(login), "ST01", 0); }), 5);
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
