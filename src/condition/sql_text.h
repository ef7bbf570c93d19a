// Text handling shared by the condition builders: SQL literals and blank trimming.
#pragma once

#include <string>
#include <string_view>

namespace q9::condition {

// `value` with every single quote doubled, so that placed between single quotes it stays one
// SQL literal whatever it contains.
std::string EscapeSqlText(std::string_view value);

// `value` as the fixed text of a LIKE pattern: the wildcards `%` and `_` and the bracket `[`
// stand for themselves, written the SQL Server way (`[%]`, `[_]`, `[[]`), and every single quote
// is doubled. A class code 01_A then matches 01_A only, never 01XA.
std::string EscapeLikeText(std::string_view value);

// `text` without leading and trailing blanks. Only the blank (U+0020) is removed; tabs and
// other spacing characters are kept, as the condition values are compared.
std::string_view TrimBlanks(std::string_view text);

}  // namespace q9::condition
