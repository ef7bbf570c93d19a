#include "support/fake_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace q9::testing {

FakeServer::FakeServer(Mode mode) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd_, 8) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ADD_FAILURE() << "cannot listen on 127.0.0.1";
    return;
  }
  port_ = ntohs(addr.sin_port);
  if (mode == kHangUp) {
    acceptor_ = std::thread([fd = fd_] {
      for (;;) {
        int client = ::accept(fd, nullptr, nullptr);
        if (client < 0) return;
        ::close(client);
      }
    });
  }
}

FakeServer::~FakeServer() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);  // wakes the acceptor
  if (acceptor_.joinable()) acceptor_.join();
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace q9::testing
