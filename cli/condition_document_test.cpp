#include "cli/condition_document.h"

#include <gtest/gtest.h>

#include <map>
#include <pugixml.hpp>
#include <string>

#include "condition/readers.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/xml/document.h"

namespace q9::cli {
namespace {

// element name -> attribute name -> value, read back from the document text.
using Attributes = std::map<std::string, std::map<std::string, std::string>>;

Attributes ReadBack(const std::string& xml) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_string(xml.c_str());
  EXPECT_TRUE(parsed) << parsed.description() << "\n" << xml;
  Attributes out;
  for (pugi::xml_node e : doc.document_element().children()) {
    EXPECT_EQ(out.count(e.name()), 0u) << "element twice: " << e.name();
    for (pugi::xml_attribute a : e.attributes()) out[e.name()][a.name()] = a.value();
  }
  return out;
}

// Every element and attribute the readers need is there: the readers' test below raises
// (object not set, naming it) for one that is not.
TEST(ConditionDocumentTest, DefaultsSelectEverythingOnDocumentDates) {
  Attributes got = ReadBack(BuildConditionDocument(ConditionOptions{}));
  EXPECT_EQ(got.size(), 10u + kFreeItems + kDefineItems);
  EXPECT_EQ(got["ddate"]["isverdate"], "false");
  EXPECT_EQ(got["standard"]["value1"], "所有存货");
  EXPECT_EQ(got["assunit"]["value1"], "1");
  EXPECT_EQ(got["includeaudit"]["value"], "1");
  EXPECT_EQ(got["free10"]["check"], "0");
}

TEST(ConditionDocumentTest, ValuesThatXmlMustEscapeComeBackUnchanged) {
  ConditionOptions o;
  o.spec = "10\"mm <&> 'x'";
  o.warehouses = "仓<1>,&2";
  o.free[2] = Range{"a\"b", "c'd"};
  Attributes got = ReadBack(BuildConditionDocument(o));
  EXPECT_EQ(got["invstd"]["value1"], o.spec);
  EXPECT_EQ(got["warehouse"]["value1"], o.warehouses);
  EXPECT_EQ(got["free3"]["value1"] + got["free3"]["value2"], "a\"bc'd");
}

// An account whose stock module started on 2025-01-01, in period 1 that begins that day.
class AccountDouble : public platform::Object {
 public:
  platform::Variant Invoke(std::string_view name, platform::InvokeKind, platform::Args&) override {
    platform::Date start = *platform::Date::Make(2025, 1, 1);
    if (platform::SameMemberName(name, "STStartDate")) return platform::Variant(start);
    if (platform::SameMemberName(name, "BeginDate")) return platform::Variant(start);
    if (platform::SameMemberName(name, "Period")) {
      return platform::Variant(std::make_shared<AccountDouble>());
    }
    throw platform::MemberNotFound(std::string(name));
  }
  std::string ClassName() const override { return "Account"; }
};

TEST(ConditionDocumentTest, TheReadersOfBothLedgersReadWhatTheOptionsSay) {
  platform::Variant account(std::make_shared<AccountDouble>());

  ConditionOptions stock;
  stock.warehouses = "01";
  stock.inv_class = {"02", ""};
  stock.spec = "10mm";
  stock.audit_dates = true;
  stock.free[1] = Range{"red", ""};
  platform::xml::Document doc;
  ASSERT_TRUE(doc.LoadXml(BuildConditionDocument(stock)));
  condition::ConditionState state;
  condition::ReadStockCondition(doc, account, state);
  EXPECT_EQ(state.strWhere,
            "(1=1) AND W.cWhCode = '01'  AND  I.cInvCCode LIKE '02%' AND I.cInvStd = '10mm' AND "
            " ISNULL(R.cHandler,'') <> '' AND  cFree2 LIKE 'red%'");
  EXPECT_TRUE(state.blnVerDate);
  EXPECT_EQ(state.strFreeCols, " cFree2 ");
  EXPECT_EQ(state.strAssUnit, "1");
  EXPECT_EQ(state.strHaving.rfind("SUM( CASE WHEN R.bISSTQc = 1 Or R.dVeriDate < '", 0), 0u)
      << state.strHaving;

  ConditionOptions position;
  position.batch = {"2024", ""};
  position.position = {"A01", "A05"};
  position.standard = "发生业务";
  position.dates = {"2024-01-01", "2024-01-31"};
  ASSERT_TRUE(doc.LoadXml(BuildConditionDocument(position)));
  condition::ReadPositionCondition(doc, account, state);
  EXPECT_EQ(state.strWhere,
            "(1=1) AND  IP.cBatch LIKE '2024%' AND  IP.cPosCode >= 'A01' AND IP.cPosCode<= 'A05'");
  EXPECT_FALSE(state.blnVerDate);
  EXPECT_EQ(state.strHaving,
            "SUM(CASE WHEN IP.dDate >= '2024-01-01' AND IP.dDate <= '2024-01-31' THEN 1 ELSE 0 "
            "END)>0");
  EXPECT_EQ(state.strFreeCols, "");
}

// The messages of bad option texts are checked where a user meets them (q9strep_test.cpp).
TEST(OptionTextTest, RangesNumbersDatesAndStandardsParse) {
  EXPECT_EQ(ParseRangeOption("", "--class"), (Range{"", ""}));
  EXPECT_EQ(ParseRangeOption(":03", "--class"), (Range{"", "03"}));
  EXPECT_EQ(ParseRangeOption("01:", "--class"), (Range{"01", ""}));
  EXPECT_EQ(ParseItemRange("16=1:5", 16, "--define"), std::make_pair(16, Range{"1", "5"}));
  EXPECT_EQ(ParseItemRange("2=", 10, "--free"), std::make_pair(2, Range{"", ""}));
  EXPECT_EQ(ParseWholeNumber("-32768", "--lock", -32768, 32767, "a lock"), -32768);
  EXPECT_EQ(ParseDateOption("2024-02-29", "--to"), "2024-02-29");
  EXPECT_THROW(ParseDateOption("2026-01-01 10:00", "--to"), UsageError);
  for (auto [given, name] : {std::pair{"all", "所有存货"},
                             {"active", "发生业务"},
                             {"inactive", "未发生业务"},
                             {"in-not-out", "入库未出库"},
                             {"out-not-in", "出库未入库"},
                             {"出库未入库", "出库未入库"}}) {
    EXPECT_EQ(StandardName(given), name) << given;
  }
}

}  // namespace
}  // namespace q9::cli
