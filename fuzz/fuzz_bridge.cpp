// The T-SQL bridge on arbitrary statements: it translates or raises its error, never crashes.
// A translation must also keep every string literal of the statement, unchanged, and add none but
// the date pattern of the CONVERT rewrite: a literal lost, altered or invented would be a silently
// different statement. A LIKE pattern with SQL Server's bracket escapes ([_], [%], [[]) may come
// out rewritten with ESCAPE '\', but must then match exactly the same texts: both patterns are
// reduced to the sequence of wildcards and fixed characters they stand for and compared. A
// violation aborts, so libFuzzer keeps the input.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/sql_tokenizer.h"
#include "platform/db/tsql_bridge.h"
#include "platform/error.h"

namespace {

namespace db = q9::platform::db;

[[noreturn]] void Fail(const std::string& what, std::string_view in, const std::string& out) {
  std::fprintf(stderr, "fuzz_bridge: %s\nT-SQL:  %.*s\nSQLite: %s\n", what.c_str(),
               static_cast<int>(in.size()), in.data(), out.c_str());
  std::abort();
}

// The text of a literal token without its N prefix, quotes and doubled quotes.
std::string Unquote(std::string_view literal) {
  literal.remove_prefix(literal.find('\'') + 1);
  std::string raw;
  for (std::size_t k = 0; k + 1 < literal.size(); ++k) {
    raw += literal[k];
    if (literal[k] == '\'') ++k;
  }
  return raw;
}

// A pattern as what it matches: "%" and "_" for the wildcards, "=c" for a fixed byte c.
std::string Meaning(const std::string& raw, bool sql_server) {
  std::string meaning;
  for (std::size_t k = 0; k < raw.size(); ++k) {
    char c = raw[k];
    if (sql_server && c == '[') {
      std::size_t close = raw.find(']', k + 1);
      if (close == std::string::npos || close == k + 1) return "invalid set";
      std::string set = raw.substr(k + 1, close - k - 1);
      auto lead = static_cast<unsigned char>(set[0]);
      std::size_t width = lead < 0x80 ? 1 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
      if (set.size() != width || set == "^") return "invalid set";
      for (char b : set) meaning += std::string("=") + b;
      k = close;
    } else if (!sql_server && c == '\\' && k + 1 < raw.size()) {
      meaning += std::string("=") + raw[++k];
    } else if (c == '%' || c == '_') {
      meaning += c;
    } else {
      meaning += std::string("=") + c;
    }
  }
  return meaning;
}

bool IsWord(const db::SqlToken& t, std::string_view upper) {
  if (t.kind != db::SqlTokenKind::kWord || t.text.size() != upper.size()) return false;
  for (std::size_t k = 0; k < upper.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(t.text[k])) != upper[k]) return false;
  }
  return true;
}

// The string literals of `sql`, sorted, each as its text without the N prefix, except the LIKE
// patterns that carry escapes, which stand as their Meaning: in the T-SQL (`sql_server`) a
// pattern with '[' after LIKE, and in either text a pattern followed by ESCAPE '\' (whose '\'
// is then left out).
std::vector<std::string> Literals(std::string_view sql, bool sql_server) {
  std::vector<db::SqlToken> tokens;
  for (const db::SqlToken& t : db::TokenizeSql(sql)) {
    if (t.kind != db::SqlTokenKind::kWhitespace && t.kind != db::SqlTokenKind::kComment) {
      tokens.push_back(t);
    }
  }
  std::vector<std::string> literals;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const db::SqlToken& t = tokens[i];
    if (t.kind != db::SqlTokenKind::kString) continue;
    std::string_view text = t.text;
    if (!text.empty() && (text.front() == 'N' || text.front() == 'n')) text.remove_prefix(1);
    bool after_like = i > 0 && IsWord(tokens[i - 1], "LIKE");
    if (sql_server && after_like && text.find('[') != std::string_view::npos) {
      literals.push_back(Meaning(Unquote(text), true));
    } else if (i + 2 < tokens.size() && IsWord(tokens[i + 1], "ESCAPE") &&
               tokens[i + 2].text == "'\\'") {
      literals.push_back(Meaning(Unquote(text), false));
      i += 2;
    } else {
      literals.emplace_back(text);
    }
  }
  std::sort(literals.begin(), literals.end());
  return literals;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view sql(reinterpret_cast<const char*>(data), size);
  std::string translated;
  try {
    translated = db::TranslateTsqlToSqlite(sql);
  } catch (const q9::platform::ComError&) {
    return 0;
  }
  std::vector<std::string> in = Literals(sql, true);
  std::vector<std::string> out;
  try {
    out = Literals(translated, false);
  } catch (const q9::platform::ComError& e) {
    Fail("the translation does not tokenize: " + e.description(), sql, translated);
  }
  std::vector<std::string> lost;
  std::set_difference(in.begin(), in.end(), out.begin(), out.end(), std::back_inserter(lost));
  if (!lost.empty()) Fail("the literal " + lost.front() + " is lost or altered", sql, translated);
  std::vector<std::string> added;
  std::set_difference(out.begin(), out.end(), in.begin(), in.end(), std::back_inserter(added));
  for (const std::string& literal : added) {
    if (literal != "'%Y.%m.%d'") Fail("the literal " + literal + " is invented", sql, translated);
  }
  return 0;
}
