// `q9strep serve`: the web report's HTTP server. It answers the JSON API of web/API.md and the
// embedded page; each login gets a session with its own component on its own thread.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace q9::web {

struct ServeOptions {
  std::string listen = "127.0.0.1:8080";  // HOST:PORT; port 0 picks a free one
  std::string connection_string;          // the company's (and so the system database's)
  std::string tls_cert;                   // PEM files: HTTPS when both are given
  std::string tls_key;
  bool insecure_listen = false;  // plain HTTP on an address other than loopback
  std::chrono::seconds idle{30 * 60};
  std::chrono::seconds lifetime{8 * 60 * 60};
  size_t max_sessions = 200;
  size_t max_body = 256 * 1024;  // bytes of a request's body
  int threads = 64;              // requests served at once
  int free_failed_logins = 5;
  std::chrono::seconds longest_login_wait{15 * 60};
};

// The host and port of "HOST:PORT" ("[::1]:8080" for IPv6); platform::OptionError when it is
// not of that form or the port is not 0 to 65535.
std::pair<std::string, int> ParseListen(const std::string& listen);

// True for an address only this machine reaches (127.0.0.0/8, ::1, localhost).
bool IsLoopback(const std::string& host);

class WebServer {
 public:
  // Checks the options: platform::OptionError for a bad --listen, for an address other than
  // loopback without TLS files and without insecure_listen, or for only one of the TLS files.
  explicit WebServer(ServeOptions options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds the listening socket; returns the port (platform::OptionError when it cannot bind).
  int Bind();
  // Serves until Stop; then ends every session.
  void Run();
  // May be called from any thread.
  void Stop();
  // "http://127.0.0.1:8080/"
  std::string Address() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Serves until SIGINT or SIGTERM, printing the address on `out`; returns the exit status.
int Serve(const ServeOptions& options, std::ostream& out);

}  // namespace q9::web
