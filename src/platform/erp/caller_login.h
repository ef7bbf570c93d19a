// The caller's login object: what a front end holds after the user logged in and passes to Init.
#pragma once

#include <string>

#include "platform/dispatch.h"

namespace q9::platform::erp {

// Members (all read-only properties): VkDbName (the connection string of the company database,
// complete), cUserId, cAcc_Id (account id), cIYear (login year).
ObjectPtr MakeCallerLogin(const std::string& connection_string, const std::string& user_id,
                          const std::string& account_id, int year);

}  // namespace q9::platform::erp
