#include "services/task_rights.h"

#include "platform/dispatch.h"

namespace q9::services {

using platform::Args;
using platform::Variant;

std::optional<std::string> AskTaskRight(const Variant& gLogin, const std::string& P_AuthId,
                                        int16_t LockNum) {
  Variant inner = platform::GetProperty(gLogin, "OldLogin");
  platform::CallMethod(inner, "ClearError");
  Variant auth_id(P_AuthId);
  Variant lock_num(LockNum);
  Args task;
  task.Ref(&auth_id).Ref(&lock_num);
  if (platform::CallMethod(inner, "TaskExec", task).ToBool()) return std::nullopt;

  std::string share =
      platform::GetProperty(platform::GetProperty(gLogin, "OldLogin"), "ShareString").ToText();
  Variant state = platform::GetProperty(inner, "LogState");
  // A Null state matches no reason and falls to the login component's own text.
  if (!state.is_null()) {
    double reason = state.ToDouble();
    if (reason == 20) return kTaskNoRight;
    if (reason == 22) return kTaskNoFunction;
  }
  return share + kTaskTryLater;
}

}  // namespace q9::services
