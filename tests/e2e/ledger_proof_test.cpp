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
#include <string>
#include <vector>

#include "platform/db/recordset.h"
#include "support/demo_engine.h"
#include "support/ledger_rows.h"
#include "support/odbc_drivers.h"
#include "support/services_fixture.h"

// Designated initializers name the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace q9::testing {
namespace {

using platform::Variant;
using K = LedgerKind;
using S = SelectionStandard;
using Q = LedgerQuery;

// OpenPage calls per case at most; larger summaries are sampled every k-th row. Keeps the
// binary within a minute under the sanitizers.
constexpr size_t kDetailsPerCase = 50;
constexpr size_t kEveryRow = static_cast<size_t>(-1);
constexpr K kKinds[] = {K::kStockByInventory, K::kStockByBatch, K::kPosition};

const bool kOdbcDrivers = RegisterTestOdbcDrivers();

const DemoFiles& Proof() {
  static const DemoFiles files(5000);
  return files;
}

// SQL Server is filled once per run.
const std::string& Connection(DemoEngine engine) {
  static std::map<DemoEngine, std::string> connections;
  auto it = connections.find(engine);
  if (it == connections.end()) it = connections.emplace(engine, Proof().Connection(engine)).first;
  return it->second;
}

struct ProofCase {
  std::string name;
  LedgerQuery query;
  std::string user = "demo";
  // Fills values taken from the generated records (a batch, an inventory range).
  std::function<void(const demo::DemoCompany&, LedgerQuery&)> complete = {};
  // The model must give at least one summary row and (when true) one detail line in the sample.
  bool expect_rows = true;
  bool expect_lines = true;
  size_t details = kDetailsPerCase;
  DemoEngine engine = DemoEngine::kEmbedded;
};

void PrintTo(const ProofCase& c, std::ostream* out) { *out << c.name; }

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
        cases.push_back({KindName(kind) + (audit ? "_AuditDates_" : "_DocumentDates_") + name,
                         {.kind = kind,
                          .from = quarter ? "2025-04-01" : "2025-06-01",
                          .to = "2025-06-30",
                          .audit_dates = audit,
                          .standard = standard}});
        // Rows without activity have nothing to list in the range.
        cases.back().expect_lines = standard != S::kWithoutActivity;
        // The widest case of each kind lists the detail of every row.
        if (!audit && standard == S::kAll) cases.back().details = kEveryRow;
      }
    }
  }
  return cases;
}

// The most used non-empty batch of batch-managed lines.
void BusiestBatch(const demo::DemoCompany& c, LedgerQuery& q) {
  std::map<std::string, int> uses;
  for (const auto& line : c.rd_lines) {
    if (line.cBatch && !line.cBatch->empty()) ++uses[*line.cBatch];
  }
  q.batch = std::max_element(uses.begin(), uses.end(), [](const auto& a, const auto& b) {
              return a.second < b.second;
            })->first;
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

void FirstInvStd(const demo::DemoCompany& c, LedgerQuery& q) {
  for (const auto& inv : c.inventories) {
    if (inv.cInvStd) {
      q.inv_std = *inv.cInvStd;
      return;
    }
  }
}

std::vector<ProofCase> OtherCases() {
  std::vector<ProofCase> cases;
  auto add = [&](std::string name, LedgerQuery query) -> ProofCase& {
    return cases.emplace_back(ProofCase{std::move(name), std::move(query)});
  };
  constexpr char kApr[] = "2025-04-01", kSep[] = "2025-09-30", kMay[] = "2025-05-01",
                 kOct[] = "2025-10-31", kFirst[] = "2025-01-01", kLast[] = "2026-06-30";
  for (K kind : kKinds) {
    const std::string k = KindName(kind) + "_";
    // No bounds: the range starts at the begin of the login year's period of the start month.
    add(k + "OpenRange", {.kind = kind});
    // One fixed-rate group has no unit 3: its numbers are NULL.
    add(k + "AuxiliaryUnit3",
        {.kind = kind, .from = "2025-07-01", .to = "2025-12-31", .aux_unit = 3});
    add(k + "RestrictedClerk", {.kind = kind, .from = "2025-03-01", .to = "2025-08-31"}).user =
        "clerk";
    add(k + "FreeItems1And2Shown",
        {.kind = kind, .from = kMay, .to = kOct, .free_items = {{1, ""}, {2, ""}}});
    ProofCase& none = add(k + "NothingMatches",
                          {.kind = kind, .from = kFirst, .to = kLast, .inventory_from = "ZZZ"});
    none.query.inventory_to = "ZZZ";
    none.expect_rows = none.expect_lines = false;
  }
  for (K kind : {K::kStockByBatch, K::kPosition}) {
    add(KindName(kind) + "_InventoryRange", {.kind = kind, .from = kApr, .to = kSep}).complete =
        InventoryRange(0, false);
  }
  for (K kind : {K::kStockByBatch, K::kStockByInventory}) {
    add(KindName(kind) + "_Batch", {.kind = kind, .from = kFirst, .to = kLast}).complete =
        BusiestBatch;
  }
  // Date ranges: from alone (not zero-padded), to alone, reversed, one day.
  add("StockByInventory_FromOnly", {.kind = K::kStockByInventory, .from = "2026-2-1"});
  add("Position_ToOnly", {.kind = K::kPosition, .to = "2026-3-31"});
  add("StockByBatch_ReversedRange",
      {.kind = K::kStockByBatch, .from = "2025-09-30", .to = "2025-07-01"});
  add("StockByInventory_OneDay",
      {.kind = K::kStockByInventory, .from = "2025-05-15", .to = "2025-05-15"})
      .details = kEveryRow;
  // The last month holds most unaudited documents.
  add("StockByBatch_AuditDatesLastMonth",
      {.kind = K::kStockByBatch, .from = "2026-06-01", .to = kLast, .audit_dates = true});
  add("StockByInventory_AuxiliaryUnit1",
      {.kind = K::kStockByInventory, .from = "2025-07-01", .to = "2025-12-31", .aux_unit = 1});
  add("StockByInventory_AuditedOnly",
      {.kind = K::kStockByInventory, .from = "2026-04-01", .to = kLast, .audited_only = true});
  // Free items with a prefix: the summary filters on it; free item 3 (spare parts).
  add("Position_FreeItem1PrefixShown",
      {.kind = K::kPosition, .from = kMay, .to = kOct, .free_items = {{1, "红"}, {2, ""}}});
  add("StockByInventory_FreeItem2Prefix",
      {.kind = K::kStockByInventory, .from = kMay, .to = kOct, .free_items = {{2, "X"}}});
  add("StockByBatch_FreeItem3Shown",
      {.kind = K::kStockByBatch, .from = kFirst, .to = kLast, .free_items = {{3, ""}}});
  // Filters.
  add("StockByInventory_Warehouse",
      {.kind = K::kStockByInventory, .from = kApr, .to = kSep, .warehouses = {"02"}});
  add("Position_Warehouse", {.kind = K::kPosition, .from = kApr, .to = kSep, .warehouses = {"04"}});
  add("StockByInventory_ClassPrefix",
      {.kind = K::kStockByInventory, .from = kApr, .to = kSep, .class_prefix = "0402"});
  add("Position_ClassPrefix",
      {.kind = K::kPosition, .from = kApr, .to = kSep, .class_prefix = "01"});
  // A reversed range whose bounds share their first characters is exchanged like any other.
  add("StockByInventory_ReversedInventoryRange",
      {.kind = K::kStockByInventory, .from = kApr, .to = kSep})
      .complete = InventoryRange(20, true);
  add("Position_ReversedPositionRange",
      {.kind = K::kPosition, .from = kApr, .to = kSep, .position_from = "01A03"})
      .query.position_to = "01A01";
  add("Position_BatchPrefix", {.kind = K::kPosition, .from = kApr, .to = kSep, .batch = "B2503"});
  add("StockByInventory_InvStd", {.kind = K::kStockByInventory, .from = kApr, .to = kSep})
      .complete = FirstInvStd;
  return cases;
}

class LedgerProofTest : public ::testing::TestWithParam<ProofCase> {};

TEST_P(LedgerProofTest, FiguresMatchTheReferenceLedger) {
  ProofCase c = GetParam();
  if (auto reason = DemoEngineUnavailable(c.engine)) GTEST_SKIP() << *reason;
  const DemoFiles& proof = Proof();
  if (c.complete) c.complete(proof.company, c.query);
  if (c.user != "demo") c.query.rights = proof.model.RightsOf(c.user);
  if (c.user == "clerk") {
    const LedgerRights& r = c.query.rights;
    ASSERT_TRUE(r.inventory_ids && r.warehouses && r.departments && r.makers && r.positions)
        << "clerk is to be restricted in every kind";
  }
  size_t rows = proof.model.Summary(c.query).size();
  if (c.expect_rows) {
    ASSERT_GT(rows, 0u) << "the case selects nothing";
  }
  // Every row, or every k-th row of the component's order.
  const size_t stride = rows <= c.details ? 1 : (rows + c.details - 1) / c.details;
  LedgerCheck check =
      CheckLedger(*InitComponent(Connection(c.engine), c.user), proof.model, c.query,
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
    std::string text;
    for (const std::string& name : RecordsetFields(rs)) text += " " + name;
    return text;
  };
  for (DemoEngine engine :
       {DemoEngine::kEmbedded, DemoEngine::kSqliteOdbc, DemoEngine::kSqlServer}) {
    if (DemoEngineUnavailable(engine)) continue;
    for (K kind : kKinds) {
      SCOPED_TRACE(KindName(kind) + " on " + DemoEngineName(engine));
      auto component = InitComponent(Connection(engine));
      std::string xml = ConditionDocument({.kind = kind,
                                           .from = "2025-04-01",
                                           .to = "2025-06-30",
                                           .free_items = {{1, ""}, {3, ""}}});
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
