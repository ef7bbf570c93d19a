#include "support/run_binary.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace q9::testing {

namespace {

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

}  // namespace

std::string Q9strepPath() {
  if (const char* bin = std::getenv("Q9STREP_BIN"); bin && *bin) return bin;
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "q9strep").string();
}

BinaryResult RunQ9strep(const std::vector<std::string>& args, const std::string& cwd) {
  TempDir scratch;
  std::string command = cwd.empty() ? "" : "cd " + ShellQuote(cwd) + " && ";
  command += ShellQuote(Q9strepPath());
  for (const std::string& a : args) command += " " + ShellQuote(a);
  command += " >" + ShellQuote(scratch.File("stdout")) + " 2>" +
             ShellQuote(scratch.File("stderr")) + " </dev/null";
  int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, FileBytes(scratch.File("stdout")),
          FileBytes(scratch.File("stderr"))};
}

}  // namespace q9::testing
