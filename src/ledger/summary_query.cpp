#include "ledger/summary_query.h"

#include "ledger/client_recordset.h"
#include "ledger/login_values.h"
#include "ledger/summary_statement.h"
#include "platform/xml/document.h"

namespace q9::ledger {

std::shared_ptr<platform::db::Recordset> OpenSummary(const std::string& sXml, int16_t iSelectTz,
                                                     const platform::Variant& gLogin,
                                                     const platform::Variant& gAccount,
                                                     platform::db::Connection& gConn,
                                                     condition::ConditionState& state,
                                                     const ConditionReaders& readers) {
  platform::xml::Document doc;
  doc.LoadXml(sXml);
  readers.For(iSelectTz)(doc, state);
  const RightsLists rights = FetchSummaryRights(gLogin);
  platform::Date start_period_date;
  if (iSelectTz == 0 || iSelectTz == 1) start_period_date = StartPeriodDate(gAccount);
  const std::string sql = SummaryStatement(iSelectTz, state, rights, start_period_date);
  auto rows = OpenClientClone(sql, gConn);
  if (rows->Eof() && rows->Bof()) return nullptr;
  return rows;
}

}  // namespace q9::ledger
