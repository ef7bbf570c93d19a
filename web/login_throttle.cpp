#include "web/login_throttle.h"

#include <algorithm>

namespace q9::web {
namespace {

// Keys far apart for users and addresses, so a user named like an address counts apart.
std::string UserKey(const std::string& user) { return "user " + user; }
std::string AddressKey(const std::string& address) { return "address " + address; }

// Entries kept before old ones are dropped: a flood of made-up names cannot grow the table
// without bound.
constexpr size_t kMaxEntries = 100000;

}  // namespace

LoginThrottle::LoginThrottle(int free_failures, std::chrono::seconds longest_wait)
    : free_failures_(free_failures), longest_wait_(longest_wait) {}

int LoginThrottle::WaitFor(const std::string& key, Clock::time_point now) {
  auto it = failures_.find(key);
  if (it == failures_.end() || it->second.count < free_failures_) return 0;
  int doublings = std::min(it->second.count - free_failures_, 30);
  auto wait = std::min<std::chrono::seconds>(std::chrono::seconds(1LL << doublings), longest_wait_);
  auto left = it->second.last + wait - now;
  if (left <= Clock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

int LoginThrottle::WaitSeconds(const std::string& user, const std::string& address,
                               Clock::time_point now) {
  std::lock_guard lock(mutex_);
  return std::max(WaitFor(UserKey(user), now), WaitFor(AddressKey(address), now));
}

void LoginThrottle::Failed(const std::string& user, const std::string& address,
                           Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (failures_.size() >= kMaxEntries) Forget(now);
  for (const std::string& key : {UserKey(user), AddressKey(address)}) {
    Failures& f = failures_[key];
    ++f.count;
    f.last = now;
  }
}

void LoginThrottle::Succeeded(const std::string& user) {
  std::lock_guard lock(mutex_);
  failures_.erase(UserKey(user));
}

void LoginThrottle::Forget(Clock::time_point now) {
  for (auto it = failures_.begin(); it != failures_.end();) {
    it = now - it->second.last > longest_wait_ ? failures_.erase(it) : std::next(it);
  }
  if (failures_.size() >= kMaxEntries) failures_.clear();
}

}  // namespace q9::web
