// Failed logins slowed down per user name and per client address: after a few failures each
// further try of that user, or from that address, waits twice as long as the one before (up to
// a limit), counted from the last failure. A success clears the user's count, not the
// address's.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace q9::web {

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  LoginThrottle(int free_failures, std::chrono::seconds longest_wait);

  // Seconds before a try of `user` from `address` is heard again; 0: now.
  int WaitSeconds(const std::string& user, const std::string& address, Clock::time_point now);
  void Failed(const std::string& user, const std::string& address, Clock::time_point now);
  void Succeeded(const std::string& user);

 private:
  struct Failures {
    int count = 0;
    Clock::time_point last;
  };
  int WaitFor(const std::string& key, Clock::time_point now);
  void Forget(Clock::time_point now);

  const int free_failures_;
  const std::chrono::seconds longest_wait_;
  std::mutex mutex_;
  std::map<std::string, Failures> failures_;
};

}  // namespace q9::web
