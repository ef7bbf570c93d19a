#include "platform/db/database_file.h"

#include <filesystem>
#include <system_error>

#include "platform/error.h"

namespace q9::platform::db {
namespace {

// What stands at `path`, when it is not a regular file.
std::string NotAFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  switch (fs::status(path, ec).type()) {
    case fs::file_type::regular:
      return {};
    case fs::file_type::not_found:
      return "does not exist";
    case fs::file_type::directory:
      return "is a directory, not a database file";
    case fs::file_type::character:
      return "is a character device, not a database file";
    case fs::file_type::block:
      return "is a block device, not a database file";
    case fs::file_type::fifo:
      return "is a FIFO (named pipe), not a database file";
    case fs::file_type::socket:
      return "is a socket, not a database file";
    default:
      return ec ? "cannot be examined (" + ec.message() + ")" : "is not a database file";
  }
}

}  // namespace

void RequireDatabaseFile(const std::string& path, const char* what, const std::string& source) {
  if (path == ":memory:") return;
  std::string problem = path.empty() ? "is not named" : NotAFile(path);
  if (!problem.empty()) {
    throw ProviderError(source, std::string("the ") + what + " '" + path + "' " + problem);
  }
}

}  // namespace q9::platform::db
