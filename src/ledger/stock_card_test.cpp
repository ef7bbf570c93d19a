#include "ledger/stock_card.h"

#include <gtest/gtest.h>

#include "platform/option_error.h"

namespace q9::ledger {
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

std::vector<std::pair<double, double>> Pairs(const std::vector<Quantity>& q) {
  std::vector<std::pair<double, double>> out;
  for (const Quantity& x : q) out.emplace_back(x.qtty, x.num);
  return out;
}

TEST(StockCardTest, RunsFromTheOpeningBalanceThroughEveryLine) {
  StockCard card = ComputeStockCard(Detail(), D(12), D(1));
  // 12 + 24 = 36; 36 - 6 = 30; 30 - 36 = -6; -6 + 10 = 4. Boxes: 1 + 2 = 3; 2.5; -0.5; -0.5.
  EXPECT_EQ(Pairs(card.balances),
            (std::vector<std::pair<double, double>>{{36, 3}, {30, 2.5}, {-6, -0.5}, {4, -0.5}}));
  EXPECT_EQ(Pairs({card.opening, card.received, card.issued, card.closing}),
            (std::vector<std::pair<double, double>>{{12, 1}, {34, 2}, {42, 3.5}, {4, -0.5}}));
  Grid empty = Detail();
  empty.rows.clear();
  card = ComputeStockCard(empty, N(), N());  // Null opening, no lines: closes at zero
  EXPECT_TRUE(card.balances.empty());
  EXPECT_EQ(Pairs({card.closing}), (std::vector<std::pair<double, double>>{{0, 0}}));
}

TEST(StockCardTest, ADetailWithoutAQuantityColumnIsRefused) {
  Grid g = Detail();
  g.columns[4] = "iOut";
  try {
    ComputeStockCard(g, D(0), D(0));
    FAIL();
  } catch (const platform::OptionError& e) {
    EXPECT_EQ(std::string(e.what()), "the detail has no column iOutQtty to compute a balance from");
  }
}

TEST(StockCardTest, BalancesAreAppendedAndCardLinesFrameTheDetail) {
  Grid detail = Detail();
  StockCard card = ComputeStockCard(detail, D(12), D(1));
  Grid with = WithBalances(detail, card);
  EXPECT_EQ(with.columns[5] + with.columns[6], "iBalQttyiBalNum");
  EXPECT_EQ(with.rows[2],
            (std::vector<Variant>{Variant("2026-01-09"), N(), N(), D(3), D(36), D(-6), D(-0.5)}));

  Grid framed = WithCardLines(with, card);
  ASSERT_EQ(framed.rows.size(), 6u);
  EXPECT_EQ(framed.rows.front(),
            (std::vector<Variant>{Variant("期初结存"), N(), N(), N(), N(), D(12), D(1)}));
  EXPECT_EQ(framed.rows.back(),
            (std::vector<Variant>{Variant("期末结存"), D(2), D(34), D(3.5), D(42), D(4), D(-0.5)}));
}

}  // namespace
}  // namespace q9::ledger
