// Runs the q9strep binary the way a user does, capturing what it writes and its exit status.
#pragma once

#include <string>
#include <vector>

namespace q9::testing {

struct BinaryResult {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// The built q9strep: $Q9STREP_BIN, else q9strep beside the running test binary.
std::string Q9strepPath();

// Runs q9strep with `args` in the working directory `cwd` (the current one when empty).
BinaryResult RunQ9strep(const std::vector<std::string>& args, const std::string& cwd = "");

}  // namespace q9::testing
