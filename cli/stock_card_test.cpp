#include "cli/stock_card.h"

#include <gtest/gtest.h>

#include "cli/exit_status.h"

namespace q9::cli {
namespace {

using platform::Variant;

Variant N() { return Variant::Null(); }
Variant D(double d) { return Variant(d); }

// A detail as the ledger returns it: receipts carry iInQtty / iInNum and Null issue columns,
// issues the other way round.
Grid Detail() {
  Grid g;
  g.columns = {"dDate", "iInNum", "iInQtty", "iOutNum", "iOutQtty"};
  g.rows = {
      {Variant("2026-01-03"), D(2), D(24), N(), N()},   // receipt of 24 (2 boxes of 12)
      {Variant("2026-01-05"), N(), N(), D(0.5), D(6)},  // issue of 6
      {Variant("2026-01-09"), N(), N(), D(3), D(36)},   // issue of 36: below zero
      {Variant("2026-01-20"), D(0), Variant(int32_t{10}), N(), N()},  // integer quantity
  };
  return g;
}

TEST(StockCardTest, RunsFromTheOpeningBalanceThroughEveryLine) {
  StockCard card = ComputeStockCard(Detail(), D(12), D(1));
  EXPECT_EQ(card.opening.qtty, 12);
  EXPECT_EQ(card.opening.num, 1);
  ASSERT_EQ(card.balances.size(), 4u);
  // 12 + 24 = 36; 36 - 6 = 30; 30 - 36 = -6; -6 + 10 = 4. Boxes: 1 + 2 = 3; 2.5; -0.5; -0.5.
  double qtty[] = {36, 30, -6, 4};
  double num[] = {3, 2.5, -0.5, -0.5};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(card.balances[i].qtty, qtty[i]) << i;
    EXPECT_EQ(card.balances[i].num, num[i]) << i;
  }
  EXPECT_EQ(card.received.qtty, 34);
  EXPECT_EQ(card.received.num, 2);
  EXPECT_EQ(card.issued.qtty, 42);
  EXPECT_EQ(card.issued.num, 3.5);
  EXPECT_EQ(card.closing.qtty, 4);
  EXPECT_EQ(card.closing.num, -0.5);
}

TEST(StockCardTest, NullOpeningAndNoLinesCloseAtZero) {
  Grid empty = Detail();
  empty.rows.clear();
  StockCard card = ComputeStockCard(empty, N(), N());
  EXPECT_TRUE(card.balances.empty());
  EXPECT_EQ(card.closing.qtty, 0);
  EXPECT_EQ(card.closing.num, 0);
}

TEST(StockCardTest, ADetailWithoutAQuantityColumnIsRefused) {
  Grid g = Detail();
  g.columns[4] = "iOut";
  try {
    ComputeStockCard(g, D(0), D(0));
    FAIL();
  } catch (const UsageError& e) {
    EXPECT_EQ(std::string(e.what()), "the detail has no column iOutQtty to compute a balance from");
  }
}

TEST(StockCardTest, BalancesAreAppendedAndCardLinesFrameTheDetail) {
  Grid detail = Detail();
  StockCard card = ComputeStockCard(detail, D(12), D(1));
  Grid with = WithBalances(detail, card);
  EXPECT_EQ(with.columns.back(), "iBalNum");
  EXPECT_EQ(with.columns[with.columns.size() - 2], "iBalQtty");
  EXPECT_EQ(with.rows[2][5], D(-6));
  EXPECT_EQ(with.rows[2][6], D(-0.5));

  Grid framed = WithCardLines(with, card);
  ASSERT_EQ(framed.rows.size(), 6u);
  const auto& opening = framed.rows.front();
  EXPECT_EQ(opening[0], Variant("期初结存"));
  EXPECT_TRUE(opening[1].is_null());
  EXPECT_EQ(opening[5], D(12));
  EXPECT_EQ(opening[6], D(1));
  const auto& closing = framed.rows.back();
  EXPECT_EQ(closing[0], Variant("期末结存"));
  EXPECT_EQ(closing,
            (std::vector<Variant>{Variant("期末结存"), D(2), D(34), D(3.5), D(42), D(4), D(-0.5)}));
}

}  // namespace
}  // namespace q9::cli
