// The stock card view of a ledger detail: the balance after each line, running from the summary
// row's opening balance through the receipts and issues of the detail, in the main unit and in
// the auxiliary unit, with the totals and the closing balance.
#pragma once

#include <vector>

#include "ledger/grid.h"

namespace q9::ledger {

// The balance columns the card adds to a detail.
inline constexpr char kBalanceQttyColumn[] = "iBalQtty";
inline constexpr char kBalanceNumColumn[] = "iBalNum";
inline constexpr char kBalanceQttyCaption[] = "结存数量";
inline constexpr char kBalanceNumCaption[] = "结存件数";
inline constexpr char kOpeningLabel[] = "期初结存";
inline constexpr char kClosingLabel[] = "期末结存";

struct Quantity {
  double qtty = 0;  // main unit
  double num = 0;   // auxiliary unit
};

struct StockCard {
  Quantity opening;
  std::vector<Quantity> balances;  // after each detail line, in the detail's order
  Quantity received;               // sum of iInQtty / iInNum
  Quantity issued;                 // sum of iOutQtty / iOutNum
  Quantity closing;                // opening + received - issued
};

// The card of `detail`, which has the columns iInQtty, iInNum, iOutQtty and iOutNum (Null counts
// as 0); `begin_qtty` and `begin_num` are the summary row's iBeginQtty and iBeginNum (Null as 0).
// A detail without one of the four columns raises platform::OptionError naming it.
StockCard ComputeStockCard(const Grid& detail, const platform::Variant& begin_qtty,
                           const platform::Variant& begin_num);

// `detail` with the balance columns appended to every row.
Grid WithBalances(const Grid& detail, const StockCard& card);

// `detail` (already with its balance columns) framed as a stock card for people: an opening line
// first and a closing line last, each with its label in the first column and its balances in
// the balance columns; the closing line also carries the totals of the four quantity columns.
Grid WithCardLines(const Grid& detail_with_balances, const StockCard& card);

}  // namespace q9::ledger
