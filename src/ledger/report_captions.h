// What a report front end shows around the ledger's recordsets: the headings of the summary
// list (which has no saved format) and the report query whose saved format lays out each
// ledger's detail.
#pragma once

#include <cstdint>
#include <string>

namespace q9::ledger {

// The heading of a summary column (or of a stock card's balance column), or "" for a column the
// front end has no heading of its own for.
std::string SummaryCaption(const std::string& column);

// Whether a summary column adds up over rows (the opening balances); the safety, highest and
// lowest stock are limits of each inventory, whose sum means nothing.
bool SummaryColumnAddsUp(const std::string& column);

// The report query of ledger kind `kind` (0 by inventory, 1 by batch, 2 position ledger), or ""
// for another kind.
std::string ReportQueryName(int16_t kind);

// The task (function id) a user needs to open ledger kind `kind`, or "" for another kind.
std::string LedgerTaskId(int16_t kind);

}  // namespace q9::ledger
