// The date-range conditions of a ledger query: the rows inside the queried range and the rows
// before it (the opening balance), both on the same date column.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace q9::condition {

// Builds the in-range condition (the result) and the before-range condition (written to
// `before`) on `field` from the `value1` (`from`) and `value2` (`to`) texts of `ddate`.
//
// On every call, before the values are looked at, the stock start text S is read through the
// late-bound `account`: STStartDate → its month m → Period(m) → BeginDate, converted with the
// default date-to-text conversion ("YYYY-MM-DD"). D(x) is x converted to a date, written
// "YYYY-MM-DD".
//
//   from   to            before              result
//   set    later         field < 'D(from)'   field >= 'D(from)' AND field <= 'D(to)'
//   set    earlier       field < 'D(to)'     field >= 'D(to)' AND  field <= 'D(from)' (2 blanks)
//   set    same date     field < 'D(from)'   field = 'D(from)'
//   empty  empty         field < 'S'         field >= 'S'
//   set    empty         field < 'D(from)'   field >= 'D(from)'
//   empty  set           field < 'S'         field >= 'S' AND field <= 'D(to)'
//
// Empty means length zero. S is quote-doubled like every literal.
//
// Errors: any error of the account calls passes out unchanged (even when S is not needed); a
// value that is set but not a date raises NotADate (type mismatch, 13) naming the field and the
// value. On an error `before` is left as it was.
std::string MakeDateCond(const platform::Variant& account, std::string_view field,
                         std::string_view from, std::string_view to, std::string& before);

}  // namespace q9::condition
