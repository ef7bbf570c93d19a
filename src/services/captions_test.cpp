#include "services/captions.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/erp/register_substitutes.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Variant;

TEST(CaptionStatementTest, EachKindHasItsExactStatement) {
  struct Case {
    CaptionKind kind;
    const char* statement;
  } cases[] = {
      {CaptionKind::kInventoryDefine,
       " Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS "
       "cItem   From UserDef Where cClass = '存货' AND cItem Like '自定义项%' order by cID "},
      {CaptionKind::kInventoryFree,
       " Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS "
       "cItem   From UserDef Where cClass = '存货' AND cItem Like '自由项%' order by cID "},
      {CaptionKind::kHeaderDefine,
       " Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS "
       "cItem   From UserDef Where cClass = '单据头' AND cItem Like '自定义项%' order by cID "},
      {CaptionKind::kBodyDefine,
       " Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS "
       "cItem   From UserDef Where cClass = '单据头' AND cItem Like '自定义项%' order by cID "},
  };
  for (const Case& c : cases) EXPECT_EQ(CaptionStatement(c.kind), c.statement);
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
