// Chooses and opens the engine a connection string names.
#pragma once

#include <memory>
#include <string_view>

#include "platform/db/engine.h"

namespace q9::platform::db {

// "Provider=SQLite;..." opens the embedded engine. Any other provider is an error naming it.
// `connection_timeout` is in seconds, 0 for no limit. Errors never show a password.
std::unique_ptr<Engine> OpenEngine(std::string_view connection_string, int connection_timeout);

}  // namespace q9::platform::db
