#include "cli/output.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/db/recordset.h"
#include "platform/db/row_set.h"
#include "platform/error.h"

namespace q9::cli {
namespace {

using platform::Date;
using platform::Variant;

std::string Spaces(size_t n) { return std::string(n, ' '); }

TEST(DisplayWidthTest, CountsTerminalColumns) {
  struct Case {
    const char* text;
    int width;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"螺丝钉", 6},  // CJK ideographs are wide
      {"Bolt 大", 7},
      {"\xEF\xBC\x81", 2},  // U+FF01 fullwidth exclamation mark
      {"\xEF\xBC\xA1", 2},  // U+FF21 fullwidth A
      {"\xEF\xBD\xB6", 1},  // U+FF76 halfwidth katakana KA
      {"\xED\x95\x9C", 2},  // U+D55C hangul syllable
      {"\xE3\x81\x82", 2},  // U+3042 hiragana A
      {"\xC3\xA9", 1},      // U+00E9, precomposed
      {"e\xCC\x81", 1},     // e + U+0301 combining acute
      {"a\xE2\x80\x8B"
       "b",
       2},                      // U+200B zero width space
      {"\xF0\x9F\x98\x80", 2},  // U+1F600 emoji
      {"\xFF", 1},              // not UTF-8: one column per byte
      {"\xE8\x9E", 2},          // a truncated sequence: one per byte
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
}

TEST(RenderTableTest, AlignsAChineseColumnByDisplayWidth) {
  Grid grid;
  grid.columns = {"cInvCode", "cInvName", "iQtty"};
  grid.rows = {
      {Variant("A01"), Variant("螺丝"), Variant(12.5)},
      {Variant("B2"), Variant("Bolt 大"), Variant(int32_t{3})},
      {Variant("C"), Variant::Null(), Variant::Null()},
  };
  // Widths: cInvCode 8 (header), cInvName 8 (header; 螺丝 is 4 columns, "Bolt 大" 7),
  // iQtty 5 (header; the values need one decimal: 12.5 and 3.0), right-aligned.
  std::string expected = std::string("cInvCode  cInvName  iQtty\n") +
                         "--------  --------  -----\n" + "A01" + Spaces(5 + 2) + "螺丝" +
                         Spaces(4 + 2 + 1) + "12.5\n" + "B2" + Spaces(6 + 2) + "Bolt 大" +
                         Spaces(1 + 2 + 2) + "3.0\n" + "C\n";
  EXPECT_EQ(RenderTable(grid), expected);
}

TEST(RenderTableTest, WideValuesWidenTheirColumn) {
  Grid grid;
  grid.columns = {"c", "n"};
  grid.rows = {{Variant("仓库一号"), Variant(int32_t{1})}, {Variant("x"), Variant(int32_t{10})}};
  // Column c: 仓库一号 is 8 columns; n: header 1, values up to 2 columns.
  std::string expected = std::string("c") + Spaces(7 + 2) + " n\n" + "--------  --\n" + "仓库一号" +
                         Spaces(2) + " 1\n" + "x" + Spaces(7 + 2) + "10\n";
  EXPECT_EQ(RenderTable(grid), expected);
}

TEST(RenderTableTest, NumbersGetTheDecimalsTheirColumnNeeds) {
  Grid grid;
  grid.columns = {"rate", "count", "qty"};
  grid.rows = {
      {Variant(1.0 / 3), Variant(int32_t{7}), Variant(120.0)},
      {Variant(2.0), Variant(int16_t{-3}), Variant(0.25)},
      {Variant(-1e-9), Variant::Null(), Variant(-0.5)},
      {Variant(1.23456), Variant::Null(), Variant::Null()},
  };
  std::string text = RenderTable(grid);
  // rate: four decimals at most, rounded (1.23456 -> 1.2346); a tiny negative shows as zero,
  // never "-0". count: integers stay integers. qty: two decimals for 0.25, so 120 shows as
  // 120.00.
  std::string expected = std::string("  rate  count     qty\n") + "------  -----  ------\n" +
                         "0.3333      7  120.00\n" + "2.0000     -3    0.25\n" +
                         "0.0000          -0.50\n" + "1.2346\n";
  EXPECT_EQ(text, expected);
}

TEST(RenderTableTest, TextsAreLeftAlignedAndKeepOneLine) {
  Grid grid;
  grid.columns = {"memo", "date", "flag"};
  grid.rows = {{Variant("a\nb\tc"), Variant(*Date::Make(2026, 3, 7)), Variant(true)}};
  EXPECT_EQ(RenderTable(grid),
            "memo   date        flag\n"
            "-----  ----------  ----\n"
            "a b c  2026-03-07  True\n");
}

TEST(RenderTableTest, NoColumnsGiveNothingAndNoRowsGiveTheHeader) {
  EXPECT_EQ(RenderTable(Grid{}), "");
  Grid empty;
  empty.columns = {"cID", "cItem"};
  EXPECT_EQ(RenderTable(empty), "cID  cItem\n---  -----\n");
}

TEST(RenderCsvTest, QuotesAfterRfc4180) {
  Grid grid;
  grid.columns = {"a", "b,c", "d\"e"};
  grid.rows = {
      {Variant("x"), Variant("line1\nline2"), Variant::Null()},
      {Variant(12.5), Variant(true), Variant(*Date::Make(2026, 1, 5))},
      {Variant(" 前后 "), Variant("cr\rhere"), Variant(int32_t{-4})},
      {Variant(), Variant("\"quoted\""), Variant(1.0 / 3)},
  };
  EXPECT_EQ(RenderCsv(grid),
            "a,\"b,c\",\"d\"\"e\"\r\n"
            "x,\"line1\nline2\",\r\n"
            "12.5,True,2026-01-05\r\n"
            " 前后 ,\"cr\rhere\",-4\r\n"
            ",\"\"\"quoted\"\"\",0.333333333333333\r\n");
}

TEST(GridToJsonTest, IsOneObjectWithColumnsAndRowsOfTypedValues) {
  Grid grid;
  grid.columns = {"s", "i", "d", "b", "t", "n"};
  grid.rows = {{Variant("螺丝"), Variant(int32_t{42}), Variant(0.25), Variant(false),
                Variant(*Date::Make(2026, 2, 28)), Variant::Null()}};
  Json j = GridToJson(grid);
  EXPECT_EQ(
      DumpJson(j),
      R"({"columns":["s","i","d","b","t","n"],"rows":[["螺丝",42,0.25,false,"2026-02-28",null]]})");
  EXPECT_EQ(DumpJson(GridToJson(Grid{})), R"({"columns":[],"rows":[]})");
}

TEST(GridToJsonTest, InvalidUtf8IsReplacedNotRaised) {
  Grid grid;
  grid.columns = {"s"};
  grid.rows = {
      {Variant("a\xFF"
               "b")}};
  EXPECT_EQ(DumpJson(GridToJson(grid)),
            "{\"columns\":[\"s\"],\"rows\":[[\"a\xEF\xBF\xBD"
            "b\"]]}");
}

TEST(SelectColumnsTest, KeepsTheNamedColumnsInTheOrderNamed) {
  Grid grid;
  grid.columns = {"a", "b", "c"};
  grid.rows = {{Variant(int32_t{1}), Variant(int32_t{2}), Variant(int32_t{3})}};
  Grid picked = SelectColumns(grid, {"c", "missing", "a"});
  EXPECT_EQ(picked.columns, (std::vector<std::string>{"c", "a"}));
  ASSERT_EQ(picked.rows.size(), 1u);
  EXPECT_EQ(picked.rows[0], (std::vector<Variant>{Variant(int32_t{3}), Variant(int32_t{1})}));
}

TEST(ReadGridTest, ReadsEveryRecordAndLeavesTheCurrentRecordAlone) {
  auto rows = std::make_shared<platform::db::RowSet>(std::vector<std::string>{"k", "v"});
  for (int i = 1; i <= 3; ++i) {
    rows->Append(Variant("k" + std::to_string(i)));
    rows->Append(i == 2 ? Variant::Null() : Variant(i * 1.5));
  }
  platform::db::Recordset rs;
  rs.OpenRows(rows, platform::db::kLockReadOnly);
  rs.MoveNext();
  rs.MoveNext();  // on the third record
  Grid grid = ReadGrid(rs);
  EXPECT_EQ(grid.columns, (std::vector<std::string>{"k", "v"}));
  ASSERT_EQ(grid.rows.size(), 3u);
  EXPECT_EQ(grid.rows[0][1], Variant(1.5));
  EXPECT_TRUE(grid.rows[1][1].is_null());
  EXPECT_EQ(grid.rows[2][0], Variant("k3"));
  EXPECT_EQ(rs.AbsolutePosition(), 3);

  rs.Close();
  EXPECT_THROW(ReadGrid(rs), platform::ComError);
}

}  // namespace
}  // namespace q9::cli
