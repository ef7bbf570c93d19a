// The frame every public method stands in: the error handler of the methods that have one, and
// the error type that reaches the caller of the methods that don't.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/variant.h"

namespace q9::component {

// Turns whatever was thrown into the component's error type (a ComError passes unchanged; any
// other exception becomes an error of the component carrying its text).
platform::ComError CurrentError();

// Runs `work` under an error handler: an error ends the work at once and `on_error` receives the
// error's description; the result is then False. Whatever `work` opened is released by its own
// destructors as the stack unwinds.
bool RunWithHandler(const std::function<bool()>& work,
                    const std::function<void(const std::string& description)>& on_error);

// Runs `work` without a handler: any error reaches the caller as a ComError.
template <typename F>
auto RunWithoutHandler(F&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const platform::ComError&) {
    throw;
  } catch (...) {
    throw CurrentError();
  }
}

}  // namespace q9::component
