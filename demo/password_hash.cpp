#include "demo/password_hash.h"

#include <sodium.h>

#include <stdexcept>
#include <vector>

namespace q9::demo {
namespace {

std::string Base64(const unsigned char* bytes, size_t n) {
  std::vector<char> text(sodium_base64_encoded_len(n, sodium_base64_VARIANT_ORIGINAL_NO_PADDING));
  sodium_bin2base64(text.data(), text.size(), bytes, n, sodium_base64_VARIANT_ORIGINAL_NO_PADDING);
  return text.data();
}

}  // namespace

std::string DemoPasswordHash(const std::string& password, uint64_t seed, const std::string& user) {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
  // The salt: a keyed hash of the user under the seed, so users of one company and companies of
  // different seeds never share one.
  std::string salt_input = "q9 demo user salt\n" + std::to_string(seed) + "\n" + user;
  unsigned char salt[crypto_pwhash_SALTBYTES];
  crypto_generichash(salt, sizeof salt, reinterpret_cast<const unsigned char*>(salt_input.data()),
                     salt_input.size(), nullptr, 0);
  unsigned char hash[32];
  const unsigned long long ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
  const size_t mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  if (crypto_pwhash(hash, sizeof hash, password.data(), password.size(), salt, ops, mem,
                    crypto_pwhash_ALG_ARGON2ID13) != 0) {
    throw std::runtime_error("the password hash of user " + user + " could not be computed");
  }
  return "$argon2id$v=19$m=" + std::to_string(mem / 1024) + ",t=" + std::to_string(ops) + ",p=1$" +
         Base64(salt, sizeof salt) + "$" + Base64(hash, sizeof hash);
}

}  // namespace q9::demo
