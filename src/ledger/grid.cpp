#include "ledger/grid.h"

#include "platform/db/recordset.h"

namespace q9::ledger {

using platform::Variant;
using platform::VarType;

Grid ReadGrid(const platform::db::Recordset& rs) {
  std::shared_ptr<platform::db::Recordset> cursor = rs.Clone();
  Grid grid;
  size_t n = cursor->FieldCount();
  for (size_t c = 0; c < n; ++c) grid.columns.push_back(cursor->FieldName(c));
  for (; !cursor->Eof(); cursor->MoveNext()) {
    std::vector<Variant>& row = grid.rows.emplace_back();
    row.reserve(n);
    for (size_t c = 0; c < n; ++c) row.push_back(cursor->Field(c));
  }
  return grid;
}

Json CellToJson(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean:
      return v.ToBool();
    case VarType::I2:
    case VarType::I4:
      return v.ToI4();
    case VarType::R8:
      return v.ToDouble();
    case VarType::Date:
    case VarType::String:
      return v.ToText();
    default:
      return nullptr;
  }
}

Json GridToJson(const Grid& grid) {
  Json rows = Json::array();
  for (const auto& row : grid.rows) {
    Json r = Json::array();
    for (const Variant& v : row) r.push_back(CellToJson(v));
    rows.push_back(std::move(r));
  }
  Json j{{"columns", grid.columns}};
  if (!grid.captions.empty()) j["captions"] = grid.captions;
  j["rows"] = std::move(rows);
  return j;
}

std::string DumpJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace q9::ledger
