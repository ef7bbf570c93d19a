// Recordsets made of given values, for the tests of every layer. Header-only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/db/recordset.h"
#include "platform/db/row_set.h"
#include "platform/variant.h"

namespace q9::testing {

// An open read-only recordset with `columns` whose cells are `values`, row after row.
inline std::shared_ptr<platform::db::Recordset> RecordsetOf(
    std::vector<std::string> columns, const std::vector<platform::Variant>& values,
    int cursor_location = platform::db::kUseServer) {
  auto rows = std::make_shared<platform::db::RowSet>(std::move(columns));
  for (const platform::Variant& v : values) rows->Append(v);
  auto rs = std::make_shared<platform::db::Recordset>();
  rs->SetCursorLocation(cursor_location);
  rs->OpenRows(rows, platform::db::kLockReadOnly);
  return rs;
}

}  // namespace q9::testing
