#include "services/print_bridge.h"

#include <gtest/gtest.h>

#include <functional>

#include "component/iclskczt.h"
#include "platform/dispatch.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"

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
class FixedLogin : public platform::Object {
 public:
  platform::ObjectPtr inner = std::make_shared<ScriptedPrintService>();
  Variant Invoke(std::string_view, InvokeKind, Args&) override { return Variant(inner); }
  std::string ClassName() const override { return "FixedLogin"; }
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

TEST_F(ForwardPrintCommandTest, OnlyTheErrorTextComesBack) {
  script_ = [](Args& a) {
    a[0] = Variant("changed");
    a[1] = Variant("changed");
    a[2] = Variant("changed");
    a[3] = Variant("打印机脱机");
  };
  Variant command("csv:out.csv");
  Variant param(int32_t{7});
  Variant ret("return");
  std::string error;
  ForwardPrintCommand(login_, command, param, ret, error);
  EXPECT_EQ(command, Variant("csv:out.csv"));
  EXPECT_EQ(param, Variant(int32_t{7}));
  EXPECT_EQ(ret, Variant("return"));
  EXPECT_EQ(error, "打印机脱机");
  ForwardPrintCommand(login_, command, param, ret, error);
  EXPECT_EQ(created_.size(), 2u);  // a new service for every call
}

TEST_F(ForwardPrintCommandTest, AnErrorAfterWritingTheTextKeepsTheText) {
  script_ = [](Args& a) {
    a[3] = Variant("纸张用完");
    throw ComError(5, "VtSTPrint.clsPrintItfService", "打印失败");
  };
  Variant v;
  std::string error;
  try {
    ForwardPrintCommand(login_, v, v, v, error);
    ADD_FAILURE() << "no error";
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "打印失败");
  }
  EXPECT_EQ(error, "纸张用完");
}

TEST(PrintSrvWithoutInitTest, TheMissingLoginIsAnError) {
  platform::erp::RegisterErpSubstitutes();
  IClsKCZT component;
  Variant command("csv:never.csv");
  Variant v;
  std::string error = "untouched";
  try {
    component.PrintSrv(command, v, v, error);
    ADD_FAILURE() << "printed without a login";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), platform::kErrObjectNotSet);
  }
  EXPECT_EQ(error, "untouched");
}

}  // namespace
}  // namespace q9::services
