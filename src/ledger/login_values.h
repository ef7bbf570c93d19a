// What the ledger flows ask of the login and account objects, by late binding.
#pragma once

#include "ledger/detail_rights.h"
#include "ledger/summary_statement.h"
#include "platform/date.h"
#include "platform/variant.h"

namespace q9::ledger {

// The five rights lists of the summary, asked of `login` with GetAuthString in this order:
// "InvenTory", "WareHouse", "department", then "user" with the second argument omitted and "R",
// then "position". Each answer is converted to text: a Null answer raises error 94. Any error of
// the login object reaches the caller unchanged.
RightsLists FetchSummaryRights(const platform::Variant& login);

// The three rights lists of the detail, in this order: "WareHouse", "department", then "user" with
// the second argument omitted and "R". Conversions and errors as above.
DetailRights FetchDetailRights(const platform::Variant& login);

// The account's STStartPeriodDate converted to a date (a text date is parsed; anything else
// raises the conversion's error).
platform::Date StartPeriodDate(const platform::Variant& account);

}  // namespace q9::ledger
