// q9strep serve as a user starts and stops it: refused options, the printed address, a clean
// stop on SIGTERM and on SIGINT.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <regex>

#include "demo/generator.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

namespace q9::web {
namespace {

TEST(ServeTest, AnAddressBeyondLoopbackWithoutTlsIsRefusedBeforeAnyWork) {
  testing::TempDir dir;
  testing::BinaryResult r =
      testing::RunQ9strep({"serve", "--listen", "0.0.0.0:8080"}, dir.path().string());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "q9strep: --listen 0.0.0.0:8080: an address other than loopback needs --tls-cert and "
            "--tls-key (or --insecure-listen to serve plain HTTP on it)\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no demo company made for nothing
}

TEST(ServeTest, PrintsItsAddressAndStopsCleanlyOnEitherSignal) {
  testing::TempDir dir;
  demo::DemoOptions options;
  options.lines = demo::kMinimumLines;
  demo::WriteGeneratedCompany(options, dir.File("c.db"), dir.File("s.db"));
  std::string cs = demo::EmbeddedConnectionString(dir.File("c.db"), dir.File("s.db"));
  for (int sig : {SIGTERM, SIGINT}) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      std::string bin = testing::Q9strepPath();
      execl(bin.c_str(), bin.c_str(), "--db", cs.c_str(), "serve", "--listen", "127.0.0.1:0",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* from = fdopen(out[0], "r");
    char line[256] = {};
    ASSERT_TRUE(fgets(line, sizeof line, from));
    std::smatch m;
    std::string first = line;
    ASSERT_TRUE(
        std::regex_match(first, m,
                         std::regex("Serving the stock ledger report on "
                                    "http://127\\.0\\.0\\.1:([0-9]+)/ \\(Ctrl-C stops\\)\n")))
        << first;
    httplib::Client client("127.0.0.1", std::stoi(m[1]));
    auto r =
        client.Post("/api/login", R"({"user":"demo","password":"demo-2026"})", "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string rest;
    while (fgets(line, sizeof line, from)) rest += line;
    fclose(from);
    EXPECT_EQ(rest, "Stopped; every session ended.\n");
  }
}

}  // namespace
}  // namespace q9::web
