// Connection strings: "key=value;" pairs as ADO and ODBC write them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace q9::platform::db {

class ConnectionString {
 public:
  // Parses `key=value` pairs separated by ';'. Keys are matched without regard to letter case
  // and trimmed; a value may be wrapped in {braces} (a '}' inside written '}}') or in single or
  // double quotes (the quote inside doubled), so it can hold ';' and '='. Raises error 3001
  // naming the problem for a pair without '=', an empty key or an unterminated quote.
  static ConnectionString Parse(std::string_view text);

  std::optional<std::string> Get(std::string_view key) const;
  std::string GetOr(std::string_view key, std::string fallback) const;
  bool Has(std::string_view key) const { return Get(key).has_value(); }
  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

  // The string again, with every secret (password) replaced by "***", for messages and traces.
  std::string Redacted() const;
  // The string again with values braced where needed, in the order parsed.
  std::string ToString() const;

  void Set(std::string key, std::string value);
  void Remove(std::string_view key);

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// True for keys whose values are secrets ("Password", "PWD").
bool IsSecretKey(std::string_view key);

}  // namespace q9::platform::db
