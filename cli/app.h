// q9strep, the command-line front end of the report server: its commands and options (CLI11)
// and the mapping of every outcome to an exit status (see exit_status.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace q9::cli {

// Runs q9strep with `args` (args[0] is the program name), writing results to `out` and
// messages to `err`. Returns the exit status: 0 success (also for --help), 1 the component
// answered False (its message on `err`), 2 a usage error, 3 an error the component raised
// (its number and description on `err`). Every failure is one line on `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The same on the process's arguments and standard streams.
int Run(int argc, char** argv);

}  // namespace q9::cli
