// The condition state: what a condition reader leaves on an IClsKCZT instance for the ledger
// statements of the same call.
#pragma once

#include <array>
#include <string>

namespace q9::condition {

// The eight members a reading writes. A default-constructed state is that of a new instance:
// every text empty, blnVerDate False, no free item shown.
struct ConditionState {
  // WHERE filter; after a reading it always begins "(1=1)".
  std::string strWhere;
  // HAVING test of the summary query from the selection standard; empty when the standard is
  // none of the five names.
  std::string strHaving;
  // The auxiliary unit number: the whole number of `assunit` without surrounding blanks,
  // placed bare into the ledger statements.
  std::string strAssUnit;
  // Column list of the shown free items, e.g. " cFree1 , cFree3 "; empty when none is shown.
  std::string strFreeCols;
  // Date condition of the rows before the queried range (the opening balance).
  std::string strBeforeDate;
  // Date condition of the rows inside the queried range.
  std::string strDateCond;
  // True when the ledger dates are audit dates (`isverdate` is any text but "false").
  bool blnVerDate = false;
  // Element i-1 is true when free item i is shown.
  std::array<bool, 10> blnFreeShow{};
};

}  // namespace q9::condition
