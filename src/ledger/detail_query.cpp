#include "ledger/detail_query.h"

#include <array>
#include <string>

#include "ledger/client_recordset.h"
#include "ledger/login_values.h"
#include "ledger/position_detail_statement.h"
#include "ledger/stock_detail_statement.h"
#include "platform/dispatch.h"
#include "platform/xml/document.h"

namespace q9::ledger {
namespace {

using platform::Variant;
using platform::db::Recordset;

std::string Key(const Recordset& row, const char* name) { return row.Field(name).ConcatText(); }

std::array<std::string, 10> ShownFreeItems(const Recordset& row,
                                           const std::array<bool, 10>& shown) {
  std::array<std::string, 10> values;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i]) values[i] = Key(row, ("cFree" + std::to_string(i + 1)).c_str());
  }
  return values;
}

}  // namespace

DetailResult OpenDetail(const std::string& sXml, const Variant& Rs1, int16_t iSelectTz,
                        const Variant& CurPosition, const Variant& gLogin, const Variant& gAccount,
                        platform::db::Connection& gConn, condition::ConditionState& state,
                        const ConditionReaders& readers) {
  platform::xml::Document doc;
  doc.LoadXml(sXml);
  readers.For(iSelectTz)(doc, state);

  // Compared as a number, as the front end's runtime compares State with 1.
  if (platform::GetProperty(Rs1, "State").ToDouble() != 1.0) {
    return {DetailOutcome::kSummaryClosed, nullptr};
  }
  std::shared_ptr<Recordset> row =
      platform::db::AsRecordset(platform::CallMethod(Rs1, "Clone"), "Rs1.Clone");
  CloseWhenDone close_row(row);
  const int32_t position = CurPosition.is_missing() ? 0 : CurPosition.ToI4();
  if (position != 0) row->SetAbsolutePosition(position);

  const DetailRights rights = FetchDetailRights(gLogin);
  std::string sql;
  if (iSelectTz == 0 || iSelectTz == 1) {
    const platform::Date start_period_date = StartPeriodDate(gAccount);
    StockRowKeys keys;
    keys.cInvCode = Key(*row, "cInvCode");
    if (iSelectTz == 1) keys.cBatch = Key(*row, "cBatch");
    keys.cFree = ShownFreeItems(*row, state.blnFreeShow);
    sql = StockDetailStatement(iSelectTz == 1, state, rights, start_period_date, keys);
  } else if (iSelectTz == 2) {
    PositionRowKeys keys;
    keys.cWhCode = Key(*row, "cWhCode");
    keys.cInvCode = Key(*row, "cInvCode");
    keys.cPosCode = Key(*row, "cPosCode");
    keys.cBatch = Key(*row, "cBatch");
    keys.cFree = ShownFreeItems(*row, state.blnFreeShow);
    sql = PositionDetailStatement(state, rights, keys);
  } else {
    return {DetailOutcome::kNoStatement, nullptr};
  }
  return {DetailOutcome::kOpened, OpenClientClone(sql, gConn)};
}

}  // namespace q9::ledger
