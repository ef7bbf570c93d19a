// The optional pieces the ledger statements share: condition texts after " AND ", the rights
// filters, and summary-row values placed between single quotes.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace q9::ledger {

// Appends " AND " + `condition` when `condition` is not empty (no trimming: condition texts are
// taken as the reader left them).
void AppendAndCondition(std::string& out, const std::string& condition);

// True when a rights list holds nothing but blanks (spaces): the user is not restricted.
bool IsBlankList(std::string_view list);

// Each appends its filter when `list` is not blank, with the list untrimmed and unchanged:
//   warehouse   " AND W.cWhCode IN (" list ")"
//   inventory   " AND I.iId IN (" list ")"
//   department  " AND (R.cDepCode IN (" list ") OR ISNULL(R.cDepCode,'') = '')"
//   maker       " AND R.cMaker IN (" list ")"
//   position    " AND Pos.cPosCode IN (" list ")"
void AppendWarehouseFilter(std::string& out, const std::string& list);
void AppendInventoryFilter(std::string& out, const std::string& list);
void AppendDepartmentFilter(std::string& out, const std::string& list);
void AppendMakerFilter(std::string& out, const std::string& list);
void AppendPositionFilter(std::string& out, const std::string& list);

// A summary-row value ready to stand between single quotes: every embedded quote doubled, so a
// code that contains a quote selects its own lines.
std::string QuoteValue(std::string_view value);

// For each free item i (1..10, ascending) with `shown[i-1]`: " AND IsNull(Rs.cFree<i>,'') ='",
// the quoted value `values[i-1]`, "'". The detail statements match the document line's free
// items against the summary row's.
void AppendFreeItemFilters(std::string& out, const std::array<bool, 10>& shown,
                           const std::array<std::string, 10>& values);

}  // namespace q9::ledger
