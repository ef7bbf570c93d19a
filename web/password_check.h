// The login's password check: the user's Argon2id text is read from the system database
// (VKSystem..VA_User.cPassword) through the platform's database API and checked with libsodium.
#pragma once

#include <string>

namespace q9::web {

// True when `user` exists, has a password text and `password` matches it. A missing user or
// password costs the same work as a wrong password, so the answer's time tells nothing. At most
// two checks run at once (each takes tens of milliseconds and megabytes of memory). Raises
// platform::ComError when the database cannot be read.
bool PasswordMatches(const std::string& connection_string, const std::string& user,
                     const std::string& password);

}  // namespace q9::web
