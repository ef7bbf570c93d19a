#include "condition/free_define_cond.h"

#include <gtest/gtest.h>

#include "condition/condition_test_support.h"

namespace q9::condition {
namespace {

using testing::ConditionXml;
using testing::ErrorOf;

using Flags = std::array<bool, 10>;

Flags FlagsOf(std::initializer_list<int> shown_items) {
  Flags flags{};
  for (int i : shown_items) flags[i - 1] = true;
  return flags;
}

struct FreeCase {
  const char* name;
  ConditionXml doc;
  const char* terms;
  const char* columns;
  Flags shown;
};

TEST(MakeFreeCondTest, ShownItemsColumnsAndTerms) {
  const FreeCase cases[] = {
      {"none checked, values ignored",
       ConditionXml::With({{"free1", "value1", "a"}, {"free5", "value2", "z"}}),
       "",
       "",
       {}},
      {"item 4 checked without values", ConditionXml::With({{"free4", "check", "1"}}), "",
       " cFree4 ", FlagsOf({4})},
      {"items 1 and 3 checked",
       ConditionXml::With({{"free1", "check", "1"},
                           {"free1", "value1", "a"},
                           {"free3", "check", "1"},
                           {"free3", "value1", "01"},
                           {"free3", "value2", "03"}}),
       " AND  cFree1 LIKE 'a%' AND  LEFT(cFree3,LEN('01')) >= '01' AND LEFT(cFree3,LEN('03')) "
       "<= '03'",
       " cFree1 , cFree3 ", FlagsOf({1, 3})},
      {"item 10 alone", ConditionXml::With({{"free10", "check", "1"}, {"free10", "value2", "X9"}}),
       " AND  cFree10 LIKE 'X9%'", " cFree10 ", FlagsOf({10})},
      {"check must be exactly 1",
       ConditionXml::With({{"free1", "check", "true"},
                           {"free2", "check", " 1"},
                           {"free3", "check", "1 "},
                           {"free4", "check", "01"},
                           {"free5", "check", ""},
                           {"free6", "check", "-1"}}),
       "",
       "",
       {}}};
  for (const FreeCase& c : cases) {
    std::string columns = "stale";
    Flags shown;
    shown.fill(true);
    EXPECT_EQ(MakeFreeCond(*c.doc.Load(), columns, shown), c.terms) << c.name;
    EXPECT_EQ(columns, c.columns) << c.name;
    EXPECT_EQ(shown, c.shown) << c.name;
  }
}

TEST(MakeFreeCondTest, ValuesOfAnUncheckedItemMayBeMissing) {
  ConditionXml xml;
  xml.RemoveAttribute("free6", "value1").RemoveAttribute("free6", "value2");
  std::string columns;
  Flags shown;
  EXPECT_EQ(MakeFreeCond(*xml.Load(), columns, shown), "");
}

struct DefineCase {
  const char* name;
  ConditionXml doc;
  const char* terms;
};

TEST(MakeDefineCondTest, EachItemWithTheBuilderOfItsKind) {
  const DefineCase cases[] = {
      {"all empty", ConditionXml(), ""},
      {"text item, one bound", ConditionXml::With({{"invdefine1", "value1", "红"}}),
       " AND  cInvDefine1 LIKE '红%'"},
      {"text item 10, two bounds",
       ConditionXml::With({{"invdefine10", "value1", "B"}, {"invdefine10", "value2", "A"}}),
       " AND  LEFT(cInvDefine10,LEN('A')) >= 'A' AND LEFT(cInvDefine10,LEN('B')) <= 'B'"},
      {"number item 11 from 9 to 10",
       ConditionXml::With({{"invdefine11", "value1", "9"}, {"invdefine11", "value2", "10"}}),
       " AND cInvDefine11>=9 AND cInvDefine11<=10"},
      {"number item 14 upper bound", ConditionXml::With({{"invdefine14", "value2", "2.5"}}),
       " AND cInvDefine14<=2.5"},
      {"date item 15 reversed",
       ConditionXml::With(
           {{"invdefine15", "value1", "2024-3-1"}, {"invdefine15", "value2", "2024-2-1"}}),
       " AND cInvDefine15 >= '2024-02-01' AND cInvDefine15 <= '2024-03-01'"},
      {"items in ascending order",
       ConditionXml::With({{"invdefine16", "value2", "2024-12-31"},
                           {"invdefine2", "value1", "x"},
                           {"invdefine13", "value1", "7"},
                           {"invdefine13", "value2", "7"}}),
       " AND  cInvDefine2 LIKE 'x%' AND cInvDefine13=7 AND cInvDefine16 <= '2024-12-31'"}};
  for (const DefineCase& c : cases) {
    EXPECT_EQ(MakeDefineCond(*c.doc.Load()), c.terms) << c.name;
  }
}

// The builders' own table has every wrong value; here the field of each kind is named.
TEST(MakeDefineCondTest, ValuesOfTheWrongKindNameFieldAndValue) {
  for (const char* item : {"12", "15"}) {
    auto e = ErrorOf([&] {
      MakeDefineCond(
          *ConditionXml::With({{std::string("invdefine") + item, "value2", "x"}}).Load());
    });
    ASSERT_TRUE(e) << item;
    EXPECT_EQ(e->number(), platform::kErrTypeMismatch);
    EXPECT_EQ(e->description(), std::string("字段 cInvDefine") + item + " 的条件值 'x' 不是" +
                                    (item[1] == '2' ? "数字" : "日期"));
  }
}

}  // namespace
}  // namespace q9::condition
