#include "services/format_save.h"

#include <gtest/gtest.h>

#include "component/iclskczt.h"
#include "platform/db/statement_gate.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/services_fixture.h"

namespace q9::services {

bool operator==(const ColFormat& a, const ColFormat& b) {
  return a.Width == b.Width && a.Visible == b.Visible && a.ORDEREx == b.ORDEREx;
}

void PrintTo(const ColFormat& c, std::ostream* os) {
  *os << "{" << c.Width << ", " << c.Visible << ", " << c.ORDEREx << "}";
}

namespace {

using component::IClsKCZT;
using Rows = std::vector<std::vector<std::string>>;

struct ReadResult {
  std::string query_id;
  std::vector<ColFormat> cols;
};

ReadResult Read(const std::string& text, std::string query_id = "previous") {
  platform::xml::Document doc;
  doc.LoadXml(text);
  ReadResult r{std::move(query_id), {{1, 1, 1}}};
  ReadFormatXml(&doc, r.query_id, r.cols);
  return r;
}

TEST(ReadFormatXmlTest, ReadsEveryColumnWithItsConversions) {
  struct Case {
    const char* xml;
    const char* query_id;
    std::vector<ColFormat> cols;
  } cases[] = {
      // Halves round to the even whole number.
      {R"(<queryid value="12"><col1 visible="true" width="80"/><col2 visible="False" width="60"/>
          <col3 visible="0" width="2.5"/><col4 visible="-1" width="3.5"/>
          <col5 visible=" TRUE " width="-7"/></queryid>)",
       "12",
       {{80, -1, 1}, {60, 0, 2}, {2, 0, 3}, {4, -1, 4}, {-7, -1, 5}}},
      // Two children, so two columns; the first col1 in document order wins.
      {R"(<format><group><queryid value="7"/><col2 visible="false" width="5"/>
          <col1 visible="true" width="1"/></group><col1 visible="false" width="99"/></format>)",
       "7",
       {{1, -1, 1}, {5, 0, 2}}},
      // An empty query id keeps the previous one.
      {R"(<queryid value=""><col1 visible="true" width="8"/></queryid>)",
       "previous",
       {{8, -1, 1}}}};
  for (const Case& c : cases) {
    ReadResult r = Read(c.xml);
    EXPECT_EQ(r.query_id, c.query_id);
    EXPECT_EQ(r.cols, c.cols);
  }
}

TEST(ReadFormatXmlTest, FaultsOfTheDocumentAreNamed) {
  struct Case {
    const char* xml;
    int number;
    const char* description;
  } cases[] = {
      {"<queryid value='1'><col1", platform::kErrObjectNotSet, "格式文档无法解析"},
      {"<format><col1 visible='true' width='1'/></format>", platform::kErrObjectNotSet,
       "格式文档中没有 queryid 元素"},
      {"<queryid><col1 visible='true' width='1'/></queryid>", platform::kErrObjectNotSet,
       "格式文档的 queryid 元素没有 value 属性"},
      {"<queryid value='1'/>", platform::kErrSubscript, "格式文档的根元素没有子节点"},
      {"<queryid value='1'><col1 visible='true' width='1'/><extra/></queryid>",
       platform::kErrObjectNotSet, "格式文档中没有 col2 元素"},
      {"<queryid value='1'><!-- note --><col1 visible='true' width='1'/></queryid>",
       platform::kErrObjectNotSet, "格式文档中没有 col2 元素"},
      {"<queryid value='1'><col1 width='1'/></queryid>", platform::kErrObjectNotSet,
       "格式文档的 col1 元素没有 visible 属性"},
      {"<queryid value='1'><col1 visible='true'/></queryid>", platform::kErrObjectNotSet,
       "格式文档的 col1 元素没有 width 属性"},
      {"<queryid value='1'><col1 visible='yes' width='wide'/></queryid>",
       platform::kErrTypeMismatch, "格式文档 col1 的 visible 值 'yes' 不是 true、false 或数字"},
      {"<queryid value='1'><col1 visible='1' width='wide'/></queryid>", platform::kErrTypeMismatch,
       "格式文档 col1 的 width 值 'wide' 不是数字"},
      {"<queryid value='1'><col1 visible='1' width='3000000000'/></queryid>",
       platform::kErrOverflow, "格式文档 col1 的 width 值 '3000000000' 超出范围"}};
  for (const Case& c : cases) {
    auto e = q9::testing::ErrorOf([&] { Read(c.xml); });
    ASSERT_TRUE(e) << "accepted " << c.xml;
    EXPECT_EQ(e->number(), c.number) << c.xml;
    EXPECT_NE(e->description().find(c.description), std::string::npos) << e->description();
  }
}

TEST(ReadFormatXmlTest, MoreThan32767ColumnsOverflow) {
  std::string xml = "<queryid value='1'>";
  for (int i = 0; i < 32769; ++i) xml += "<x/>";
  EXPECT_EQ(q9::testing::ErrorNumberOf([&] { Read(xml + "</queryid>"); }), platform::kErrOverflow);
}

class SaveFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::erp::RegisterErpSubstitutes();
    ASSERT_TRUE(component_.Init(db_.CallerLogin()));
    db_.Exec(R"sql(
      INSERT INTO Rpt_GlbDEF VALUES (12, 'ST', '台账'), (13, 'ST', '别的');
      INSERT INTO Rpt_FldDef VALUES (12, 1, 50, 0, 'dDate', '日期');
      INSERT INTO Rpt_FldDef VALUES (12, 2, 55, -1, 'cCode', '单号');
      INSERT INTO Rpt_FldDef VALUES (12, 100, 9, -1, 'x100', '第一百');
      INSERT INTO Rpt_FldDef VALUES (13, 1, 70, -1, 'other', '别的定义');
    )sql");
  }

  Rows Table() {
    return db_.Rows(
        "SELECT ID, ORDEREx, Width, Visible, cFieldName, cCaption FROM Rpt_FldDef "
        "ORDER BY ID, ORDEREx, rowid");
  }

  // Saves and records the statements that ran.
  bool Save(const std::string& xml, std::string& msg,
            std::vector<std::string>* statements = nullptr) {
    std::vector<std::string> seen;
    platform::db::ScopedStatementHook hook(
        [&](std::string_view sql, uint64_t) { seen.emplace_back(sql); });
    bool ok = component_.SaveFormat(xml, msg);
    if (statements) *statements = seen;
    return ok;
  }

  testing::ServicesDatabase db_;
  IClsKCZT component_;
};

const char* kThreeColumns = R"(<queryid value="12">
    <col1 visible="true" width="80"/>
    <col2 visible="false" width="60.5"/>
    <col3 visible="true" width="120"/>
  </queryid>)";

TEST_F(SaveFormatTest, UpdatesPresentPositionsAndInsertsTheOthers) {
  std::string msg = "untouched";
  std::vector<std::string> statements;
  ASSERT_TRUE(Save(kThreeColumns, msg, &statements)) << msg;
  EXPECT_EQ(msg, "untouched");
  EXPECT_EQ(statements,
            (std::vector<std::string>{
                "SELECT ID FROM Rpt_GlbDEF WHERE ID = 12",
                "SELECT * FROM Rpt_FldDef WHERE ORDEREX=1  And [ORDEREx] <  100 AND ID = 12 "
                "ORDER BY [ORDEREx]",
                " UPDATE Rpt_FldDef SET Visible=-1,Width='80', ORDEREx = 1 WHERE ORDEREX =1 And "
                "ID = 12",
                "SELECT * FROM Rpt_FldDef WHERE ORDEREX=2  And [ORDEREx] <  100 AND ID = 12 "
                "ORDER BY [ORDEREx]",
                " UPDATE Rpt_FldDef SET Visible=0,Width='60', ORDEREx = 2 WHERE ORDEREX =2 And "
                "ID = 12",
                "SELECT * FROM Rpt_FldDef WHERE ORDEREX=3  And [ORDEREx] <  100 AND ID = 12 "
                "ORDER BY [ORDEREx]",
                " INSERT INTO Rpt_FldDef(ID,   Width, Visible,ORDEREx) VALUES (12,'120',-1,3)",
            }));
  // Updated rows keep their other columns; the inserted one gets the table's defaults.
  Rows expected{{"12", "1", "80", "-1", "dDate", "日期"},
                {"12", "2", "60", "0", "cCode", "单号"},
                {"12", "3", "120", "-1", "", "未命名"},
                {"12", "100", "9", "-1", "x100", "第一百"},
                {"13", "1", "70", "-1", "other", "别的定义"}};
  EXPECT_EQ(Table(), expected);
  // Saving again updates every position: no duplicates.
  ASSERT_TRUE(Save(kThreeColumns, msg)) << msg;
  EXPECT_EQ(Table(), expected);
}

// An empty document runs no statement (ids that are no number: the injection suite).
TEST_F(SaveFormatTest, AnEmptyDocumentRunsNoStatement) {
  std::string msg;
  std::vector<std::string> statements;
  EXPECT_FALSE(Save("", msg, &statements));
  EXPECT_EQ(msg, " 信息不完整！");
  EXPECT_TRUE(statements.empty());
}

}  // namespace
}  // namespace q9::services
