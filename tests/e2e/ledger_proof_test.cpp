// The ledger's figures on a generated company, checked against the reference ledger.
//
// One demo company (fixed seed, 5000 document lines) is generated and written once per run of
// this binary. Every case runs the component as a front end does (the ERP substitutes, Init with
// a caller login, OpenX with the condition document of a LedgerQuery, OpenPage for the summary
// rows) and compares the summary whole and the details of every row when the summary is small,
// else of every k-th row. The reference ledger computes the same figures in plain C++ over the
// generated records, never with the statements' SQL.
//
// The cases run on the embedded engine, again through the ODBC engine with the SQLite ODBC
// driver, and a third time on SQL Server when Q9STREP_TEST_MSSQL names one (skipped with the
// reason otherwise); the company and the model are the same for all three.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "support/demo_engine.h"
#include "support/ledger_rows.h"
#include "support/odbc_drivers.h"
#include "support/reference_ledger.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

using platform::Variant;
using K = LedgerKind;
using S = SelectionStandard;

// OpenPage calls per case at most; larger summaries are sampled every k-th row. Keeps the
// binary within a minute under the sanitizers.
constexpr size_t kDetailsPerCase = 50;
constexpr size_t kEveryRow = static_cast<size_t>(-1);
constexpr K kKinds[] = {K::kStockByInventory, K::kStockByBatch, K::kPosition};

const bool kOdbcDrivers = RegisterTestOdbcDrivers();

struct ProofCompany {
  TempDir dir;
  demo::DemoCompany company = demo::GenerateCompany({20261206, 5000});
  std::unique_ptr<ReferenceLedger> model;
  std::map<DemoEngine, std::string> connections;  // SQL Server is filled once per run

  const std::string& Connection(DemoEngine engine) {
    auto it = connections.find(engine);
    if (it == connections.end()) {
      it = connections
               .emplace(engine, DemoConnectionString(engine, company, dir.File("company.db"),
                                                     dir.File("system.db")))
               .first;
    }
    return it->second;
  }
};

ProofCompany& Proof() {
  static const std::unique_ptr<ProofCompany> proof = [] {
    auto p = std::make_unique<ProofCompany>();
    demo::WriteCompany(p->company, p->dir.File("company.db"), p->dir.File("system.db"));
    p->model =
        std::make_unique<ReferenceLedger>(p->company, demo::kDemoAccount, demo::kDemoLoginYear);
    return p;
  }();
  return *proof;
}

struct ProofCase {
  std::string name;
  LedgerQuery query;
  std::string user = "demo";
  // Fills values taken from the generated records (a batch, an inventory range).
  std::function<void(const demo::DemoCompany&, LedgerQuery&)> complete;
  // The model must give at least one summary row and (when true) one detail line in the sample.
  bool expect_rows = true;
  bool expect_lines = true;
  size_t details = kDetailsPerCase;
  DemoEngine engine = DemoEngine::kEmbedded;
};

void PrintTo(const ProofCase& c, std::ostream* out) { *out << c.name; }

ProofCase Case(std::string name, LedgerQuery query) {
  ProofCase c;
  c.name = std::move(name);
  c.query = std::move(query);
  return c;
}

LedgerQuery Query(K kind, std::string from, std::string to) {
  LedgerQuery q;
  q.kind = kind;
  q.from = std::move(from);
  q.to = std::move(to);
  return q;
}

std::string KindName(K kind) {
  static const char* kNames[] = {"StockByInventory", "StockByBatch", "Position"};
  return kNames[static_cast<int>(kind)];
}

// The three kinds, document and audit dates (the position ledger reads record dates either
// way), the five selection standards. A quarter for the standards that keep rows with
// activity, one month for those that need rows without receipts or issues.
std::vector<ProofCase> StandardCases() {
  static const std::pair<S, const char*> kStandards[] = {
      {S::kAll, "All"},
      {S::kWithActivity, "WithActivity"},
      {S::kWithoutActivity, "WithoutActivity"},
      {S::kReceivedNotIssued, "ReceivedNotIssued"},
      {S::kIssuedNotReceived, "IssuedNotReceived"}};
  std::vector<ProofCase> cases;
  for (K kind : kKinds) {
    for (bool audit : {false, true}) {
      for (auto [standard, name] : kStandards) {
        bool quarter = standard == S::kAll || standard == S::kWithActivity;
        ProofCase c = Case(KindName(kind) + (audit ? "_AuditDates_" : "_DocumentDates_") + name,
                           Query(kind, quarter ? "2025-04-01" : "2025-06-01", "2025-06-30"));
        c.query.audit_dates = audit;
        c.query.standard = standard;
        // Rows without activity have nothing to list in the range.
        c.expect_lines = standard != S::kWithoutActivity;
        // The widest case of each kind lists the detail of every row.
        if (!audit && standard == S::kAll) c.details = kEveryRow;
        cases.push_back(std::move(c));
      }
    }
  }
  return cases;
}

// The most used non-empty batch of batch-managed lines.
std::string BusiestBatch(const demo::DemoCompany& c) {
  std::map<std::string, int> uses;
  for (const auto& line : c.rd_lines) {
    if (line.cBatch && !line.cBatch->empty()) ++uses[*line.cBatch];
  }
  auto best = std::max_element(uses.begin(), uses.end(),
                               [](const auto& a, const auto& b) { return a.second < b.second; });
  return best == uses.end() ? std::string() : best->first;
}

// An inventory code range between two generated inventories, reversed when `reversed`.
auto InventoryRange(size_t second_offset, bool reversed) {
  return [=](const demo::DemoCompany& c, LedgerQuery& q) {
    std::string a = c.inventories[c.inventories.size() / 4].cInvCode;
    std::string b = c.inventories[c.inventories.size() / 4 + second_offset].cInvCode;
    q.inventory_from = reversed ? std::max(a, b) : std::min(a, b);
    q.inventory_to = reversed ? std::min(a, b) : std::max(a, b);
  };
}

std::vector<ProofCase> OtherCases() {
  std::vector<ProofCase> cases;
  auto add = [&](std::string name, LedgerQuery q, auto&& set) {
    ProofCase c = Case(std::move(name), std::move(q));
    set(c.query, c);
    cases.push_back(std::move(c));
  };
  auto plain = [](LedgerQuery&, ProofCase&) {};
  for (K kind : kKinds) {
    const std::string k = KindName(kind);
    // No bounds: the range starts at the begin of the login year's period of the start month.
    add(k + "_OpenRange", Query(kind, "", ""), plain);
    // One fixed-rate group has no unit 3: its numbers are NULL.
    add(k + "_AuxiliaryUnit3", Query(kind, "2025-07-01", "2025-12-31"),
        [](LedgerQuery& q, ProofCase&) { q.aux_unit = 3; });
    add(k + "_RestrictedClerk", Query(kind, "2025-03-01", "2025-08-31"),
        [](LedgerQuery&, ProofCase& c) { c.user = "clerk"; });
    add(k + "_FreeItems1And2Shown", Query(kind, "2025-05-01", "2025-10-31"),
        [](LedgerQuery& q, ProofCase&) {
          q.free_items = {{1, ""}, {2, ""}};
        });
    add(k + "_NothingMatches", Query(kind, "2025-01-01", "2026-06-30"),
        [](LedgerQuery& q, ProofCase& c) {
          q.inventory_from = q.inventory_to = "ZZZ";
          c.expect_rows = c.expect_lines = false;
        });
  }
  // Date ranges: from alone (not zero-padded), to alone, reversed, one day.
  add("StockByInventory_FromOnly", Query(K::kStockByInventory, "2026-2-1", ""), plain);
  add("Position_ToOnly", Query(K::kPosition, "", "2026-3-31"), plain);
  add("StockByBatch_ReversedRange", Query(K::kStockByBatch, "2025-09-30", "2025-07-01"), plain);
  add("StockByInventory_OneDay", Query(K::kStockByInventory, "2025-05-15", "2025-05-15"),
      [](LedgerQuery&, ProofCase& c) { c.details = kEveryRow; });
  // The last month holds most unaudited documents.
  add("StockByBatch_AuditDatesLastMonth", Query(K::kStockByBatch, "2026-06-01", "2026-06-30"),
      [](LedgerQuery& q, ProofCase&) { q.audit_dates = true; });
  add("StockByInventory_AuxiliaryUnit1", Query(K::kStockByInventory, "2025-07-01", "2025-12-31"),
      [](LedgerQuery& q, ProofCase&) { q.aux_unit = 1; });
  add("StockByInventory_AuditedOnly", Query(K::kStockByInventory, "2026-04-01", "2026-06-30"),
      [](LedgerQuery& q, ProofCase&) { q.audited_only = true; });
  // Free items with a prefix: the summary filters on it; free item 3 (spare parts).
  add("Position_FreeItem1PrefixShown", Query(K::kPosition, "2025-05-01", "2025-10-31"),
      [](LedgerQuery& q, ProofCase&) {
        q.free_items = {{1, "红"}, {2, ""}};
      });
  add("StockByInventory_FreeItem2Prefix", Query(K::kStockByInventory, "2025-05-01", "2025-10-31"),
      [](LedgerQuery& q, ProofCase&) {
        q.free_items = {{2, "X"}};
      });
  add("StockByBatch_FreeItem3Shown", Query(K::kStockByBatch, "2025-01-01", "2026-06-30"),
      [](LedgerQuery& q, ProofCase&) {
        q.free_items = {{3, ""}};
      });
  // Filters.
  add("StockByInventory_Warehouse", Query(K::kStockByInventory, "2025-04-01", "2025-09-30"),
      [](LedgerQuery& q, ProofCase&) { q.warehouses = {"02"}; });
  add("Position_Warehouse", Query(K::kPosition, "2025-04-01", "2025-09-30"),
      [](LedgerQuery& q, ProofCase&) { q.warehouses = {"04"}; });
  add("StockByInventory_ClassPrefix", Query(K::kStockByInventory, "2025-04-01", "2025-09-30"),
      [](LedgerQuery& q, ProofCase&) { q.class_prefix = "0402"; });
  add("Position_ClassPrefix", Query(K::kPosition, "2025-04-01", "2025-09-30"),
      [](LedgerQuery& q, ProofCase&) { q.class_prefix = "01"; });
  for (K kind : {K::kStockByBatch, K::kPosition}) {
    add(KindName(kind) + "_InventoryRange", Query(kind, "2025-04-01", "2025-09-30"),
        [](LedgerQuery&, ProofCase& c) { c.complete = InventoryRange(0, false); });
  }
  // A reversed range whose bounds share their first characters is exchanged like any other.
  add("StockByInventory_ReversedInventoryRange",
      Query(K::kStockByInventory, "2025-04-01", "2025-09-30"),
      [](LedgerQuery&, ProofCase& c) { c.complete = InventoryRange(20, true); });
  add("Position_ReversedPositionRange", Query(K::kPosition, "2025-04-01", "2025-09-30"),
      [](LedgerQuery& q, ProofCase&) {
        q.position_from = "01A03";
        q.position_to = "01A01";
      });
  for (K kind : {K::kStockByBatch, K::kStockByInventory}) {
    add(KindName(kind) + "_Batch", Query(kind, "2025-01-01", "2026-06-30"),
        [](LedgerQuery&, ProofCase& c) {
          c.complete = [](const demo::DemoCompany& co, LedgerQuery& q) {
            q.batch = BusiestBatch(co);
          };
        });
  }
  add("Position_BatchPrefix", Query(K::kPosition, "2025-04-01", "2025-09-30"),
      [](LedgerQuery& q, ProofCase&) { q.batch = "B2503"; });
  add("StockByInventory_InvStd", Query(K::kStockByInventory, "2025-04-01", "2025-09-30"),
      [](LedgerQuery&, ProofCase& c) {
        c.complete = [](const demo::DemoCompany& co, LedgerQuery& q) {
          for (const auto& inv : co.inventories) {
            if (inv.cInvStd) {
              q.inv_std = *inv.cInvStd;
              return;
            }
          }
        };
      });
  return cases;
}

class LedgerProofTest : public ::testing::TestWithParam<ProofCase> {};

TEST_P(LedgerProofTest, FiguresMatchTheReferenceLedger) {
  ProofCase c = GetParam();
  if (auto reason = DemoEngineUnavailable(c.engine)) GTEST_SKIP() << *reason;
  ProofCompany& proof = Proof();
  if (c.complete) c.complete(proof.company, c.query);
  if (c.user != "demo") c.query.rights = proof.model->RightsOf(c.user);
  if (c.user == "clerk") {
    const LedgerRights& r = c.query.rights;
    ASSERT_TRUE(r.inventory_ids && r.warehouses && r.departments && r.makers && r.positions)
        << "clerk is to be restricted in every kind";
  }
  size_t rows = proof.model->Summary(c.query).size();
  if (c.expect_rows) {
    ASSERT_GT(rows, 0u) << "the case selects nothing";
  }
  // Every row, or every k-th row of the component's order.
  const size_t stride = rows <= c.details ? 1 : (rows + c.details - 1) / c.details;
  auto component = InitComponent(proof.Connection(c.engine), c.user);
  LedgerCheck check = CheckLedger(*component, *proof.model, c.query,
                                  [&](size_t i, const SummaryRow&) { return i % stride == 0; });
  if (c.expect_lines) {
    EXPECT_GT(check.detail_lines, 0u) << "no detail line was compared";
  }
  RecordProperty("summary_rows", std::to_string(check.rows.size()));
  RecordProperty("detail_lines", std::to_string(check.detail_lines));
  if (HasFailure()) ADD_FAILURE() << "condition document: " << ConditionDocument(c.query);
}

std::string CaseName(const ::testing::TestParamInfo<ProofCase>& info) { return info.param.name; }

// The cases again on another engine: the same company, the same model.
std::vector<ProofCase> On(DemoEngine engine, std::vector<ProofCase> cases) {
  for (ProofCase& c : cases) c.engine = engine;
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Standards, LedgerProofTest, ::testing::ValuesIn(StandardCases()),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Conditions, LedgerProofTest, ::testing::ValuesIn(OtherCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(StandardsOdbc, LedgerProofTest,
                         ::testing::ValuesIn(On(DemoEngine::kSqliteOdbc, StandardCases())),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(ConditionsOdbc, LedgerProofTest,
                         ::testing::ValuesIn(On(DemoEngine::kSqliteOdbc, OtherCases())), CaseName);
INSTANTIATE_TEST_SUITE_P(StandardsMssql, LedgerProofTest,
                         ::testing::ValuesIn(On(DemoEngine::kSqlServer, StandardCases())),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(ConditionsMssql, LedgerProofTest,
                         ::testing::ValuesIn(On(DemoEngine::kSqlServer, OtherCases())), CaseName);

// The front end reads the summary keys back and shows the detail by column name; a driver names
// the columns itself, so every engine must hand on the statement's names.
TEST(LedgerProofColumns, RecordsetsCarryTheLedgerColumnNames) {
  auto numbered = [](const std::string& stem, int from, int to, int paired_offset = 0) {
    std::string names;
    for (int i = from; i <= to; ++i) {
      names += " " + stem + std::to_string(i);
      if (paired_offset) names += " " + stem + std::to_string(i + paired_offset);
    }
    return names;
  };
  const std::string stock_tail =
      " cInvName cInvAddCode cInvStd cInvM_Unit cInvA_Unit cInvCCode cInvCName iSafeNum iTopSum "
      "iLowSum iBeginQtty iBeginNum cFree1 cFree3";
  const std::string stock_detail =
      " ID AutoID cVouchType cVouchName cWhCode cInvCode dDate dVeriDate YL cBusTypeCode cCode ZY4 "
      "ZY5 ZY6 iChangRate iInNum iInQtty iOutNum iOutQtty ZY3 ZY2 cWhName cMemo" +
      numbered("cDefine", 1, 16) + numbered("cDefine", 22, 37) + numbered("cFree", 1, 10) +
      " dCheckDate cCheckCode cCheckPersonName cRejectCode";
  const std::pair<std::string, std::string> expected[] = {
      {" cInvCode" + stock_tail, stock_detail},
      {" cInvCode cBatch" + stock_tail, stock_detail},
      {" cWhCode cWhName cPosCode cPosName cInvCode cInvAddCode cInvName cInvStd cInvCName "
       "cInvM_Unit cInvA_Unit iTopSum iSafeNum iLowSum cBatch iBeginQtty iBeginNum cFree1 cFree3",
       " AutoId ID RdsID bRdFlag cWhCode cPosCode cInvCode cVouchType cVouchName cBusType cSource "
       "cBusCode cCode cRdName cCusName cVenName cPersonName cDepName" +
           numbered("cDefine", 1, 16, 21) + numbered("cFree", 1, 10) +
           " dVDate cMemo cHandler dDate iChangRate iInNum iInQtty iOutNum iOutQtty"},
  };
  auto names = [](const Variant& rs) {
    auto cursor = platform::db::AsRecordset(rs, "recordset");
    std::string text;
    for (size_t c = 0; c < cursor->FieldCount(); ++c) text += " " + cursor->FieldName(c);
    return text;
  };
  for (DemoEngine engine :
       {DemoEngine::kEmbedded, DemoEngine::kSqliteOdbc, DemoEngine::kSqlServer}) {
    if (DemoEngineUnavailable(engine)) continue;
    for (K kind : kKinds) {
      SCOPED_TRACE(KindName(kind) + " on " + DemoEngineName(engine));
      auto component = InitComponent(Proof().Connection(engine));
      LedgerQuery q = Query(kind, "2025-04-01", "2025-06-30");
      q.free_items = {{1, ""}, {3, ""}};
      std::string xml = ConditionDocument(q);
      Variant rs1, rs2, msg;
      ASSERT_TRUE(component->OpenX(xml, rs1, static_cast<int16_t>(kind)));
      EXPECT_EQ(names(rs1), expected[static_cast<int>(kind)].first);
      ASSERT_TRUE(component->OpenPage(xml, rs1, rs2, static_cast<int16_t>(kind), &msg))
          << msg.ConcatText();
      EXPECT_EQ(names(rs2), expected[static_cast<int>(kind)].second);
    }
  }
}

}  // namespace
}  // namespace q9::testing
