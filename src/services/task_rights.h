// The user's right to run a function, decided by the ERP's login component (gLogin.OldLogin).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/variant.h"

namespace q9::services {

// Refusal messages by the login component's LogState.
inline constexpr const char* kTaskNoRight = "对不起,您没有该项权限!";                   // 20
inline constexpr const char* kTaskNoFunction = "指定功能号不存在(仅发生在功能释放时)";  // 22
inline constexpr const char* kTaskTryLater = "，请稍后再试";  // after ShareString, any other

// Asks the inner login object: ClearError, then TaskExec(P_AuthId, LockNum) with references to
// copies of both. Granted: no message (nullopt). Refused: reads ShareString (from a fresh
// gLogin.OldLogin) and LogState, and returns the message for the user.
// Errors of the login component (or a gLogin that holds no object) propagate as ComError.
std::optional<std::string> AskTaskRight(const platform::Variant& gLogin,
                                        const std::string& P_AuthId, int16_t LockNum);

}  // namespace q9::services
