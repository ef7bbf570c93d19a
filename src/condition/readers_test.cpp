#include "condition/readers.h"

#include <gtest/gtest.h>

#include "condition/condition_test_support.h"

namespace q9::condition {
namespace {

using platform::Variant;
using testing::ConditionXml;
using testing::ErrorOf;

constexpr const char* kAudit = " ISNULL(R.cHandler,'') <> ''";

ConditionState ReadStock(const ConditionXml& xml, ConditionState state = {}) {
  ReadStockCondition(*xml.Load(), testing::StandardAccount(), state);
  return state;
}

ConditionState ReadPosition(const ConditionXml& xml, ConditionState state = {}) {
  ReadPositionCondition(*xml.Load(), testing::StandardAccount(), state);
  return state;
}

std::string Dump(const ConditionState& s) {
  std::string shown;
  for (bool b : s.blnFreeShow) shown += b ? '1' : '0';
  return s.strWhere + "|" + s.strHaving + "|" + s.strAssUnit + "|" + s.strFreeCols + "|" +
         s.strBeforeDate + "|" + s.strDateCond + "|" + (s.blnVerDate ? "ver" : "doc") + "|" + shown;
}

// isverdate other than exactly "false" reads verification dates and forces the audit condition;
// includeaudit "0" (trimmed) asks for it too. The position ledger has neither.
TEST(ReadersTest, IsVerDateAndIncludeAudit) {
  struct Case {
    const char* isverdate;
    const char* includeaudit;
    bool ver_date;
    bool audit;
  } cases[] = {{"false", "1", false, false},  {"false", "", false, false},
               {"false", " 0 ", false, true}, {"true", "1", true, true},
               {"", "1", true, true},         {"FALSE", "1", true, true},
               {" false", "1", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.isverdate) + "/" + c.includeaudit);
    ConditionXml xml = ConditionXml::With({{"ddate", "isverdate", c.isverdate},
                                           {"ddate", "value1", "2024-1-10"},
                                           {"ddate", "value2", "2024-01-10"},
                                           {"includeaudit", "value", c.includeaudit}});
    ConditionState stock = ReadStock(xml);
    EXPECT_EQ(stock.blnVerDate, c.ver_date);
    EXPECT_EQ(stock.strWhere,
              std::string("(1=1)") + (c.audit ? " AND " + std::string(kAudit) : ""));
    EXPECT_EQ(stock.strDateCond,
              c.ver_date ? "R.dVeriDate = '2024-01-10'" : "R.dDate = '2024-01-10'");
    EXPECT_EQ(stock.strBeforeDate,
              c.ver_date ? "R.dVeriDate < '2024-01-10'" : "R.dDate < '2024-01-10'");
    ConditionState position = ReadPosition(xml);
    EXPECT_EQ(position.blnVerDate, c.ver_date);
    EXPECT_EQ(position.strWhere, "(1=1)");
    EXPECT_EQ(position.strDateCond, "IP.dDate = '2024-01-10'");
    EXPECT_EQ(position.strBeforeDate, "IP.dDate < '2024-01-10'");
  }
}

// The five selection standards over the aggregate expressions of each ledger, for the range
// 2024-01-01 to 2024-01-31 on document dates.
TEST(ReadersTest, HavingOfEveryStandard) {
  const std::string dc = "R.dDate >= '2024-01-01' AND R.dDate <= '2024-01-31'";
  const std::string bd = "R.dDate < '2024-01-01'";
  const std::string s_receipt =
      "Sum(Case When R.bISSTQc = 0 And " + dc + " And R.bRdFlag =1 then 1 else 0 end)  ";
  const std::string s_issue =
      "Sum(Case When R.bISSTQc = 0 And " + dc + " And R.bRdFlag = 0 then 1 else 0 end) ";
  const std::string s_activity = "SUM(CASE WHEN R.bISSTQc = 0 And " + dc + " THEN 1 ELSE 0 END)";
  const std::string s_opening = "SUM( CASE WHEN R.bISSTQc = 1 Or " + bd +
                                " THEN (CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0) ELSE "
                                "-ISNULL(Rs.iQuantity,0) END) ELSE 0 END)";

  const std::string pdc = "IP.dDate >= '2024-01-01' AND IP.dDate <= '2024-01-31'";
  const std::string pbd = "IP.dDate < '2024-01-01'";
  const std::string p_receipt =
      "Sum(Case When  " + pdc + " And IP.bRdFlag = 1 then 1 else 0 end)  ";
  const std::string p_issue = "Sum(Case When  " + pdc + " And IP.bRdFlag = 0 then 1 else 0 end) ";
  const std::string p_activity = "SUM(CASE WHEN " + pdc + " THEN 1 ELSE 0 END)";
  const std::string p_opening = "SUM( CASE WHEN " + pbd +
                                " THEN (CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0) "
                                "ELSE -ISNULL(IP.iQuantity,0) END) ELSE 0 END)";

  struct Case {
    const char* standard;
    std::string stock;
    std::string position;
  } cases[] = {{"所有存货", s_opening + "<>0 OR " + s_activity + "> 0",
                p_opening + ">0 OR " + p_activity + "> 0"},
               {"发生业务", s_activity + ">0", p_activity + ">0"},
               {"未发生业务", s_opening + "<>0 AND " + s_activity + " = 0",
                p_opening + ">0 AND " + p_activity + " = 0"},
               {"入库未出库", s_receipt + " > 0 AND " + s_issue + " = 0 ",
                p_receipt + " > 0 AND " + p_issue + " = 0 "},
               {"出库未入库", s_receipt + " = 0 AND " + s_issue + " > 0 ",
                p_receipt + " = 0 AND " + p_issue + " > 0 "}};
  for (const Case& c : cases) {
    ConditionXml xml = ConditionXml::With({{"standard", "value1", c.standard},
                                           {"ddate", "value1", "2024-01-01"},
                                           {"ddate", "value2", "2024-01-31"}});
    EXPECT_EQ(ReadStock(xml).strHaving, c.stock) << c.standard;
    EXPECT_EQ(ReadPosition(xml).strHaving, c.position) << c.standard;
  }
}

TEST(ReadersTest, StandardIsTrimmedAndAnyOtherTextClearsAnEarlierTest) {
  const std::string activity =
      "SUM(CASE WHEN R.bISSTQc = 0 And R.dDate >= '2024-02-26' THEN 1 ELSE 0 END)>0";
  struct Step {
    const char* standard;
    std::string having;
  } steps[] = {{" 发生业务 ", activity}, {"发生", ""}, {"发生业务x", ""}};
  ConditionState state;
  for (const Step& step : steps) {
    ReadStockCondition(*ConditionXml::With({{"standard", "value1", step.standard}}).Load(),
                       testing::StandardAccount(), state);
    EXPECT_EQ(state.strHaving, step.having) << "[" << step.standard << "]";
  }
  state.strHaving = "from an earlier reading";
  ReadPositionCondition(*ConditionXml::With({{"standard", "value1", "出库"}}).Load(),
                        testing::StandardAccount(), state);
  EXPECT_EQ(state.strHaving, "");
}

TEST(ReadersTest, ValuesOfEachStepReachTheirPlace) {
  struct Case {
    const char* name;
    ConditionXml doc;
    const char* stock_where;
    const char* position_where;
  } cases[] = {
      {"inventory range reversed",
       ConditionXml::With({{"inventory", "value1", "003"}, {"inventory", "value2", "001"}}),
       "(1=1) AND  I.cInvCode >= '001' AND I.cInvCode <= '003'",
       "(1=1) AND  I.cInvCode >= '001' AND I.cInvCode <= '003'"},
      {"inventory standard with blanks kept", ConditionXml::With({{"invstd", "value1", " 10 mm "}}),
       "(1=1) AND I.cInvStd = ' 10 mm '", "(1=1) AND I.cInvStd = ' 10 mm '"},
      {"batch: one exact value in stock, range in position",
       ConditionXml::With({{"batch", "value1", "B2"}, {"batch", "value2", "B1"}}),
       "(1=1) AND Rs.cBatch = 'B2'",
       "(1=1) AND  LEFT(IP.cBatch,LEN('B1')) >= 'B1' AND LEFT(IP.cBatch,LEN('B2')) <= 'B2'"},
      {"position range only in position",
       ConditionXml::With({{"position", "value1", "A05"}, {"position", "value2", "A01"}}), "(1=1)",
       "(1=1) AND  IP.cPosCode >= 'A01' AND IP.cPosCode <= 'A05'"},
      {"free items then defines last",
       ConditionXml::With({{"invdefine1", "value1", "d"},
                           {"free10", "check", "1"},
                           {"free10", "value1", "f"},
                           {"batch", "value1", "B"}}),
       "(1=1) AND Rs.cBatch = 'B' AND  cFree10 LIKE 'f%' AND  cInvDefine1 LIKE 'd%'",
       "(1=1) AND  IP.cBatch LIKE 'B%' AND  cFree10 LIKE 'f%' AND  cInvDefine1 LIKE 'd%'"},
      {"quotes doubled in every literal",
       ConditionXml::With({{"warehouse", "value1", "0'1"},
                           {"invclass", "value1", "0'2"},
                           {"invstd", "value1", "1/2'"},
                           {"batch", "value1", "'B"}}),
       "(1=1) AND W.cWhCode = '0''1'  AND  I.cInvCCode LIKE '0''2%' AND I.cInvStd = '1/2''' AND "
       "Rs.cBatch = '''B'",
       "(1=1) AND W.cWhCode = '0''1'  AND  I.cInvCCode LIKE '0''2%' AND I.cInvStd = '1/2''' AND  "
       "IP.cBatch LIKE '''B%'"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ReadStock(c.doc).strWhere, c.stock_where) << c.name;
    EXPECT_EQ(ReadPosition(c.doc).strWhere, c.position_where) << c.name;
  }
}

TEST(ReadersTest, AuxiliaryUnitMustBeAWholeNumber) {
  struct Case {
    const char* value;
    const char* stored;
  } good[] = {{" 2 ", "2"}, {"-1", "-1"}};
  for (const Case& c : good) {
    EXPECT_EQ(ReadStock(ConditionXml::With({{"assunit", "value1", c.value}})).strAssUnit, c.stored);
    EXPECT_EQ(ReadPosition(ConditionXml::With({{"assunit", "value1", c.value}})).strAssUnit,
              c.stored);
  }
  for (const char* bad : {"", "1.5", "1 2", "2;DROP TABLE Inventory", "+", "\xE4\xB8\x80"}) {
    for (bool position : {false, true}) {
      ConditionState state;
      state.strAssUnit = "7";
      ConditionXml xml = ConditionXml::With({{"assunit", "value1", bad}});
      auto e = ErrorOf([&] { position ? ReadPosition(xml, state) : ReadStock(xml, state); });
      ASSERT_TRUE(e) << "accepted [" << bad << "]";
      EXPECT_EQ(e->number(), platform::kErrTypeMismatch);
      EXPECT_EQ(e->description(),
                std::string("条件文档的元素 <assunit> 的属性 value1 的值 '") + bad + "' 不是整数");
    }
  }
}

// Every element and attribute of the document is required, except what only the other ledger
// reads: the position range and the batch's second value (stock), the audit flag (position).
TEST(ReadersTest, EveryElementAndAttributeReadIsRequired) {
  for (bool position : {false, true}) {
    for (const auto& [element, attributes] : ConditionXml().Names()) {
      const bool element_unread = position ? element == "includeaudit" : element == "position";
      std::vector<std::tuple<ConditionXml, std::string, bool>> docs = {
          {ConditionXml().Remove(element), "条件文档缺少元素 <" + element + ">", element_unread}};
      for (const std::string& attribute : attributes) {
        ConditionXml xml;
        // A free item's values are read only when it is shown.
        if (element.starts_with("free")) xml.Set(element, "check", "1");
        docs.push_back(
            {xml.RemoveAttribute(element, attribute),
             "条件文档的元素 <" + element + "> 缺少属性 " + attribute,
             element_unread || (!position && element == "batch" && attribute == "value2")});
      }
      for (const auto& [xml, description, unread] : docs) {
        auto e = ErrorOf([&] { position ? ReadPosition(xml) : ReadStock(xml); });
        if (unread) {
          EXPECT_FALSE(e) << (position ? "position: " : "stock: ") << description;
          continue;
        }
        ASSERT_TRUE(e) << "read without: " << description;
        EXPECT_EQ(e->number(), platform::kErrObjectNotSet);
        EXPECT_EQ(e->description(), description);
      }
    }
  }
}

ConditionState EarlierState() {
  ConditionState s;
  s.strWhere = "earlier where";
  s.strHaving = "earlier having";
  s.strAssUnit = "9";
  s.strFreeCols = "earlier cols";
  s.strBeforeDate = "earlier before";
  s.strDateCond = "earlier date";
  s.blnVerDate = false;
  s.blnFreeShow.fill(true);
  return s;
}

TEST(ReadersTest, AFailingStepLeavesTheEarlierStepsWrittenAndTheLaterOnesAsTheyWere) {
  struct Case {
    ConditionXml doc;
    std::string expected;
  } cases[] = {
      {ConditionXml::With({{"ddate", "isverdate", "x"}, {"ddate", "value1", "x"}}),
       "earlier where|earlier having|9|earlier cols|earlier before|earlier date|ver|1111111111"},
      {ConditionXml::With({{"standard", "value1", "发生业务"},
                           {"free1", "check", "1"},
                           {"free1", "value1", "a"},
                           {"assunit", "value1", "2"}})
           .Remove("free5"),
       "(1=1)|SUM(CASE WHEN R.bISSTQc = 0 And R.dDate >= '2024-02-26' THEN 1 ELSE 0 END)>0|2| "
       "cFree1 ,|R.dDate < '2024-02-26'|R.dDate >= '2024-02-26'|doc|1000000000"}};
  for (const Case& c : cases) {
    ConditionState s = EarlierState();
    ASSERT_TRUE(ErrorOf([&] { ReadStockCondition(*c.doc.Load(), testing::StandardAccount(), s); }));
    EXPECT_EQ(Dump(s), c.expected);
  }
}

}  // namespace
}  // namespace q9::condition
