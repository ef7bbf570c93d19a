// A TCP listener on 127.0.0.1 standing in for a database server that is not really there.
#pragma once

#include <thread>

namespace q9::testing {

class FakeServer {
 public:
  // kSilent: connections complete (the kernel accepts them) but nothing is ever read or sent.
  // kHangUp: each connection is accepted and closed at once.
  enum Mode { kSilent, kHangUp };
  explicit FakeServer(Mode mode);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::thread acceptor_;
};

}  // namespace q9::testing
