// The stock ledger detail statement: the receipt and issue document lines behind one row of the
// stock ledger summary, in date order.
#pragma once

#include <array>
#include <string>

#include "condition/condition_state.h"
#include "ledger/detail_rights.h"
#include "platform/date.h"

namespace q9::ledger {

// The keys of the selected summary row, as text (a Null field is empty text). cBatch is used by
// the stock ledger by batch only; cFree[i] only when free item i+1 is shown.
struct StockRowKeys {
  std::string cInvCode;
  std::string cBatch;
  std::array<std::string, 10> cFree;
};

// The detail statement of the stock ledger by inventory (`by_batch` false) or by batch (true).
// Reads strWhere, strDateCond, strAssUnit, blnVerDate and blnFreeShow of `state`. Row values go
// between single quotes with embedded quotes doubled; rights lists go in untrimmed.
// `start_period_date`: the account's stock start-period date. Pure text; never raises.
std::string StockDetailStatement(bool by_batch, const condition::ConditionState& state,
                                 const DetailRights& rights,
                                 const platform::Date& start_period_date, const StockRowKeys& row);

}  // namespace q9::ledger
