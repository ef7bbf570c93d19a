#include "support/run_binary.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
  std::string err_file = scratch.File("stderr");
  std::string command;
  if (!cwd.empty()) command += "cd " + ShellQuote(cwd) + " && ";
  command += ShellQuote(Q9strepPath());
  for (const std::string& a : args) command += " " + ShellQuote(a);
  command += " 2>" + ShellQuote(err_file) + " </dev/null";

  BinaryResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.out.append(buf, n);
  int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream in(err_file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  result.err = text.str();
  return result;
}

}  // namespace q9::testing
