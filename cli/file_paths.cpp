#include "cli/file_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/exit_status.h"

namespace q9::cli {

namespace fs = std::filesystem;

std::string WhatIsAt(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  if (S_ISREG(st.st_mode)) return "a file";
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISLNK(st.st_mode)) return "a symbolic link";
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
  if (S_ISFIFO(st.st_mode)) return "a pipe";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "something else";
}

std::string ReadInputFile(const std::string& path, const std::string& option) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    throw UsageError(option + " " + path + ": " +
                     (errno == ENOENT ? std::string("no such file") : std::strerror(errno)));
  }
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
    std::string what = S_ISDIR(st.st_mode) ? "a directory" : "a device or socket";
    throw UsageError(option + " " + path + ": is " + what + ", not a file");
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in)
    throw UsageError(option + " " + path + ": cannot be read (" + std::strerror(errno) + ")");
  return text.str();
}

void CheckAppendable(const std::string& path, const std::string& option) {
  if (path.empty()) throw UsageError(option + ": needs a file name");
  std::string what = WhatIsAt(path);
  if (what == "a directory") throw UsageError(option + " " + path + ": is a directory, not a file");
  // A missing file is created and removed again: nothing is left behind, and the file appears
  // with the first line written.
  bool missing = what == "missing";
  int fd =
      ::open(path.c_str(),
             O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | (missing ? O_CREAT | O_EXCL : 0), 0666);
  if (fd < 0) {
    throw UsageError(option + " " + path + ": cannot be written (" + std::strerror(errno) + ")");
  }
  ::close(fd);
  if (missing) ::unlink(path.c_str());
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

void CheckNewFileTarget(const std::string& target, bool force, const std::string& option) {
  std::string what = WhatIsAt(target);
  if (what == "a directory") {
    throw UsageError(option + " " + target + ": is a directory; name a file");
  }
  if (what != "missing" && !force) {
    throw UsageError(option + " " + target + ": " + what +
                     " is already there (--force replaces it)");
  }
  if (what != "missing" && what != "a file" && what != "a symbolic link") {
    throw UsageError(option + " " + target + ": is " + what + "; only a file is replaced");
  }
}

void WriteNewFile(const std::string& target, bool force, const std::string& option,
                  const std::function<void(const std::string& temp_path)>& write) {
  CheckNewFileTarget(target, force, option);
  fs::path dir = fs::path(target).parent_path();
  std::string pattern = ((dir.empty() ? fs::path(".") : dir) / ".q9strep-XXXXXX").string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    throw UsageError(option + " " + target + ": cannot write in " +
                     (dir.empty() ? std::string(".") : dir.string()) + " (" + std::strerror(errno) +
                     ")");
  }
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);  // as a newly created file would be, not mkstemp's 0600
  ::close(fd);
  const std::string& temp = pattern;
  try {
    write(temp);
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
  // link() never replaces what is there; rename() replaces the entry itself (a symbolic link
  // included) and never writes through it.
  int rc = force ? ::rename(temp.c_str(), target.c_str()) : ::link(temp.c_str(), target.c_str());
  int error = errno;
  if (!force || rc != 0) ::unlink(temp.c_str());
  if (rc != 0) {
    throw UsageError(option + " " + target + ": " +
                     (error == EEXIST
                          ? "appeared while writing; left alone (--force replaces it)"
                          : std::string("cannot be written (") + std::strerror(error) + ")"));
  }
}

}  // namespace q9::cli
