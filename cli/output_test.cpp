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

Variant I(int32_t i) { return Variant(i); }

TEST(DisplayWidthTest, CountsTerminalColumns) {
  std::pair<const char*, int> cases[] = {
      {"", 0},           {"abc", 3},    {"螺丝钉", 6},   {"Bolt 大", 7},
      {"\uFF01", 2},     {"\uFF21", 2}, {"\uFF76", 1},   {"\uD55C", 2},
      {"\u3042", 2},     {"\u00E9", 1}, {"e\u0301", 1},  {"a\u200Bb", 2},
      {"\U0001F600", 2}, {"\xFF", 1},   {"\xE8\x9E", 2},  // not UTF-8: one per byte
  };
  for (auto [text, width] : cases) EXPECT_EQ(DisplayWidth(text), width) << text;
}

TEST(RenderTableTest, LaysOutGridsForPeople) {
  struct Case {
    const char* what;
    Grid grid;
    std::string text;
  } cases[] = {
      {"Chinese text is two columns wide; numbers right-aligned on the decimal point",
       {{"cInvCode", "cInvName", "iQtty"},
        {{Variant("A01"), Variant("螺丝"), Variant(12.5)},
         {Variant("B2"), Variant("Bolt 大"), I(3)},
         {Variant("C"), Variant::Null(), Variant::Null()}}},
       "cInvCode  cInvName  iQtty\n"
       "--------  --------  -----\n"
       "A01       螺丝       12.5\n"
       "B2        Bolt 大     3\n"
       "C\n"},
      {"a number shows the same text whatever else its column holds; never -0",
       {{"rate", "count"},
        {{Variant(1.0 / 3), I(7)},
         {Variant(2.0), Variant(int16_t{-3})},
         {Variant(-1e-9), Variant()},
         {Variant(1.23456), I(10)}}},
       "  rate  count\n"
       "------  -----\n"
       "0.3333      7\n"
       "2          -3\n"
       "0\n"
       "1.2346     10\n"},
      {"texts left-aligned on one line; control characters escaped, never sent to the terminal",
       {{"memo", "date", "flag"},
        {{Variant("a\nb\tc\x1b[2J\x7f\u009b"), Variant(*Date::Make(2026, 3, 7)), Variant(true)}}},
       "memo                  date        flag\n"
       "--------------------  ----------  ----\n"
       "a b c\\x1b[2J\\x7f\\x9b  2026-03-07  True\n"},
      {"captions head the columns when the grid has them",
       {{"cInvCode", "iBeginQtty"}, {{Variant("A"), Variant(2.5)}}, {"存货编码", "期初\x1b"}},
       "存货编码  期初\\x1b\n"
       "--------  --------\n"
       "A              2.5\n"},
      {"no rows: the header", {{"cID", "cItem"}, {}}, "cID  cItem\n---  -----\n"},
      {"no columns: nothing", {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RenderTable(c.grid), c.text) << c.what;
  // The same value in a detail of one row or of many: the same text.
  EXPECT_EQ(RenderTable(Grid{{"q"}, {{Variant(24.0)}}}), " q\n--\n24\n");
  EXPECT_EQ(RenderTable(Grid{{"q"}, {{Variant(24.0)}, {Variant(0.125)}}}),
            "     q\n------\n24\n 0.125\n");
}

TEST(RenderCsvTest, QuotesAfterRfc4180AndHeadsWithCaptions) {
  Grid grid{{"a", "b,c", "d\"e"},
            {{Variant("x"), Variant("line1\nline2"), Variant::Null()},
             {Variant(12.5), Variant(true), Variant(*Date::Make(2026, 1, 5))},
             {Variant(" 前后 "), Variant("cr\rhere"), I(-4)},
             {Variant(), Variant("\"quoted\""), Variant(1.0 / 3)}}};
  EXPECT_EQ(RenderCsv(grid),
            "a,\"b,c\",\"d\"\"e\"\r\n"
            "x,\"line1\nline2\",\r\n"
            "12.5,True,2026-01-05\r\n"
            " 前后 ,\"cr\rhere\",-4\r\n"
            ",\"\"\"quoted\"\"\",0.333333333333333\r\n");
  grid.captions = {"甲", "乙,丙", "丁"};
  EXPECT_EQ(RenderCsv(grid).rfind("甲,\"乙,丙\",丁\r\nx,", 0), 0u);
}

TEST(GridToJsonTest, KeepsNamesAddsCaptionsAndTypesValues) {
  Grid grid{{"s", "i", "d", "b", "t", "n"},
            {{Variant("螺丝\xFF"), I(42), Variant(0.25), Variant(false),
              Variant(*Date::Make(2026, 2, 28)), Variant::Null()}}};
  EXPECT_EQ(DumpJson(GridToJson(grid)),
            "{\"columns\":[\"s\",\"i\",\"d\",\"b\",\"t\",\"n\"],\"rows\":[[\"螺丝\uFFFD\",42,0.25,"
            "false,\"2026-02-28\",null]]}");
  EXPECT_EQ(DumpJson(GridToJson(Grid{{"a"}, {}, {"甲"}})),
            R"({"columns":["a"],"captions":["甲"],"rows":[]})");
}

TEST(ApplyFormatTest, ShowsTheVisibleColumnsInTheFormatsOrderWithCaptionsThenTheExtras) {
  Grid grid{{"a", "b", "c", "bal"}, {{I(1), I(2), I(3), I(4)}}};
  Grid shown = ApplyFormat(
      grid, {{"c", "丙", true}, {"missing", "无", true}, {"b", "乙", false}, {"a", "", true}},
      {"bal", "nothing"}, {"结存"});
  EXPECT_EQ(shown.columns, (std::vector<std::string>{"c", "a", "bal"}));
  EXPECT_EQ(shown.captions, (std::vector<std::string>{"丙", "a", "结存"}));
  EXPECT_EQ(shown.rows, (std::vector<std::vector<Variant>>{{I(3), I(1), I(4)}}));
}

TEST(ReadGridTest, ReadsEveryRecordAndLeavesTheCurrentRecordAlone) {
  auto rows = std::make_shared<platform::db::RowSet>(std::vector<std::string>{"k", "v"});
  for (int i = 1; i <= 3; ++i) {
    rows->Append(Variant("k" + std::to_string(i)));
    rows->Append(i == 2 ? Variant::Null() : Variant(i * 1.5));
  }
  platform::db::Recordset rs;
  rs.OpenRows(rows, platform::db::kLockReadOnly);
  rs.MoveNext(), rs.MoveNext();  // on the third record
  Grid grid = ReadGrid(rs);
  EXPECT_EQ(grid.columns, (std::vector<std::string>{"k", "v"}));
  EXPECT_EQ(grid.rows, (std::vector<std::vector<Variant>>{{Variant("k1"), Variant(1.5)},
                                                          {Variant("k2"), Variant::Null()},
                                                          {Variant("k3"), Variant(4.5)}}));
  EXPECT_EQ(rs.AbsolutePosition(), 3);
  rs.Close();
  EXPECT_THROW(ReadGrid(rs), platform::ComError);
}

}  // namespace
}  // namespace q9::cli
