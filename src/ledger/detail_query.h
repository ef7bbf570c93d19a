// The detail of one summary row: reads the condition again, takes the row's keys from a clone of
// the summary recordset, runs the detail statement of the ledger kind and hands out a copy of its
// rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "condition/condition_state.h"
#include "ledger/condition_readers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/variant.h"

namespace q9::ledger {

enum class DetailOutcome {
  kOpened,         // `detail` holds the clone of the detail statement's rows
  kSummaryClosed,  // Rs1 was not open: the reader ran, nothing else was done
  kNoStatement,    // the ledger kind has no detail statement: the rights lists were fetched
};

struct DetailResult {
  DetailOutcome outcome;
  std::shared_ptr<platform::db::Recordset> detail;  // set only for kOpened; the caller's
};

// In order: loads `sXml` (a text that does not parse leaves an empty document, on which the
// reader fails); runs the reader of `iSelectTz` (position reader for 2, stock reader otherwise)
// into `state`, always, before anything is tested; reads Rs1.State by late binding (not 1:
// kSummaryClosed); takes Rs1.Clone by late binding (it must give a recordset) and, when
// `CurPosition` converted to a 32-bit integer is not 0, sets its AbsolutePosition (a Missing
// CurPosition counts as 0); fetches the three detail rights lists from `gLogin`; for kinds 0 and
// 1 reads gAccount.STStartPeriodDate and the row's cInvCode, cBatch (kind 1) and shown free items,
// for kind 2 the row's cWhCode, cInvCode, cPosCode, cBatch and shown free items (values as
// concatenation gives them: Null is empty text); builds the detail statement, opens it on `gConn`
// client-side and returns a clone. Every other kind: kNoStatement.
// Rs1 itself is never moved; the flow's own recordsets (the row clone, the detail) are closed.
// Errors: everything raised on the way reaches the caller unchanged as ComError (for example 3001
// for a CurPosition outside Rs1's rows, 3265 for a missing key column, the engine's error for a
// statement the database rejects).
DetailResult OpenDetail(const std::string& sXml, const platform::Variant& Rs1, int16_t iSelectTz,
                        const platform::Variant& CurPosition, const platform::Variant& gLogin,
                        const platform::Variant& gAccount, platform::db::Connection& gConn,
                        condition::ConditionState& state, const ConditionReaders& readers);

}  // namespace q9::ledger
