#include "platform/erp/caller_login.h"

namespace q9::platform::erp {
namespace {

class CallerLogin : public MemberObject {
 public:
  CallerLogin(std::string connection_string, std::string user_id, std::string account_id,
              int year)
      : MemberObject("CallerLogin") {
    members_.Get("VkDbName", [cs = std::move(connection_string)](Args&) { return Variant(cs); })
        .Get("cUserId", [u = std::move(user_id)](Args&) { return Variant(u); })
        .Get("cAcc_Id", [a = std::move(account_id)](Args&) { return Variant(a); })
        .Get("cIYear", [year](Args&) { return Variant(static_cast<int16_t>(year)); });
  }
};

}  // namespace

ObjectPtr MakeCallerLogin(const std::string& connection_string, const std::string& user_id,
                          const std::string& account_id, int year) {
  return std::make_shared<CallerLogin>(connection_string, user_id, account_id, year);
}

}  // namespace q9::platform::erp
