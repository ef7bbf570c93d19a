#include "web/password_check.h"

#include <sodium.h>

#include <semaphore>
#include <stdexcept>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/erp/system_database.h"

namespace q9::web {
namespace {

std::counting_semaphore<2> checks(2);

// A hash of a random password, checked in place of a missing one.
const std::string& StandIn() {
  static const std::string hash = [] {
    if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
    unsigned char random[32];
    randombytes_buf(random, sizeof random);
    char text[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(text, reinterpret_cast<const char*>(random), sizeof random,
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
      throw std::runtime_error("libsodium could not hash a password");
    }
    return std::string(text);
  }();
  return hash;
}

}  // namespace

bool PasswordMatches(const std::string& connection_string, const std::string& user,
                     const std::string& password) {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
  std::string stored;
  {
    platform::db::Connection connection;
    connection.Open(connection_string);
    auto rs = connection.Execute("SELECT cPassword FROM VKSystem..VA_User WHERE cUser_Id = " +
                                 platform::erp::SqlText(user));
    if (!rs->Eof()) stored = rs->Field(size_t{0}).ConcatText();
  }
  bool known = !stored.empty();
  checks.acquire();
  bool match = crypto_pwhash_str_verify(known ? stored.c_str() : StandIn().c_str(), password.data(),
                                        password.size()) == 0;
  checks.release();
  return known && match;
}

}  // namespace q9::web
