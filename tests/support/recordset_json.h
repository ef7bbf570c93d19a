// Compares what q9strep printed as JSON with the recordset the component returned.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/variant.h"

namespace q9::testing {

// Checks that `table` ({"columns": [...], "rows": [[...], ...]}) holds the recordset in
// `recordset` value by value: the same column names in the same order, then the names in
// `extra` (columns the tool appends), the same number of rows, and each value equal by its type
// (Null as null, Booleans as true/false, numbers as numbers, dates and texts as their text).
void ExpectSameRows(const nlohmann::json& table, const platform::Variant& recordset,
                    const std::vector<std::string>& extra = {});

}  // namespace q9::testing
