// The logged-in sessions of the web report, by their cookie. Each session owns an apartment
// thread and the ReportSession living on it; a session ends at logout, after it stayed unused
// for the idle time, or when its lifetime is over, and its component is released on its own
// thread.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "web/apartment_thread.h"
#include "web/report_session.h"

namespace q9::web {

struct WebSession {
  using Clock = std::chrono::steady_clock;

  std::string csrf;  // the token every writing request carries
  std::string user;
  std::string account;
  int year = 0;
  Clock::time_point ends;     // the lifetime's end
  Clock::time_point expires;  // min(ends, last use + idle time)

  ApartmentThread thread;
  // Created, called and destroyed on `thread` only.
  std::unique_ptr<ReportSession> report;

  // Runs `work` with the session's report on its thread, after the session's earlier requests.
  template <typename Work>
  auto Run(Work work) {
    return thread.Run([this, &work] { return work(*report); });
  }

  ~WebSession() {
    thread.Run([this] { report.reset(); });
  }
};

class SessionStore {
 public:
  using Clock = WebSession::Clock;

  SessionStore(std::chrono::seconds idle, std::chrono::seconds lifetime, size_t max_sessions);
  ~SessionStore();

  // Keeps `session` under a new random cookie value, which it returns; "" when the store is
  // full (max_sessions live sessions).
  std::string Add(std::shared_ptr<WebSession> session, Clock::time_point now);
  // The live session of `cookie`, its idle time restarted; nullptr for an unknown or expired one.
  std::shared_ptr<WebSession> Find(const std::string& cookie, Clock::time_point now);
  void Remove(const std::string& cookie);
  // Ends the sessions expired at `now`.
  void Sweep(Clock::time_point now);
  // Ends every session (at shutdown).
  void Clear();
  size_t size();

  std::chrono::seconds lifetime() const { return lifetime_; }

 private:
  static std::string KeyOf(const std::string& cookie);

  const std::chrono::seconds idle_;
  const std::chrono::seconds lifetime_;
  const size_t max_sessions_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<WebSession>> sessions_;  // by a hash of the cookie
};

// A random token: 32 bytes from the system's generator, as 64 hex digits.
std::string RandomToken();

// `a` equals `b`, compared in a time that does not depend on where they differ.
bool SameToken(const std::string& a, const std::string& b);

}  // namespace q9::web
