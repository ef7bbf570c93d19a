// Reads of the ERP's system database (attached to the company connection as VKSystem), shared by
// the login, account and inner-login substitutes.
//
// Tables used (see demo/README.md for the whole schema):
//   VA_User(cUser_Id, cUser_Name)                      users
//   VA_Account(cAcc_ID, cAcc_Name, dSTStartDate)       accounts and their stock start date
//   VA_Period(cAcc_ID, iYear, iId, dBegin, dEnd)       accounting periods
//   VA_DataRight(cAcc_ID, cUser_Id, cKind, cValue)     data rights; no row of a kind: unrestricted
//   VA_Function(cFuncId, cFuncName)                    functions (tasks)
//   VA_TaskRight(cAcc_ID, cUser_Id, cFuncId)           tasks granted
//   VA_TaskLock(cAcc_ID, cFuncId, cUser_Id, iLockNum)  tasks held by a user (a conflict for others)
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/date.h"
#include "platform/db/connection.h"

namespace q9::platform::erp {

struct PeriodRow {
  int id = 0;
  Date begin;
  Date end;
};

struct LoginIdentity {
  std::string connection_string;
  std::string user_id;
  std::string user_name;
  std::string account_id;
  std::string account_name;
  int year = 0;
};

// A connection of the login component's own to the company database (and so to VKSystem).
class SystemDatabase {
 public:
  // Opens the connection and checks that user and account exist (error naming them otherwise).
  static std::shared_ptr<SystemDatabase> Open(LoginIdentity& identity);

  Date StockStartDate(const std::string& account_id);
  std::vector<PeriodRow> Periods(const std::string& account_id, int year);
  // The begin date of the period that contains `day`, if any.
  std::optional<Date> PeriodBeginContaining(const std::string& account_id, const Date& day);
  std::vector<std::string> DataRights(const std::string& account_id, const std::string& user_id,
                                      const std::string& kind);
  std::optional<std::string> FunctionName(const std::string& func_id);
  bool TaskGranted(const std::string& account_id, const std::string& user_id,
                   const std::string& func_id);
  // The user holding the function under that lock number, other than `user_id`.
  std::optional<std::string> TaskHolder(const std::string& account_id,
                                        const std::string& func_id, const std::string& user_id,
                                        int lock_number);

  db::Connection& connection() { return connection_; }

 private:
  db::Connection connection_;
};

// `text` between single quotes with each embedded quote doubled.
std::string SqlText(const std::string& text);

}  // namespace q9::platform::erp
