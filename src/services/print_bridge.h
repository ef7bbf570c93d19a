// Printing through the ERP's print service (ProgID VtSTPrint.clsPrintItfService).
#pragma once

#include <string>

#include "platform/variant.h"

namespace q9::services {

inline constexpr const char* kPrintServiceProgId = "VtSTPrint.clsPrintItfService";

// Creates a print service, sets its vklogin to gLogin.OldLogin (by reference) and calls
// Execute(strCommand, varParam, varReturn, sError) with copies of the three values and the
// caller's `sError` by reference, so the service's error text reaches the caller, also when the
// service then fails. The service is released after the call; nothing is kept.
// Errors (creation, vklogin, Execute) propagate as ComError.
void ForwardPrintCommand(const platform::Variant& gLogin, const platform::Variant& strCommand,
                         const platform::Variant& varParam, const platform::Variant& varReturn,
                         std::string& sError);

}  // namespace q9::services
