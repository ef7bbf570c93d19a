// Test doubles for the ledger flows: a login that records its GetAuthString calls, an account
// with a start-period date, condition readers that record which of them ran, and a catcher of
// the statements a flow runs. Header-only:
// used by the *_test.cpp files beside it.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "condition/condition_state.h"
#include "ledger/condition_readers.h"
#include "platform/date.h"
#include "platform/db/connection.h"
#include "platform/db/statement_gate.h"
#include "platform/dispatch.h"
#include "platform/dispatch_test_doubles.h"
#include "platform/error.h"

namespace q9::ledger::testing {

// GetAuthString answers from `lists`, keyed by the first argument; an unknown kind answers "".
// Every call is recorded (an omitted argument as a Missing variant): Arguments() in order.
struct LoginDouble : q9::testing::ScriptedObject {
  LoginDouble() {
    scripts["GetAuthString"] = [this](platform::Args& args) {
      auto it = lists.find(args.Get(0).ToText());
      return it == lists.end() ? platform::Variant("") : it->second;
    };
  }
  std::map<std::string, platform::Variant> lists;
};

// STStartPeriodDate answers `start_period_date`; its reads are the calls.
struct AccountDouble : q9::testing::ScriptedObject {
  AccountDouble() {
    scripts["STStartPeriodDate"] = [this](platform::Args&) { return start_period_date; };
  }
  platform::Variant start_period_date = platform::Variant(*platform::Date::Make(2023, 12, 1));
};

// Readers that log their name, note whether the document they got was empty, and write `writes`
// into the state (as a real reader would).
struct ReaderLog {
  std::vector<std::string> runs;
  std::vector<bool> document_empty;
  condition::ConditionState writes;
  std::optional<platform::ComError> fail;

  ConditionReaders Readers() {
    auto make = [this](std::string name) {
      return [this, name](const platform::xml::Document& doc, condition::ConditionState& state) {
        runs.push_back(name);
        document_empty.push_back(doc.DocumentElement().IsNull());
        if (fail) throw *fail;
        state = writes;
      };
    };
    return {make("stock"), make("position")};
  }
};

// Captures every statement and fails it, so the flow's text is seen without running T-SQL here.
class StatementCatcher {
 public:
  StatementCatcher()
      : hook_([this](std::string_view sql, uint64_t) {
          statements.emplace_back(sql);
          throw platform::ProviderError("test engine", "statement caught");
        }) {}
  std::vector<std::string> statements;

 private:
  platform::db::ScopedStatementHook hook_;
};

// What a flow is given: the doubles above, the state the readers write and a connection on an
// empty database (a StatementCatcher fails every statement before it reaches the engine).
class FlowTest : public ::testing::Test {
 protected:
  static constexpr char kXml[] =
      "<condition><ddate isverdate=\"false\" value1=\"\" value2=\"\"/></condition>";
  FlowTest() {
    conn_.Open("Provider=SQLite;Data Source=:memory:");
    reader_.writes.strWhere = "(1=1)";
    reader_.writes.strAssUnit = "1";
  }

  std::shared_ptr<LoginDouble> login_ = std::make_shared<LoginDouble>();
  std::shared_ptr<AccountDouble> account_ = std::make_shared<AccountDouble>();
  ReaderLog reader_;
  condition::ConditionState state_;
  platform::db::Connection conn_;
};

// The expected GetAuthString calls of the maker list: "user", omitted, "R".
inline std::vector<platform::Variant> MakerCall() {
  return {platform::Variant("user"), platform::Variant::Missing(), platform::Variant("R")};
}

}  // namespace q9::ledger::testing
