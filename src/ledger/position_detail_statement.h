// The position ledger detail statement: the position records behind one row of the position
// ledger summary, from receipt and issue, position adjustment and stocktake documents, in date
// order.
#pragma once

#include <array>
#include <string>

#include "condition/condition_state.h"
#include "ledger/detail_rights.h"

namespace q9::ledger {

// The keys of the selected summary row, as text (a Null field is empty text); cFree[i] is used
// only when free item i+1 is shown.
struct PositionRowKeys {
  std::string cWhCode;
  std::string cInvCode;
  std::string cPosCode;
  std::string cBatch;
  std::array<std::string, 10> cFree;
};

// The UNION of three SELECTs (receipt and issue, adjustment, stocktake records), each followed by
// the same row filter, ordered by the record's date and id. Reads strAssUnit, strDateCond and
// blnFreeShow of `state`; applies the department and maker lists only (the row fixes the
// warehouse). Row values go between single quotes with embedded quotes doubled. Pure text; never
// raises.
std::string PositionDetailStatement(const condition::ConditionState& state,
                                    const DetailRights& rights, const PositionRowKeys& row);

}  // namespace q9::ledger
