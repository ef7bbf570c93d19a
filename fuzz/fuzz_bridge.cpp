// The T-SQL bridge on arbitrary statements: it translates or raises its error, never crashes.
// A translation must also keep every string literal of the statement, unchanged, and add none but
// the date pattern of the CONVERT rewrite: a literal lost, altered or invented would be a silently
// different statement. A LIKE pattern with SQL Server's bracket escapes ([_], [%], [[]) may come
// out rewritten with ESCAPE '\', but must then match exactly the same texts: both patterns are
// reduced to the sequence of wildcards and fixed characters they stand for and compared. The
// rules that only speed SQLite up must not change the rows: where turning one off changes the
// translation, both translations run on a small company (the ledger's tables with the columns
// the summaries read, a few dozen rows from a fixed seed, with codes that miss their master row,
// repeat in another letter case or are NULL; quantities are multiples of 1/4, so sums come out
// exact in any order) and must return the same rows, sorted. So must the translations with the
// rules that group or re-group below unique-key joins, each alone and both, handed the small
// company's keys and indexes. A violation aborts, so libFuzzer keeps the input.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/sql_tokenizer.h"
#include "platform/db/sqlite_engine.h"
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

// Steps counted by the progress handler (thousands of virtual machine instructions).
int& ProgressSteps() {
  static int steps = 0;
  return steps;
}

// The small company, built once per process from a fixed seed.
sqlite3* SmallCompany() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    std::string sql =
        // The inventory's and the warehouse's keys are declared NOT NULL, as in the company
        // schema; the other masters' are not, as a schema made elsewhere may leave them.
        "CREATE TABLE Inventory (iId INTEGER, cInvCode TEXT COLLATE NOCASE NOT NULL PRIMARY KEY, "
        "cInvAddCode TEXT, cInvName TEXT, cInvStd TEXT, cInvCCode TEXT COLLATE NOCASE, "
        "cComUnitCode TEXT COLLATE NOCASE, cGroupCode TEXT COLLATE NOCASE, cAssComUnitCode TEXT "
        "COLLATE NOCASE, iGroupType INTEGER, bInvBatch BIT, iSafeNum REAL, iTopSum REAL, iLowSum "
        "REAL);"
        "CREATE TABLE ComputationUnit (cComunitCode TEXT COLLATE NOCASE PRIMARY KEY, "
        "cComUnitName TEXT, cGroupCode TEXT COLLATE NOCASE, iNumber INTEGER, iChangRate REAL);"
        "CREATE TABLE InventoryClass (cInvCCode TEXT COLLATE NOCASE PRIMARY KEY, cInvCName TEXT);"
        "CREATE TABLE Warehouse (cWhCode TEXT COLLATE NOCASE NOT NULL PRIMARY KEY, cWhName TEXT);"
        "CREATE TABLE Position (cPosCode TEXT COLLATE NOCASE PRIMARY KEY, cPosName TEXT, cWhCode "
        "TEXT COLLATE NOCASE);"
        "CREATE TABLE RdRecord (ID INTEGER PRIMARY KEY, bRdFlag BIT, cVouchType TEXT COLLATE "
        "NOCASE, cBusType TEXT, cWhCode TEXT COLLATE NOCASE, dDate DATE, cDepCode TEXT COLLATE "
        "NOCASE, cMaker TEXT COLLATE NOCASE, bISSTQc BIT);"
        "CREATE TABLE RdRecords (AutoID INTEGER PRIMARY KEY, ID INTEGER, cInvCode TEXT COLLATE "
        "NOCASE, iNum REAL, iQuantity REAL, cBatch TEXT COLLATE NOCASE, cFree1 TEXT COLLATE "
        "NOCASE, cFree2 TEXT COLLATE NOCASE);"
        "CREATE TABLE InvPosition (AutoId INTEGER PRIMARY KEY, bRdFlag BIT, cWhCode TEXT COLLATE "
        "NOCASE, cPosCode TEXT COLLATE NOCASE, cInvCode TEXT COLLATE NOCASE, cBatch TEXT COLLATE "
        "NOCASE, iQuantity REAL, iNum REAL, dDate DATE, cFree1 TEXT COLLATE NOCASE, cFree2 TEXT "
        "COLLATE NOCASE);"
        "CREATE INDEX IX_InvPosition_Key ON InvPosition (cInvCode, cWhCode, cPosCode, cBatch);";
    std::mt19937 random(20261206);
    auto pick = [&random](std::initializer_list<const char*> values) {
      return std::string(values.begin()[random() % values.size()]);
    };
    auto quarter = [&random]() {
      return std::to_string(static_cast<int>(random() % 41) - 8) + "/4.0";
    };
    // Codes: those with a master row, one in another case, one without, NULL.
    const auto inv = {"'i1'", "'I1'", "'i2'", "'i3'", "'i4'", "'i9'", "NULL"};
    const auto wh = {"'w1'", "'W1'", "'w2'", "'w9'", "NULL"};
    const auto pos = {"'p1'", "'p2'", "'P2'", "'p9'", "NULL"};
    const auto batch = {"'b1'", "'B1'", "'b2'", "NULL"};
    const auto date = {"'2024-12-31'", "'2025-01-01'", "'2025-06-30'", "'2026-01-01'", "NULL"};
    sql +=
        "INSERT INTO Inventory VALUES (1, 'i1', 'x1', 'one', 's', 'c1', 'u1', 'g1', 'u2', 1, "
        "1, 1, 2, 0.5), (2, 'i2', NULL, 'two', NULL, 'C2', 'u2', 'g1', 'u9', 2, 0, NULL, 3, "
        "1), (3, 'i3', 'x3', 'three', 's', 'c9', 'u9', 'g9', NULL, 1, 1, 4, NULL, 2), (4, 'i4', "
        "'x4', 'four', 'z', NULL, NULL, NULL, 'u3', 0, 1, 0, 0, 0);"
        "INSERT INTO ComputationUnit VALUES ('u1', 'kg', 'g1', 1, 1), ('u2', 'g', 'g1', 2, "
        "0.25), ('u3', 'box', 'g2', 1, 4);"
        "INSERT INTO InventoryClass VALUES ('c1', 'first'), ('c2', 'second');"
        "INSERT INTO Warehouse VALUES ('w1', 'main'), ('w2', 'side');"
        "INSERT INTO Position VALUES ('p1', 'shelf', 'w1'), ('p2', 'floor', 'w2');";
    for (int id = 1; id <= 24; ++id) {
      sql += "INSERT INTO RdRecord VALUES (" + std::to_string(id) + ", " + pick({"0", "1"}) + ", " +
             pick({"'01'", "'11'", "11"}) + ", " + pick({"'普通'", "'假退料'", "NULL"}) + ", " +
             pick(wh) + ", " + pick(date) + ", " + pick({"'d1'", "NULL"}) + ", " +
             pick({"'m1'", "'m2'"}) + ", " + pick({"0", "0", "1"}) + ");";
    }
    for (int id = 1; id <= 60; ++id) {
      sql += "INSERT INTO RdRecords VALUES (" + std::to_string(id) + ", " +
             std::to_string(1 + random() % 26) + ", " + pick(inv) + ", " + quarter() + ", " +
             (random() % 8 ? quarter() : "NULL") + ", " + pick(batch) + ", " +
             pick({"'f1'", "'F1'", "NULL"}) + ", " + pick({"'f2'", "NULL"}) + ");";
      sql += "INSERT INTO InvPosition VALUES (" + std::to_string(id) + ", " + pick({"0", "1"}) +
             ", " + pick(wh) + ", " + pick(pos) + ", " + pick(inv) + ", " + pick(batch) + ", " +
             (random() % 8 ? quarter() : "NULL") + ", " + quarter() + ", " + pick(date) + ", " +
             pick({"'f1'", "'F1'", "NULL"}) + ", " + pick({"'f2'", "NULL"}) + ");";
    }
    if (sqlite3_exec(d, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "fuzz_bridge: the small company: %s\n", sqlite3_errmsg(d));
      std::abort();
    }
    // A statement that runs longer than this many steps on the small company is left out.
    sqlite3_progress_handler(
        d, 1000, [](void* steps) { return ++*static_cast<int*>(steps) > 2000 ? 1 : 0; },
        &ProgressSteps());
    return d;
  }();
  return db;
}

enum class RunResult { kRows, kError, kTooLong };

// The rows of `sql` on the small company as sorted texts, or why there are none: an error (an
// unknown table or column, say) or more steps than a fuzz input may take. `fold_case`, for the
// schema rules: letters upper-cased, each value after its column's declared type.
RunResult SortedRows(const std::string& sql, std::vector<std::string>& rows,
                     bool fold_case = false) {
  sqlite3* db = SmallCompany();
  ProgressSteps() = 0;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
      SQLITE_OK) {
    return ProgressSteps() > 2000 ? RunResult::kTooLong : RunResult::kError;
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      std::string value = text ? reinterpret_cast<const char*>(text) : "";
      if (fold_case) {
        for (char& ch : value) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        // The engine reads DATE and BIT columns by their declared type: a rule must keep it.
        const char* type = sqlite3_column_decltype(stmt, c);
        row += std::string(type ? type : "") + ":";
      }
      row += text ? "'" + value + "'" : "NULL";
      row += ',';
    }
    rows.push_back(row);
  }
  sqlite3_finalize(stmt);
  std::sort(rows.begin(), rows.end());
  if (rc == SQLITE_DONE) return RunResult::kRows;
  return rc == SQLITE_INTERRUPT ? RunResult::kTooLong : RunResult::kError;
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
  std::vector<std::string> with_rules;
  RunResult with = RunResult::kTooLong;
  bool ran = false;
  for (unsigned rule :
       {unsigned{db::kRuleDistinctOverGroupBy}, unsigned{db::kRuleLeftJoinsAhead}}) {
    std::string without;
    try {
      without = db::TranslateTsqlToSqlite(sql, db::kAllBridgeRules & ~rule);
    } catch (const q9::platform::ComError& e) {
      Fail("translates only with rule " + std::to_string(rule) + ": " + e.description(), sql,
           translated);
    }
    if (without == translated) continue;
    if (!ran) with = SortedRows(translated, with_rules);
    ran = true;
    std::vector<std::string> rows;
    const RunResult result = SortedRows(without, rows);
    if (with == RunResult::kTooLong || result == RunResult::kTooLong) continue;
    if (result != with || rows != with_rules) {
      Fail("other rows (or an error) without rule " + std::to_string(rule) + ": " + without, sql,
           translated);
    }
  }
  // The rule that needs the schema's unique keys, on the small company's: which spelling of a
  // code grouped without regard to case a group returns is SQLite's choice, so letter case is
  // not compared.
  static const db::SchemaFacts facts = db::ReadSchemaFacts(SmallCompany());
  std::vector<std::string> before;
  RunResult result_before = RunResult::kTooLong;
  bool ran_before = false;
  for (unsigned rules :
       {unsigned{db::kRuleGroupBelowUniqueKeyJoins}, unsigned{db::kRuleRegroupBelowUniqueKeyJoins},
        db::kRuleGroupBelowUniqueKeyJoins | db::kRuleRegroupBelowUniqueKeyJoins}) {
    const std::string grouped =
        db::TranslateTsqlToSqlite(sql, db::kTextBridgeRules | rules, &facts);
    if (grouped == translated) continue;
    if (!ran_before) result_before = SortedRows(translated, before, true);
    ran_before = true;
    std::vector<std::string> after;
    const RunResult result_after = SortedRows(grouped, after, true);
    if (result_before != RunResult::kTooLong && result_after != RunResult::kTooLong &&
        (result_before != result_after || before != after)) {
      Fail("other rows (or an error) with schema rules " + std::to_string(rules) + ": " + grouped,
           sql, translated);
    }
  }
  return 0;
}
