#include "web/session_store.h"

#include <sodium.h>

#include <stdexcept>
#include <vector>

namespace q9::web {

std::string RandomToken() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[2 * sizeof bytes + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

bool SameToken(const std::string& a, const std::string& b) {
  return a.size() == b.size() && !a.empty() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

// Sessions are looked up by a hash of the cookie, so the lookup's time tells nothing of the
// cookies kept.
std::string SessionStore::KeyOf(const std::string& cookie) {
  unsigned char hash[32];
  crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(cookie.data()),
                     cookie.size(), nullptr, 0);
  return std::string(reinterpret_cast<const char*>(hash), sizeof hash);
}

SessionStore::SessionStore(std::chrono::seconds idle, std::chrono::seconds lifetime,
                           size_t max_sessions)
    : idle_(idle), lifetime_(lifetime), max_sessions_(max_sessions) {}

SessionStore::~SessionStore() { Clear(); }

std::string SessionStore::Add(std::shared_ptr<WebSession> session, Clock::time_point now) {
  Sweep(now);
  std::string cookie = RandomToken();
  session->ends = now + lifetime_;
  session->expires = std::min(session->ends, now + idle_);
  std::lock_guard lock(mutex_);
  if (sessions_.size() >= max_sessions_) return "";
  sessions_[KeyOf(cookie)] = std::move(session);
  return cookie;
}

std::shared_ptr<WebSession> SessionStore::Find(const std::string& cookie, Clock::time_point now) {
  std::shared_ptr<WebSession> ended;  // released after the lock
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(KeyOf(cookie));
  if (it == sessions_.end()) return nullptr;
  if (it->second->expires <= now) {
    ended = std::move(it->second);
    sessions_.erase(it);
    return nullptr;
  }
  it->second->expires = std::min(it->second->ends, now + idle_);
  return it->second;
}

void SessionStore::Remove(const std::string& cookie) {
  std::shared_ptr<WebSession> ended;
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(KeyOf(cookie));
  if (it == sessions_.end()) return;
  ended = std::move(it->second);
  sessions_.erase(it);
}

void SessionStore::Sweep(Clock::time_point now) {
  std::vector<std::shared_ptr<WebSession>> ended;
  {
    std::lock_guard lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      if (it->second->expires <= now) {
        ended.push_back(std::move(it->second));
        it = sessions_.erase(it);
      } else {
        ++it;
      }
    }
  }
}

void SessionStore::Clear() {
  std::map<std::string, std::shared_ptr<WebSession>> ended;
  std::lock_guard lock(mutex_);
  ended.swap(sessions_);
}

size_t SessionStore::size() {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

}  // namespace q9::web
