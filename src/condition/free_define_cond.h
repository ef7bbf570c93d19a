// The free-item and inventory-define conditions: walks the elements free1..free10 and
// invdefine1..invdefine16 of the condition document. Both results are made of zero or more terms
// " AND " + condition, to be appended to the WHERE filter as they are.
#pragma once

#include <array>
#include <string>

#include "platform/xml/document.h"

namespace q9::condition {

// Free item i (1..10) is element "free<i>" with attributes check, value1, value2, on column
// "cFree<i>". First sets every flag of `shown` false and `free_cols` empty. An item whose check
// is exactly "1" is shown: " cFree<i> ," is appended to `free_cols`, shown[i-1] becomes true
// and its value1/value2 are read and turned into a prefix range (MakeLikeRangeCond); otherwise
// its values are not read and may be missing. Finally the last "," is removed from a non-blank
// column list, so items 1 and 3 give " cFree1 , cFree3 ".
//
// Errors: a missing free element, check attribute, or value of a shown item raises "object not
// set" (91) naming it; `shown` and `free_cols` then hold what was decided up to that item (the
// list with its trailing ",").
std::string MakeFreeCond(const platform::xml::Document& doc, std::string& free_cols,
                         std::array<bool, 10>& shown);

// Define item i (1..16) is element "invdefine<i>" with attributes value1, value2, on column
// "cInvDefine<i>": items 1..10 are text (MakeLikeRangeCond), 11..14 numbers
// (MakeNumberCompareCond), 15 and 16 dates (MakeDateCompareCond).
//
// Errors: a missing element or attribute raises "object not set" (91) naming it; a number or
// date item whose value does not convert raises type mismatch (13).
std::string MakeDefineCond(const platform::xml::Document& doc);

}  // namespace q9::condition
