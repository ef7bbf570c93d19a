// The web report under load (not a test): many concurrent sessions, each logging in, running the
// stock ledger by batch and opening stock cards, through a real HTTP client against
// `q9strep serve`'s server in this process. Prints requests per second, latency percentiles,
// errors and lost sessions, and the time of one session's summary through the server against
// the same summary through the q9strep program. See the web report's section of BENCHMARKS.md.
#include <httplib.h>
#include <sys/resource.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "bench/company_cache.h"
#include "component/iclskczt.h"
#include "condition/condition_document.h"
#include "demo/password_hash.h"
#include "ledger/grid.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "web/server.h"

namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

double Median(std::vector<double> v) { return Percentile(std::move(v), 50); }

struct Client {
  httplib::Client http;
  std::string cookie;
  Client(int port) : http("127.0.0.1", port) {
    http.set_read_timeout(600, 0);
    http.set_tcp_nodelay(true);  // as a browser sends: no wait for a delayed acknowledgement
  }

  // Status and body; 0 when the request failed on the wire.
  std::pair<int, std::string> Call(const std::string& method, const std::string& path,
                                   const std::string& body = "") {
    httplib::Headers h;
    if (!cookie.empty()) h.emplace("Cookie", cookie);
    auto r = method == "GET" ? http.Get(path.c_str(), h)
                             : http.Post(path.c_str(), h, body, "application/json");
    if (!r) return {0, httplib::to_string(r.error())};
    if (method == "POST" && path == "/api/login" && r->status == 200) {
      std::string set = r->get_header_value("Set-Cookie");
      cookie = set.substr(0, set.find(';'));
    }
    return {r->status, r->body};
  }
};

bool Ok(const std::pair<int, std::string>& r) {
  if (r.first != 200) return false;
  Json j = Json::parse(r.second, nullptr, false);
  return !j.is_discarded() && j.value("ok", false);
}

const char kLedgerBody[] = R"({"kind":"batch","condition":{}})";
const char kLogin[] = R"({"user":"demo","password":"demo-2026"})";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Load benchmark of the web report");
  int64_t lines = 1000000;
  std::string data = "build/bench-data";
  int sessions = 50;
  int cards = 10;
  int repeat = 5;
  std::string q9strep = (std::filesystem::path(argv[0]).parent_path() / "q9strep").string();
  app.add_option("--lines", lines, "document lines of the demo company")->capture_default_str();
  app.add_option("--data", data, "where generated companies are kept")->capture_default_str();
  app.add_option("--sessions", sessions, "concurrent sessions")->capture_default_str();
  app.add_option("--cards", cards, "stock cards each session opens")->capture_default_str();
  app.add_option("--repeat", repeat, "runs of the single-session comparison")
      ->capture_default_str();
  app.add_option("--q9strep", q9strep, "the q9strep program")->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  q9::bench::CachedCompany company = q9::bench::EnsureCompany(data, lines, 20261206);
  std::cout << "Company: " << lines << " lines"
            << (company.generated
                    ? " (generated in " + std::to_string(company.generate_seconds) + " s)"
                    : " (cached)")
            << "\n";

  q9::web::ServeOptions options;
  options.listen = "127.0.0.1:0";
  options.connection_string = company.connection_string;
  options.threads = sessions + 16;
  options.max_sessions = static_cast<size_t>(sessions) + 16;
  q9::web::WebServer server(options);
  int port = server.Bind();
  std::thread serving([&] { server.Run(); });

  // One session alone: the summary through the server, against q9strep and against the component
  // called in-process (OpenX and reading every row).
  std::vector<double> web_ms, cli_ms, direct_ms;
  {
    Client c(port);
    if (!Ok(c.Call("POST", "/api/login", kLogin))) {
      std::cerr << "login failed\n";
      return 1;
    }
    for (int i = 0; i < repeat; ++i) {
      auto t = Clock::now();
      auto r = c.Call("POST", "/api/ledger", kLedgerBody);
      web_ms.push_back(Ms(Clock::now() - t));
      if (!Ok(r)) std::cerr << "server summary failed: " << r.second.substr(0, 200) << "\n";
    }
    c.Call("POST", "/api/logout");
    std::string cmd = "'" + q9strep + "' --db '" + company.connection_string +
                      "' --format json ledger --kind batch --summary-only > /dev/null";
    for (int i = 0; i < repeat; ++i) {
      auto t = Clock::now();
      int rc = std::system(cmd.c_str());
      cli_ms.push_back(Ms(Clock::now() - t));
      if (rc != 0) std::cerr << "q9strep failed: " << cmd << "\n";
    }
    q9::platform::erp::RegisterErpSubstitutes();
    q9::component::IClsKCZT k;
    std::string msg;
    k.Init(q9::platform::Variant(
               q9::platform::erp::MakeCallerLogin(company.connection_string, "demo", "001", 2026)),
           &msg);
    std::string xml = q9::condition::BuildConditionDocument({});
    for (int i = 0; i < repeat; ++i) {
      auto t = Clock::now();
      q9::platform::Variant rs1, m;
      k.OpenX(xml, rs1, 1, &m);
      q9::ledger::ReadGrid(*q9::platform::db::AsRecordset(rs1, "Rs1"));
      direct_ms.push_back(Ms(Clock::now() - t));
    }
  }

  // The load: every session logs in, runs the summary, opens its cards and logs out.
  std::mutex mutex;
  std::vector<double> login_ms, summary_ms, card_ms, all_ms;
  std::atomic<int> errors{0}, lost{0}, requests{0};
  std::string first_error;
  auto record = [&](std::vector<double>& v, double ms, const std::pair<int, std::string>& r) {
    std::lock_guard lock(mutex);
    v.push_back(ms);
    all_ms.push_back(ms);
    ++requests;
    if (!Ok(r)) {
      ++errors;
      if (r.first == 401) ++lost;
      if (first_error.empty())
        first_error = std::to_string(r.first) + " " + r.second.substr(0, 200);
    }
  };
  auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int s = 0; s < sessions; ++s) {
    threads.emplace_back([&, s] {
      Client c(port);
      auto t = Clock::now();
      auto r = c.Call("POST", "/api/login", kLogin);
      {
        std::lock_guard lock(mutex);
        login_ms.push_back(Ms(Clock::now() - t));
        ++requests;
        if (!Ok(r)) {
          ++errors;
          if (first_error.empty()) {
            first_error = "login: " + std::to_string(r.first) + " " + r.second.substr(0, 200);
          }
        }
      }
      t = Clock::now();
      r = c.Call("POST", "/api/ledger", kLedgerBody);
      record(summary_ms, Ms(Clock::now() - t), r);
      long total = 1;
      Json j = Json::parse(r.second, nullptr, false);
      if (!j.is_discarded()) total = std::max<long>(1, j.value("total", 1L));
      for (int i = 0; i < cards; ++i) {
        long row = (static_cast<long>(s) * 7919 + static_cast<long>(i) * 104729) % total;
        t = Clock::now();
        r = c.Call("GET", "/api/ledger/card?row=" + std::to_string(row));
        record(card_ms, Ms(Clock::now() - t), r);
      }
    });
  }
  for (auto& t : threads) t.join();
  double wall = Ms(Clock::now() - start) / 1000.0;
  server.Stop();
  serving.join();

  auto line = [](const char* what, const std::vector<double>& v) {
    std::printf("| %s | %zu | %.0f | %.0f | %.0f |\n", what, v.size(), Percentile(v, 50),
                Percentile(v, 99), v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
  };
  std::printf("\nOne session alone, stock ledger by batch, default condition (%d runs, median):\n",
              repeat);
  std::printf("| path | ms |\n|---|---|\n");
  std::printf("| POST /api/ledger (OpenX, all rows read, first page sent) | %.0f |\n",
              Median(web_ms));
  std::printf("| q9strep --format json ledger --kind batch --summary-only (a process) | %.0f |\n",
              Median(cli_ms));
  std::printf("| OpenX + reading every row, in-process | %.0f |\n", Median(direct_ms));
  std::printf("ratio server / q9strep: %.3f; server / in-process: %.3f\n",
              Median(web_ms) / Median(cli_ms), Median(web_ms) / Median(direct_ms));
  std::printf("\n%d sessions at once, each: login, summary by batch, %d stock cards:\n", sessions,
              cards);
  std::printf("| request | count | p50 ms | p99 ms | max ms |\n|---|---|---|---|---|\n");
  line("login", login_ms);
  line("summary", summary_ms);
  line("stock card", card_ms);
  line("summary and cards", all_ms);
  std::printf("wall %.1f s, %d requests, %.1f requests/s, %d errors, %d lost sessions\n", wall,
              requests.load(), requests.load() / wall, errors.load(), lost.load());
  if (!first_error.empty()) std::printf("first error: %s\n", first_error.c_str());
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of the process (server and clients): %ld MiB\n",
              usage.ru_maxrss / 1024);
  return errors.load() == 0 ? 0 : 1;
}
