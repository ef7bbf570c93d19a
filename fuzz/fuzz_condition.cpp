// Both condition readers on arbitrary documents: each reading either fills the condition state
// or raises the component's error; it never crashes, leaks or reads out of bounds. When a reading
// succeeds, the ledger statements built from its state (summaries and details, with row keys and
// rights lists that carry quotes) must pass the T-SQL bridge and prepare as exactly one statement
// on the company schema: a value that could leave its literal, or a condition text the bridge
// cannot take, aborts so that libFuzzer keeps the input. The one construct the bridge refuses by
// design, a LIKE pattern with [ ], is let through.
#include <sqlite3.h>

#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "condition/condition_state.h"
#include "condition/readers.h"
#include "demo/schema.h"
#include "ledger/position_detail_statement.h"
#include "ledger/stock_detail_statement.h"
#include "ledger/summary_statement.h"
#include "platform/db/tsql_bridge.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/xml/document.h"

namespace {

using q9::platform::Args;
using q9::platform::ComError;
using q9::platform::Variant;

class Period : public q9::platform::Object {
 public:
  Variant Invoke(std::string_view name, q9::platform::InvokeKind, Args&) override {
    if (q9::platform::SameMemberName(name, "BeginDate")) {
      return Variant(*q9::platform::Date::Make(2026, 1, 1));
    }
    throw q9::platform::MemberNotFound(std::string(name));
  }
  std::string ClassName() const override { return "Period"; }
};

class Account : public q9::platform::Object {
 public:
  Variant Invoke(std::string_view name, q9::platform::InvokeKind, Args&) override {
    if (q9::platform::SameMemberName(name, "STStartDate")) {
      return Variant(*q9::platform::Date::Make(2025, 1, 1));
    }
    if (q9::platform::SameMemberName(name, "Period")) return Variant(std::make_shared<Period>());
    throw q9::platform::MemberNotFound(std::string(name));
  }
  std::string ClassName() const override { return "Account"; }
};

[[noreturn]] void Fail(const std::string& what, const std::string& statement) {
  std::fprintf(stderr, "fuzz_condition: %s\n%s\n", what.c_str(), statement.c_str());
  std::abort();
}

// An in-memory database with the company schema, for preparing (never running) statements.
sqlite3* Schema() {
  static sqlite3* db = [] {
    sqlite3* handle = nullptr;
    std::string schema(q9::demo::kCompanySchema);
    if (sqlite3_open(":memory:", &handle) != SQLITE_OK ||
        sqlite3_exec(handle, schema.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail("cannot create the company schema", schema);
    }
    return handle;
  }();
  return db;
}

void CheckStatement(const std::string& statement) {
  std::string translated;
  try {
    translated = q9::platform::db::TranslateTsqlToSqlite(statement);
  } catch (const ComError& e) {
    if (e.description().find("a character class on SQL Server only") != std::string::npos) return;
    Fail("the bridge refused a ledger statement: " + e.description(), statement);
  }
  sqlite3_stmt* prepared = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(Schema(), translated.c_str(), static_cast<int>(translated.size()),
                              &prepared, &tail);
  std::string error = sqlite3_errmsg(Schema());
  sqlite3_finalize(prepared);
  if (rc != SQLITE_OK) Fail("the statement does not prepare: " + error, translated);
  for (const char* p = tail; p && *p; ++p) {
    if (!std::isspace(static_cast<unsigned char>(*p))) Fail("more than one statement", translated);
  }
}

const q9::platform::Date& StartPeriodDate() {
  static const q9::platform::Date date = *q9::platform::Date::Make(2025, 1, 1);
  return date;
}

q9::ledger::RightsLists Rights() {
  return {"1,2", "'0''1','02'", "'0''4'", "'王''芳'", "'01A''01'"};
}

q9::ledger::DetailRights DetailRightsLists() { return {"'0''1'", "'0''4'", "'王''芳'"}; }

std::array<std::string, 10> FreeValues() {
  std::array<std::string, 10> values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = "f'" + std::to_string(i + 1) + "--";
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Variant account(std::make_shared<Account>());
  std::string_view text(reinterpret_cast<const char*>(data), size);
  q9::platform::xml::Document doc;
  doc.LoadXml(text);
  q9::condition::ConditionState state;
  bool stock = true;
  try {
    q9::condition::ReadStockCondition(doc, account, state);
  } catch (const ComError&) {
    stock = false;
  }
  if (stock) {
    for (int16_t kind : {0, 1}) {
      CheckStatement(q9::ledger::SummaryStatement(kind, state, Rights(), StartPeriodDate()));
    }
    q9::ledger::StockRowKeys row{"x'1;--", "b'/*", FreeValues()};
    for (bool by_batch : {false, true}) {
      CheckStatement(q9::ledger::StockDetailStatement(by_batch, state, DetailRightsLists(),
                                                      StartPeriodDate(), row));
    }
  }
  state = q9::condition::ConditionState();
  bool position = true;
  try {
    q9::condition::ReadPositionCondition(doc, account, state);
  } catch (const ComError&) {
    position = false;
  }
  if (position) {
    CheckStatement(q9::ledger::SummaryStatement(2, state, Rights(), StartPeriodDate()));
    q9::ledger::PositionRowKeys row{"0'2", "x'1", "01A'01", "b'--", FreeValues()};
    CheckStatement(q9::ledger::PositionDetailStatement(state, DetailRightsLists(), row));
  }
  return 0;
}
