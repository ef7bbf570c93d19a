// The exit statuses of q9strep and the two failures a command ends with besides the
// component's own errors (platform::ComError, kExitError).
#pragma once

#include <stdexcept>

#include "platform/option_error.h"

namespace q9::cli {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFalse = 1,  // the component answered False; its message went to standard error
  kExitUsage = 2,  // unknown option, bad value, missing file, row beyond the summary
  kExitError = 3,  // the component raised an error; its number and description went to stderr
};

// A wrong option value or argument, reported as one line on standard error with kExitUsage.
using UsageError = platform::OptionError;

// The component answered False: the command ends with kExitFalse and this message (the
// component's own, or a clear text when it gave none) on standard error.
class ComponentFalse : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace q9::cli
