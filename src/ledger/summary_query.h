// The summary of the inventory ledger: reads the condition, asks for the rights lists, runs the
// summary statement of the ledger kind and hands out a copy of its rows.
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

// In order: loads `sXml` (a text that does not parse leaves an empty document, on which the
// reader fails); runs the reader of `iSelectTz` (position reader for 2, stock reader otherwise)
// into `state`; fetches the five rights lists from `gLogin`; reads gAccount.STStartPeriodDate for
// kinds 0 and 1 only; builds SummaryStatement and opens it on `gConn` client-side.
// Returns a clone (on the first row) that belongs to the caller, or nullptr when the statement
// returns no row (the caller reports "没有符合条件的数据！"). The flow's own recordset is closed.
// Errors: everything the reader, the login and account objects, the statement or the database
// raise reaches the caller unchanged; a kind outside 0..2 raises ComError 5 after the reader ran
// and the rights lists were fetched, with no statement run. `state` keeps what the reader wrote.
std::shared_ptr<platform::db::Recordset> OpenSummary(const std::string& sXml, int16_t iSelectTz,
                                                     const platform::Variant& gLogin,
                                                     const platform::Variant& gAccount,
                                                     platform::db::Connection& gConn,
                                                     condition::ConditionState& state,
                                                     const ConditionReaders& readers);

}  // namespace q9::ledger
