#include "ledger/stock_card.h"

#include <algorithm>
#include <string>

#include "platform/option_error.h"

namespace q9::ledger {

using platform::Variant;

namespace {

size_t ColumnIndex(const Grid& grid, const std::string& name) {
  auto it = std::find(grid.columns.begin(), grid.columns.end(), name);
  if (it == grid.columns.end()) {
    throw platform::OptionError("the detail has no column " + name + " to compute a balance from");
  }
  return static_cast<size_t>(it - grid.columns.begin());
}

double NumberOrZero(const Variant& v) { return v.is_null() || v.is_empty() ? 0.0 : v.ToDouble(); }

}  // namespace

StockCard ComputeStockCard(const Grid& detail, const Variant& begin_qtty,
                           const Variant& begin_num) {
  size_t in_qtty = ColumnIndex(detail, "iInQtty");
  size_t in_num = ColumnIndex(detail, "iInNum");
  size_t out_qtty = ColumnIndex(detail, "iOutQtty");
  size_t out_num = ColumnIndex(detail, "iOutNum");

  StockCard card;
  card.opening = {NumberOrZero(begin_qtty), NumberOrZero(begin_num)};
  Quantity balance = card.opening;
  for (const auto& row : detail.rows) {
    Quantity in{NumberOrZero(row[in_qtty]), NumberOrZero(row[in_num])};
    Quantity out{NumberOrZero(row[out_qtty]), NumberOrZero(row[out_num])};
    card.received.qtty += in.qtty;
    card.received.num += in.num;
    card.issued.qtty += out.qtty;
    card.issued.num += out.num;
    balance.qtty += in.qtty - out.qtty;
    balance.num += in.num - out.num;
    card.balances.push_back(balance);
  }
  card.closing = balance;
  return card;
}

Grid WithBalances(const Grid& detail, const StockCard& card) {
  Grid out = detail;
  out.columns.push_back(kBalanceQttyColumn);
  out.columns.push_back(kBalanceNumColumn);
  if (!out.captions.empty()) {
    out.captions.push_back(kBalanceQttyCaption);
    out.captions.push_back(kBalanceNumCaption);
  }
  for (size_t r = 0; r < out.rows.size(); ++r) {
    out.rows[r].emplace_back(card.balances[r].qtty);
    out.rows[r].emplace_back(card.balances[r].num);
  }
  return out;
}

Grid WithCardLines(const Grid& detail, const StockCard& card) {
  size_t n = detail.columns.size();
  auto line = [&](const char* label, const Quantity& balance) {
    std::vector<Variant> row(n, Variant::Null());
    auto set = [&](const std::string& name, double value) {
      auto it = std::find(detail.columns.begin(), detail.columns.end(), name);
      if (it != detail.columns.end()) row[static_cast<size_t>(it - detail.columns.begin())] = value;
    };
    set(kBalanceQttyColumn, balance.qtty);
    set(kBalanceNumColumn, balance.num);
    if (n > 0) row[0] = Variant(label);
    return row;
  };

  Grid out;
  out.columns = detail.columns;
  out.captions = detail.captions;
  out.rows.push_back(line(kOpeningLabel, card.opening));
  out.rows.insert(out.rows.end(), detail.rows.begin(), detail.rows.end());
  std::vector<Variant> closing = line(kClosingLabel, card.closing);
  for (auto [name, value] :
       {std::pair{"iInQtty", card.received.qtty}, std::pair{"iInNum", card.received.num},
        std::pair{"iOutQtty", card.issued.qtty}, std::pair{"iOutNum", card.issued.num}}) {
    auto it = std::find(out.columns.begin(), out.columns.end(), name);
    if (it != out.columns.end()) closing[static_cast<size_t>(it - out.columns.begin())] = value;
  }
  out.rows.push_back(std::move(closing));
  return out;
}

}  // namespace q9::ledger
