// A recordset read whole, as a front end shows it: its column names and its rows, and the same
// as JSON for programs and for the web page.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/variant.h"

namespace q9::platform::db {
class Recordset;
}

namespace q9::ledger {

// JSON objects keep their keys in the order written.
using Json = nlohmann::ordered_json;

struct Grid {
  std::vector<std::string> columns;
  std::vector<std::vector<platform::Variant>> rows;
  // The heading of each column for people (the saved format's caption); empty: the names.
  std::vector<std::string> captions = {};
};

// Reads every record of `rs` from the first, through a clone: `rs` keeps its current record.
// Raises the recordset's error (3704) when it is closed.
Grid ReadGrid(const platform::db::Recordset& rs);

// Hands every record of `rs` from the first to `visit`, in one row of values reused, through a
// clone: a large recordset is read without a copy of its rows. Raises as ReadGrid.
void ForEachRecord(const platform::db::Recordset& rs,
                   const std::function<void(const std::vector<platform::Variant>&)>& visit);

// {"columns": [names], "rows": [[values], ...]}, with "captions": [...] after "columns" when
// the grid has captions.
Json GridToJson(const Grid& grid);

// Null and Empty -> null, Boolean -> true / false, integers and doubles -> numbers, dates ->
// "YYYY-MM-DD" (with " HH:MM:SS" when they carry a time), texts -> strings.
Json CellToJson(const platform::Variant& value);

// The JSON text of `value` on one line, invalid UTF-8 replaced rather than raised.
std::string DumpJson(const Json& value);

}  // namespace q9::ledger
