// Presentation of recordsets: aligned tables for people (display width aware, so Chinese text
// lines up), CSV after RFC 4180 and JSON for programs.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace q9::platform::db {
class Recordset;
}

namespace q9::cli {

enum class Format { kTable, kCsv, kJson };

// JSON objects keep their keys in the order written.
using Json = nlohmann::ordered_json;

// A recordset read whole: its column names and its rows, values as the recordset holds them.
struct Grid {
  std::vector<std::string> columns;
  std::vector<std::vector<platform::Variant>> rows;
};

// Reads every record of `rs` from the first, through a clone: `rs` keeps its current record.
// Raises the recordset's error (3704) when it is closed.
Grid ReadGrid(const platform::db::Recordset& rs);

// The grid with only the named columns, in the order named; names the grid lacks are skipped.
Grid SelectColumns(const Grid& grid, const std::vector<std::string>& names);

// Terminal columns the UTF-8 text takes: East Asian wide and fullwidth characters (CJK
// ideographs, kana, hangul, fullwidth forms) count two, combining marks and zero-width characters
// none, everything else one. A byte that is not valid UTF-8 counts one.
int DisplayWidth(std::string_view utf8);

// A table for people: a header line, a line of dashes under each header and one line per row;
// columns two blanks apart and padded to the widest cell by display width; Null and Empty shown
// empty; numbers right-aligned, each numeric column with the decimals its values need (at most
// four, rounded), so that the decimal points line up; other values left-aligned, line breaks and
// tabs in texts shown as blanks. Lines end with "\n" and carry no trailing blanks. A grid
// without columns gives "".
std::string RenderTable(const Grid& grid);

// CSV after RFC 4180: a header record, then one record per row; records end with CR LF; a
// field holding a comma, a double quote, CR or LF is enclosed in double quotes with its quotes
// doubled. Null and Empty are empty fields, numbers in their automation text (up to 15
// significant digits), dates YYYY-MM-DD, Booleans True / False. UTF-8, no byte-order mark.
std::string RenderCsv(const Grid& grid);

// {"columns": [names], "rows": [[values], ...]}.
Json GridToJson(const Grid& grid);

// Null and Empty -> null, Boolean -> true / false, integers and doubles -> numbers, dates ->
// "YYYY-MM-DD" (with " HH:MM:SS" when they carry a time), texts -> strings.
Json CellToJson(const platform::Variant& value);

// The JSON text of `value` on one line, invalid UTF-8 replaced rather than raised.
std::string DumpJson(const Json& value);

}  // namespace q9::cli
