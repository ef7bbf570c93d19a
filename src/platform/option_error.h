// A wrong value handed in by whoever drives the component (an option of the command line, a field
// of a web request): the message names the value and says what was expected. Nothing has been
// done when it is raised.
#pragma once

#include <stdexcept>

namespace q9::platform {

class OptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace q9::platform
