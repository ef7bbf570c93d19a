// The summary statement of the inventory ledger: one SELECT per ledger kind, built from fixed
// fragments, the condition state and the user's rights lists.
#pragma once

#include <cstdint>
#include <string>

#include "condition/condition_state.h"
#include "platform/date.h"

namespace q9::ledger {

// The user's rights lists as the login component gives them: SQL list text for an IN (...)
// filter, inserted untrimmed and unchanged; a list that is blank (spaces only) adds no filter.
struct RightsLists {
  std::string inventory;   // I.iId, all kinds
  std::string warehouse;   // W.cWhCode, all kinds
  std::string department;  // R.cDepCode, stock ledger only (kinds 0 and 1)
  std::string maker;       // R.cMaker, stock ledger only
  std::string position;    // Pos.cPosCode, position ledger only (kind 2)
};

// The summary statement of ledger kind `kind`:
//   0  stock ledger by inventory (one row per inventory),
//   1  stock ledger by batch (one row per batch-managed inventory and batch),
//   2  position ledger (one row per warehouse, position, inventory and batch).
// Reads strWhere, strHaving, strAssUnit, strFreeCols and strBeforeDate of `state`.
// `start_period_date` (the account's stock start-period date) bounds the stock ledger's documents;
// kind 2 ignores it. Pure text: nothing is validated or run.
// Errors: a kind outside 0..2 raises ComError 5 (invalid call) whose description names the kind.
std::string SummaryStatement(int16_t kind, const condition::ConditionState& state,
                             const RightsLists& rights, const platform::Date& start_period_date);

}  // namespace q9::ledger
