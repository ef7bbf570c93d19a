// The rights lists the detail statements apply, as the login component gives them.
#pragma once

#include <string>

namespace q9::ledger {

// SQL list text for an IN (...) filter, inserted untrimmed and unchanged; a list that is blank
// (spaces only) adds no filter.
struct DetailRights {
  std::string warehouse;   // W.cWhCode; the stock ledger detail only (a position row fixes it)
  std::string department;  // R.cDepCode; documents without a department always pass
  std::string maker;       // R.cMaker
};

}  // namespace q9::ledger
