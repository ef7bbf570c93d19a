#include "ledger/statement_pieces.h"

namespace q9::ledger {
namespace {

void AppendRightsFilter(std::string& out, std::string_view head, const std::string& list,
                        std::string_view tail) {
  if (IsBlankList(list)) return;
  out += head;
  out += list;
  out += tail;
}

}  // namespace

void AppendAndCondition(std::string& out, const std::string& condition) {
  if (condition.empty()) return;
  out += " AND ";
  out += condition;
}

bool IsBlankList(std::string_view list) {
  return list.find_first_not_of(' ') == std::string_view::npos;
}

void AppendWarehouseFilter(std::string& out, const std::string& list) {
  AppendRightsFilter(out, " AND W.cWhCode IN (", list, ")");
}

void AppendInventoryFilter(std::string& out, const std::string& list) {
  AppendRightsFilter(out, " AND I.iId IN (", list, ")");
}

void AppendDepartmentFilter(std::string& out, const std::string& list) {
  AppendRightsFilter(out, " AND (R.cDepCode IN (", list, ") OR ISNULL(R.cDepCode,'') = '')");
}

void AppendMakerFilter(std::string& out, const std::string& list) {
  AppendRightsFilter(out, " AND R.cMaker IN (", list, ")");
}

void AppendPositionFilter(std::string& out, const std::string& list) {
  AppendRightsFilter(out, " AND Pos.cPosCode IN (", list, ")");
}

std::string QuoteValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

void AppendFreeItemFilters(std::string& out, const std::array<bool, 10>& shown,
                           const std::array<std::string, 10>& values) {
  for (size_t i = 0; i < shown.size(); ++i) {
    if (!shown[i]) continue;
    out += " AND IsNull(Rs.cFree";
    out += std::to_string(i + 1);
    out += ",'') ='";
    out += QuoteValue(values[i]);
    out += "'";
  }
}

}  // namespace q9::ledger
