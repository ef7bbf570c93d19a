// The T-SQL bridge on arbitrary statements: it translates or raises its error, never crashes.
// A translation must also keep every string literal of the statement, unchanged, and add none but
// the date pattern of the CONVERT rewrite: a literal lost, altered or invented would be a silently
// different statement. A violation aborts, so libFuzzer keeps the input.
#include <algorithm>
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

// The string literals of `sql`, without the N prefix, sorted.
std::vector<std::string> Literals(std::string_view sql) {
  std::vector<std::string> literals;
  for (const db::SqlToken& t : db::TokenizeSql(sql)) {
    if (t.kind != db::SqlTokenKind::kString) continue;
    std::string_view text = t.text;
    if (!text.empty() && (text.front() == 'N' || text.front() == 'n')) text.remove_prefix(1);
    literals.emplace_back(text);
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
  std::vector<std::string> in = Literals(sql);
  std::vector<std::string> out;
  try {
    out = Literals(translated);
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
