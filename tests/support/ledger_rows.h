// The component's ledger recordsets read into the reference ledger's row types, the differences
// between two summaries or two details, and the whole check of a ledger query: OpenX and OpenPage
// run as a front end runs them, compared with ReferenceLedger.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/iclskczt.h"
#include "platform/variant.h"
#include "support/reference_ledger.h"

namespace q9::testing {

// An instance initialised (the ERP substitutes registered) with the caller login of `user` in the
// demo account and login year on `connection`; a failed Init is a test failure.
std::unique_ptr<component::IClsKCZT> InitComponent(const std::string& connection,
                                                   const std::string& user = "demo");

// The rows of a summary recordset (what OpenX returns in Rs1) as `query` asked for them: the keys
// of its ledger kind, the shown free items in the order of query.free_items, iBeginQtty and
// iBeginNum. In the recordset's order, so entry i is the row at position i + 1.
std::vector<SummaryRow> SummaryRowsOf(const platform::Variant& rs, const LedgerQuery& query);

// The lines of a detail recordset (what OpenPage returns in Rs2): stock ledger ID and AutoID
// ordered by dDate or, with audit dates, dVeriDate; position ledger RdID, RdsID and AutoId
// ordered by the record's dDate. Normalized with NormalizeDetailOrder, which keeps the order of
// the sort keys.
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

struct LedgerCheck {
  std::vector<SummaryRow> rows;  // the component's summary, in its order
  size_t details_opened = 0;
  size_t detail_lines = 0;
};

// Runs OpenX with the condition document of `query` and compares the summary with `model` (no
// row missing, none extra or twice; an empty one must be False with the fixed message); then
// OpenPage, positioned by CurPosition, for every summary row `detail_wanted` picks (all when it
// is empty): each detail must be in statement order and equal the model's. Differences are test
// failures, the first few of each kind reported.
LedgerCheck CheckLedger(component::IClsKCZT& component, const ReferenceLedger& model,
                        const LedgerQuery& query,
                        const std::function<bool(size_t, const SummaryRow&)>& detail_wanted = {});

}  // namespace q9::testing
