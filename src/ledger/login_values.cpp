#include "ledger/login_values.h"

#include "platform/dispatch.h"

namespace q9::ledger {
namespace {

using platform::Args;
using platform::Variant;

std::string AuthString(const Variant& login, const char* kind) {
  Args args;
  args.Val(kind);
  return platform::CallMethod(login, "GetAuthString", args).ToText();
}

std::string MakerAuthString(const Variant& login) {
  Args args;
  args.Val("user").Omitted().Val("R");
  return platform::CallMethod(login, "GetAuthString", args).ToText();
}

}  // namespace

RightsLists FetchSummaryRights(const Variant& login) {
  RightsLists rights;
  rights.inventory = AuthString(login, "InvenTory");
  rights.warehouse = AuthString(login, "WareHouse");
  rights.department = AuthString(login, "department");
  rights.maker = MakerAuthString(login);
  rights.position = AuthString(login, "position");
  return rights;
}

DetailRights FetchDetailRights(const Variant& login) {
  DetailRights rights;
  rights.warehouse = AuthString(login, "WareHouse");
  rights.department = AuthString(login, "department");
  rights.maker = MakerAuthString(login);
  return rights;
}

platform::Date StartPeriodDate(const Variant& account) {
  return platform::GetProperty(account, "STStartPeriodDate").ToDate();
}

}  // namespace q9::ledger
