#include "web/server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <thread>

#include "condition/condition_texts.h"
#include "ledger/period_range.h"
#include "platform/erp/register_substitutes.h"
#include "platform/erp/system_database.h"
#include "platform/error.h"
#include "platform/option_error.h"
#include "web/login_throttle.h"
#include "web/password_check.h"
#include "web/session_store.h"
#include "web/static_files.h"

namespace q9::web {

using httplib::Request;
using httplib::Response;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kCookie[] = "q9session";
constexpr char kJsonType[] = "application/json; charset=utf-8";
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxPasswordLength = 1024;

void SendJson(Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(ledger::DumpJson(body), kJsonType);
}

// The value of cookie `name` in the request's Cookie header, or "".
std::string CookieOf(const Request& req, const std::string& name) {
  std::string header = req.get_header_value("Cookie");
  size_t pos = 0;
  while (pos < header.size()) {
    size_t end = header.find(';', pos);
    if (end == std::string::npos) end = header.size();
    std::string part = header.substr(pos, end - pos);
    size_t b = part.find_first_not_of(' ');
    if (b != std::string::npos) part = part.substr(b);
    if (part.rfind(name + "=", 0) == 0) return part.substr(name.size() + 1);
    pos = end + 1;
  }
  return "";
}

Json ParseBody(const Request& req) {
  if (req.body.empty()) return Json::object();
  std::string type = req.get_header_value("Content-Type");
  if (type.rfind("application/json", 0) != 0) {
    throw ApiError(400, "the body must be JSON (Content-Type: application/json)");
  }
  Json body;
  try {
    body = Json::parse(req.body);
  } catch (const Json::parse_error& e) {
    throw ApiError(400, std::string("malformed JSON: ") + e.what());
  }
  if (!body.is_object()) throw ApiError(400, "malformed JSON: the body must be an object");
  return body;
}

// Refuses members of `body` other than `known`: nothing the page does not send is taken, least of
// all a user, account or right.
void OnlyMembers(const Json& body, std::initializer_list<std::string_view> known) {
  for (auto& [key, value] : body.items()) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      throw ApiError(400, key.substr(0, 64) + ": not a member of this request");
    }
  }
}

// Member `key` of `body` as text; `fallback` when absent or null.
// Messages name it `prefix` + `key`.
std::string TextOf(const Json& body, const std::string& key, const std::string& fallback = "",
                   size_t max_length = condition::kMaxValueLength, const std::string& prefix = "") {
  auto it = body.find(key);
  if (it == body.end() || it->is_null()) return fallback;
  if (!it->is_string()) throw ApiError(400, prefix + key + ": expected a text");
  std::string text = it->get<std::string>();
  if (text.size() > max_length) {
    throw ApiError(400, prefix + key + ": a value of " + std::to_string(text.size()) +
                            " characters; at most " + std::to_string(max_length));
  }
  return text;
}

int64_t NumberParam(const Request& req, const std::string& name, int64_t fallback, int64_t min,
                    int64_t max) {
  if (!req.has_param(name.c_str())) return fallback;
  return condition::ParseWholeNumber(req.get_param_value(name.c_str()), name, min, max, "a number");
}

int16_t KindOf(const std::string& name) {
  if (name == "inventory") return 0;
  if (name == "batch") return 1;
  if (name == "position") return 2;
  throw ApiError(400, "kind " + name + ": expected inventory, batch or position");
}

// The condition options of the page, by the command line's long names.
struct ConditionRequest {
  condition::ConditionTexts texts;
  std::string period;   // "--period" text, "" when not given
  std::string periods;  // "--periods" text
  bool batch_given = false, position_given = false, audited_only_given = false;
};

ConditionRequest ConditionOf(const Json& c) {
  if (!c.is_object()) throw ApiError(400, "condition: expected an object");
  ConditionRequest r;
  condition::ConditionTexts& t = r.texts;
  for (auto& [key, value] : c.items()) {
    auto text = [&] { return TextOf(c, key, "", condition::kMaxValueLength, "condition."); };
    auto flag = [&] {
      if (!value.is_boolean()) throw ApiError(400, "condition." + key + ": expected true or false");
      return value.get<bool>();
    };
    auto items = [&] {
      if (!value.is_object()) throw ApiError(400, "condition." + key + ": expected an object");
      std::vector<std::string> list;
      for (auto& [item, range] : value.items()) {
        if (!range.is_string()) {
          throw ApiError(400, "condition." + key + "." + item + ": expected a text");
        }
        list.push_back(item + "=" + range.get<std::string>());
      }
      return list;
    };
    if (key == "from") {
      t.from = text();
    } else if (key == "to") {
      t.to = text();
    } else if (key == "dates") {
      std::string d = text();
      if (d != "document" && d != "audit") {
        throw ApiError(400, "condition.dates " + d + ": expected document or audit");
      }
      t.audit_dates = d == "audit";
    } else if (key == "warehouse") {
      t.warehouses = TextOf(c, key, "", 4096, "condition.");
    } else if (key == "class") {
      t.inv_class = text();
    } else if (key == "inventory") {
      t.inventory = text();
    } else if (key == "batch") {
      t.batch = text();
      r.batch_given = true;
    } else if (key == "position") {
      t.position = text();
      r.position_given = true;
    } else if (key == "spec") {
      t.spec = text();
    } else if (key == "assunit") {
      t.assunit = value.is_number_integer() ? std::to_string(value.get<int64_t>()) : text();
    } else if (key == "period") {
      r.period = value.is_number_integer() ? std::to_string(value.get<int64_t>()) : text();
    } else if (key == "periods") {
      r.periods = text();
    } else if (key == "standard") {
      t.standard = text();
    } else if (key == "audited_only") {
      t.audited_only = flag();
      r.audited_only_given = true;
    } else if (key == "free") {
      t.free = items();
    } else if (key == "define") {
      t.define = items();
    } else {
      throw ApiError(400, "condition." + key.substr(0, 64) + ": not a condition option");
    }
  }
  if (!r.period.empty() && !r.periods.empty()) {
    throw ApiError(400, "condition: period and periods cannot be given together");
  }
  if ((!r.period.empty() || !r.periods.empty()) && (t.from || t.to)) {
    throw ApiError(400, "condition: period sets the dates; from and to cannot be given with it");
  }
  return r;
}

// What the command line refuses for a ledger kind, refused here alike.
void CheckKind(int16_t kind, const ConditionRequest& r) {
  if (kind != 2) {
    if (r.position_given && !r.texts.position.empty()) {
      throw ApiError(400, "condition.position applies to the position ledger only");
    }
    if (r.texts.batch.find(':') != std::string::npos) {
      throw ApiError(400, "condition.batch " + r.texts.batch +
                              ": the stock ledger matches one batch; a range works with the "
                              "position ledger");
    }
  } else if (r.audited_only_given && r.texts.audited_only) {
    throw ApiError(400, "condition.audited_only applies to the stock ledger");
  }
}

}  // namespace

std::pair<std::string, int> ParseListen(const std::string& listen) {
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    throw platform::OptionError("--listen " + listen + ": expected HOST:PORT");
  }
  std::string host = listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  int port = static_cast<int>(
      condition::ParseWholeNumber(listen.substr(colon + 1), "--listen port", 0, 65535, "a port"));
  return {host, port};
}

bool IsLoopback(const std::string& host) {
  if (host == "localhost" || host == "::1") return true;
  // 127.0.0.0/8 written as four decimal numbers.
  if (host.rfind("127.", 0) != 0) return false;
  int dots = 0;
  for (char c : host) {
    if (c == '.') {
      ++dots;
    } else if (!std::isdigit(static_cast<unsigned char>(c))) {
      return false;
    }
  }
  return dots == 3;
}

struct WebServer::Impl {
  ServeOptions options;
  std::string host;
  int port = 0;
  bool tls = false;
  std::unique_ptr<httplib::Server> http;
  SessionStore store;
  LoginThrottle throttle;

  explicit Impl(ServeOptions o)
      : options(std::move(o)),
        store(options.idle, options.lifetime, options.max_sessions),
        throttle(options.free_failed_logins, options.longest_login_wait) {}

  std::shared_ptr<WebSession> SessionOf(const Request& req) {
    std::string cookie = CookieOf(req, kCookie);
    auto session = cookie.empty() ? nullptr : store.Find(cookie, Clock::now());
    if (!session) throw ApiError(401, "not logged in, or the session has expired");
    return session;
  }

  std::shared_ptr<WebSession> WritingSessionOf(const Request& req) {
    auto session = SessionOf(req);
    if (!SameToken(req.get_header_value("X-CSRF-Token"), session->csrf)) {
      throw ApiError(403, "the request lacks this session's CSRF token (X-CSRF-Token)");
    }
    return session;
  }

  std::string CookieHeader(const std::string& value, long long max_age) const {
    return std::string(kCookie) + "=" + value +
           "; HttpOnly; SameSite=Strict; Path=/; Max-Age=" + std::to_string(max_age) +
           (tls ? "; Secure" : "");
  }

  template <typename Handler>
  httplib::Server::Handler Api(Handler handler) {
    return [handler](const Request& req, Response& res) {
      try {
        Json answer = handler(req, res);
        if (!answer.is_null()) SendJson(res, 200, answer);
      } catch (const ApiError& e) {
        SendJson(res, e.status(), e.body());
      } catch (const platform::OptionError& e) {
        SendJson(res, 400, Json{{"ok", false}, {"message", e.what()}});
      } catch (const platform::ComError& e) {
        SendJson(res, 500,
                 Json{{"ok", false},
                      {"message", e.description()},
                      {"number", e.number()},
                      {"source", e.source()}});
      } catch (const std::exception& e) {
        SendJson(res, 500, Json{{"ok", false}, {"message", e.what()}});
      }
    };
  }

  Json Login(const Request& req, Response& res) {
    Json body = ParseBody(req);
    OnlyMembers(body, {"user", "password", "account", "year"});
    std::string user = TextOf(body, "user", "", kMaxNameLength);
    std::string password = TextOf(body, "password", "", kMaxPasswordLength);
    std::string account = TextOf(body, "account", "001", kMaxNameLength);
    int year = 2026;
    if (body.contains("year") && !body["year"].is_null()) {
      if (!body["year"].is_number_integer() || body["year"].get<int64_t>() < 1900 ||
          body["year"].get<int64_t>() > 9999) {
        throw ApiError(400, "year: expected a year from 1900 to 9999");
      }
      year = body["year"].get<int>();
    }
    if (user.empty()) throw ApiError(400, "user: needed");
    std::string address = req.remote_addr;
    if (int wait = throttle.WaitSeconds(user, address, Clock::now()); wait > 0) {
      res.set_header("Retry-After", std::to_string(wait));
      throw ApiError(429, "too many failed logins; try again in " + std::to_string(wait) +
                              (wait == 1 ? " second" : " seconds"));
    }
    if (!PasswordMatches(options.connection_string, user, password)) {
      throttle.Failed(user, address, Clock::now());
      throw ApiError(401, "wrong user name or password");
    }
    throttle.Succeeded(user);
    platform::erp::LoginIdentity identity;
    identity.connection_string = options.connection_string;
    identity.user_id = user;
    identity.account_id = account;
    identity.year = year;
    try {
      platform::erp::SystemDatabase::Open(identity);
    } catch (const platform::ComError& e) {
      throw ApiError(400, e.description());
    }
    // A login replaces the session the browser had.
    if (std::string old = CookieOf(req, kCookie); !old.empty()) store.Remove(old);
    auto session = std::make_shared<WebSession>();
    session->user = user;
    session->account = account;
    session->year = year;
    session->csrf = RandomToken();
    std::string cs = options.connection_string;
    session->thread.Run(
        [&] { session->report = std::make_unique<ReportSession>(cs, user, account, year); });
    std::string cookie = store.Add(session, Clock::now());
    if (cookie.empty()) throw ApiError(503, "too many sessions; try again later");
    res.set_header("Set-Cookie", CookieHeader(cookie, store.lifetime().count()));
    return SessionJson(*session);
  }

  static Json SessionJson(const WebSession& s) {
    return Json{
        {"ok", true}, {"user", s.user}, {"account", s.account}, {"year", s.year}, {"csrf", s.csrf}};
  }

  Json Ledger(const Request& req) {
    auto session = SessionOf(req);
    Json body = ParseBody(req);
    OnlyMembers(body, {"kind", "condition", "xml", "limit"});
    int16_t kind = KindOf(TextOf(body, "kind"));
    size_t limit = 100;
    if (body.contains("limit")) {
      if (!body["limit"].is_number_integer() || body["limit"].get<int64_t>() < 1 ||
          body["limit"].get<int64_t>() > static_cast<int64_t>(kMaxPageRows)) {
        throw ApiError(400, "limit: expected a number from 1 to " + std::to_string(kMaxPageRows));
      }
      limit = body["limit"].get<size_t>();
    }
    bool has_xml = body.contains("xml"), has_condition = body.contains("condition");
    if (has_xml && has_condition) throw ApiError(400, "give condition or xml, not both");
    if (has_xml) {
      std::string xml = TextOf(body, "xml", "", options.max_body);
      return session->Run([&](ReportSession& r) { return r.OpenLedger(kind, xml, limit); });
    }
    ConditionRequest c = ConditionOf(has_condition ? body["condition"] : Json::object());
    CheckKind(kind, c);
    condition::ConditionOptions o = condition::ParseConditionTexts(c.texts);
    std::optional<ledger::PeriodRange> range;
    if (!c.period.empty()) range = ledger::ParsePeriods(c.period, "--period");
    if (!c.periods.empty()) range = ledger::ParsePeriods(c.periods, "--periods");
    if (range && range->year && *range->year != session->year) {
      throw ApiError(400, range->option + ": the login year is " + std::to_string(session->year));
    }
    return session->Run([&](ReportSession& r) {
      if (range) {
        auto [from, to] =
            ledger::PeriodDates(*range, r.ReadPeriods(), session->account, session->year);
        o.dates = {from, to};
      }
      return r.OpenLedger(kind, condition::BuildConditionDocument(o), limit);
    });
  }

  void Routes() {
    httplib::Server& s = *http;
    s.Post("/api/login",
           Api([this](const Request& req, Response& res) { return Login(req, res); }));
    s.Post("/api/logout", Api([this](const Request& req, Response& res) {
             WritingSessionOf(req);
             store.Remove(CookieOf(req, kCookie));
             res.set_header("Set-Cookie", CookieHeader("", 0));
             return Json{{"ok", true}};
           }));
    s.Get("/api/session",
          Api([this](const Request& req, Response&) { return SessionJson(*SessionOf(req)); }));
    s.Get("/api/auth", Api([this](const Request& req, Response&) {
            auto session = SessionOf(req);
            int16_t kind =
                KindOf(req.has_param("kind") ? req.get_param_value("kind") : "inventory");
            return session->Run([&](ReportSession& r) { return r.Auth(kind); });
          }));
    s.Get("/api/periods", Api([this](const Request& req, Response&) {
            return SessionOf(req)->Run([](ReportSession& r) { return r.Periods(); });
          }));
    s.Get(R"(/api/captions/([a-z]+))", Api([this](const Request& req, Response&) {
            std::string which = req.matches[1];
            return SessionOf(req)->Run([&](ReportSession& r) { return r.Captions(which); });
          }));
    s.Get("/api/ref", Api([this](const Request& req, Response&) {
            auto session = SessionOf(req);
            std::string table = req.get_param_value("table");
            std::string keyword = req.get_param_value("keyword");
            condition::CheckLength(keyword, "keyword");
            auto page = static_cast<int32_t>(NumberParam(req, "page", 1, 1, INT32_MAX));
            auto size = static_cast<int>(NumberParam(req, "size", 20, 1, kMaxPageRows));
            return session->Run(
                [&](ReportSession& r) { return r.Reference(table, keyword, page, size); });
          }));
    s.Post("/api/ledger", Api([this](const Request& req, Response&) { return Ledger(req); }));
    s.Get(
        "/api/ledger/rows", Api([this](const Request& req, Response&) {
          auto session = SessionOf(req);
          auto offset = static_cast<size_t>(NumberParam(req, "offset", 0, 0, INT32_MAX));
          auto limit = static_cast<size_t>(NumberParam(req, "limit", 100, 1, kMaxPageRows));
          std::string sort = req.get_param_value("sort");
          bool desc = NumberParam(req, "desc", 0, 0, 1) == 1;
          return session->Run([&](ReportSession& r) { return r.Rows(offset, limit, sort, desc); });
        }));
    s.Get("/api/ledger/card", Api([this](const Request& req, Response&) {
            auto session = SessionOf(req);
            if (!req.has_param("row")) throw ApiError(400, "row: needed");
            auto row = static_cast<size_t>(NumberParam(req, "row", 0, 0, INT32_MAX));
            return session->Run([&](ReportSession& r) { return r.Card(row); });
          }));
    s.Get("/api/format", Api([this](const Request& req, Response&) {
            auto session = SessionOf(req);
            std::string name = req.get_param_value("name");
            condition::CheckLength(name, "name");
            return session->Run([&](ReportSession& r) { return r.Format(name); });
          }));
    s.Post("/api/format", Api([this](const Request& req, Response&) {
             auto session = WritingSessionOf(req);
             Json body = ParseBody(req);
             OnlyMembers(body, {"xml"});
             std::string xml = TextOf(body, "xml", "", options.max_body);
             if (xml.empty()) throw ApiError(400, "xml: needed");
             return session->Run([&](ReportSession& r) { return r.SaveFormat(xml); });
           }));
    s.Get("/api/export", Api([this](const Request& req, Response& res) -> Json {
            auto session = SessionOf(req);
            std::string format = req.get_param_value("format");
            std::optional<size_t> row;
            if (req.has_param("row")) {
              row = static_cast<size_t>(NumberParam(req, "row", 0, 0, INT32_MAX));
            }
            std::string bytes =
                session->Run([&](ReportSession& r) { return r.Export(format, row); });
            std::string name = row ? "stock-card-" + std::to_string(*row) : "ledger";
            res.set_header("Content-Disposition",
                           "attachment; filename=\"" + name + "." + format + "\"");
            res.set_content(
                bytes, format == "csv" ? "text/csv; charset=utf-8" : "text/html; charset=utf-8");
            return nullptr;
          }));
    auto file = [](const std::string& path, Response& res) {
      const StaticFile* f = FindStaticFile(path);
      if (!f) {
        SendJson(res, 404, Json{{"ok", false}, {"message", "no such file: " + path}});
        return;
      }
      res.set_content(std::string(f->body), std::string(ContentTypeOf(path)).c_str());
    };
    s.Get("/", [file](const Request&, Response& res) { file("/index.html", res); });
    s.Get(R"(/static/(.+))", [file](const Request& req, Response& res) {
      file("/" + std::string(req.matches[1]), res);
    });
    s.set_error_handler([](const Request& req, Response& res) {
      if (!res.body.empty()) return;
      std::string message = res.status == 413   ? "the request is too large"
                            : res.status == 404 ? "no such path: " + req.path
                                                : "the request failed";
      SendJson(res, res.status, Json{{"ok", false}, {"message", message}});
    });
  }
};

WebServer::WebServer(ServeOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  Impl& m = *impl_;
  std::tie(m.host, m.port) = ParseListen(m.options.listen);
  if (m.options.tls_cert.empty() != m.options.tls_key.empty()) {
    throw platform::OptionError("--tls-cert and --tls-key are given together");
  }
  m.tls = !m.options.tls_cert.empty();
  if (!m.tls && !m.options.insecure_listen && !IsLoopback(m.host)) {
    throw platform::OptionError("--listen " + m.options.listen +
                                ": an address other than loopback needs --tls-cert and "
                                "--tls-key (or --insecure-listen to serve plain HTTP on it)");
  }
  platform::erp::RegisterErpSubstitutes();
  if (m.tls) {
    auto https =
        std::make_unique<httplib::SSLServer>(m.options.tls_cert.c_str(), m.options.tls_key.c_str());
    if (!https->is_valid()) {
      throw platform::OptionError("--tls-cert " + m.options.tls_cert + ", --tls-key " +
                                  m.options.tls_key + ": not a certificate and key OpenSSL reads");
    }
    m.http = std::move(https);
  } else {
    m.http = std::make_unique<httplib::Server>();
  }
  int threads = m.options.threads;
  m.http->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  m.http->set_payload_max_length(m.options.max_body);
  m.http->set_read_timeout(10, 0);
  m.http->set_keep_alive_max_count(1000);
  httplib::Headers headers = {
      {"Content-Security-Policy",
       "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'none'; "
       "frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Cache-Control", "no-store"}};
  if (m.tls) headers.emplace("Strict-Transport-Security", "max-age=31536000");
  m.http->set_default_headers(headers);
  m.Routes();
}

WebServer::~WebServer() = default;

int WebServer::Bind() {
  Impl& m = *impl_;
  int port = m.port == 0 ? m.http->bind_to_any_port(m.host) : m.port;
  if (port <= 0 || (m.port != 0 && !m.http->bind_to_port(m.host, m.port))) {
    throw platform::OptionError("--listen " + m.options.listen + ": cannot listen there");
  }
  m.port = port;
  return port;
}

void WebServer::Run() {
  impl_->http->listen_after_bind();
  impl_->store.Clear();
}

void WebServer::Stop() { impl_->http->stop(); }

std::string WebServer::Address() const {
  const Impl& m = *impl_;
  bool v6 = m.host.find(':') != std::string::npos;
  return std::string(m.tls ? "https" : "http") + "://" + (v6 ? "[" + m.host + "]" : m.host) + ":" +
         std::to_string(m.port) + "/";
}

int Serve(const ServeOptions& options, std::ostream& out) {
  // SIGINT and SIGTERM go to one waiting thread, which stops the server; every other thread
  // (started after this) has them blocked.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  WebServer server(options);
  server.Bind();
  out << "Serving the stock ledger report on " << server.Address() << " (Ctrl-C stops)"
      << std::endl;
  std::thread watcher([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    server.Stop();
  });
  server.Run();
  pthread_kill(watcher.native_handle(), SIGTERM);  // ends the watcher when it still waits
  watcher.join();
  out << "Stopped; every session ended." << std::endl;
  return 0;
}

}  // namespace q9::web
