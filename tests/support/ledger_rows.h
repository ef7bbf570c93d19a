// The component's ledger recordsets read into the reference ledger's row types, and the
// differences between two summaries or two details, for tests that run OpenX and OpenPage on a
// demo company and check them against ReferenceLedger.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/variant.h"
#include "support/reference_ledger.h"

namespace q9::testing {

// The rows of a summary recordset (what OpenX returns in Rs1) as `query` asked for them: the keys
// of its ledger kind, the shown free items in the order of query.free_items, iBeginQtty and
// iBeginNum. In the recordset's order, so entry i is the row at position i + 1.
std::vector<SummaryRow> SummaryRowsOf(const platform::Variant& rs, const LedgerQuery& query);

// The lines of a detail recordset (what OpenPage returns in Rs2): stock ledger ID and AutoID
// ordered by dDate or, with audit dates, dVeriDate; position ledger RdID, RdsID and AutoId
// ordered by the record's dDate. Normalized with NormalizeDetailOrder.
std::vector<DetailLine> DetailLinesOf(const platform::Variant& rs, const LedgerQuery& query);

// One line per difference ("missing ...", "extra ...", "differs ..."); empty when equal.
// Quantities must be equal; numbers (quotients of fixed-rate units) within 1e-9 relative.
std::vector<std::string> SummaryDifferences(const std::vector<SummaryRow>& actual,
                                            const std::vector<SummaryRow>& expected);
std::vector<std::string> DetailDifferences(std::vector<DetailLine> actual,
                                           std::vector<DetailLine> expected);

// Readable forms for messages.
std::string Show(const SummaryRow& row);
std::string Show(const DetailLine& line);

// The whole content of a file, for byte-for-byte comparisons.
std::string FileBytes(const std::string& path);

}  // namespace q9::testing
