#include "platform/db/connection_string.h"

#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

std::string Quote(const std::string& value) {
  if (value.find_first_of(";={}'\" ") == std::string::npos) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

// A password holding an unquoted ';' splits into parts; the part after it must not be shown.
ComError NoEquals(const std::string& part, const std::string& previous_key) {
  if (IsSecretKey(previous_key)) {
    return DataBadArgument("connection string part after '" + previous_key + "' has no '='");
  }
  return DataBadArgument("connection string part '" + part + "' has no '='");
}

}  // namespace

bool IsSecretKey(std::string_view key) {
  return SameMemberName(key, "password") || SameMemberName(key, "pwd");
}

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString out;
  std::string last_key;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (semi != std::string_view::npos && (eq == std::string_view::npos || semi < eq)) {
      if (!Trim(text.substr(i, semi - i)).empty()) {
        throw NoEquals(Trim(text.substr(i, semi - i)), last_key);
      }
      i = semi + 1;
      continue;
    }
    if (eq == std::string_view::npos) {
      std::string rest = Trim(text.substr(i));
      if (!rest.empty()) throw NoEquals(rest, last_key);
      break;
    }
    std::string key = Trim(text.substr(i, eq - i));
    if (key.empty()) throw DataBadArgument("connection string has a value without a key");
    i = eq + 1;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string value;
    if (i < text.size() && (text[i] == '{' || text[i] == '\'' || text[i] == '"')) {
      char open = text[i];
      char close = open == '{' ? '}' : open;
      ++i;
      bool closed = false;
      while (i < text.size()) {
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {
            value += close;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += text[i++];
      }
      if (!closed) {
        throw DataBadArgument("connection string value of '" + key + "' is not closed");
      }
      size_t next = text.find(';', i);
      std::string trailing = Trim(text.substr(i, next == std::string_view::npos ? text.size() - i
                                                                                : next - i));
      if (!trailing.empty()) {
        throw DataBadArgument("connection string value of '" + key +
                              "' has text after its closing quote");
      }
      i = next == std::string_view::npos ? text.size() : next + 1;
    } else {
      size_t next = text.find(';', i);
      value = Trim(text.substr(i, next == std::string_view::npos ? text.size() - i : next - i));
      i = next == std::string_view::npos ? text.size() : next + 1;
    }
    last_key = key;
    out.Set(std::move(key), std::move(value));
  }
  return out;
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
  for (const auto& [k, v] : pairs_) {
    if (SameMemberName(k, key)) return v;
  }
  return std::nullopt;
}

std::string ConnectionString::GetOr(std::string_view key, std::string fallback) const {
  auto v = Get(key);
  return v ? *v : std::move(fallback);
}

void ConnectionString::Set(std::string key, std::string value) {
  for (auto& [k, v] : pairs_) {
    if (SameMemberName(k, key)) {
      v = std::move(value);
      return;
    }
  }
  pairs_.emplace_back(std::move(key), std::move(value));
}

void ConnectionString::Remove(std::string_view key) {
  std::erase_if(pairs_, [key](const auto& p) { return SameMemberName(p.first, key); });
}

std::string ConnectionString::ToString() const {
  std::string out;
  for (const auto& [k, v] : pairs_) out += k + "=" + Quote(v) + ";";
  return out;
}

std::string ConnectionString::Redacted() const {
  std::string out;
  for (const auto& [k, v] : pairs_) out += k + "=" + (IsSecretKey(k) ? "***" : Quote(v)) + ";";
  return out;
}

}  // namespace q9::platform::db
