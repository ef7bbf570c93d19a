// Password hashes of the demo company's users: Argon2id (libsodium) in the standard
// "$argon2id$v=19$m=...,t=...,p=1$SALT$HASH" text, which any Argon2 verifier (the web report's
// login among them) checks. The salt is derived from the company's seed and the user, so the same
// seed gives the same system database, byte for byte.
#pragma once

#include <cstdint>
#include <string>

namespace q9::demo {

// The demo users' passwords (README.md names them).
inline constexpr char kDemoPassword[] = "demo-2026";
inline constexpr char kClerkPassword[] = "clerk-2026";
inline constexpr char kAuditorPassword[] = "auditor-2026";

// The Argon2id text of `password` for `user` in the company generated from `seed`, with
// libsodium's interactive limits. Raises std::runtime_error when libsodium cannot start or the
// hash cannot be computed (out of memory).
std::string DemoPasswordHash(const std::string& password, uint64_t seed, const std::string& user);

}  // namespace q9::demo
