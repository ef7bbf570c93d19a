#include "services/captions.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/erp/register_substitutes.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Variant;

// One statement over UserDef for every kind; the body defines read the header's rows.
TEST(CaptionStatementTest, EachKindHasItsExactStatement) {
  auto statement = [](const std::string& cls, const std::string& item) {
    return " Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS "
           "cItem   From UserDef Where cClass = '" +
           cls + "' AND cItem Like '" + item + "%' order by cID ";
  };
  EXPECT_EQ(CaptionStatement(CaptionKind::kInventoryDefine), statement("存货", "自定义项"));
  EXPECT_EQ(CaptionStatement(CaptionKind::kInventoryFree), statement("存货", "自由项"));
  EXPECT_EQ(CaptionStatement(CaptionKind::kHeaderDefine), statement("单据头", "自定义项"));
  EXPECT_EQ(CaptionStatement(CaptionKind::kBodyDefine), statement("单据头", "自定义项"));
}

class CaptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::erp::RegisterErpSubstitutes();
    std::string msg = "untouched";
    ASSERT_TRUE(component_.Init(db_.CallerLogin(), &msg)) << msg;
  }

  using Method = bool (IClsKCZT::*)(Variant&, Variant*);

  testing::ServicesDatabase db_;
  IClsKCZT component_;
};

TEST_F(CaptionsTest, ADatabaseErrorGivesFalseWithItsDescriptionAndLeavesRsAlone) {
  db_.Exec("DROP TABLE UserDef");
  for (Method m : {&IClsKCZT::GetDefineName, &IClsKCZT::GetFreeName, &IClsKCZT::GetHDefineName,
                   &IClsKCZT::GetBDefineName}) {
    Variant rs("before");
    Variant msg;
    EXPECT_FALSE((component_.*m)(rs, &msg));
    EXPECT_EQ(rs, Variant("before"));
    EXPECT_NE(msg.ConcatText().find("UserDef"), std::string::npos) << msg.ConcatText();
    // The message argument is optional.
    EXPECT_FALSE((component_.*m)(rs, nullptr));
  }
}

TEST(CaptionsWithoutInitTest, AClosedConnectionIsReportedThroughTheMessage) {
  IClsKCZT component;
  Variant rs;
  Variant msg;
  EXPECT_FALSE(component.GetDefineName(rs, &msg));
  EXPECT_EQ(msg, Variant("Operation is not allowed when the object is closed."));
}

}  // namespace
}  // namespace q9::services
