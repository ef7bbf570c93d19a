// Property: whatever text a condition document carries, each value reaches the SQL only inside
// its own single-quoted literal. Many documents are generated with values made of quotes,
// percent signs, comment markers and SQL keywords; every output text is scanned for its literals
// ('' standing for one quote inside a literal) and the rest is checked for value text.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "condition/condition_test_support.h"
#include "condition/readers.h"
#include "condition/sql_text.h"

namespace q9::condition {
namespace {

using testing::ConditionXml;
using testing::ErrorOf;

struct LiteralScan {
  bool closed = true;                 // every literal that opens also closes
  std::string outside;                // the text with each literal replaced by "?"
  std::vector<std::string> literals;  // the literals' values, quotes undoubled
};

LiteralScan ScanLiterals(std::string_view sql) {
  LiteralScan scan;
  size_t i = 0;
  while (i < sql.size()) {
    if (sql[i] != '\'') {
      scan.outside += sql[i++];
      continue;
    }
    ++i;
    std::string value;
    bool closed = false;
    while (i < sql.size()) {
      if (sql[i] == '\'' && i + 1 < sql.size() && sql[i + 1] == '\'') {
        value += '\'';
        i += 2;
      } else if (sql[i] == '\'') {
        ++i;
        closed = true;
        break;
      } else {
        value += sql[i++];
      }
    }
    scan.closed = scan.closed && closed;
    scan.outside += '?';
    scan.literals.push_back(value);
  }
  return scan;
}

// Texts that never occur outside a literal of a correct output: the fixed SQL of the condition
// texts contains none of them.
const char* const kForbiddenOutside[] = {"Zq",  "DROP", "UNION", "--", "/*", "*/", ";",
                                         "7=7", "中文", "\"",    "&",  "%",  "\\"};

std::vector<std::string> ForbiddenFound(const std::string& outside) {
  std::vector<std::string> found;
  for (const char* text : kForbiddenOutside) {
    if (outside.find(text) != std::string::npos) found.push_back(text);
  }
  return found;
}

TEST(LiteralScanTest, TellsAnEscapedValueFromOneThatBrokeOut) {
  LiteralScan good = ScanLiterals("F = 'a'' OR 7=7 --' AND G LIKE '%'");
  EXPECT_TRUE(good.closed);
  EXPECT_EQ(good.outside, "F = ? AND G LIKE ?");
  EXPECT_EQ(good.literals, (std::vector<std::string>{"a' OR 7=7 --", "%"}));
  EXPECT_TRUE(ForbiddenFound(good.outside).empty());

  LiteralScan broken = ScanLiterals("F = 'a' OR 7=7 --'");
  EXPECT_FALSE(broken.closed);
  EXPECT_EQ(ForbiddenFound(broken.outside), (std::vector<std::string>{"--", "7=7"}));
}

class DocumentGenerator {
 public:
  explicit DocumentGenerator(unsigned seed) : rng_(seed) {}

  // A value that is empty, a plain code, or a hostile text led by a unique marker "Zq<n>z".
  std::string Text() {
    int kind = Pick(10);
    if (kind < 2) return "";
    if (kind < 3) return "C" + std::to_string(Pick(1000));
    static const char* const kFragments[] = {
        "'",
        "''",
        "%",
        "_",
        " OR 7=7",
        "'; DROP TABLE Inventory; --",
        " UNION SELECT * FROM UserDef",
        " AND ",
        "LIKE",
        "/*",
        "*/",
        "\"",
        "<",
        ">",
        "&",
        " ",
        "中文",
        "--",
        ")",
        "(",
        "'%'",
        "\\",
        ",",
        "' OR ''='",
    };
    std::string text = "Zq" + std::to_string(next_marker_++) + "z";
    int pieces = Pick(5);
    for (int i = 0; i < pieces; ++i) {
      text += kFragments[Pick(std::size(kFragments))];
      if (Pick(3) == 0) text += "Zq" + std::to_string(next_marker_ - 1) + "z";
    }
    if (Pick(4) == 0) text = kFragments[Pick(std::size(kFragments))] + text;
    return text;
  }

  // A value that must convert: mostly a good one or empty, now and then hostile text.
  std::string Date(bool& hostile) {
    if (Pick(50) == 0) return Hostile(hostile);
    if (Pick(3) == 0) return "";
    const char* const kFormats[] = {"%04d-%d-%d", "%04d-%02d-%02d", "%04d/%d/%d"};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, kFormats[Pick(3)], 2000 + Pick(30), 1 + Pick(12),
                  1 + Pick(28));
    return buffer;
  }
  std::string Number(bool& hostile) {
    if (Pick(50) == 0) return Hostile(hostile);
    if (Pick(3) == 0) return "";
    std::string n = std::to_string(static_cast<int>(Pick(2001)) - 1000);
    if (Pick(2) == 0) n += "." + std::to_string(Pick(100));
    return n;
  }
  std::string WholeNumber(bool& hostile) {
    if (Pick(50) == 0) return Hostile(hostile);
    return std::string(Pick(3), ' ') + std::to_string(Pick(5));
  }
  std::string OneOf(std::initializer_list<const char*> choices) {
    return *(choices.begin() + Pick(choices.size()));
  }
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

 private:
  std::string Hostile(bool& hostile) {
    hostile = true;
    return "Zq" + std::to_string(next_marker_++) + "z' OR 7=7 --";
  }

  std::mt19937 rng_;
  int next_marker_ = 0;
};

struct GeneratedDocument {
  ConditionXml xml;
  bool must_fail = false;  // a value that must convert does not
  // Quoted values each reader uses; each must come out as a literal of its own (or as the
  // pattern value + "%").
  std::vector<std::string> stock_values;
  std::vector<std::string> position_values;
  // Values a reader does not use; their markers must appear nowhere in its output.
  std::vector<std::string> stock_unused;
  std::vector<std::string> position_unused;
};

GeneratedDocument Generate(DocumentGenerator& g) {
  GeneratedDocument d;
  auto both = [&](const std::string& v) {
    d.stock_values.push_back(v);
    d.position_values.push_back(v);
  };
  auto unused_by_both = [&](const std::string& v) {
    d.stock_unused.push_back(v);
    d.position_unused.push_back(v);
  };
  auto set = [&](const char* element, const char* attribute, std::string value) {
    d.xml.Set(element, attribute, value);
    return value;
  };

  set("ddate", "isverdate", g.OneOf({"false", "true", "", "0"}));
  set("ddate", "value1", g.Date(d.must_fail));
  set("ddate", "value2", g.Date(d.must_fail));
  std::string list = set("warehouse", "value1", g.Text());
  if (!TrimBlanks(list).empty()) {
    size_t start = 0;
    while (true) {
      size_t comma = list.find(',', start);
      both(list.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  for (const char* element : {"invclass", "inventory"}) {
    both(set(element, "value1", g.Text()));
    both(set(element, "value2", g.Text()));
  }
  both(set("invstd", "value1", g.Text()));
  set("assunit", "value1", g.WholeNumber(d.must_fail));
  std::string standard =
      g.Pick(2) == 0 ? g.OneOf({"所有存货", "发生业务", "未发生业务", "入库未出库", "出库未入库"})
                     : g.Text();
  unused_by_both(set("standard", "value1", standard));
  std::string batch1 = set("batch", "value1", g.Text());
  std::string batch2 = set("batch", "value2", g.Text());
  d.stock_values.push_back(batch1);
  d.stock_unused.push_back(batch2);
  d.position_values.push_back(batch1);
  d.position_values.push_back(batch2);
  unused_by_both(set("includeaudit", "value", g.Pick(2) == 0 ? g.OneOf({"0", "1"}) : g.Text()));
  for (const char* attribute : {"value1", "value2"}) {
    std::string v = set("position", attribute, g.Text());
    d.stock_unused.push_back(v);
    d.position_values.push_back(v);
  }
  for (int i = 1; i <= 10; ++i) {
    std::string element = "free" + std::to_string(i);
    bool shown = g.Pick(2) == 0;
    d.xml.Set(element, "check", shown ? "1" : "0");
    for (const char* attribute : {"value1", "value2"}) {
      std::string v = g.Text();
      d.xml.Set(element, attribute, v);
      shown ? both(v) : unused_by_both(v);
    }
  }
  for (int i = 1; i <= 16; ++i) {
    std::string element = "invdefine" + std::to_string(i);
    for (const char* attribute : {"value1", "value2"}) {
      if (i <= 10) {
        std::string v = g.Text();
        d.xml.Set(element, attribute, v);
        both(v);
      } else {
        d.xml.Set(element, attribute, i <= 14 ? g.Number(d.must_fail) : g.Date(d.must_fail));
      }
    }
  }
  return d;
}

// The markers "Zq<n>z" of `value`.
std::vector<std::string> MarkersOf(const std::string& value) {
  std::vector<std::string> markers;
  for (size_t at = value.find("Zq"); at != std::string::npos; at = value.find("Zq", at + 2)) {
    size_t end = value.find('z', at + 2);
    if (end != std::string::npos) markers.push_back(value.substr(at, end - at + 1));
  }
  return markers;
}

void CheckOutput(const ConditionState& s, const std::vector<std::string>& used,
                 const std::vector<std::string>& unused, const std::string& context) {
  const std::string all = s.strWhere + "\n" + s.strHaving + "\n" + s.strDateCond + "\n" +
                          s.strBeforeDate + "\n" + s.strAssUnit;
  for (const std::string* text :
       {&s.strWhere, &s.strHaving, &s.strDateCond, &s.strBeforeDate, &s.strAssUnit}) {
    LiteralScan scan = ScanLiterals(*text);
    EXPECT_TRUE(scan.closed) << context << "\n" << *text;
    for (const std::string& found : ForbiddenFound(scan.outside)) {
      ADD_FAILURE() << context << ": [" << found << "] outside a literal in\n" << *text;
    }
  }
  LiteralScan where = ScanLiterals(s.strWhere);
  for (const std::string& v : used) {
    if (v.empty()) continue;
    // In a LIKE pattern the value's %, _ and [ stand bracketed, so that they match themselves.
    std::string pattern;
    for (char c : v)
      pattern += c == '%' || c == '_' || c == '[' ? std::string{'[', c, ']'} : std::string{c};
    bool found = false;
    for (const std::string& literal : where.literals) {
      found = found || literal == v || literal == pattern + "%";
    }
    EXPECT_TRUE(found) << context << ": value [" << v << "] is not a literal of\n" << s.strWhere;
  }
  for (const std::string& v : unused) {
    for (const std::string& marker : MarkersOf(v)) {
      EXPECT_EQ(all.find(marker), std::string::npos)
          << context << ": unused value [" << v << "] reached the output\n"
          << all;
    }
  }
}

TEST(LiteralPropertyTest, EveryValueStaysInsideItsLiteral) {
  constexpr unsigned kSeed = 20240611;
  constexpr int kDocuments = 400;
  DocumentGenerator g(kSeed);
  int read = 0;
  int refused = 0;
  for (int n = 0; n < kDocuments; ++n) {
    GeneratedDocument d = Generate(g);
    auto doc = d.xml.Load();
    const std::string context = "document " + std::to_string(n) + ": " + d.xml.ToXml();
    for (bool position : {false, true}) {
      ConditionState state;
      auto e = ErrorOf([&] {
        position ? ReadPositionCondition(*doc, testing::StandardAccount(), state)
                 : ReadStockCondition(*doc, testing::StandardAccount(), state);
      });
      if (d.must_fail) {
        ASSERT_TRUE(e) << context;
        EXPECT_EQ(e->number(), platform::kErrTypeMismatch) << context;
        ++refused;
        continue;
      }
      ASSERT_FALSE(e) << context << "\n" << e->description();
      ++read;
      CheckOutput(state, position ? d.position_values : d.stock_values,
                  position ? d.position_unused : d.stock_unused,
                  (position ? "position " : "stock ") + context);
    }
  }
  // The generator must leave most documents readable, or the property says little, and must
  // exercise the refusal of values that do not convert.
  EXPECT_GT(read, kDocuments);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace q9::condition
