#include "platform/erp/register_substitutes.h"

#include "platform/erp/login_substitutes.h"

namespace q9::platform::erp {

void RegisterErpSubstitutes() {
  RegisterProgId(kLoginProgId, CreateLogin);
  RegisterProgId(kAccountProgId, CreateAccount);
  RegisterProgId(kAccountCOProgId, CreateAccountCO);
}

}  // namespace q9::platform::erp
