// Lifetimes on the demo company: recordsets handed out stay readable after the connection, the
// instance and the apartment's globals are gone; the instances of one apartment share its
// globals; and many instances on several threads at once (each thread its own apartment) give
// what one thread alone gives. The threaded cases also run under ThreadSanitizer (make tsan).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "component/iclskczt.h"
#include "component/module_globals.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "platform/dispatch.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/login_substitutes.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "support/demo_engine.h"
#include "support/ledger_rows.h"
#include "support/reference_ledger.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

// Designated initializers name the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::ComError;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

constexpr char kSecondCaption[] = "第二套账的说明";

// Two copies of one generated company that differ in one caption, so a caption read says which
// database a connection is on.
class LifetimeTest : public ::testing::Test {
 protected:
  static const DemoFiles& Demo() {
    static const DemoFiles files(demo::kMinimumLines);
    [[maybe_unused]] static const bool second = [] {
      platform::erp::RegisterErpSubstitutes();
      std::filesystem::copy_file(files.dir.File("company.db"), files.dir.File("second.db"));
      ExecSqlite(files.dir.File("second.db"),
                 "UPDATE UserDef SET cItemName = '" + std::string(kSecondCaption) +
                     "' WHERE cClass = '存货' AND cID = (SELECT MIN(cID) FROM UserDef WHERE "
                     "cClass = '存货' AND cItem LIKE '自定义项%')");
      return true;
    }();
    return files;
  }
  static std::string File(const char* name) { return Demo().dir.File(name); }

  static Variant Login(const std::string& company_db) {
    return Variant(platform::erp::MakeCallerLogin(
        demo::EmbeddedConnectionString(company_db, File("system.db")), "demo", demo::kDemoAccount,
        demo::kDemoLoginYear));
  }
  static Variant FirstLogin() { return Login(File("company.db")); }
  static Variant SecondLogin() { return Login(File("second.db")); }

  // Which database the captions come from: "first", "second", or the failure.
  static std::string CaptionSource(IClsKCZT& component) {
    Variant rs;
    Variant msg;
    if (!component.GetDefineName(rs, &msg)) return "failed: " + msg.ConcatText();
    for (const auto& row : RecordsetRows(rs)) {
      if (row.size() > 1 && row[1] == kSecondCaption) return "second";
    }
    return "first";
  }
};

LedgerQuery Query(LedgerKind kind) {
  return {.kind = kind, .from = "2025-04-01", .to = "2026-02-28"};
}

// Everything the recordsets of one session hold, read through clones.
struct Handouts {
  Variant summary, detail, periods, format, captions;
  std::vector<Rows> Read() const {
    return {RecordsetRows(summary), RecordsetRows(detail), RecordsetRows(periods),
            RecordsetRows(format), RecordsetRows(captions)};
  }
};

TEST_F(LifetimeTest, RecordsetsOutliveConnectionInstanceGlobalsAndFiles) {
  TempDir own;
  std::filesystem::copy_file(File("company.db"), own.File("company.db"));
  const LedgerQuery q = Query(LedgerKind::kStockByBatch);
  const std::string xml = ConditionDocument(q);
  Handouts h;
  std::vector<Rows> before;
  {
    component::ScopedApartment apartment(std::make_shared<component::Apartment>());
    auto component = std::make_unique<IClsKCZT>();
    std::string msg;
    ASSERT_TRUE(component->Init(Login(own.File("company.db")), &msg));
    Variant position(int16_t{2});
    Variant period_msg;
    ASSERT_TRUE(component->OpenX(xml, h.summary, 1));
    ASSERT_TRUE(component->OpenPage(xml, h.summary, h.detail, 1, nullptr, &position));
    ASSERT_TRUE(component->GetPeriodDay(h.periods, period_msg));
    ASSERT_TRUE(component->GetQueryFormat("批次台账", h.format, &msg)) << msg;
    ASSERT_TRUE(component->GetDefineName(h.captions));
    before = h.Read();
    for (const Rows& rows : before) ASSERT_FALSE(rows.empty());

    // The summary and detail agree with the reference ledger, so `before` is worth keeping.
    auto summary = SummaryRowsOf(h.summary, q);
    EXPECT_TRUE(SummaryDifferences(summary, Demo().model.Summary(q)).empty());
    EXPECT_TRUE(
        DetailDifferences(DetailLinesOf(h.detail, q), Demo().model.Detail(q, summary[1])).empty());

    component::CurrentApartment()->globals().gConn().Close();
    EXPECT_EQ(h.Read(), before) << "after the connection was closed";
    component.reset();
    EXPECT_TRUE(component::CurrentApartment()->globals().gConn_ == nullptr);
    EXPECT_EQ(h.Read(), before) << "after the last instance released the globals";
  }
  EXPECT_EQ(h.Read(), before) << "after the apartment was gone";
  std::filesystem::remove(own.File("company.db"));
  EXPECT_EQ(h.Read(), before) << "after the database file was removed";

  // A summary of a departed instance still serves OpenPage of a new one.
  auto fresh = InitComponent(demo::EmbeddedConnectionString(File("company.db"), File("system.db")));
  Variant detail;
  Variant page_msg;
  Variant position(int16_t{2});
  ASSERT_TRUE(fresh->OpenPage(xml, h.summary, detail, 1, &page_msg, &position))
      << page_msg.ConcatText();
  EXPECT_EQ(RecordsetRows(detail), before[1]);
}

TEST_F(LifetimeTest, ApartmentsOnOneThreadKeepTheirOwnGlobals) {
  auto first = std::make_shared<component::Apartment>();
  auto second = std::make_shared<component::Apartment>();
  auto make = [](const std::shared_ptr<component::Apartment>& in, const Variant& login) {
    component::ScopedApartment use(in);
    auto instance = std::make_unique<IClsKCZT>();
    std::string msg;
    EXPECT_TRUE(instance->Init(login, &msg)) << msg;
    return instance;
  };
  auto in_first = make(first, FirstLogin());
  auto in_second = make(second, SecondLogin());
  // Each instance keeps the apartment it was created in, whichever is current.
  EXPECT_EQ(CaptionSource(*in_first), "first");
  EXPECT_EQ(CaptionSource(*in_second), "second");
  in_second.reset();
  EXPECT_EQ(CaptionSource(*in_first), "first");
  EXPECT_TRUE(second->globals().gConn_ == nullptr);
}

// ---- threads --------------------------------------------------------------------------------

// What one session of the component hands out, as text.
struct SessionResult {
  std::map<std::string, Rows> tables;
  std::string error;
  uint64_t statements = 0;
};

void Need(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

// One front end's session: two instances sharing the thread's apartment, the three ledgers
// with a few details each, the detail of every row of `shared` (the session's own clone of a
// position summary made on another thread), periods, captions, the query format and (on a private
// copy of the files) a format save.
SessionResult RunSession(const Variant& login, const Variant& private_login, Variant shared) {
  SessionResult r;
  db::ScopedStatementHook count([](std::string_view, uint64_t) {});
  try {
    auto a = std::make_unique<IClsKCZT>();
    auto b = std::make_unique<IClsKCZT>();
    std::string msg;
    Need(a->Init(login, &msg), "Init: " + msg);
    for (LedgerKind kind :
         {LedgerKind::kStockByInventory, LedgerKind::kStockByBatch, LedgerKind::kPosition}) {
      IClsKCZT& c = kind == LedgerKind::kStockByBatch ? *b : *a;
      std::string xml = ConditionDocument(Query(kind));
      auto k = static_cast<int16_t>(kind);
      std::string name = "kind " + std::to_string(k);
      Variant summary;
      Need(c.OpenX(xml, summary, k), name + ": no summary");
      r.tables[name] = RecordsetRows(summary);
      for (int16_t row = 1; row <= 3; ++row) {
        Variant detail;
        Variant page_msg;
        Variant position(row);
        Need(c.OpenPage(xml, summary, detail, k, &page_msg, &position),
             name + " row " + std::to_string(row) + ": " + page_msg.ConcatText());
        r.tables[name + " detail " + std::to_string(row)] = RecordsetRows(detail);
      }
    }
    const std::string xml = ConditionDocument(Query(LedgerKind::kPosition));
    for (int32_t row = 1; row <= db::AsRecordset(shared, "shared")->RecordCount(); ++row) {
      Variant detail, page_msg, position(row);
      Need(a->OpenPage(xml, shared, detail, 2, &page_msg, &position),
           "shared row " + std::to_string(row) + ": " + page_msg.ConcatText());
      r.tables["shared detail " + std::to_string(row)] = RecordsetRows(detail);
    }
    Variant rs;
    Variant rs_msg;
    Need(b->GetPeriodDay(rs, rs_msg), "periods");
    r.tables["periods"] = RecordsetRows(rs);
    Need(a->GetDefineName(rs, &rs_msg), "captions");
    r.tables["captions"] = RecordsetRows(rs);
    Need(b->GetQueryFormat("库存台账", rs, &msg), "format: " + msg);
    r.tables["format"] = RecordsetRows(rs);
    // Writes go to the session's own files.
    Need(b->Init(private_login, &msg), "private Init");
    Need(
        a->SaveFormat("<queryid value=\"1\"><col1 visible=\"false\" width=\"33\"/></queryid>", msg),
        "save: " + msg);
    Need(b->GetQueryFormat("库存台账", rs, &msg), "format: " + msg);
    r.tables["saved format"] = RecordsetRows(rs);
  } catch (const std::exception& e) {
    r.error = e.what();
  }
  r.statements = count.statements_seen();
  return r;
}

class ThreadsTest : public LifetimeTest {};

TEST_F(ThreadsTest, ManyInstancesOnSeveralThreadsGiveWhatOneThreadGives) {
  constexpr int kThreads = 6;
  std::vector<std::unique_ptr<TempDir>> private_dirs;
  std::vector<Variant> private_logins;
  for (int t = 0; t <= kThreads; ++t) {
    private_dirs.push_back(std::make_unique<TempDir>());
    std::string file = private_dirs.back()->File("company.db");
    std::filesystem::copy_file(File("company.db"), file);
    private_logins.push_back(Login(file));
  }

  // A position summary made here and a clone of it for each session: the clones share its rows,
  // which outlive the instance that made them.
  std::vector<Variant> shared;
  int32_t shared_rows = 0;
  {
    IClsKCZT maker;
    Variant summary;
    ASSERT_TRUE(maker.Init(FirstLogin()));
    ASSERT_TRUE(maker.OpenX(ConditionDocument(Query(LedgerKind::kPosition)), summary, 2));
    auto original = db::AsRecordset(summary, "summary");
    shared_rows = original->RecordCount();
    for (int t = 0; t <= kThreads; ++t) {
      shared.emplace_back(std::static_pointer_cast<platform::Object>(original->Clone()));
    }
  }
  ASSERT_GE(shared_rows, 2);

  // One session alone, in an apartment of its own, is the expectation.
  SessionResult alone;
  {
    component::ScopedApartment apartment(std::make_shared<component::Apartment>());
    alone = RunSession(FirstLogin(), private_logins[kThreads], shared[kThreads]);
  }
  ASSERT_EQ(alone.error, "");
  ASSERT_EQ(alone.tables.size(), 16u + shared_rows);
  for (const auto& [name, rows] : alone.tables) ASSERT_FALSE(rows.empty()) << name;
  // Rpt_FldDef columns: ID, ORDEREx, FldName, FldCaption, FldType, Width, Visible, ...
  const auto& saved = alone.tables["saved format"][0];
  EXPECT_EQ((std::vector<std::string>{saved[1], saved[5], saved[6]}),
            (std::vector<std::string>{"1", "33", "0"}));

  TempDir trace_dir;
  const std::string trace = trace_dir.File("trace.jsonl");
  db::SetTraceFile(trace);
  std::vector<SessionResult> results(kThreads);
  std::atomic<bool> stop{false};
  std::atomic<int> registrations{0};
  {
    // Meanwhile a class is registered and created again and again in the process-wide registry.
    std::thread registrar([&] {
      while (!stop.load()) {
        platform::RegisterProgId("Q9Test.Scratch", [] { return platform::erp::CreateAccountCO(); });
        platform::CreateObject("Q9Test.Scratch");
        platform::UnregisterProgId("Q9Test.Scratch");
        ++registrations;
      }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back(
          [&, t] { results[t] = RunSession(FirstLogin(), private_logins[t], shared[t]); });
    }
    for (auto& th : threads) th.join();
    stop = true;
    registrar.join();
  }
  db::SetTraceFile("");
  EXPECT_GT(registrations.load(), 0);

  uint64_t statements = 0;
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    EXPECT_EQ(results[t].error, "");
    EXPECT_EQ(results[t].tables, alone.tables);
    EXPECT_EQ(results[t].statements, alone.statements);
    statements += results[t].statements;
  }
  // Every statement of every thread is one whole line of the trace.
  std::ifstream in(trace);
  uint64_t lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    auto json = nlohmann::json::parse(line, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << line;
    EXPECT_TRUE(json.contains("sql") && json.contains("engine_sql")) << line;
  }
  EXPECT_EQ(lines, statements);
}

// The statement hook is the thread's own: a fault injected on one thread fails that thread's
// statement and nobody else's.
TEST_F(ThreadsTest, AFaultOnOneThreadStaysOnThatThread) {
  constexpr int kThreads = 4;
  std::vector<std::string> outcomes(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      IClsKCZT component;
      std::string msg;
      if (!component.Init(FirstLogin(), &msg)) {
        outcomes[t] = "Init failed";
        return;
      }
      // OpenX runs six statements (five rights lists, the summary): the eighteenth is the third
      // call's summary.
      std::unique_ptr<db::FailNthStatement> fault;
      if (t == 0) fault = std::make_unique<db::FailNthStatement>(18, "第零线程的故障");
      for (int i = 0; i < 5; ++i) {
        Variant summary;
        try {
          component.OpenX(ConditionDocument(Query(LedgerKind::kStockByInventory)), summary, 0);
          outcomes[t] += "ok;";
        } catch (const ComError& e) {
          outcomes[t] += e.description() + ";";
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(outcomes[0], "ok;ok;第零线程的故障;ok;ok;");
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(outcomes[t], "ok;ok;ok;ok;ok;") << t;
}

}  // namespace
}  // namespace q9::testing
