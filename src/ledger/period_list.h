// The accounting periods of the login year, read from the system database's period table.
#pragma once

#include <memory>
#include <string>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/variant.h"

namespace q9::ledger {

// "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '" + account id +
// "' AND iYear = " + year. The account id is quoted with embedded quotes doubled; the year, a
// number, goes in bare.
std::string PeriodStatement(const std::string& account_id, const std::string& year);

// Reads account id and year from gLogin.OldLogin, opens the statement (static, read-only) and
// returns a clone of the rows, or nullptr when the year has no periods.
std::shared_ptr<platform::db::Recordset> OpenPeriods(const platform::Variant& gLogin,
                                                     platform::db::Connection& gConn);

}  // namespace q9::ledger
