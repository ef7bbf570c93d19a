#include "platform/erp/system_database.h"

#include "platform/db/recordset.h"
#include "platform/error.h"

namespace q9::platform::erp {
namespace {

std::shared_ptr<const db::RowSet> Query(db::Connection& conn, const std::string& sql) {
  db::StatementResult result = conn.Run(sql);
  if (!result.rows) throw ProviderError("VtCOMMON.Login", "statement returned no rows: " + sql);
  return result.rows;
}

ComError LoginError(const std::string& text) { return ComError(kErrInvalidCall, "VtCOMMON.Login", text); }

}  // namespace

std::string SqlText(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::shared_ptr<SystemDatabase> SystemDatabase::Open(LoginIdentity& identity) {
  auto sys = std::make_shared<SystemDatabase>();
  sys->connection_.Open(identity.connection_string);
  auto user = Query(sys->connection_, "SELECT cUser_Name FROM VKSystem..VA_User WHERE cUser_Id = " +
                                          SqlText(identity.user_id));
  if (user->row_count() == 0) throw LoginError("用户 " + identity.user_id + " 不存在");
  identity.user_name = user->Value(0, 0).ConcatText();
  auto account = Query(sys->connection_,
                       "SELECT cAcc_Name FROM VKSystem..VA_Account WHERE cAcc_ID = " +
                           SqlText(identity.account_id));
  if (account->row_count() == 0) throw LoginError("账套 " + identity.account_id + " 不存在");
  identity.account_name = account->Value(0, 0).ConcatText();
  return sys;
}

Date SystemDatabase::StockStartDate(const std::string& account_id) {
  auto rows = Query(connection_, "SELECT dSTStartDate FROM VKSystem..VA_Account WHERE cAcc_ID = " +
                                     SqlText(account_id));
  if (rows->row_count() == 0 || rows->Value(0, 0).is_null()) {
    throw LoginError("账套 " + account_id + " 没有库存管理启用日期");
  }
  return rows->Value(0, 0).ToDate();
}

std::vector<PeriodRow> SystemDatabase::Periods(const std::string& account_id, int year) {
  auto rows = Query(connection_,
                    "SELECT iId, dBegin, dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = " +
                        SqlText(account_id) + " AND iYear = " + std::to_string(year) +
                        " ORDER BY iId");
  std::vector<PeriodRow> out;
  for (size_t r = 0; r < rows->row_count(); ++r) {
    out.push_back({rows->Value(r, 0).ToI4(), rows->Value(r, 1).ToDate(), rows->Value(r, 2).ToDate()});
  }
  return out;
}

std::optional<Date> SystemDatabase::PeriodBeginContaining(const std::string& account_id,
                                                          const Date& day) {
  std::string d = SqlText(day.ToIsoDate());
  auto rows = Query(connection_, "SELECT dBegin FROM VKSystem..VA_Period WHERE cAcc_ID = " +
                                     SqlText(account_id) + " AND dBegin <= " + d +
                                     " AND dEnd >= " + d + " ORDER BY dBegin");
  if (rows->row_count() == 0) return std::nullopt;
  return rows->Value(0, 0).ToDate();
}

std::vector<std::string> SystemDatabase::DataRights(const std::string& account_id,
                                                    const std::string& user_id,
                                                    const std::string& kind) {
  auto rows = Query(connection_, "SELECT cValue FROM VKSystem..VA_DataRight WHERE cAcc_ID = " +
                                     SqlText(account_id) + " AND cUser_Id = " + SqlText(user_id) +
                                     " AND cKind = " + SqlText(kind) + " ORDER BY cValue");
  std::vector<std::string> out;
  for (size_t r = 0; r < rows->row_count(); ++r) out.push_back(rows->Value(r, 0).ConcatText());
  return out;
}

std::optional<std::string> SystemDatabase::FunctionName(const std::string& func_id) {
  auto rows = Query(connection_, "SELECT cFuncName FROM VKSystem..VA_Function WHERE cFuncId = " +
                                     SqlText(func_id));
  if (rows->row_count() == 0) return std::nullopt;
  return rows->Value(0, 0).ConcatText();
}

bool SystemDatabase::TaskGranted(const std::string& account_id, const std::string& user_id,
                                 const std::string& func_id) {
  auto rows = Query(connection_, "SELECT cFuncId FROM VKSystem..VA_TaskRight WHERE cAcc_ID = " +
                                     SqlText(account_id) + " AND cUser_Id = " + SqlText(user_id) +
                                     " AND cFuncId = " + SqlText(func_id));
  return rows->row_count() > 0;
}

std::optional<std::string> SystemDatabase::TaskHolder(const std::string& account_id,
                                                      const std::string& func_id,
                                                      const std::string& user_id,
                                                      int lock_number) {
  auto rows = Query(connection_, "SELECT cUser_Id FROM VKSystem..VA_TaskLock WHERE cAcc_ID = " +
                                     SqlText(account_id) + " AND cFuncId = " + SqlText(func_id) +
                                     " AND cUser_Id <> " + SqlText(user_id) +
                                     " AND iLockNum = " + std::to_string(lock_number) +
                                     " ORDER BY cUser_Id");
  if (rows->row_count() == 0) return std::nullopt;
  return rows->Value(0, 0).ConcatText();
}

}  // namespace q9::platform::erp
