// The error a call raises, for tests of every layer. Header-only; included by *_test.cpp files.
#pragma once

#include <optional>

#include "platform/error.h"

namespace q9::testing {

// The error `f` raises, or nothing when it returns normally.
template <typename F>
std::optional<platform::ComError> ErrorOf(F&& f) {
  try {
    f();
  } catch (const platform::ComError& e) {
    return e;
  }
  return std::nullopt;
}

// The number of the error `f` raises; 0 when it returns normally.
template <typename F>
int ErrorNumberOf(F&& f) {
  auto e = ErrorOf(f);
  return e ? e->number() : 0;
}

}  // namespace q9::testing
