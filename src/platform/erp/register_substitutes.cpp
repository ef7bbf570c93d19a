#include "platform/erp/register_substitutes.h"

#include "platform/erp/login_substitutes.h"
#include "platform/erp/print_service.h"
#include "platform/erp/reference_server.h"

namespace q9::platform::erp {

void RegisterErpSubstitutes() {
  RegisterProgId(kLoginProgId, CreateLogin);
  RegisterProgId(kAccountProgId, CreateAccount);
  RegisterProgId(kAccountCOProgId, CreateAccountCO);
  RegisterProgId(kReferServerProgId, CreateReferServer);
  RegisterProgId(kPrintServiceProgId, CreatePrintService);
}

}  // namespace q9::platform::erp
