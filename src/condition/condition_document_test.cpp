#include "condition/condition_document.h"

#include <gtest/gtest.h>

#include <map>
#include <pugixml.hpp>
#include <string>

namespace q9::condition {
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

// Every element and attribute the readers need is there (the ledgers the command line runs on
// these documents: q9strep_test.cpp).
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

// The messages of bad option texts are checked where a user meets them (q9strep_test.cpp).
TEST(OptionTextTest, RangesNumbersDatesAndStandardsParse) {
  EXPECT_EQ(ParseRangeOption(":03", "--class"), (Range{"", "03"}));
  EXPECT_EQ(ParseRangeOption("01:", "--class"), (Range{"01", ""}));
  EXPECT_EQ(ParseItemRange("16=1:5", 16, "--define"), std::make_pair(16, Range{"1", "5"}));
  EXPECT_EQ(ParseItemRange("2=", 10, "--free"), std::make_pair(2, Range{"", ""}));
  EXPECT_EQ(ParseWholeNumber("-32768", "--lock", -32768, 32767, "a lock"), -32768);
  EXPECT_EQ(ParseDateOption("2024-02-29", "--to"), "2024-02-29");
  EXPECT_THROW(ParseDateOption("2026-01-01 10:00", "--to"), platform::OptionError);
  EXPECT_EQ(StandardName("inactive"), "未发生业务");
  EXPECT_EQ(StandardName("out-not-in"), "出库未入库");
  EXPECT_EQ(StandardName("出库未入库"), "出库未入库");
}

}  // namespace
}  // namespace q9::condition
