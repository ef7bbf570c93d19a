#include "platform/db/odbc_connection_string.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <initializer_list>

#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

constexpr const char* kFreeTdsLibrary = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool Contains(std::string_view text, std::string_view part) {
  return Lower(text).find(Lower(part)) != std::string::npos;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

bool IsAnyOf(std::string_view key, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(),
                     [key](std::string_view n) { return SameMemberName(key, n); });
}

ComError MappingError(const std::string& text) { return ProviderError("ODBC", text); }

// Drivers read "key=value;" pairs; a value with a separator, a brace or blanks at its ends goes
// between braces (the closing brace doubled), and so does a driver name with blanks, as is usual.
std::string OdbcPair(const std::string& key, const std::string& value) {
  bool brace = value.find_first_of(";{}") != std::string::npos ||
               (!value.empty() && (value.front() == ' ' || value.back() == ' ')) ||
               (SameMemberName(key, "Driver") && value.find(' ') != std::string::npos);
  if (!brace) return key + "=" + value + ";";
  std::string out = key + "={";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "};";
}

struct Assembled {
  std::string text;
  std::string redacted;
  std::vector<std::string> secrets;

  void Add(const std::string& key, const std::string& value) {
    text += OdbcPair(key, value);
    if (IsSecretKey(key)) {
      redacted += key + "=***;";
      if (!value.empty()) secrets.push_back(value);
    } else {
      redacted += OdbcPair(key, value);
    }
  }
};

std::optional<int> ParseSeconds(const ConnectionString& cs) {
  for (const char* key : {"Connect Timeout", "Connection Timeout"}) {
    auto v = cs.Get(key);
    if (!v) continue;
    std::string text = Trim(*v);
    bool digits = !text.empty() && text.size() <= 6 &&
                  std::all_of(text.begin(), text.end(),
                              [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (!digits) {
      throw MappingError(std::string("the connection string's ") + key + " '" + text +
                         "' is not a number of seconds");
    }
    return std::stoi(text);
  }
  return std::nullopt;
}

bool DriverInstalled(const std::string& driver, const std::vector<std::string>& installed) {
  if (driver.find('/') != std::string::npos) return std::filesystem::is_regular_file(driver);
  return std::any_of(installed.begin(), installed.end(),
                     [&](const std::string& d) { return SameMemberName(d, driver); });
}

void RequireInstalled(const std::string& driver, const std::vector<std::string>& installed) {
  if (DriverInstalled(driver, installed)) return;
  std::string list;
  for (const std::string& d : installed) list += (list.empty() ? "" : ", ") + d;
  throw MappingError("the ODBC driver '" + driver +
                     "' is not installed here (installed: " + (list.empty() ? "none" : list) + ")");
}

int VendorVersion(std::string_view driver) {
  std::string lower = Lower(driver);
  const std::string prefix = "odbc driver ";
  if (lower.rfind(prefix, 0) != 0) return 0;
  return std::atoi(lower.c_str() + prefix.size());
}

OdbcTarget PassThrough(const ConnectionString& cs, const std::vector<std::string>& installed) {
  OdbcTarget target;
  target.login_timeout = ParseSeconds(cs);
  target.system_database = cs.GetOr("System Database", "");
  target.driver = cs.GetOr("Driver", "");
  target.dsn = cs.GetOr("DSN", "");
  if (!target.driver.empty()) RequireInstalled(target.driver, installed);
  Assembled out;
  bool charset = false;
  for (const auto& [key, value] : cs.pairs()) {
    if (IsAnyOf(key, {"Provider", "System Database", "Connect Timeout", "Connection Timeout"})) {
      continue;
    }
    if (SameMemberName(key, "ClientCharset") || SameMemberName(key, "Client Charset")) {
      charset = true;
    }
    // Connection.Open adds a user and password under the data-access library's names.
    if (SameMemberName(key, "User ID") && !cs.Has("UID")) {
      out.Add("UID", value);
    } else if (SameMemberName(key, "Password") && !cs.Has("PWD")) {
      out.Add("PWD", value);
    } else {
      out.Add(key, value);
    }
  }
  if (IsFreeTdsDriver(target.driver) && !charset) out.Add("ClientCharset", "UTF-8");
  target.driver_connection_string = std::move(out.text);
  target.redacted = std::move(out.redacted);
  target.secrets = std::move(out.secrets);
  return target;
}

struct ServerAddress {
  std::string host;
  std::string instance;
  std::string port;
};

ServerAddress ParseDataSource(const std::string& data_source) {
  std::string text = Trim(data_source);
  std::string lower = Lower(text);
  if (lower.rfind("np:", 0) == 0 || lower.rfind("lpc:", 0) == 0) {
    throw MappingError("Data Source '" + text +
                       "' asks for named pipes or shared memory; only TCP is available here");
  }
  if (lower.rfind("tcp:", 0) == 0) text = Trim(text.substr(4));
  ServerAddress out;
  size_t comma = text.find(',');
  if (comma != std::string::npos) {
    out.port = Trim(text.substr(comma + 1));
    text = Trim(text.substr(0, comma));
    bool digits = !out.port.empty() && out.port.size() <= 5 &&
                  std::all_of(out.port.begin(), out.port.end(),
                              [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (!digits || std::stoi(out.port) < 1 || std::stoi(out.port) > 65535) {
      throw MappingError("Data Source '" + data_source + "' has a malformed port '" + out.port +
                         "'");
    }
  }
  size_t slash = text.find('\\');
  if (slash != std::string::npos) {
    out.instance = Trim(text.substr(slash + 1));
    text = Trim(text.substr(0, slash));
    if (out.instance.empty()) {
      throw MappingError("Data Source '" + data_source + "' names no instance after '\\'");
    }
  }
  if (SameMemberName(text, "(localdb)")) {
    throw MappingError("Data Source '" + data_source +
                       "' names LocalDB, which is not available "
                       "here");
  }
  if (text == "." || SameMemberName(text, "(local)")) text = "localhost";
  if (text.empty() || text.find_first_of(" \t,\\") != std::string::npos) {
    throw MappingError("Data Source '" + data_source + "' names no server");
  }
  out.host = std::move(text);
  return out;
}

// "yes"/"true"/"sspi" and the like turn an option on; "no"/"false" off; anything else is an error.
bool Switch(const std::string& key, const std::string& value,
            std::initializer_list<std::string_view> also_on = {}) {
  std::string v = Trim(value);
  if (IsAnyOf(v, {"yes", "true", "1"}) || IsAnyOf(v, also_on)) return true;
  if (IsAnyOf(v, {"no", "false", "0"})) return false;
  throw MappingError("the connection string's " + key + " '" + v + "' is neither yes nor no");
}

const std::initializer_list<std::string_view> kServerKeys = {"Data Source", "Server", "Address",
                                                             "Addr", "Network Address"};
const std::initializer_list<std::string_view> kCatalogKeys = {"Initial Catalog", "Database"};
const std::initializer_list<std::string_view> kUserKeys = {"User ID", "UID", "User"};
const std::initializer_list<std::string_view> kPasswordKeys = {"Password", "PWD"};
const std::initializer_list<std::string_view> kIntegratedKeys = {"Integrated Security",
                                                                 "Trusted_Connection"};
const std::initializer_list<std::string_view> kEncryptKeys = {"Encrypt", "Use Encryption for Data"};
const std::initializer_list<std::string_view> kTrustKeys = {"TrustServerCertificate",
                                                            "Trust Server Certificate"};
const std::initializer_list<std::string_view> kMappedKeys = {
    "Provider",           "Driver",           "Connect Timeout",
    "Connection Timeout", "Application Name", "Workstation ID"};
// Options of the OLE DB providers that have no meaning for the ODBC drivers.
const std::initializer_list<std::string_view> kDroppedKeys = {
    "Persist Security Info",
    "Auto Translate",
    "Packet Size",
    "Use Procedure for Prepare",
    "Locale Identifier",
    "Network Library",
    "Network",
    "OLE DB Services",
    "Pooling",
    "Current Language",
    "Tag with column collation when possible",
    "DataTypeCompatibility",
    "MARS Connection",
    "MultipleActiveResultSets",
    "General Timeout",
    "Mode",
    "Prompt",
    "Asynchronous Processing"};

std::optional<std::string> GetFirst(const ConnectionString& cs,
                                    std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) {
    if (auto v = cs.Get(key)) return v;
  }
  return std::nullopt;
}

std::string ChooseSqlServerDriver(const ConnectionString& cs,
                                  const std::vector<std::string>& installed) {
  if (auto named = cs.Get("Driver"); named && !named->empty()) {
    RequireInstalled(*named, installed);
    return *named;
  }
  std::string vendor;
  for (const std::string& d : installed) {
    if (IsVendorSqlServerDriver(d) && VendorVersion(d) > VendorVersion(vendor)) vendor = d;
  }
  if (!vendor.empty()) return vendor;
  for (const std::string& d : installed) {
    if (IsFreeTdsDriver(d)) return d;
  }
  if (std::filesystem::is_regular_file(kFreeTdsLibrary)) return kFreeTdsLibrary;
  throw MappingError(
      "no SQL Server ODBC driver is installed here (FreeTDS from the package tdsodbc, or the "
      "vendor's ODBC Driver for SQL Server)");
}

OdbcTarget MapSqlServer(const ConnectionString& cs, const std::vector<std::string>& installed) {
  std::string provider = cs.GetOr("Provider", "");
  for (const auto& [key, value] : cs.pairs()) {
    bool known = IsAnyOf(key, kServerKeys) || IsAnyOf(key, kCatalogKeys) ||
                 IsAnyOf(key, kUserKeys) || IsAnyOf(key, kPasswordKeys) ||
                 IsAnyOf(key, kIntegratedKeys) || IsAnyOf(key, kEncryptKeys) ||
                 IsAnyOf(key, kTrustKeys) || IsAnyOf(key, kMappedKeys) ||
                 IsAnyOf(key, kDroppedKeys);
    if (!known) {
      throw MappingError("the connection string key '" + key + "' is not understood for " +
                         "Provider=" + provider);
    }
  }
  auto data_source = GetFirst(cs, kServerKeys);
  if (!data_source || Trim(*data_source).empty()) {
    throw MappingError("the connection string names no server (Data Source)");
  }
  ServerAddress server = ParseDataSource(*data_source);

  OdbcTarget target;
  target.login_timeout = ParseSeconds(cs);
  target.driver = ChooseSqlServerDriver(cs, installed);
  bool freetds = IsFreeTdsDriver(target.driver);

  bool integrated = false;
  if (auto v = GetFirst(cs, kIntegratedKeys)) {
    integrated = Switch("Integrated Security", *v, {"sspi"});
  }
  if (integrated && freetds) {
    throw MappingError(
        "Windows authentication (Integrated Security) is not available with the FreeTDS driver; "
        "give User ID and Password, or name a Kerberos-capable driver (Driver={ODBC Driver 18 "
        "for SQL Server})");
  }

  Assembled out;
  out.Add("Driver", target.driver);
  if (freetds) {
    if (!server.port.empty()) {
      out.Add("Server", server.host);
      out.Add("Port", server.port);
    } else if (!server.instance.empty()) {
      out.Add("Server", server.host + "\\" + server.instance);
    } else {
      out.Add("Server", server.host);
    }
  } else if (!server.port.empty()) {
    out.Add("Server", "tcp:" + server.host + "," + server.port);
  } else if (!server.instance.empty()) {
    out.Add("Server", server.host + "\\" + server.instance);
  } else {
    out.Add("Server", server.host);
  }
  if (auto db = GetFirst(cs, kCatalogKeys); db && !db->empty()) {
    out.Add("Database", *db);
  }
  if (integrated) {
    out.Add("Trusted_Connection", "yes");
  } else {
    if (auto user = GetFirst(cs, kUserKeys)) out.Add("UID", *user);
    if (auto pwd = GetFirst(cs, kPasswordKeys)) out.Add("PWD", *pwd);
  }
  if (auto app = cs.Get("Application Name"); app && !app->empty()) out.Add("APP", *app);
  if (auto wsid = cs.Get("Workstation ID"); wsid && !wsid->empty()) out.Add("WSID", *wsid);
  auto encrypt = GetFirst(cs, kEncryptKeys);
  auto trust = GetFirst(cs, kTrustKeys);
  if (freetds) {
    if (encrypt && Switch("Encrypt", *encrypt, {"mandatory", "strict"})) {
      out.Add("Encryption", "require");
    }
    out.Add("TDS_Version", "7.4");
    out.Add("ClientCharset", "UTF-8");
  } else {
    bool on = !encrypt || Switch("Encrypt", *encrypt, {"mandatory", "strict"});
    out.Add("Encrypt", on ? "yes" : "no");
    out.Add("TrustServerCertificate",
            !trust || Switch("TrustServerCertificate", *trust) ? "yes" : "no");
  }
  target.driver_connection_string = std::move(out.text);
  target.redacted = std::move(out.redacted);
  target.secrets = std::move(out.secrets);
  return target;
}

}  // namespace

bool IsSqlServerProvider(std::string_view provider) {
  std::string p = Lower(Trim(provider));
  if (p.size() > 2 && p.compare(p.size() - 2, 2, ".1") == 0) p.resize(p.size() - 2);
  return p == "sqloledb" || p == "sqlncli" || p == "sqlncli10" || p == "sqlncli11" ||
         p == "msoledbsql" || p == "msoledbsql19";
}

bool IsOdbcConnectionString(const ConnectionString& cs) {
  std::string provider = Trim(cs.GetOr("Provider", ""));
  if (provider.empty()) return cs.Has("Driver") || cs.Has("DSN");
  if (IsSqlServerProvider(provider)) return true;
  std::string p = Lower(provider);
  return p == "msdasql" || p == "msdasql.1";
}

bool IsSqliteDriver(std::string_view driver) { return Contains(driver, "sqlite"); }

bool IsFreeTdsDriver(std::string_view driver) {
  return Contains(driver, "freetds") || Contains(driver, "libtdsodbc");
}

bool IsVendorSqlServerDriver(std::string_view driver) {
  return VendorVersion(driver) > 0 && Contains(driver, "for sql server");
}

OdbcTarget MapOdbcConnectionString(const ConnectionString& cs,
                                   const std::vector<std::string>& installed_drivers) {
  if (IsSqlServerProvider(cs.GetOr("Provider", ""))) return MapSqlServer(cs, installed_drivers);
  if (!cs.Has("Driver") && !cs.Has("DSN")) {
    throw MappingError("the ODBC connection string names neither a Driver nor a DSN");
  }
  return PassThrough(cs, installed_drivers);
}

}  // namespace q9::platform::db
