#include "services/captions.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/erp/register_substitutes.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Variant;
using testing::RecordsetFields;
using testing::RecordsetRows;
using Rows = std::vector<std::vector<std::string>>;

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
  Rows Captions(Method method) {
    Variant rs;
    Variant msg("untouched");
    EXPECT_TRUE((component_.*method)(rs, &msg)) << msg.ConcatText();
    EXPECT_EQ(msg, Variant("untouched"));
    if (!rs.has_object()) return {};
    EXPECT_EQ(RecordsetFields(rs), (std::vector<std::string>{"cID", "cItem"}));
    return RecordsetRows(rs);
  }

  testing::ServicesDatabase db_;
  IClsKCZT component_;
};

TEST_F(CaptionsTest, EachMethodReturnsTheCaptionsOfItsKindOrderedById) {
  db_.Exec(R"sql(
    INSERT INTO UserDef VALUES (3, '存货', '自定义项3', '');
    INSERT INTO UserDef VALUES (1, '存货', '自定义项1', '颜色');
    INSERT INTO UserDef VALUES (2, '存货', '自定义项2', NULL);
    INSERT INTO UserDef VALUES (5, '存货', '自由项1', '尺码');
    INSERT INTO UserDef VALUES (4, '存货', '自由项2', NULL);
    INSERT INTO UserDef VALUES (7, '单据头', '自定义项2', '合同号');
    INSERT INTO UserDef VALUES (6, '单据头', '自定义项1', NULL);
    INSERT INTO UserDef VALUES (8, '单据头', '自由项1', '不是定义项');
    INSERT INTO UserDef VALUES (9, '单据体', '自定义项1', '表体');
    INSERT INTO UserDef VALUES (10, '存货', '其他项', '别的');
  )sql");
  // NULL and empty captions fall back to the item's system name.
  EXPECT_EQ(Captions(&IClsKCZT::GetDefineName),
            (Rows{{"1", "颜色"}, {"2", "自定义项2"}, {"3", "自定义项3"}}));
  EXPECT_EQ(Captions(&IClsKCZT::GetFreeName), (Rows{{"4", "自由项2"}, {"5", "尺码"}}));
  Rows header{{"6", "自定义项1"}, {"7", "合同号"}};
  EXPECT_EQ(Captions(&IClsKCZT::GetHDefineName), header);
  EXPECT_EQ(Captions(&IClsKCZT::GetBDefineName), header);
}

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
