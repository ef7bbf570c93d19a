// The web report through a real HTTP client on a loopback port, against the demo company: what
// it refuses (and with which message), what it answers (compared with the component called
// directly for the same user), and that sessions keep to their own user's rights.
#include "web/server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <regex>
#include <thread>

#include "component/iclskczt.h"
#include "condition/condition_document.h"
#include "demo/generator.h"
#include "demo/password_hash.h"
#include "ledger/grid.h"
#include "platform/db/recordset.h"
#include "platform/option_error.h"
#include "support/ledger_rows.h"
#include "support/temp_dir.h"

namespace q9::web {
namespace {

using ledger::Json;
using platform::Variant;

constexpr char kNoData[] = "没有符合条件的数据！";

// The demo company, written once for the whole binary.
const std::string& Company() {
  static testing::TempDir dir;  // removed at exit, after the shared server stopped
  static const std::string cs = [] {
    demo::DemoOptions options;
    demo::WriteGeneratedCompany(options, dir.File("company.db"), dir.File("system.db"));
    return demo::EmbeddedConnectionString(dir.File("company.db"), dir.File("system.db"));
  }();
  return cs;
}

struct Answer {
  int status = 0;
  Json body;
  httplib::Headers headers;
  std::string raw;
};

// A server on a free loopback port, served on a thread of its own.
class TestServer {
 public:
  explicit TestServer(ServeOptions options = {}) : server_(Prepare(std::move(options))) {
    port_ = server_.Bind();
    thread_ = std::thread([this] { server_.Run(); });
  }
  ~TestServer() {
    server_.Stop();
    thread_.join();
  }
  int port() const { return port_; }
  const WebServer& server() const { return server_; }

  Answer Call(const std::string& method, const std::string& path, const std::string& body = "",
              const httplib::Headers& headers = {}, const std::string& type = "application/json") {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(120, 0);
    httplib::Result r = method == "GET" ? client.Get(path.c_str(), headers)
                                        : client.Post(path.c_str(), headers, body, type.c_str());
    EXPECT_TRUE(r) << method << " " << path << ": " << httplib::to_string(r.error());
    if (!r) return {};
    Answer a{r->status, Json(), r->headers, r->body};
    if (r->get_header_value("Content-Type").rfind("application/json", 0) == 0) {
      a.body = Json::parse(r->body);
    }
    return a;
  }

 private:
  static ServeOptions Prepare(ServeOptions o) {
    o.listen = "127.0.0.1:0";
    o.connection_string = Company();
    return o;
  }
  WebServer server_;
  int port_ = 0;
  std::thread thread_;
};

std::string LoginBody(const std::string& user, const std::string& password) {
  return Json{{"user", user}, {"password", password}}.dump();
}

// A logged-in browser: its cookie and CSRF token.
struct Browser {
  TestServer* server;
  std::string cookie;
  std::string csrf;

  static Browser LogIn(TestServer& s, const std::string& user, const std::string& password) {
    Answer a = s.Call("POST", "/api/login", LoginBody(user, password));
    EXPECT_EQ(a.status, 200) << a.raw;
    std::string set = a.headers.find("Set-Cookie")->second;
    return {&s, set.substr(0, set.find(';')), a.body.value("csrf", "")};
  }
  Answer Get(const std::string& path) const { return server->Call("GET", path, "", Headers()); }
  Answer Post(const std::string& path, const Json& body, bool with_csrf = true) const {
    httplib::Headers h = Headers();
    if (with_csrf) h.emplace("X-CSRF-Token", csrf);
    return server->Call("POST", path, body.dump(), h);
  }
  httplib::Headers Headers() const { return {{"Cookie", cookie}}; }
};

TestServer* shared_server = nullptr;

TestServer& Shared() {
  if (!shared_server) {
    ServeOptions o;
    o.free_failed_logins = 1000;  // the throttle has its own case and server
    o.max_body = 64 * 1024;
    shared_server = new TestServer(o);
  }
  return *shared_server;
}

// Stops the shared server (its sessions release their components) before the company goes.
class StopSharedServer : public ::testing::Environment {
 public:
  void TearDown() override {
    delete shared_server;
    shared_server = nullptr;
  }
};
const auto* const kStopSharedServer = ::testing::AddGlobalTestEnvironment(new StopSharedServer);

const Browser& Demo() {
  static Browser b = Browser::LogIn(Shared(), "demo", demo::kDemoPassword);
  return b;
}

// The component called directly on this thread for `user`, as the server's sessions call it.
struct Direct {
  std::unique_ptr<component::IClsKCZT> k;
  explicit Direct(const std::string& user) : k(testing::InitComponent(Company(), user)) {}
  ledger::Grid Summary(int16_t kind, const std::string& xml, Variant* rs1 = nullptr) {
    Variant rs, msg;
    EXPECT_TRUE(k->OpenX(xml, rs, kind, &msg)) << msg.ConcatText();
    if (rs1) *rs1 = rs;
    return ledger::ReadGrid(*platform::db::AsRecordset(rs, "Rs1"));
  }
};

// `text` for a query string: every byte but letters and digits as %XX.
std::string Encoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", c);
    out += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(buf);
  }
  return out;
}

std::string DefaultXml() { return condition::BuildConditionDocument({}); }

void ExpectFailure(const Answer& a, int status, const std::string& message) {
  EXPECT_EQ(a.status, status) << a.raw;
  EXPECT_EQ(a.body.value("ok", true), false) << a.raw;
  EXPECT_EQ(a.body.value("message", ""), message) << a.raw;
}

TEST(WebLoginTest, RefusesWhatIsNotALogin) {
  TestServer& s = Shared();
  // clang-format off
  struct Case {
    std::string body;
    int status;
    std::string message, type = "application/json";
  } cases[] = {
      {R"({"user":"demo","password":"wrong"})", 401, "wrong user name or password"},
      {R"({"user":"nobody","password":"demo-2026"})", 401, "wrong user name or password"},
      {R"({"user":"clerk","password":"demo-2026"})", 401, "wrong user name or password"},
      {R"({"user":"demo' OR '1'='1","password":"demo-2026"})", 401, "wrong user name or password"},
      {R"({"user":"demo","password":"demo-2026","account":"999"})", 400, "账套 999 不存在"},
      {R"({"user":"demo","password":"demo-2026","rights":"all"})", 400, "rights: not a member of this request"},
      {R"({"user":["demo"],"password":"x"})", 400, "user: expected a text"},
      {R"({"user":"demo","password":"x","year":"2026"})", 400, "year: expected a year from 1900 to 9999"},
      {R"([1,2])", 400, "malformed JSON: the body must be an object"},
      {R"({"user":"demo")", 400, "malformed JSON: [json.exception.parse_error.101] parse error at line 1, column 15: syntax error while parsing object - unexpected end of input; expected '}'"},
      {"user=demo&password=demo-2026", 400, "the body must be JSON (Content-Type: application/json)", "application/x-www-form-urlencoded"},
      {R"({"password":"x"})", 400, "user: needed"},
  };
  // clang-format on
  for (const Case& c : cases) {
    Answer a = s.Call("POST", "/api/login", c.body, {}, c.type);
    ExpectFailure(a, c.status, c.message);
    EXPECT_EQ(a.headers.count("Set-Cookie"), 0u) << c.body;
  }
}

TEST(WebLoginTest, GivesARandomHttpOnlyStrictExpiringCookieAndTheSessionsOwnToken) {
  Answer a = Shared().Call("POST", "/api/login", LoginBody("demo", demo::kDemoPassword));
  ASSERT_EQ(a.status, 200) << a.raw;
  std::string set = a.headers.find("Set-Cookie")->second;
  EXPECT_TRUE(std::regex_match(set, std::regex("q9session=[0-9a-f]{64}; HttpOnly; "
                                               "SameSite=Strict; Path=/; Max-Age=28800")))
      << set;
  EXPECT_NE(set.substr(0, set.find(';')), Demo().cookie);
  EXPECT_EQ(a.body.value("csrf", "").size(), 64u);
  EXPECT_NE(a.body.value("csrf", ""), Demo().csrf);
  EXPECT_EQ(a.body.dump(), Json({{"ok", true},
                                 {"user", "demo"},
                                 {"account", "001"},
                                 {"year", 2026},
                                 {"csrf", a.body["csrf"]}})
                               .dump());
}

// Both waits on one server: a user's failed logins slow down its next ones, and a session unused
// for its idle time is gone.
TEST(WebLoginTest, FailedLoginsWaitAndUnusedSessionsExpire) {
  ServeOptions o;
  o.free_failed_logins = 2;
  o.idle = std::chrono::seconds(1);
  TestServer s(o);
  Browser b = Browser::LogIn(s, "demo", demo::kDemoPassword);
  EXPECT_EQ(b.Get("/api/session").status, 200);
  auto login = [&](const char* password) {
    return s.Call("POST", "/api/login", LoginBody("clerk", password));
  };
  EXPECT_EQ(login("a").status, 401);
  EXPECT_EQ(login("b").status, 401);
  // Two failures: the next try waits a second, even with the right password; then it is heard.
  Answer a = login(demo::kClerkPassword);
  ExpectFailure(a, 429, "too many failed logins; try again in 1 second");
  EXPECT_EQ(a.headers.find("Retry-After")->second, "1");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(login("c").status, 401);  // the third failure doubles the wait
  ExpectFailure(login(demo::kClerkPassword), 429, "too many failed logins; try again in 2 seconds");
  ExpectFailure(b.Get("/api/session"), 401, "not logged in, or the session has expired");
}

TEST(WebSecurityTest, WritesNeedTheSessionsCsrfTokenAndCookiesMustBeReal) {
  Browser other = Browser::LogIn(Shared(), "clerk", demo::kClerkPassword);
  Browser forged = Demo();
  forged.cookie = "q9session=" + std::string(64, 'a');
  Browser stolen_token = Demo();
  stolen_token.csrf = other.csrf;
  const char* kCsrf = "the request lacks this session's CSRF token (X-CSRF-Token)";
  const char* kNoSession = "not logged in, or the session has expired";
  struct Case {
    Browser browser;
    std::string method, path;
    bool with_csrf;
    int status;
    std::string message;
  } cases[] = {
      {Demo(), "POST", "/api/format", false, 403, kCsrf},
      {stolen_token, "POST", "/api/format", true, 403, kCsrf},
      {Demo(), "POST", "/api/logout", false, 403, kCsrf},
      {forged, "GET", "/api/session", false, 401, kNoSession},
      {forged, "POST", "/api/format", true, 401, kNoSession},
      {Browser{&Shared(), "", ""}, "GET", "/api/periods", false, 401, kNoSession},
  };
  for (const Case& c : cases) {
    Answer a = c.method == "GET" ? c.browser.Get(c.path)
                                 : c.browser.Post(c.path, Json{{"xml", "<x/>"}}, c.with_csrf);
    ExpectFailure(a, c.status, c.message);
  }
  EXPECT_EQ(Demo().Get("/api/session").status, 200);  // none of these ended the session
  Answer out = other.Post("/api/logout", Json::object());
  EXPECT_EQ(out.status, 200);
  EXPECT_EQ(out.headers.find("Set-Cookie")->second,
            "q9session=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0");
  ExpectFailure(other.Get("/api/session"), 401, kNoSession);
}

TEST(WebSecurityTest, EveryAnswerCarriesTheSecurityHeaders) {
  Browser b = Demo();
  Answer answers[] = {
      Shared().Call("GET", "/"),
      Shared().Call("GET", "/static/index.html"),
      Shared().Call("GET", "/api/session"),
      Shared().Call("GET", "/no/such/path"),
      b.Get("/api/periods"),
      Shared().Call("POST", "/api/login", std::string(65 * 1024, ' ')),
  };
  for (const Answer& a : answers) {
    auto header = [&](const char* name) {
      auto it = a.headers.find(name);
      return it == a.headers.end() ? std::string("(none)") : it->second;
    };
    EXPECT_EQ(header("Content-Security-Policy"),
              "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; "
              "frame-ancestors 'none'")
        << a.status;
    EXPECT_EQ(header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(header("Referrer-Policy"), "no-referrer");
  }
  ExpectFailure(answers[3], 404, "no such path: /no/such/path");
  ExpectFailure(answers[5], 413, "the request is too large");
  // The page is the file of web/static, byte for byte.
  EXPECT_EQ(answers[0].raw, testing::FileBytes(std::string(std::getenv("Q9_SOURCE_DIR")) +
                                               "/web/static/index.html"));
  EXPECT_EQ(answers[0].headers.find("Content-Type")->second, "text/html; charset=utf-8");
}

TEST(WebServerOptionsTest, WithACertificateItServesHttpsAndTheCookieIsSecure) {
  testing::TempDir dir;
  ServeOptions o;
  o.tls_cert = dir.File("cert.pem");
  o.tls_key = dir.File("key.pem");
  std::string make =
      "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 -keyout " + o.tls_key +
      " -out " + o.tls_cert + " >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no openssl program to make a certificate";
  {
    TestServer s(o);
    httplib::SSLClient client("127.0.0.1", s.port());
    client.enable_server_certificate_verification(false);
    auto r = client.Post("/api/login", LoginBody("demo", demo::kDemoPassword), "application/json");
    ASSERT_TRUE(r) << httplib::to_string(r.error());
    EXPECT_EQ(r->status, 200);
    EXPECT_TRUE(r->get_header_value("Set-Cookie").ends_with("; Secure"))
        << r->get_header_value("Set-Cookie");
    EXPECT_EQ(r->get_header_value("Strict-Transport-Security"), "max-age=31536000");
    EXPECT_EQ(s.server().Address(), "https://127.0.0.1:" + std::to_string(s.port()) + "/");
  }
  o.tls_key = o.tls_cert;  // not a key
  try {
    WebServer refused(o);
    ADD_FAILURE() << "a certificate as its own key was taken";
  } catch (const platform::OptionError& e) {
    EXPECT_EQ(e.what(), "--tls-cert " + o.tls_cert + ", --tls-key " + o.tls_cert +
                            ": not a certificate and key OpenSSL reads");
  }
}

TEST(WebServerOptionsTest, PlainHttpListensOnLoopbackOnlyUnlessSaidOtherwise) {
  // clang-format off
  struct Case {
    std::string listen;
    bool insecure;
    std::string cert;
    std::string error;  // "" accepted
  } cases[] = {
      {"127.0.0.1:0", false, "", ""},
      {"[::1]:0", false, "", ""},
      {"localhost:0", false, "", ""},
      {"0.0.0.0:0", true, "", ""},
      {"0.0.0.0:8080", false, "", "--listen 0.0.0.0:8080: an address other than loopback needs --tls-cert and --tls-key (or --insecure-listen to serve plain HTTP on it)"},
      {"127.0.0.1.example.com:80", false, "", "--listen 127.0.0.1.example.com:80: an address other than loopback needs --tls-cert and --tls-key (or --insecure-listen to serve plain HTTP on it)"},
      {"127.0.0.1:65536", false, "", "--listen port 65536: expected a port from 0 to 65535"},
      {"8080", false, "", "--listen 8080: expected HOST:PORT"},
      {"127.0.0.1:0", false, "cert.pem", "--tls-cert and --tls-key are given together"},
  };
  // clang-format on
  for (const Case& c : cases) {
    ServeOptions o;
    o.listen = c.listen;
    o.insecure_listen = c.insecure;
    o.tls_cert = c.cert;
    try {
      WebServer server(o);
      EXPECT_EQ(c.error, "") << c.listen;
    } catch (const platform::OptionError& e) {
      EXPECT_EQ(e.what(), c.error) << c.listen;
    }
  }
}

TEST(WebLedgerTest, BadRequestsAreRefusedWithWhatIsWrong) {
  // clang-format off
  struct Case {
    std::string body;
    int status;
    std::string message;
  } cases[] = {
      {R"({"kind":"stock"})", 400, "kind stock: expected inventory, batch or position"},
      {R"({"kind":1})", 400, "kind: expected a text"},
      {R"({"kind":"batch","user":"demo"})", 400, "user: not a member of this request"},
      {R"({"kind":"batch","condition":{"from":"2026-13-01"}})", 400, "--from 2026-13-01: not a date (expected YYYY-MM-DD)"},
      {R"({"kind":"batch","condition":{"from":"2026-05-01","to":"2026-04-01"}})", 400, "--from 2026-05-01 is after --to 2026-04-01; the range would select nothing"},
      {R"({"kind":"batch","condition":{"rights":"all"}})", 400, "condition.rights: not a condition option"},
      {R"({"kind":"batch","condition":{"free":{"11":"A"}}})", 400, "--free 11=A: expected I=FROM[:TO] with I from 1 to 10"},
      {R"({"kind":"batch","condition":{"assunit":0}})", 400, "--assunit 0: expected a unit number from 1 to 99"},
      {R"({"kind":"batch","condition":{"standard":"most"}})", 400, "--standard most: expected one of all (所有存货), active (发生业务), inactive (未发生业务), in-not-out (入库未出库), out-not-in (出库未入库)"},
      {R"({"kind":"batch","condition":{"batch":"A:B"}})", 400, "condition.batch A:B: the stock ledger matches one batch; a range works with the position ledger"},
      {R"({"kind":"inventory","condition":{"audited_only":"yes"}})", 400, "condition.audited_only: expected true or false"},
      {R"({"kind":"inventory","condition":{"period":13}})", 400, "--period 13: account 001 has no period 13 in 2026 (its periods are 1 to 12)"},
      {R"({"kind":"batch","condition":{},"xml":"<condition/>"})", 400, "give condition or xml, not both"},
      {R"({"kind":"batch","limit":501})", 400, "limit: expected a number from 1 to 500"},
      {R"({"kind":"batch","condition":{"spec":")" + std::string(256, 'x') + R"("}})", 400, "condition.spec: a value of 256 characters; at most 255"},
      {R"({"kind":"inventory","condition":{"inventory":"ZZZ-NONE"}})", 200, kNoData},
  };
  // clang-format on
  for (const Case& c : cases) {
    Answer a = Shared().Call("POST", "/api/ledger", c.body, Demo().Headers());
    ExpectFailure(a, c.status, c.message);
  }
}

TEST(WebLedgerTest, TheComponentsRaisedErrorsComeWithNumberSourceAndDescription) {
  Answer a = Demo().Post("/api/ledger", Json{{"kind", "batch"}, {"xml", "<condition><ddate"}});
  EXPECT_EQ(a.status, 500) << a.raw;
  EXPECT_FALSE(a.body.value("message", "").empty());
  EXPECT_TRUE(a.body.contains("number") && a.body.contains("source")) << a.raw;
  ExpectFailure(Demo().Get("/api/ledger/rows?offset=-1"), 400,
                "offset -1: expected a number from 0 to 2147483647");
}

// Hostile texts in every field reach SQL only through the component's quoting: each request is
// answered (data or no data, never an error), and the company is the same afterwards.
TEST(WebLedgerTest, HostileTextInEveryFieldChangesNothing) {
  Json before = Demo().Post("/api/ledger", Json{{"kind", "batch"}}).body;
  ASSERT_EQ(before.value("ok", false), true);
  const std::string hostile[] = {
      "'; DELETE FROM RdRecords; --", "%", "_", "[A-Z]%", "\"<x>&", "中文'\\", "' OR '1'='1"};
  const char* fields[] = {"warehouse", "class", "inventory", "spec", "batch", "position"};
  for (const std::string& h : hostile) {
    for (const char* field : fields) {
      std::string kind = std::string(field) == "position" ? "position" : "batch";
      Answer a = Demo().Post("/api/ledger", Json{{"kind", kind}, {"condition", {{field, h}}}});
      EXPECT_EQ(a.status, 200) << field << " " << h << ": " << a.raw;
      if (!a.body.value("ok", false)) {
        EXPECT_EQ(a.body.value("message", ""), kNoData) << a.raw;
      }
    }
    for (const char* items : {"free", "define"}) {
      Answer a =
          Demo().Post("/api/ledger", Json{{"kind", "batch"}, {"condition", {{items, {{"1", h}}}}}});
      EXPECT_EQ(a.status, 200) << items << " " << h << ": " << a.raw;
    }
    Answer ref = Demo().Get("/api/ref?table=inventory&keyword=" + Encoded(h));
    EXPECT_EQ(ref.status, 200) << h << ": " << ref.raw;
    Answer format = Demo().Get("/api/format?name=" + Encoded(h));
    ExpectFailure(format, 200, "the stock module has no report query named " + h);
  }
  Json after = Demo().Post("/api/ledger", Json{{"kind", "batch"}}).body;
  EXPECT_EQ(after["total"], before["total"]);
  EXPECT_EQ(after["totals"], before["totals"]);
}

TEST(WebLedgerTest, TheSummaryIsTheComponentsPageByPageInAnyOrder) {
  Direct direct("demo");
  ledger::Grid want = direct.Summary(1, DefaultXml());
  Answer first = Demo().Post("/api/ledger", Json{{"kind", "batch"}, {"limit", 7}});
  ASSERT_EQ(first.status, 200) << first.raw;
  EXPECT_EQ(first.body["total"], want.rows.size());
  EXPECT_EQ(first.body["rows"].size(), 7u);
  // All rows, 500 at a time, are the component's rows in its order.
  Json rows = Json::array();
  for (size_t offset = 0; offset < want.rows.size(); offset += 500) {
    Answer page = Demo().Get("/api/ledger/rows?limit=500&offset=" + std::to_string(offset));
    for (auto& r : page.body["rows"]) rows.push_back(r);
  }
  EXPECT_EQ(rows, ledger::GridToJson(want)["rows"]);
  Answer beyond = Demo().Get("/api/ledger/rows?offset=100000");
  EXPECT_EQ(beyond.body["rows"].size(), 0u);
  EXPECT_EQ(beyond.body["offset"], want.rows.size());
  // Sorted by the opening quantity, descending: "index" names each row's place in the summary.
  size_t col =
      std::find(want.columns.begin(), want.columns.end(), "iBeginQtty") - want.columns.begin();
  Answer sorted = Demo().Get("/api/ledger/rows?limit=500&sort=iBeginQtty&desc=1");
  double last = 1e300;
  for (size_t i = 0; i < sorted.body["rows"].size(); ++i) {
    size_t at = sorted.body["index"][i];
    EXPECT_EQ(sorted.body["rows"][i], ledger::GridToJson(want)["rows"][at]);
    double q =
        sorted.body["rows"][i][col].is_null() ? 0 : sorted.body["rows"][i][col].get<double>();
    EXPECT_LE(q, last);
    last = q;
  }
  ExpectFailure(Demo().Get("/api/ledger/rows?sort=nope"), 400,
                "sort nope: the summary has no such column");
  // Totals: the opening balances summed over every row; none for the stock limits.
  double sum = 0;
  for (const auto& r : want.rows) sum += r[col].is_null() ? 0 : r[col].ToDouble();
  EXPECT_DOUBLE_EQ(first.body["totals"][col].get<double>(), sum);
  size_t limit =
      std::find(want.columns.begin(), want.columns.end(), "iSafeNum") - want.columns.begin();
  EXPECT_TRUE(first.body["totals"][limit].is_null());
}

TEST(WebLedgerTest, TheStockCardRunsFromOpeningToClosingAndExportsAreThePrintServices) {
  Answer summary = Demo().Post("/api/ledger", Json{{"kind", "batch"}});
  ASSERT_EQ(summary.status, 200);
  size_t row = 3;
  Answer card = Demo().Get("/api/ledger/card?row=" + std::to_string(row));
  ASSERT_EQ(card.status, 200) << card.raw;
  std::vector<std::string> names;
  for (auto& c : card.body["columns"]) names.push_back(c["name"]);
  auto at = [&](const std::string& n) {
    return std::find(names.begin(), names.end(), n) - names.begin();
  };
  const Json& rows = card.body["rows"];
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows.front()[0], "期初结存");
  EXPECT_EQ(rows.back()[0], "期末结存");
  auto num = [](const Json& v) { return v.is_null() ? 0.0 : v.get<double>(); };
  double balance = num(rows.front()[at("iBalQtty")]);
  size_t begin_col =
      std::find(summary.body["columns"].begin(), summary.body["columns"].end(),
                Json{{"name", "iBeginQtty"}, {"caption", "期初结存数量"}, {"numeric", true}}) -
      summary.body["columns"].begin();
  // It opens with the summary row's balance; the running sums are the stock card's own tests'.
  EXPECT_EQ(balance, num(summary.body["rows"][row][begin_col]));
  ExpectFailure(Demo().Get("/api/ledger/card?row=100000"), 404,
                "row 100000: the summary has " + summary.body["total"].dump() + " rows");
  // The export is the print service's file of the same summary.
  Direct direct("demo");
  Variant rs1;
  direct.Summary(1, DefaultXml(), &rs1);
  testing::TempDir dir;
  Variant command("csv:" + dir.File("x.csv")), ret;
  std::string error;
  direct.k->PrintSrv(command, rs1, ret, error);
  Answer csv = Demo().Get("/api/export?format=csv");
  EXPECT_EQ(csv.raw, testing::FileBytes(dir.File("x.csv")));
  EXPECT_EQ(csv.headers.find("Content-Disposition")->second, "attachment; filename=\"ledger.csv\"");
  ExpectFailure(Demo().Get("/api/export?format=pdf"), 400, "format pdf: expected csv or html");
}

// Three users at once, each in a session of its own: each sees its own rights, never another's.
TEST(WebSessionTest, ConcurrentSessionsOfDifferentUsersSeeOnlyTheirOwnRights) {
  struct User {
    std::string name, password;
    bool batch_task;
  } users[] = {{"demo", demo::kDemoPassword, true},
               {"clerk", demo::kClerkPassword, true},
               {"auditor", demo::kAuditorPassword, false}};
  std::vector<std::thread> threads;
  std::vector<Answer> summaries(3), auths(3);
  for (size_t i = 0; i < 3; ++i) {
    threads.emplace_back([&, i] {
      Browser b = Browser::LogIn(Shared(), users[i].name, users[i].password);
      for (int round = 0; round < 3; ++round) {
        auths[i] = b.Get("/api/auth?kind=batch");
        summaries[i] = b.Post("/api/ledger", Json{{"kind", "inventory"}, {"limit", 500}});
      }
    });
  }
  for (auto& t : threads) t.join();
  for (size_t i = 0; i < 3; ++i) {
    Direct direct(users[i].name);
    EXPECT_EQ(summaries[i].body["rows"],
              ledger::GridToJson(direct.Summary(0, DefaultXml()))["rows"])
        << users[i].name;
    if (users[i].batch_task) {
      EXPECT_EQ(auths[i].status, 200) << users[i].name;
    } else {
      ExpectFailure(auths[i], 403, "对不起,您没有该项权限!");
    }
  }
  EXPECT_NE(summaries[0].body["total"], summaries[1].body["total"]);
  // The refused task refuses its ledger too.
  Browser auditor = Browser::LogIn(Shared(), "auditor", demo::kAuditorPassword);
  ExpectFailure(auditor.Post("/api/ledger", Json{{"kind", "batch"}}), 403,
                "对不起,您没有该项权限!");
}

}  // namespace
}  // namespace q9::web
