#include "ledger/grid.h"

#include "platform/db/recordset.h"

namespace q9::ledger {

using platform::Variant;
using platform::VarType;

Grid ReadGrid(const platform::db::Recordset& rs) {
  Grid grid;
  for (size_t c = 0; c < rs.FieldCount(); ++c) grid.columns.push_back(rs.FieldName(c));
  ForEachRecord(rs, [&](const std::vector<Variant>& row) { grid.rows.push_back(row); });
  return grid;
}

void ForEachRecord(const platform::db::Recordset& rs,
                   const std::function<void(const std::vector<Variant>&)>& visit) {
  std::shared_ptr<platform::db::Recordset> cursor = rs.Clone();
  std::vector<Variant> row(cursor->FieldCount());
  for (; !cursor->Eof(); cursor->MoveNext()) {
    for (size_t c = 0; c < row.size(); ++c) row[c] = cursor->Field(c);
    visit(row);
  }
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
