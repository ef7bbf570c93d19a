#include "condition/readers.h"

#include <gtest/gtest.h>

#include <functional>

#include "condition/condition_test_support.h"

namespace q9::condition {
namespace {

using platform::Variant;
using testing::ConditionXml;
using testing::ErrorOf;

using Flags = std::array<bool, 10>;
using Reader = std::function<void(const platform::xml::Document&, const Variant&, ConditionState&)>;

constexpr const char* kAudit = " ISNULL(R.cHandler,'') <> ''";

ConditionState ReadStock(const ConditionXml& xml, ConditionState state = {}) {
  ReadStockCondition(*xml.Load(), testing::StandardAccount(), state);
  return state;
}

ConditionState ReadPosition(const ConditionXml& xml, ConditionState state = {}) {
  ReadPositionCondition(*xml.Load(), testing::StandardAccount(), state);
  return state;
}

// StandardAccount's stock start text is 2024-02-26.
TEST(ReadStockConditionTest, WorkedExample) {
  ConditionState s = ReadStock(ConditionXml()
                                   .Set("ddate", "isverdate", "true")
                                   .Set("warehouse", "value1", "01")
                                   .Set("invclass", "value1", "02")
                                   .Set("invstd", "value1", "10mm")
                                   .Set("free2", "check", "1")
                                   .Set("free2", "value1", "red"));
  EXPECT_EQ(s.strWhere,
            "(1=1) AND W.cWhCode = '01'  AND  I.cInvCCode LIKE '02%' AND I.cInvStd = '10mm' AND  "
            "ISNULL(R.cHandler,'') <> '' AND  cFree2 LIKE 'red%'");
  EXPECT_TRUE(s.blnVerDate);
  EXPECT_EQ(s.strDateCond, "R.dVeriDate >= '2024-02-26'");
  EXPECT_EQ(s.strBeforeDate, "R.dVeriDate < '2024-02-26'");
  EXPECT_EQ(s.strFreeCols, " cFree2 ");
  EXPECT_EQ(s.blnFreeShow, (Flags{false, true}));
  EXPECT_EQ(s.strAssUnit, "1");
  EXPECT_EQ(s.strHaving, "");
}

TEST(ReadPositionConditionTest, WorkedExample) {
  ConditionState s = ReadPosition(ConditionXml()
                                      .Set("position", "value1", "A01")
                                      .Set("position", "value2", "A05")
                                      .Set("batch", "value1", "2024"));
  EXPECT_EQ(s.strWhere,
            "(1=1) AND  IP.cBatch LIKE '2024%' AND  IP.cPosCode >= 'A01' AND IP.cPosCode<= 'A05'");
  EXPECT_FALSE(s.blnVerDate);
  EXPECT_EQ(s.strDateCond, "IP.dDate >= '2024-02-26'");
  EXPECT_EQ(s.strBeforeDate, "IP.dDate < '2024-02-26'");
}

TEST(ReadersTest, EmptyValuesGiveNoFilter) {
  for (bool position : {false, true}) {
    ConditionState s = position ? ReadPosition(ConditionXml()) : ReadStock(ConditionXml());
    const std::string f = position ? "IP.dDate" : "R.dDate";
    EXPECT_EQ(s.strWhere, "(1=1)") << f;
    EXPECT_EQ(s.strFreeCols, "") << f;
    EXPECT_EQ(s.blnFreeShow, Flags{}) << f;
    EXPECT_FALSE(s.blnVerDate) << f;
    EXPECT_EQ(s.strDateCond, f + " >= '2024-02-26'");
    EXPECT_EQ(s.strBeforeDate, f + " < '2024-02-26'");
  }
}

TEST(ReadersTest, IsVerDateAndIncludeAudit) {
  struct Case {
    const char* isverdate;
    const char* includeaudit;
    bool ver_date;
    const char* stock_where;
    const char* stock_date_cond;
  } cases[] = {
      {"false", "1", false, "(1=1)", "R.dDate = '2024-01-10'"},
      {"false", "", false, "(1=1)", "R.dDate = '2024-01-10'"},
      {"false", "0", false, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dDate = '2024-01-10'"},
      {"false", " 0 ", false, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dDate = '2024-01-10'"},
      {"true", "1", true, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dVeriDate = '2024-01-10'"},
      {"true", "0", true, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dVeriDate = '2024-01-10'"},
      {"", "1", true, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dVeriDate = '2024-01-10'"},
      {"FALSE", "1", true, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dVeriDate = '2024-01-10'"},
      {"0", "1", true, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dVeriDate = '2024-01-10'"},
      {" false", "1", true, "(1=1) AND  ISNULL(R.cHandler,'') <> ''", "R.dVeriDate = '2024-01-10'"},
  };
  for (const Case& c : cases) {
    ConditionXml xml = ConditionXml()
                           .Set("ddate", "isverdate", c.isverdate)
                           .Set("ddate", "value1", "2024-1-10")
                           .Set("ddate", "value2", "2024-01-10")
                           .Set("includeaudit", "value", c.includeaudit);
    ConditionState stock = ReadStock(xml);
    EXPECT_EQ(stock.blnVerDate, c.ver_date) << c.isverdate;
    EXPECT_EQ(stock.strWhere, c.stock_where) << c.isverdate << "/" << c.includeaudit;
    EXPECT_EQ(stock.strDateCond, c.stock_date_cond) << c.isverdate;

    // The position ledger records the flag, keeps its dates on its own records and has no audit
    // condition.
    ConditionState position = ReadPosition(xml);
    EXPECT_EQ(position.blnVerDate, c.ver_date) << c.isverdate;
    EXPECT_EQ(position.strWhere, "(1=1)") << c.isverdate << "/" << c.includeaudit;
    EXPECT_EQ(position.strDateCond, "IP.dDate = '2024-01-10'") << c.isverdate;
    EXPECT_EQ(position.strBeforeDate, "IP.dDate < '2024-01-10'") << c.isverdate;
  }
}

TEST(ReadersTest, HavingOfTheWorkedExamples) {
  ConditionState stock = ReadStock(ConditionXml()
                                       .Set("standard", "value1", "发生业务")
                                       .Set("ddate", "value1", "2024-01-01")
                                       .Set("ddate", "value2", "2024-01-31"));
  EXPECT_EQ(stock.strHaving,
            "SUM(CASE WHEN R.bISSTQc = 0 And R.dDate >= '2024-01-01' AND R.dDate <= '2024-01-31' "
            "THEN 1 ELSE 0 END)>0");

  ConditionState position = ReadPosition(
      ConditionXml().Set("standard", "value1", "未发生业务").Set("ddate", "value1", "2024-01-01"));
  EXPECT_EQ(position.strHaving,
            "SUM( CASE WHEN IP.dDate < '2024-01-01' THEN (CASE WHEN IP.bRdFlag = 1 THEN "
            "ISNULL(IP.iQuantity,0) ELSE -ISNULL(IP.iQuantity,0) END) ELSE 0 END)>0 AND SUM(CASE "
            "WHEN IP.dDate >= '2024-01-01' THEN 1 ELSE 0 END) = 0");
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
  } cases[] = {
      {"所有存货", s_opening + "<>0 OR " + s_activity + "> 0",
       p_opening + ">0 OR " + p_activity + "> 0"},
      {"发生业务", s_activity + ">0", p_activity + ">0"},
      {"未发生业务", s_opening + "<>0 AND " + s_activity + " = 0",
       p_opening + ">0 AND " + p_activity + " = 0"},
      {"入库未出库", s_receipt + " > 0 AND " + s_issue + " = 0 ",
       p_receipt + " > 0 AND " + p_issue + " = 0 "},
      {"出库未入库", s_receipt + " = 0 AND " + s_issue + " > 0 ",
       p_receipt + " = 0 AND " + p_issue + " > 0 "},
  };
  for (const Case& c : cases) {
    ConditionXml xml = ConditionXml()
                           .Set("standard", "value1", c.standard)
                           .Set("ddate", "value1", "2024-01-01")
                           .Set("ddate", "value2", "2024-01-31");
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
  } steps[] = {
      {" 发生业务 ", activity},
      {"发生", ""},
      {"发生业务", activity},
      {"", ""},
      {"所有存货",
       "SUM( CASE WHEN R.bISSTQc = 1 Or R.dDate < '2024-02-26' THEN (CASE WHEN R.bRdFlag = 1 "
       "THEN ISNULL(Rs.iQuantity,0) ELSE -ISNULL(Rs.iQuantity,0) END) ELSE 0 END)<>0 OR "
       "SUM(CASE WHEN R.bISSTQc = 0 And R.dDate >= '2024-02-26' THEN 1 ELSE 0 END)> 0"},
      {"  ", ""},
      {"发生业务x", ""},
  };
  ConditionState state;
  for (const Step& step : steps) {
    ReadStockCondition(*ConditionXml().Set("standard", "value1", step.standard).Load(),
                       testing::StandardAccount(), state);
    EXPECT_EQ(state.strHaving, step.having) << "[" << step.standard << "]";
  }
  state.strHaving = "from an earlier reading";
  ReadPositionCondition(*ConditionXml().Set("standard", "value1", "出库").Load(),
                        testing::StandardAccount(), state);
  EXPECT_EQ(state.strHaving, "");
}

TEST(ReadersTest, ElementsAreFoundAnywhereAndTheFirstOfTwoWins) {
  ConditionXml values = ConditionXml()
                            .Set("warehouse", "value1", "01")
                            .Set("invstd", "value1", "10mm")
                            .Set("batch", "value1", "B1")
                            .Set("position", "value1", "P1")
                            .Set("free3", "check", "1")
                            .Set("invdefine12", "value1", "4");
  ConditionXml decoys = ConditionXml()
                            .Set("warehouse", "value1", "99")
                            .Set("invstd", "value1", "decoy")
                            .Set("batch", "value1", "decoy")
                            .Set("position", "value1", "decoy")
                            .Set("free3", "check", "0")
                            .Set("free4", "check", "1")
                            .Set("invdefine12", "value1", "99");
  // Element i sits i % 4 levels deep under differently named parents; a copy of every element
  // with other values follows, some of them less deeply nested than the first.
  std::string xml = "<?xml version=\"1.0\"?><!-- condition --><report><query>";
  const std::vector<std::string> names = values.ElementNames();
  for (size_t i = 0; i < names.size(); ++i) {
    const int depth = static_cast<int>(i % 4);
    for (int d = 0; d < depth; ++d) xml += "<level" + std::to_string(d) + ">";
    xml += values.ElementXml(names[i]);
    for (int d = depth - 1; d >= 0; --d) xml += "</level" + std::to_string(d) + ">";
  }
  xml += "</query>";
  for (const std::string& name : names) xml += decoys.ElementXml(name);
  xml += "</report>";
  auto doc = ConditionXml::LoadDocument(xml);

  ConditionState stock;
  ReadStockCondition(*doc, testing::StandardAccount(), stock);
  EXPECT_EQ(stock.strWhere,
            "(1=1) AND W.cWhCode = '01'  AND I.cInvStd = '10mm' AND Rs.cBatch = 'B1' AND "
            "cInvDefine12>=4");
  EXPECT_EQ(stock.strFreeCols, " cFree3 ");

  ConditionState position;
  ReadPositionCondition(*doc, testing::StandardAccount(), position);
  EXPECT_EQ(position.strWhere,
            "(1=1) AND W.cWhCode = '01'  AND I.cInvStd = '10mm' AND  IP.cBatch LIKE 'B1%' AND  "
            "IP.cPosCode >='P1' AND cInvDefine12>=4");
}

TEST(ReadersTest, ValuesOfEachStepReachTheirPlace) {
  struct Case {
    const char* name;
    ConditionXml doc;
    const char* stock_where;
    const char* position_where;
  } cases[] = {
      {"several warehouses", ConditionXml().Set("warehouse", "value1", "01,02"),
       "(1=1) AND (W.cWhCode = '01' OR W.cWhCode = '02')",
       "(1=1) AND (W.cWhCode = '01' OR W.cWhCode = '02')"},
      {"inventory range reversed",
       ConditionXml().Set("inventory", "value1", "003").Set("inventory", "value2", "001"),
       "(1=1) AND  I.cInvCode >= '001' AND I.cInvCode <= '003'",
       "(1=1) AND  I.cInvCode >= '001' AND I.cInvCode <= '003'"},
      {"specification with blanks kept", ConditionXml().Set("invstd", "value1", " 10 mm "),
       "(1=1) AND I.cInvStd = ' 10 mm '", "(1=1) AND I.cInvStd = ' 10 mm '"},
      {"batch: one exact value in stock, range in position",
       ConditionXml().Set("batch", "value1", "B2").Set("batch", "value2", "B1"),
       "(1=1) AND Rs.cBatch = 'B2'",
       "(1=1) AND  LEFT(IP.cBatch,LEN('B1')) >= 'B1' AND LEFT(IP.cBatch,LEN('B2')) <= 'B2'"},
      {"position range only in position",
       ConditionXml().Set("position", "value1", "A05").Set("position", "value2", "A01"), "(1=1)",
       "(1=1) AND  IP.cPosCode >= 'A01' AND IP.cPosCode <= 'A05'"},
      {"free items then defines last",
       ConditionXml()
           .Set("invdefine1", "value1", "d")
           .Set("free10", "check", "1")
           .Set("free10", "value1", "f")
           .Set("batch", "value1", "B"),
       "(1=1) AND Rs.cBatch = 'B' AND  cFree10 LIKE 'f%' AND  cInvDefine1 LIKE 'd%'",
       "(1=1) AND  IP.cBatch LIKE 'B%' AND  cFree10 LIKE 'f%' AND  cInvDefine1 LIKE 'd%'"},
      {"quotes doubled in every literal",
       ConditionXml()
           .Set("warehouse", "value1", "0'1")
           .Set("invstd", "value1", "1/2'")
           .Set("batch", "value1", "'B"),
       "(1=1) AND W.cWhCode = '0''1'  AND I.cInvStd = '1/2''' AND Rs.cBatch = '''B'",
       "(1=1) AND W.cWhCode = '0''1'  AND I.cInvStd = '1/2''' AND  IP.cBatch LIKE '''B%'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadStock(c.doc).strWhere, c.stock_where) << c.name;
    EXPECT_EQ(ReadPosition(c.doc).strWhere, c.position_where) << c.name;
  }
}

TEST(ReadersTest, FreeItemsShownOrNot) {
  struct Case {
    const char* name;
    ConditionXml doc;
    const char* where;
    const char* columns;
    Flags shown;
  } cases[] = {
      {"not shown, values ignored",
       ConditionXml().Set("free1", "value1", "a").Set("free1", "check", "true"),
       "(1=1)",
       "",
       {}},
      {"shown without values", ConditionXml().Set("free4", "check", "1"), "(1=1)", " cFree4 ",
       Flags{false, false, false, true}},
      {"items 1 and 3",
       ConditionXml()
           .Set("free1", "check", "1")
           .Set("free3", "check", "1")
           .Set("free3", "value2", "z"),
       "(1=1) AND  cFree3 LIKE 'z%'", " cFree1 , cFree3 ", Flags{true, false, true}},
      {"item 10",
       ConditionXml()
           .Set("free10", "check", "1")
           .Set("free10", "value1", "a")
           .Set("free10", "value2", "a"),
       "(1=1) AND  cFree10 = 'a'", " cFree10 ",
       Flags{false, false, false, false, false, false, false, false, false, true}},
  };
  for (const Case& c : cases) {
    for (bool position : {false, true}) {
      ConditionState before;
      before.blnFreeShow.fill(true);
      before.strFreeCols = "stale";
      ConditionState s = position ? ReadPosition(c.doc, before) : ReadStock(c.doc, before);
      EXPECT_EQ(s.strWhere, c.where) << c.name;
      EXPECT_EQ(s.strFreeCols, c.columns) << c.name;
      EXPECT_EQ(s.blnFreeShow, c.shown) << c.name;
    }
  }
}

TEST(ReadersTest, AuxiliaryUnitMustBeAWholeNumber) {
  struct Case {
    const char* value;
    const char* stored;
  } good[] = {{"1", "1"}, {" 2 ", "2"}, {"  10", "10"}, {"0", "0"}, {"-1", "-1"}};
  for (const Case& c : good) {
    EXPECT_EQ(ReadStock(ConditionXml().Set("assunit", "value1", c.value)).strAssUnit, c.stored);
    EXPECT_EQ(ReadPosition(ConditionXml().Set("assunit", "value1", c.value)).strAssUnit, c.stored);
  }
  for (const char* bad : {"", "  ", "1.5", "abc", "1 2", "2;DROP TABLE Inventory", "0x1", "+", "1)",
                          "\xE4\xB8\x80"}) {
    for (bool position : {false, true}) {
      ConditionState state;
      state.strAssUnit = "7";
      ConditionXml xml = ConditionXml().Set("assunit", "value1", bad);
      auto e = ErrorOf([&] { position ? ReadPosition(xml, state) : ReadStock(xml, state); });
      ASSERT_TRUE(e) << "accepted [" << bad << "]";
      EXPECT_EQ(e->number(), platform::kErrTypeMismatch);
      EXPECT_EQ(e->description(),
                std::string("条件文档的元素 <assunit> 的属性 value1 的值 '") + bad + "' 不是整数");
    }
  }
}

// Removes an element or one attribute of it and expects "object not set" naming what is gone.
void ExpectEveryNodeRequired(
    const Reader& read,
    const std::vector<std::pair<std::string, std::vector<std::string>>>& required) {
  for (const auto& [element, attributes] : required) {
    auto e = ErrorOf([&] {
      ConditionState state;
      read(*ConditionXml().Remove(element).Load(), testing::StandardAccount(), state);
    });
    ASSERT_TRUE(e) << "no error without " << element;
    EXPECT_EQ(e->number(), platform::kErrObjectNotSet) << element;
    EXPECT_EQ(e->description(), "条件文档缺少元素 <" + element + ">");
    for (const std::string& attribute : attributes) {
      ConditionXml xml;
      // A free item's values are read only when it is shown.
      if (element.starts_with("free")) xml.Set(element, "check", "1");
      xml.RemoveAttribute(element, attribute);
      auto e2 = ErrorOf([&] {
        ConditionState state;
        read(*xml.Load(), testing::StandardAccount(), state);
      });
      ASSERT_TRUE(e2) << "no error without " << element << "/" << attribute;
      EXPECT_EQ(e2->number(), platform::kErrObjectNotSet);
      EXPECT_EQ(e2->description(), "条件文档的元素 <" + element + "> 缺少属性 " + attribute);
    }
  }
}

std::vector<std::pair<std::string, std::vector<std::string>>> CommonNodes() {
  std::vector<std::pair<std::string, std::vector<std::string>>> nodes = {
      {"ddate", {"isverdate", "value1", "value2"}},
      {"warehouse", {"value1"}},
      {"invclass", {"value1", "value2"}},
      {"inventory", {"value1", "value2"}},
      {"invstd", {"value1"}},
      {"assunit", {"value1"}},
      {"standard", {"value1"}},
  };
  return nodes;
}

void AddItemNodes(std::vector<std::pair<std::string, std::vector<std::string>>>& nodes) {
  for (int i = 1; i <= 10; ++i) {
    nodes.push_back({"free" + std::to_string(i), {"check", "value1", "value2"}});
  }
  for (int i = 1; i <= 16; ++i) {
    nodes.push_back({"invdefine" + std::to_string(i), {"value1", "value2"}});
  }
}

TEST(ReadStockConditionTest, EveryElementAndAttributeItReadsIsRequired) {
  auto nodes = CommonNodes();
  nodes.push_back({"batch", {"value1"}});
  nodes.push_back({"includeaudit", {"value"}});
  AddItemNodes(nodes);
  ExpectEveryNodeRequired(ReadStockCondition, nodes);

  // What only the other ledger reads may be missing.
  EXPECT_NO_THROW(ReadStock(ConditionXml().Remove("position")));
  EXPECT_NO_THROW(ReadStock(ConditionXml().RemoveAttribute("batch", "value2")));
}

TEST(ReadPositionConditionTest, EveryElementAndAttributeItReadsIsRequired) {
  auto nodes = CommonNodes();
  nodes.push_back({"batch", {"value1", "value2"}});
  nodes.push_back({"position", {"value1", "value2"}});
  AddItemNodes(nodes);
  ExpectEveryNodeRequired(ReadPositionCondition, nodes);

  EXPECT_NO_THROW(ReadPosition(ConditionXml().Remove("includeaudit")));
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
  Flags all_shown;
  all_shown.fill(true);
  struct Case {
    const char* name;
    ConditionXml doc;
    ConditionState expected;
  } cases[] = {
      {"date that is not a date",
       ConditionXml().Set("ddate", "isverdate", "x").Set("ddate", "value1", "x"),
       [] {
         ConditionState s = EarlierState();
         s.blnVerDate = true;
         return s;
       }()},
      {"specification missing", ConditionXml().Remove("invstd").Set("warehouse", "value1", "01"),
       [] {
         ConditionState s = EarlierState();
         s.strDateCond = "R.dDate >= '2024-02-26'";
         s.strBeforeDate = "R.dDate < '2024-02-26'";
         s.strWhere = "(1=1) AND W.cWhCode = '01' ";
         return s;
       }()},
      {"auxiliary unit not a number",
       ConditionXml().Set("assunit", "value1", "x").Set("invstd", "value1", "S"),
       [] {
         ConditionState s = EarlierState();
         s.strDateCond = "R.dDate >= '2024-02-26'";
         s.strBeforeDate = "R.dDate < '2024-02-26'";
         s.strWhere = "(1=1) AND I.cInvStd = 'S'";
         return s;
       }()},
      {"free item 5 missing after item 1 shown",
       ConditionXml()
           .Set("standard", "value1", "发生业务")
           .Set("free1", "check", "1")
           .Set("free1", "value1", "a")
           .Set("assunit", "value1", "2")
           .Remove("free5"),
       [] {
         ConditionState s = EarlierState();
         s.strDateCond = "R.dDate >= '2024-02-26'";
         s.strBeforeDate = "R.dDate < '2024-02-26'";
         s.strWhere = "(1=1)";
         s.strAssUnit = "2";
         s.strHaving =
             "SUM(CASE WHEN R.bISSTQc = 0 And R.dDate >= '2024-02-26' THEN 1 ELSE 0 END)>0";
         s.strFreeCols = " cFree1 ,";
         s.blnFreeShow = Flags{true};
         return s;
       }()},
  };
  for (const Case& c : cases) {
    ConditionState s = EarlierState();
    auto e = ErrorOf([&] { ReadStockCondition(*c.doc.Load(), testing::StandardAccount(), s); });
    ASSERT_TRUE(e) << c.name;
    EXPECT_EQ(s.strWhere, c.expected.strWhere) << c.name;
    EXPECT_EQ(s.strHaving, c.expected.strHaving) << c.name;
    EXPECT_EQ(s.strAssUnit, c.expected.strAssUnit) << c.name;
    EXPECT_EQ(s.strFreeCols, c.expected.strFreeCols) << c.name;
    EXPECT_EQ(s.strBeforeDate, c.expected.strBeforeDate) << c.name;
    EXPECT_EQ(s.strDateCond, c.expected.strDateCond) << c.name;
    EXPECT_EQ(s.blnVerDate, c.expected.blnVerDate) << c.name;
    EXPECT_EQ(s.blnFreeShow, c.expected.blnFreeShow) << c.name;
  }
}

TEST(ReadersTest, AccountErrorsEndTheReading) {
  const platform::ComError raised(-2147418113, "VtERPVO.Account", "period table unreadable");
  for (bool position : {false, true}) {
    ConditionState state = EarlierState();
    auto doc = ConditionXml()
                   .Set("ddate", "value1", "2024-01-01")
                   .Set("ddate", "value2", "2024-01-31")
                   .Load();
    Variant account = testing::FailingAccount("Period", raised);
    auto e = ErrorOf([&] {
      position ? ReadPositionCondition(*doc, account, state)
               : ReadStockCondition(*doc, account, state);
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->description(), "period table unreadable");
    EXPECT_EQ(state.strDateCond, "earlier date");
    EXPECT_EQ(state.strWhere, "earlier where");
  }
}

}  // namespace
}  // namespace q9::condition
