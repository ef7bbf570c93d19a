#include "services/print_bridge.h"

#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::services {

using platform::Args;
using platform::Variant;

namespace {

// The caller's text variable, handed to the service by reference.
class CallerText {
 public:
  explicit CallerText(std::string& target) : target_(target), value_(target) {}
  ~CallerText() {
    try {
      target_ = value_.ConcatText();
    } catch (const platform::ComError&) {
      // A value without a text form (an object) leaves the caller's text as it was.
    }
  }
  Variant* ref() { return &value_; }

 private:
  std::string& target_;
  Variant value_;
};

}  // namespace

void ForwardPrintCommand(const Variant& gLogin, const Variant& strCommand, const Variant& varParam,
                         const Variant& varReturn, std::string& sError) {
  Variant service(platform::CreateObject(kPrintServiceProgId));
  platform::PutPropertyRef(service, "vklogin", platform::GetProperty(gLogin, "OldLogin"));
  CallerText error_text(sError);
  Args execute;
  execute.Val(strCommand).Val(varParam).Val(varReturn).Ref(error_text.ref());
  platform::CallMethod(service, "Execute", execute);
}

}  // namespace q9::services
