#include "services/print_bridge.h"

#include <gtest/gtest.h>

#include <functional>

#include "component/iclskczt.h"
#include "platform/dispatch.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Args;
using platform::ComError;
using platform::InvokeKind;
using platform::Variant;

// A print service that records what it received and then does what the test scripts.
class ScriptedPrintService : public platform::Object {
 public:
  std::vector<std::string> log;
  Variant vklogin;
  std::vector<Variant> execute_args;
  std::function<void(Args&)> on_execute;

  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override {
    log.emplace_back(std::string(name) + (kind == InvokeKind::kPropertyPutRef ? " (put ref)" : ""));
    if (platform::SameMemberName(name, "vklogin")) vklogin = args[0];
    if (platform::SameMemberName(name, "Execute")) {
      for (size_t i = 0; i < args.size(); ++i) execute_args.push_back(args[i]);
      if (on_execute) on_execute(args);
    }
    return Variant(true);
  }
  std::string ClassName() const override { return "ScriptedPrintService"; }
};

// A gLogin whose OldLogin is always the same object.
class FixedLogin : public platform::MemberObject {
 public:
  FixedLogin() : MemberObject("FixedLogin") {
    members_.Get("OldLogin", [inner = std::make_shared<ScriptedPrintService>()](Args&) {
      return Variant(inner);
    });
  }
};

class ForwardPrintCommandTest : public ::testing::Test {
 protected:
  std::function<void(Args&)> script_;
  std::vector<std::shared_ptr<ScriptedPrintService>> created_;
  platform::ScopedProgId registration_{kPrintServiceProgId, [this] {
                                         auto s = std::make_shared<ScriptedPrintService>();
                                         s->on_execute = script_;
                                         created_.push_back(s);
                                         return s;
                                       }};
  Variant login_{std::make_shared<FixedLogin>()};
};

TEST_F(ForwardPrintCommandTest, HandsTheLoginThenCopiesOfTheValuesAndTheErrorByReference) {
  Variant command("csv:out.csv");
  Variant param(int32_t{7});
  Variant ret("return");
  std::string error = "before";
  ForwardPrintCommand(login_, command, param, ret, error);
  ASSERT_EQ(created_.size(), 1u);
  const ScriptedPrintService& s = *created_[0];
  EXPECT_EQ(s.log, (std::vector<std::string>{"vklogin (put ref)", "Execute"}));
  EXPECT_EQ(s.vklogin, platform::GetProperty(login_, "OldLogin"));
  EXPECT_EQ(s.execute_args, (std::vector<Variant>{command, param, ret, Variant("before")}));
  EXPECT_EQ(error, "before");
}

// Only the error text comes back, also when Execute fails after writing it; every call makes a
// new service.
TEST_F(ForwardPrintCommandTest, OnlyTheErrorTextComesBack) {
  for (bool fails : {false, true}) {
    script_ = [fails](Args& a) {
      a[0] = a[1] = a[2] = Variant("changed");
      a[3] = Variant("打印机脱机");
      if (fails) throw ComError(5, "VtSTPrint.clsPrintItfService", "打印失败");
    };
    Variant command("csv:out.csv"), param(int32_t{7}), ret("return");
    std::string error;
    auto e = q9::testing::ErrorOf([&] { ForwardPrintCommand(login_, command, param, ret, error); });
    EXPECT_EQ(e ? e->description() : "", fails ? "打印失败" : "");
    EXPECT_EQ(command, Variant("csv:out.csv"));
    EXPECT_EQ(param, Variant(int32_t{7}));
    EXPECT_EQ(ret, Variant("return"));
    EXPECT_EQ(error, "打印机脱机");
  }
  EXPECT_EQ(created_.size(), 2u);
}

TEST(PrintSrvWithoutInitTest, TheMissingLoginIsAnError) {
  platform::erp::RegisterErpSubstitutes();
  IClsKCZT component;
  Variant command("csv:never.csv"), v;
  std::string error = "untouched";
  EXPECT_EQ(q9::testing::ErrorNumberOf([&] { component.PrintSrv(command, v, v, error); }),
            platform::kErrObjectNotSet);
  EXPECT_EQ(error, "untouched");
}

}  // namespace
}  // namespace q9::services
