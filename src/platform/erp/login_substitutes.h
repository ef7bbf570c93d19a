// Substitutes of the ERP's login components, answering exactly the members the component calls:
//   VtCOMMON.Login      Load(oLogin), Account, GetAuthString(kind) / GetAuthString("user", , "R"),
//                       OldLogin
//   (inner login)       cAcc_Id, cIYear, cUserId, VkDbName, ClearError, TaskExec(id, lock),
//                       LogState, ShareString
//   VtERPVO.Account     STStartDate, Period(m).BeginDate / .EndDate, STStartPeriodDate
//   VtERPCO.AccountCO   login (put)
// They read the system database through the caller's connection string (system_database.h).
#pragma once

#include <string>
#include <vector>

#include "platform/dispatch.h"

namespace q9::platform::erp {

inline constexpr const char* kLoginProgId = "VtCOMMON.Login";
inline constexpr const char* kAccountProgId = "VtERPVO.Account";
inline constexpr const char* kAccountCOProgId = "VtERPCO.AccountCO";

ObjectPtr CreateLogin();
ObjectPtr CreateAccount();
ObjectPtr CreateAccountCO();

// Rights list texts as GetAuthString returns them: inventory ids bare and comma-separated, codes
// quoted ('01','02') with embedded quotes doubled; empty when the user has no row of the kind.
std::string FormatRightsList(const std::string& kind, const std::vector<std::string>& values);

// TaskExec's refusal states.
enum TaskState { kTaskGranted = 0, kTaskNoRight = 20, kTaskInUse = 21, kTaskNoFunction = 22 };

}  // namespace q9::platform::erp
