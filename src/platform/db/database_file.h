// The files an engine opens as databases: both SQLite engines would otherwise create a missing
// file as a new empty database, and fail on a directory or device with an unhelpful message.
#pragma once

#include <string>

namespace q9::platform::db {

// Raises ProviderError(source, ...) unless `path` is ":memory:" or a regular file: the message
// names `what` (e.g. "company database"), the path and what stands there ("does not exist",
// "is a directory, not a database file", "is a character device, ...", "is a FIFO ...").
void RequireDatabaseFile(const std::string& path, const char* what, const std::string& source);

}  // namespace q9::platform::db
