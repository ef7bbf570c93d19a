#include "services/query_format.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/db/statement_gate.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Variant;
using testing::RecordsetRows;
using Rows = std::vector<std::vector<std::string>>;

TEST(QueryFormatStatementTest, LookupAndFormatRowsAreExact) {
  EXPECT_EQ(QueryLookupStatement("出入库流水账"),
            "Select ID from Rpt_GlbDEF Where SystemID='ST' And Name ='出入库流水账'  ");
  EXPECT_EQ(QueryLookupStatement("O'Brien's 台账"),
            "Select ID from Rpt_GlbDEF Where SystemID='ST' And Name ='O''Brien''s 台账'  ");
  EXPECT_EQ(FormatRowsStatement("12"),
            "SELECT * FROM Rpt_FldDef WHERE  [ORDEREx] <  100 AND ID = 12 ORDER BY [ORDEREx]");
}

class GetQueryFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::erp::RegisterErpSubstitutes();
    ASSERT_TRUE(component_.Init(db_.CallerLogin()));
    db_.Exec(R"sql(
      INSERT INTO Rpt_GlbDEF VALUES (12, 'ST', '出入库流水账');
      INSERT INTO Rpt_GlbDEF VALUES (30, 'IA', '出入库流水账');
      INSERT INTO Rpt_GlbDEF VALUES (13, 'ST', '空格式');
      INSERT INTO Rpt_GlbDEF VALUES (21, 'ST', '重名');
      INSERT INTO Rpt_GlbDEF VALUES (20, 'ST', '重名');
      INSERT INTO Rpt_FldDef VALUES (13, 100, 10, -1, 'x100', '只有100');
      INSERT INTO Rpt_FldDef VALUES (20, 1, 20, -1, 'a', '二十');
      INSERT INTO Rpt_FldDef VALUES (21, 1, 21, -1, 'b', '二十一');
    )sql");
  }

  testing::ServicesDatabase db_;
  IClsKCZT component_;
};

TEST_F(GetQueryFormatTest, OfSeveralDefinitionsTheFirstTheLookupReturnsSuppliesTheId) {
  Variant rs;
  Variant id;
  ASSERT_TRUE(component_.GetQueryFormat("重名", rs, nullptr, &id));
  EXPECT_EQ(id, Variant(int32_t{21}));
  EXPECT_EQ(RecordsetRows(rs), (Rows{{"21", "1", "21", "-1", "b", "二十一"}}));
  // The id and the message may be left out, on success and on failure.
  EXPECT_TRUE(component_.GetQueryFormat("重名", rs));
  EXPECT_FALSE(component_.GetQueryFormat("没有这个查询", rs));
  // A definition with rows at 100 and above only: found, and no rows.
  ASSERT_TRUE(component_.GetQueryFormat("空格式", rs, nullptr, &id));
  EXPECT_EQ(id, Variant(int32_t{13}));
  EXPECT_EQ(RecordsetRows(rs), Rows{});
  // The stock module's own definitions only (30 belongs to another module); a name that has none
  // leaves rs and the id alone.
  db_.Exec("DELETE FROM Rpt_GlbDEF WHERE ID = 12");
  rs = id = Variant("before");
  EXPECT_FALSE(component_.GetQueryFormat("出入库流水账", rs, nullptr, &id));
  EXPECT_EQ(rs, Variant("before"));
  EXPECT_EQ(id, Variant("before"));
}

TEST_F(GetQueryFormatTest, AnIdThatIsNotDigitsStopsBeforeTheFormatStatement) {
  db_.Exec(R"sql(
    INSERT INTO Rpt_GlbDEF VALUES ('7 OR 1=1', 'ST', '坏号');
    INSERT INTO Rpt_GlbDEF VALUES (NULL, 'ST', '空号');
  )sql");
  struct Case {
    const char* name;
    Variant id;
    const char* msg;
  } cases[] = {{"坏号", Variant("7 OR 1=1"),
                "Invalid procedure call or argument: 查询号 '7 OR 1=1' 不是数字"},
               {"空号", Variant::Null(), "Invalid procedure call or argument: 查询号为空"}};
  for (const Case& c : cases) {
    std::vector<std::string> statements;
    platform::db::ScopedStatementHook hook(
        [&](std::string_view sql, uint64_t) { statements.emplace_back(sql); });
    Variant rs("before");
    Variant id;
    std::string msg;
    EXPECT_FALSE(component_.GetQueryFormat(c.name, rs, &msg, &id));
    EXPECT_EQ(msg, c.msg);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(rs, Variant("before"));
    EXPECT_EQ(statements, std::vector<std::string>{QueryLookupStatement(c.name)});
  }
}

}  // namespace
}  // namespace q9::services
