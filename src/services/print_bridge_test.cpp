#include "services/print_bridge.h"

#include <gtest/gtest.h>

#include <functional>

#include "component/iclskczt.h"
#include "platform/dispatch.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "platform/dispatch_test_doubles.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Args;
using platform::ComError;
using platform::InvokeKind;
using platform::Variant;

using testing::LoginOf;
using testing::ScriptedObject;

class ForwardPrintCommandTest : public ::testing::Test {
 protected:
  std::function<void(Args&)> script_;
  std::vector<std::shared_ptr<ScriptedObject>> created_;
  platform::ScopedProgId registration_{kPrintServiceProgId, [this] {
                                         auto s = std::make_shared<ScriptedObject>();
                                         s->scripts["Execute"] = [this](Args& a) {
                                           if (script_) script_(a);
                                           return Variant(true);
                                         };
                                         created_.push_back(s);
                                         return s;
                                       }};
  Variant login_{LoginOf(std::make_shared<ScriptedObject>())};
};

TEST_F(ForwardPrintCommandTest, HandsTheLoginThenCopiesOfTheValuesAndTheErrorByReference) {
  Variant command("csv:out.csv");
  Variant param(int32_t{7});
  Variant ret("return");
  std::string error = "before";
  ForwardPrintCommand(login_, command, param, ret, error);
  ASSERT_EQ(created_.size(), 1u);
  const std::vector<testing::Call>& calls = *created_[0]->calls;
  ASSERT_EQ(created_[0]->Members(), (std::vector<std::string>{"vklogin", "Execute"}));
  EXPECT_EQ(calls[0].kind, InvokeKind::kPropertyPutRef);
  EXPECT_EQ(calls[0].args, std::vector<Variant>{platform::GetProperty(login_, "OldLogin")});
  EXPECT_EQ(calls[1].args, (std::vector<Variant>{command, param, ret, Variant("before")}));
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
