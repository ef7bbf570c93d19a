// The comparison and range builders: each turns one field of the condition document into one SQL
// condition on a column, or into an empty text when its values ask for no restriction.
//
// Values come in exactly as read from the document: nothing is trimmed except where said, and
// "empty" means the text of length zero (a blank is a value). Every value placed between single
// quotes has its single quotes doubled (EscapeSqlText), so no value can leave its literal; an
// ordinary code, number or date reaches the SQL text unchanged. All functions are pure.
#pragma once

#include <string>
#include <string_view>

namespace q9::condition {

// Code list, split at ",". Empty when the list is blank after trimming blanks; otherwise the
// untrimmed list is split at every "," (an empty item is still an item, blanks around an item
// stay in it). One code gives `field = 'code' ` (note the trailing blank); several codes select
// any of them: `(field = 'a' OR field = 'b')`.
std::string MakeListCond(std::string_view field, std::string_view list);

// Prefix range, every result beginning with a blank. One bound: ` field LIKE 'bound%'` (either
// bound), the bound's own `%`, `_` and `[` written `[%]`, `[_]`, `[[]` (EscapeLikeText) so that
// they match themselves. Two equal bounds: ` field = 'a'`. Two different bounds: the lower L and
// higher H by ordinal (byte-wise, case-sensitive) comparison of the whole values, `
// LEFT(field,LEN('L')) >= 'L' AND LEFT(field,LEN('H')) <= 'H'`.
std::string MakeLikeRangeCond(std::string_view field, std::string_view from, std::string_view to);

// Quoted value range, every result beginning with a blank:
//   from only            ` field >='from'`
//   to only              ` field <= 'to'`
//   from > to (ordinal)  ` field >= 'to' AND field <= 'from'`
//   from = to            ` field = 'from'`
//   from < to            ` field >= 'from' AND field<= 'to'`
// The whole values are compared ordinally (byte-wise, case-sensitive).
std::string MakeValueRangeCond(std::string_view field, std::string_view from, std::string_view to);

// Number range with the values placed bare, no blanks around the operators, no leading blank:
// `field>=from`, `field<=to`, `field=from` (numerically equal bounds) or
// `field>=low AND field<=high`, the bounds ordered as numbers and written as given. A value that
// is not empty must be a number: optional sign, digits, optional "." and digits, nothing else
// (no blanks); otherwise raises NotANumber (type mismatch, 13) naming the field and the value.
std::string MakeNumberCompareCond(std::string_view field, std::string_view from,
                                  std::string_view to);

// Date range with the dates written "YYYY-MM-DD" between quotes, no leading blank:
//   from only        `field >= 'D(from)'`
//   to only          `field <= 'D(to)'`
//   to earlier       `field >= 'D(to)' AND field <= 'D(from)'`
//   same date        `field = 'D(from)'`
//   to later         `field >= 'D(from)' AND    field <= 'D(to)'` (four blanks after AND)
// Every value that is not empty is converted (Date::Parse forms: YYYY-M-D, YYYY-MM-DD with "-",
// "/" or ".", optional time); one that is not a date raises NotADate (type mismatch, 13) naming
// the field and the value.
std::string MakeDateCompareCond(std::string_view field, std::string_view from, std::string_view to);

}  // namespace q9::condition
