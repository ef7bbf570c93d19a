#include "ledger/period_list.h"

#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::ledger {

using platform::GetProperty;
using platform::Variant;
namespace db = platform::db;

std::string PeriodStatement(const std::string& account_id, const std::string& year) {
  std::string quoted;
  for (char c : account_id) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '" + quoted +
         "' AND iYear = " + year;
}

std::shared_ptr<db::Recordset> OpenPeriods(const Variant& gLogin, db::Connection& gConn) {
  std::string account_id = GetProperty(GetProperty(gLogin, "OldLogin"), "cAcc_Id").ToText();
  Variant year = GetProperty(GetProperty(gLogin, "OldLogin"), "cIYear");
  // The year goes into the text bare, so it must be a whole number.
  std::string year_text = std::to_string(year.ToI4());
  if (Variant(year_text).ToDouble() != year.ToDouble()) {
    throw platform::TypeMismatch("登录年度 '" + year.ConcatText() + "' 不是整数");
  }
  db::Recordset rs;
  rs.Open(PeriodStatement(account_id, year_text), gConn, db::kOpenStatic, db::kLockReadOnly, -1);
  std::shared_ptr<db::Recordset> result;
  if (rs.RecordCount() != 0) result = rs.Clone(db::kLockUnspecified);
  if (rs.State() == db::kStateOpen) rs.Close();
  return result;
}

}  // namespace q9::ledger
