// The ledger's figures on a generated company, checked against the reference ledger.
//
// One demo company (fixed seed, kProofLines document lines) is generated and written once per
// run of this binary. Every case then runs the component as a front end does: the ERP
// substitutes, Init with a caller login on the embedded engine, OpenX with the condition
// document of a LedgerQuery, and OpenPage with the same document for the summary rows. The
// summary is compared whole (keys, iBeginQtty, iBeginNum; no row missing, none extra); the
// details of every row when the summary is small, else of every k-th row (kDetailsPerCase
// bounds the OpenPage calls of one case). The reference ledger computes the same figures in
// plain C++ over the generated records, never with the statements' SQL.
//
// The cases run on the embedded engine, again through the ODBC engine with the SQLite ODBC
// driver, and a third time on SQL Server when Q9STREP_TEST_MSSQL names one (skipped with the
// reason otherwise); the company and the model are the same for all three.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "platform/variant.h"
#include "support/demo_engine.h"
#include "support/odbc_drivers.h"
#include "support/reference_ledger.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

using platform::Variant;
namespace db = platform::db;

constexpr int64_t kProofLines = 5000;
constexpr uint64_t kProofSeed = 20261206;
// OpenPage calls per case at most; larger summaries are sampled every k-th row. Keeps the
// binary within a minute under the sanitizers.
constexpr size_t kDetailsPerCase = 50;
constexpr size_t kEveryRow = static_cast<size_t>(-1);
// Failures reported per case before the rest are only counted.
constexpr int kReportedDifferences = 8;
constexpr char kNoData[] = "没有符合条件的数据！";

const bool kOdbcDrivers = RegisterTestOdbcDrivers();

// ---- the shared company ----------------------------------------------------------------

struct ProofCompany {
  TempDir dir;
  demo::DemoCompany company;
  std::unique_ptr<ReferenceLedger> model;
  std::string connection;
};

std::unique_ptr<ProofCompany> WriteProofCompany(demo::DemoCompany company) {
  auto proof = std::make_unique<ProofCompany>();
  proof->company = std::move(company);
  std::string company_db = proof->dir.File("company.db");
  std::string system_db = proof->dir.File("system.db");
  demo::WriteCompany(proof->company, company_db, system_db);
  proof->connection = demo::EmbeddedConnectionString(company_db, system_db);
  proof->model =
      std::make_unique<ReferenceLedger>(proof->company, demo::kDemoAccount, demo::kDemoLoginYear);
  return proof;
}

const ProofCompany& SharedCompany() {
  static const std::unique_ptr<ProofCompany> proof =
      WriteProofCompany(demo::GenerateCompany({kProofSeed, kProofLines}));
  return *proof;
}

// The shared company's connection string on `engine` (SQL Server is filled once per run).
const std::string& SharedConnection(DemoEngine engine) {
  static std::map<DemoEngine, std::string> connections;
  auto it = connections.find(engine);
  if (it == connections.end()) {
    const ProofCompany& proof = SharedCompany();
    std::string cs = engine == DemoEngine::kEmbedded
                         ? proof.connection
                         : DemoConnectionString(engine, proof.company, proof.dir.File("company.db"),
                                                proof.dir.File("system.db"));
    it = connections.emplace(engine, std::move(cs)).first;
  }
  return it->second;
}

// ---- reading the component's recordsets ------------------------------------------------------

std::optional<std::string> OptText(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  return v.ToText();
}

std::optional<double> OptNumber(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  return v.ToDouble();
}

std::optional<int64_t> OptId(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  return static_cast<int64_t>(v.ToDouble());
}

std::optional<std::string> OptIsoDate(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  if (v.type() == platform::VarType::Date) return v.ToDate().ToIsoDate();
  auto date = platform::Date::Parse(v.ToText());
  return date ? std::optional<std::string>(date->ToIsoDate()) : v.ToText();
}

class Table {
 public:
  explicit Table(const Variant& rs) : rs_(db::AsRecordset(rs, "recordset")), rows_(*rs_->rows()) {}
  size_t size() const { return rows_.row_count(); }
  const std::vector<std::string>& columns() const { return rows_.columns(); }
  Variant At(size_t row, const std::string& column) const {
    auto col = rows_.FindColumn(column);
    if (!col) throw std::runtime_error("no column " + column);
    return rows_.Value(row, *col);
  }

 private:
  std::shared_ptr<db::Recordset> rs_;
  const db::RowSet& rows_;
};

bool IsPosition(const LedgerQuery& q) { return q.kind == LedgerKind::kPosition; }

SummaryRow ReadSummaryRow(const Table& t, size_t i, const LedgerQuery& q) {
  SummaryRow row;
  if (IsPosition(q)) {
    row.cWhCode = OptText(t.At(i, "cWhCode"));
    row.cPosCode = OptText(t.At(i, "cPosCode"));
  }
  row.cInvCode = t.At(i, "cInvCode").ToText();
  if (q.kind != LedgerKind::kStockByInventory) row.cBatch = OptText(t.At(i, "cBatch"));
  for (const ShownFreeItem& item : q.free_items) {
    row.free_values.push_back(OptText(t.At(i, "cFree" + std::to_string(item.number))));
  }
  row.iBeginQtty = t.At(i, "iBeginQtty").ToDouble();
  row.iBeginNum = OptNumber(t.At(i, "iBeginNum"));
  return row;
}

std::vector<DetailLine> ReadDetail(const Table& t, const LedgerQuery& q) {
  std::vector<DetailLine> lines;
  for (size_t i = 0; i < t.size(); ++i) {
    DetailLine d;
    d.ID = OptId(t.At(i, "ID"));
    if (IsPosition(q)) {
      d.AutoID = OptId(t.At(i, "RdsID"));
      d.AutoId = OptId(t.At(i, "AutoId"));
      d.order_date = OptIsoDate(t.At(i, "dDate")).value_or("");
      d.order_id = d.AutoId.value_or(0);
    } else {
      d.AutoID = OptId(t.At(i, "AutoID"));
      d.order_date = OptIsoDate(t.At(i, q.audit_dates ? "dVeriDate" : "dDate")).value_or("");
      d.order_id = d.ID.value_or(0);
    }
    d.iInQtty = OptNumber(t.At(i, "iInQtty"));
    d.iInNum = OptNumber(t.At(i, "iInNum"));
    d.iOutQtty = OptNumber(t.At(i, "iOutQtty"));
    d.iOutNum = OptNumber(t.At(i, "iOutNum"));
    lines.push_back(d);
  }
  return lines;
}

// ---- comparing ----------------------------------------------------------------------------

using RowKey = std::tuple<std::optional<std::string>, std::optional<std::string>, std::string,
                          std::optional<std::string>, std::vector<std::optional<std::string>>>;

RowKey KeyOf(const SummaryRow& r) {
  return {r.cWhCode, r.cPosCode, r.cInvCode, r.cBatch, r.free_values};
}

std::string Show(const std::optional<std::string>& v) { return v ? "'" + *v + "'" : "NULL"; }

std::string Show(const std::optional<double>& v) {
  if (!v) return "NULL";
  std::ostringstream out;
  out.precision(17);
  out << *v;
  return out.str();
}

std::string Show(const std::optional<int64_t>& v) { return v ? std::to_string(*v) : "NULL"; }

std::string ShowKey(const SummaryRow& r) {
  std::string text;
  if (r.cWhCode || r.cPosCode) text += Show(r.cWhCode) + "/" + Show(r.cPosCode) + "/";
  text += r.cInvCode;
  if (r.cBatch) text += "/batch " + Show(r.cBatch);
  for (const auto& f : r.free_values) text += "/free " + Show(f);
  return text;
}

std::string Show(const SummaryRow& r) {
  return ShowKey(r) + " qtty " + Show(std::optional<double>(r.iBeginQtty)) + " num " +
         Show(r.iBeginNum);
}

std::string Show(const DetailLine& d) {
  return "ID " + Show(d.ID) + " line " + Show(d.AutoID) + " record " + Show(d.AutoId) + " date " +
         d.order_date + " in " + Show(d.iInQtty) + "/" + Show(d.iInNum) + " out " +
         Show(d.iOutQtty) + "/" + Show(d.iOutNum);
}

// Quantities are multiples of 0.25 and add up exactly; numbers of fixed-rate units are
// quotients, summed in another order by the database.
bool SameNumber(const std::optional<double>& a, const std::optional<double>& b) {
  if (!a || !b) return !a && !b;
  return std::fabs(*a - *b) <= 1e-9 * std::max({1.0, std::fabs(*a), std::fabs(*b)});
}

bool SameLine(const DetailLine& a, const DetailLine& b) {
  return a.ID == b.ID && a.AutoID == b.AutoID && a.AutoId == b.AutoId &&
         a.order_date == b.order_date && a.iInQtty == b.iInQtty && a.iOutQtty == b.iOutQtty &&
         SameNumber(a.iInNum, b.iInNum) && SameNumber(a.iOutNum, b.iOutNum);
}

// Counts differences and reports the first few of them as failures.
class Differences {
 public:
  void Add(const std::string& text) {
    if (++count_ <= kReportedDifferences) ADD_FAILURE() << text;
  }
  int count() const { return count_; }

 private:
  int count_ = 0;
};

// ---- running the component -------------------------------------------------------------------

struct CaseStats {
  size_t summary_rows = 0;
  size_t details_opened = 0;
  size_t detail_lines = 0;
};

class Component {
 public:
  Component(const std::string& connection, const std::string& user) {
    platform::erp::RegisterErpSubstitutes();
    std::string msg;
    initialized_ = k_.Init(Variant(platform::erp::MakeCallerLogin(
                               connection, user, demo::kDemoAccount, demo::kDemoLoginYear)),
                           &msg);
    EXPECT_TRUE(initialized_) << msg;
  }
  bool initialized() const { return initialized_; }
  component::IClsKCZT& operator*() { return k_; }
  component::IClsKCZT* operator->() { return &k_; }

 private:
  component::IClsKCZT k_;
  bool initialized_ = false;
};

// Runs OpenX and OpenPage for `q` as `user` on `connection` (the proof's company on some engine)
// and compares everything with the model.
CaseStats ProveLedger(const ProofCompany& proof, const std::string& connection,
                      const std::string& user, const LedgerQuery& q,
                      size_t details_per_case = kDetailsPerCase) {
  CaseStats stats;
  Component k(connection, user);
  if (!k.initialized()) return stats;
  const std::string xml = ConditionDocument(q);
  const auto kind = static_cast<int16_t>(q.kind);
  std::vector<SummaryRow> want = proof.model->Summary(q);

  Variant rs1("untouched");
  Variant msg("before");
  bool opened = k->OpenX(xml, rs1, kind, &msg);
  if (want.empty()) {
    EXPECT_FALSE(opened) << "the model has no row";
    EXPECT_EQ(msg, Variant(kNoData));
    EXPECT_EQ(rs1, Variant("untouched"));
    return stats;
  }
  EXPECT_TRUE(opened) << "the model has " << want.size() << " rows; message " << msg.ConcatText();
  if (!opened) return stats;
  EXPECT_EQ(msg, Variant("before"));

  Table summary(rs1);
  stats.summary_rows = summary.size();
  std::map<RowKey, size_t> want_by_key;
  for (size_t i = 0; i < want.size(); ++i) want_by_key[KeyOf(want[i])] = i;
  std::vector<SummaryRow> got;
  std::set<RowKey> seen;
  Differences diff;
  for (size_t i = 0; i < summary.size(); ++i) {
    got.push_back(ReadSummaryRow(summary, i, q));
    const SummaryRow& row = got.back();
    if (!seen.insert(KeyOf(row)).second) diff.Add("summary row twice: " + ShowKey(row));
    auto it = want_by_key.find(KeyOf(row));
    if (it == want_by_key.end()) {
      diff.Add("summary row the model does not have: " + Show(row));
      continue;
    }
    const SummaryRow& w = want[it->second];
    if (row.iBeginQtty != w.iBeginQtty || !SameNumber(row.iBeginNum, w.iBeginNum)) {
      diff.Add("summary row " + ShowKey(row) + ": component " + Show(row) + ", model " + Show(w));
    }
  }
  for (const SummaryRow& w : want) {
    if (!seen.count(KeyOf(w))) diff.Add("summary row missing: " + Show(w));
  }
  EXPECT_EQ(diff.count(), 0) << "summary differences (" << got.size() << " rows, model "
                             << want.size() << ")";

  // Details: every row, or every k-th row of the component's order.
  size_t stride =
      got.size() <= details_per_case ? 1 : (got.size() + details_per_case - 1) / details_per_case;
  Differences detail_diff;
  for (size_t i = 0; i < got.size(); i += stride) {
    auto it = want_by_key.find(KeyOf(got[i]));
    if (it == want_by_key.end()) continue;  // reported above
    Variant rs2("untouched");
    Variant page_msg("before");
    Variant position(static_cast<int32_t>(i + 1));
    bool paged = k->OpenPage(xml, rs1, rs2, kind, &page_msg, &position);
    EXPECT_TRUE(paged) << ShowKey(got[i]) << ": " << page_msg.ConcatText();
    if (!paged) continue;
    EXPECT_EQ(page_msg, Variant("before"));
    ++stats.details_opened;
    std::vector<DetailLine> lines = ReadDetail(Table(rs2), q);
    stats.detail_lines += lines.size();
    for (size_t n = 1; n < lines.size(); ++n) {
      if (std::tie(lines[n].order_date, lines[n].order_id) <
          std::tie(lines[n - 1].order_date, lines[n - 1].order_id)) {
        detail_diff.Add("detail of " + ShowKey(got[i]) + " out of order: " + Show(lines[n - 1]) +
                        " before " + Show(lines[n]));
      }
    }
    NormalizeDetailOrder(lines);
    std::vector<DetailLine> expected = proof.model->Detail(q, want[it->second]);
    size_t common = std::min(lines.size(), expected.size());
    for (size_t n = 0; n < common; ++n) {
      if (!SameLine(lines[n], expected[n])) {
        detail_diff.Add("detail of " + ShowKey(got[i]) + ", line " + std::to_string(n) +
                        ": component " + Show(lines[n]) + ", model " + Show(expected[n]));
      }
    }
    for (size_t n = common; n < lines.size(); ++n) {
      detail_diff.Add("detail of " + ShowKey(got[i]) + ": extra line " + Show(lines[n]));
    }
    for (size_t n = common; n < expected.size(); ++n) {
      detail_diff.Add("detail of " + ShowKey(got[i]) + ": missing line " + Show(expected[n]));
    }
  }
  EXPECT_EQ(detail_diff.count(), 0) << "detail differences";
  return stats;
}

// ---- the cases ------------------------------------------------------------------------------

struct ProofCase {
  std::string name;
  std::string user = "demo";
  LedgerQuery query;
  // Fills values taken from the generated records (a batch, an inventory range).
  std::function<void(const demo::DemoCompany&, LedgerQuery&)> complete;
  // The model must give at least one summary row and (when true) one detail line in the sample.
  bool expect_rows = true;
  bool expect_lines = true;
  size_t details = kDetailsPerCase;
  DemoEngine engine = DemoEngine::kEmbedded;
};

LedgerQuery Query(LedgerKind kind, std::string from, std::string to) {
  LedgerQuery q;
  q.kind = kind;
  q.from = std::move(from);
  q.to = std::move(to);
  return q;
}

std::string KindName(LedgerKind kind) {
  switch (kind) {
    case LedgerKind::kStockByInventory:
      return "StockByInventory";
    case LedgerKind::kStockByBatch:
      return "StockByBatch";
    case LedgerKind::kPosition:
      return "Position";
  }
  return "Kind";
}

std::string StandardName(SelectionStandard standard) {
  switch (standard) {
    case SelectionStandard::kAll:
      return "All";
    case SelectionStandard::kWithActivity:
      return "WithActivity";
    case SelectionStandard::kWithoutActivity:
      return "WithoutActivity";
    case SelectionStandard::kReceivedNotIssued:
      return "ReceivedNotIssued";
    case SelectionStandard::kIssuedNotReceived:
      return "IssuedNotReceived";
  }
  return "Standard";
}

constexpr LedgerKind kKinds[] = {LedgerKind::kStockByInventory, LedgerKind::kStockByBatch,
                                 LedgerKind::kPosition};

// The three kinds, document and audit dates (the position ledger reads record dates either
// way), the five selection standards. A quarter for the standards that keep rows with
// activity, one month for those that need rows without receipts or issues.
std::vector<ProofCase> StandardCases() {
  std::vector<ProofCase> cases;
  for (LedgerKind kind : kKinds) {
    for (bool audit : {false, true}) {
      for (SelectionStandard standard :
           {SelectionStandard::kAll, SelectionStandard::kWithActivity,
            SelectionStandard::kWithoutActivity, SelectionStandard::kReceivedNotIssued,
            SelectionStandard::kIssuedNotReceived}) {
        bool quarter =
            standard == SelectionStandard::kAll || standard == SelectionStandard::kWithActivity;
        ProofCase c;
        c.name =
            KindName(kind) + (audit ? "_AuditDates_" : "_DocumentDates_") + StandardName(standard);
        c.query = Query(kind, quarter ? "2025-04-01" : "2025-06-01", "2025-06-30");
        c.query.audit_dates = audit;
        c.query.standard = standard;
        // Rows without activity have nothing to list in the range.
        c.expect_lines = standard != SelectionStandard::kWithoutActivity;
        // The widest case of each kind lists the detail of every row.
        if (!audit && standard == SelectionStandard::kAll) c.details = kEveryRow;
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

std::vector<ProofCase> OtherCases() {
  using Completion = std::function<void(const demo::DemoCompany&, LedgerQuery&)>;
  std::vector<ProofCase> cases;
  auto add = [&](std::string name, LedgerQuery q, std::string user = "demo",
                 Completion complete = {}) {
    ProofCase c;
    c.name = std::move(name);
    c.query = std::move(q);
    c.user = std::move(user);
    c.complete = std::move(complete);
    cases.push_back(std::move(c));
  };
  for (LedgerKind kind : kKinds) {
    const std::string k = KindName(kind);
    // No bounds: the range starts at the begin of the login year's period of the start month.
    add(k + "_OpenRange", Query(kind, "", ""));
    LedgerQuery unit3 = Query(kind, "2025-07-01", "2025-12-31");
    unit3.aux_unit = 3;  // one fixed-rate group has no unit 3: its numbers are NULL
    add(k + "_AuxiliaryUnit3", unit3);
    add(k + "_RestrictedClerk", Query(kind, "2025-03-01", "2025-08-31"), "clerk");
    LedgerQuery free = Query(kind, "2025-05-01", "2025-10-31");
    free.free_items = {{1, ""}, {2, ""}};
    add(k + "_FreeItems1And2Shown", free);
    LedgerQuery nothing = Query(kind, "2025-01-01", "2026-06-30");
    nothing.inventory_from = "ZZZ";
    nothing.inventory_to = "ZZZ";
    add(k + "_NothingMatches", nothing);
    cases.back().expect_rows = false;
    cases.back().expect_lines = false;
  }

  // Date ranges: from alone (not zero-padded), to alone, reversed, one day.
  add("StockByInventory_FromOnly", Query(LedgerKind::kStockByInventory, "2026-2-1", ""));
  add("Position_ToOnly", Query(LedgerKind::kPosition, "", "2026-3-31"));
  add("StockByBatch_ReversedRange", Query(LedgerKind::kStockByBatch, "2025-09-30", "2025-07-01"));
  LedgerQuery day = Query(LedgerKind::kStockByInventory, "2025-05-15", "2025-05-15");
  add("StockByInventory_OneDay", day);
  cases.back().details = kEveryRow;  // a day lists a handful of lines
  LedgerQuery day_audit = Query(LedgerKind::kStockByBatch, "2026-06-01", "2026-06-30");
  day_audit.audit_dates = true;  // the last month holds most unaudited documents
  add("StockByBatch_AuditDatesLastMonth", day_audit);

  LedgerQuery unit1 = Query(LedgerKind::kStockByInventory, "2025-07-01", "2025-12-31");
  unit1.aux_unit = 1;
  add("StockByInventory_AuxiliaryUnit1", unit1);

  add("StockByInventory_Auditor", Query(LedgerKind::kStockByInventory, "2025-06-01", ""),
      "auditor");
  add("Position_Auditor", Query(LedgerKind::kPosition, "2025-06-01", ""), "auditor");

  LedgerQuery audited = Query(LedgerKind::kStockByInventory, "2026-04-01", "2026-06-30");
  audited.audited_only = true;
  add("StockByInventory_AuditedOnly", audited);

  // Free items with a prefix: the summary filters on it; free item 3 (spare parts).
  LedgerQuery red = Query(LedgerKind::kPosition, "2025-05-01", "2025-10-31");
  red.free_items = {{1, "红"}, {2, ""}};
  add("Position_FreeItem1PrefixShown", red);
  LedgerQuery sizes = Query(LedgerKind::kStockByInventory, "2025-05-01", "2025-10-31");
  sizes.free_items = {{2, "X"}};
  add("StockByInventory_FreeItem2Prefix", sizes);
  LedgerQuery material = Query(LedgerKind::kStockByBatch, "2025-01-01", "2026-06-30");
  material.free_items = {{3, ""}};
  add("StockByBatch_FreeItem3Shown", material);

  // Filters.
  LedgerQuery wh = Query(LedgerKind::kStockByInventory, "2025-04-01", "2025-09-30");
  wh.warehouses = {"02"};
  add("StockByInventory_Warehouse", wh);
  LedgerQuery wh_pos = Query(LedgerKind::kPosition, "2025-04-01", "2025-09-30");
  wh_pos.warehouses = {"04"};
  add("Position_Warehouse", wh_pos);
  LedgerQuery cls = Query(LedgerKind::kStockByInventory, "2025-04-01", "2025-09-30");
  cls.class_prefix = "0402";
  add("StockByInventory_ClassPrefix", cls);
  LedgerQuery cls_pos = Query(LedgerKind::kPosition, "2025-04-01", "2025-09-30");
  cls_pos.class_prefix = "01";
  add("Position_ClassPrefix", cls_pos);
  Completion inventory_range = [](const demo::DemoCompany& c, LedgerQuery& q) {
    std::string a = c.inventories[c.inventories.size() / 4].cInvCode;
    std::string b = c.inventories[c.inventories.size() / 2].cInvCode;
    q.inventory_from = std::min(a, b);
    q.inventory_to = std::max(a, b);
  };
  add("StockByBatch_InventoryRange", Query(LedgerKind::kStockByBatch, "2025-04-01", "2025-09-30"),
      "demo", inventory_range);
  add("Position_InventoryRange", Query(LedgerKind::kPosition, "2025-04-01", "2025-09-30"), "demo",
      inventory_range);
  // A reversed range whose bounds share their first characters is exchanged like any other.
  Completion reversed_range = [](const demo::DemoCompany& c, LedgerQuery& q) {
    std::string a = c.inventories[c.inventories.size() / 4].cInvCode;
    std::string b = c.inventories[c.inventories.size() / 4 + 20].cInvCode;
    q.inventory_from = std::max(a, b);
    q.inventory_to = std::min(a, b);
  };
  add("StockByInventory_ReversedInventoryRange",
      Query(LedgerKind::kStockByInventory, "2025-04-01", "2025-09-30"), "demo", reversed_range);
  LedgerQuery positions_reversed = Query(LedgerKind::kPosition, "2025-04-01", "2025-09-30");
  positions_reversed.position_from = "01A03";
  positions_reversed.position_to = "01A01";
  add("Position_ReversedPositionRange", positions_reversed);
  Completion busiest_batch = [](const demo::DemoCompany& c, LedgerQuery& q) {
    q.batch = BusiestBatch(c);
  };
  add("StockByBatch_Batch", Query(LedgerKind::kStockByBatch, "2025-01-01", "2026-06-30"), "demo",
      busiest_batch);
  add("StockByInventory_Batch", Query(LedgerKind::kStockByInventory, "2025-01-01", "2026-06-30"),
      "demo", busiest_batch);
  LedgerQuery batch_prefix = Query(LedgerKind::kPosition, "2025-04-01", "2025-09-30");
  batch_prefix.batch = "B2503";
  add("Position_BatchPrefix", batch_prefix);
  LedgerQuery positions = Query(LedgerKind::kPosition, "2025-04-01", "2025-09-30");
  positions.position_from = "01A01";
  positions.position_to = "01A03";
  add("Position_PositionRange", positions);
  add("StockByInventory_InvStd", Query(LedgerKind::kStockByInventory, "2025-04-01", "2025-09-30"),
      "demo", [](const demo::DemoCompany& c, LedgerQuery& q) {
        for (const auto& inv : c.inventories) {
          if (inv.cInvStd) {
            q.inv_std = *inv.cInvStd;
            return;
          }
        }
      });
  return cases;
}

class LedgerProofTest : public ::testing::TestWithParam<ProofCase> {};

TEST_P(LedgerProofTest, FiguresMatchTheReferenceLedger) {
  ProofCase c = GetParam();
  if (auto reason = DemoEngineUnavailable(c.engine)) GTEST_SKIP() << *reason;
  const ProofCompany& proof = SharedCompany();
  if (c.complete) c.complete(proof.company, c.query);
  if (c.user != "demo") c.query.rights = proof.model->RightsOf(c.user);
  if (c.user == "clerk") {
    const LedgerRights& r = c.query.rights;
    ASSERT_TRUE(r.inventory_ids && r.warehouses && r.departments && r.makers && r.positions)
        << "clerk is to be restricted in every kind";
  }
  if (c.expect_rows) {
    ASSERT_FALSE(proof.model->Summary(c.query).empty()) << "the case selects nothing";
  }
  CaseStats stats = ProveLedger(proof, SharedConnection(c.engine), c.user, c.query, c.details);
  if (c.expect_lines) {
    EXPECT_GT(stats.detail_lines, 0u) << "no detail line was compared";
  }
  RecordProperty("summary_rows", std::to_string(stats.summary_rows));
  RecordProperty("details_opened", std::to_string(stats.details_opened));
  RecordProperty("detail_lines", std::to_string(stats.detail_lines));
  if (HasFailure()) ADD_FAILURE() << "condition document: " << ConditionDocument(c.query);
}

void PrintTo(const ProofCase& c, std::ostream* out) { *out << c.name; }

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

// ---- codes with a quote ----------------------------------------------------------------------

// The codes of one storage row (warehouse, position, inventory, batch) given a quote each, and
// the colour 红 of free item 1 as well.
struct QuotedCodes {
  std::string warehouse, position, inventory, batch, colour;
};

void RenameText(std::string& text, const std::string& from, const std::string& to) {
  if (text == from) text = to;
}

void RenameText(std::optional<std::string>& text, const std::string& from, const std::string& to) {
  if (text && *text == from) text = to;
}

void RenameFree(demo::NumberedValues& free, const std::string& from, const std::string& to) {
  const std::string* text = free.Text(1);
  if (text && *text == from) free.Set(1, to);
}

// Picks the busiest (warehouse, position, inventory, batch) of the position records whose
// inventory is batch-managed and visible to clerk, and renames its codes everywhere they occur.
QuotedCodes AddQuotes(demo::DemoCompany& c) {
  std::set<std::string> clerk_inventories;
  for (const auto& r : c.data_rights) {
    if (r.cUser_Id == "clerk" && r.cKind == "InvenTory") clerk_inventories.insert(r.cValue);
  }
  std::map<std::string, const demo::InventoryRow*> inventories;
  for (const auto& inv : c.inventories) inventories[inv.cInvCode] = &inv;
  std::map<std::tuple<std::string, std::string, std::string, std::string>, int> uses;
  for (const auto& ip : c.inv_positions) {
    const demo::InventoryRow* inv = inventories[ip.cInvCode];
    if (ip.cWhCode != "01" || !inv || !inv->bInvBatch || !ip.cBatch || ip.cBatch->empty() ||
        !clerk_inventories.count(std::to_string(inv->iId))) {
      continue;
    }
    ++uses[{ip.cWhCode, ip.cPosCode, ip.cInvCode, *ip.cBatch}];
  }
  auto busiest = std::max_element(uses.begin(), uses.end(),
                                  [](const auto& a, const auto& b) { return a.second < b.second; });
  if (busiest == uses.end()) return {};
  auto [wh, pos, inv, batch] = busiest->first;
  QuotedCodes q{"0'1", pos + "'P", inv + "'I", batch + "'B", "红'"};

  for (auto& r : c.inventories) RenameText(r.cInvCode, inv, q.inventory);
  for (auto& r : c.warehouses) RenameText(r.cWhCode, wh, q.warehouse);
  for (auto& r : c.positions) {
    RenameText(r.cWhCode, wh, q.warehouse);
    RenameText(r.cPosCode, pos, q.position);
  }
  for (auto& r : c.rd_records) RenameText(r.cWhCode, wh, q.warehouse);
  for (auto& r : c.rd_lines) {
    RenameText(r.cInvCode, inv, q.inventory);
    RenameText(r.cBatch, batch, q.batch);
    RenameFree(r.cFree, "红", q.colour);
  }
  for (auto& r : c.inv_positions) {
    RenameText(r.cWhCode, wh, q.warehouse);
    RenameText(r.cPosCode, pos, q.position);
    RenameText(r.cInvCode, inv, q.inventory);
    RenameText(r.cBatch, batch, q.batch);
    RenameFree(r.cFree, "红", q.colour);
  }
  for (auto& r : c.adjust_vouchers) RenameText(r.cWhCode, wh, q.warehouse);
  for (auto& r : c.adjust_lines) {
    RenameText(r.cInvCode, inv, q.inventory);
    RenameText(r.cBatch, batch, q.batch);
    RenameText(r.cBPosCode, pos, q.position);
    RenameText(r.cAPosCode, pos, q.position);
    RenameFree(r.cFree, "红", q.colour);
  }
  for (auto& r : c.check_vouchers) RenameText(r.cWhCode, wh, q.warehouse);
  for (auto& r : c.check_lines) {
    RenameText(r.cInvCode, inv, q.inventory);
    RenameText(r.cBatch, batch, q.batch);
    RenameText(r.cPosition, pos, q.position);
    RenameFree(r.cFree, "红", q.colour);
  }
  for (auto& r : c.data_rights) {
    if (r.cKind == "WareHouse") RenameText(r.cValue, wh, q.warehouse);
    if (r.cKind == "position") RenameText(r.cValue, pos, q.position);
  }
  return q;
}

const ProofCompany& QuotedCompany(QuotedCodes* codes) {
  static QuotedCodes quoted;
  static const std::unique_ptr<ProofCompany> proof = [] {
    demo::DemoCompany company = demo::GenerateCompany({kProofSeed + 1, 1500});
    quoted = AddQuotes(company);
    return WriteProofCompany(std::move(company));
  }();
  *codes = quoted;
  return *proof;
}

bool HasQuote(const std::optional<std::string>& text) {
  return text && text->find('\'') != std::string::npos;
}

// Summary row values with a quote go into the detail statements doubled, so such a row lists
// its own lines; the rights lists and the condition builders quote them the same way.
TEST(LedgerProofQuotes, CodesWithAQuoteSelectTheirOwnLines) {
  QuotedCodes codes;
  const ProofCompany& proof = QuotedCompany(&codes);
  ASSERT_FALSE(codes.inventory.empty()) << "no storage row to give quotes to";

  for (LedgerKind kind : kKinds) {
    for (const std::string user : {"demo", "clerk"}) {
      SCOPED_TRACE(KindName(kind) + " as " + user);
      LedgerQuery q = Query(kind, "2025-03-01", "2026-06-30");
      q.free_items = {{1, ""}};
      q.rights = proof.model->RightsOf(user);
      // Every quoted value is a key of some row, and those rows have lines to list.
      std::vector<SummaryRow> rows = proof.model->Summary(q);
      std::map<std::string, size_t> quoted_lines;
      for (const SummaryRow& row : rows) {
        size_t lines = proof.model->Detail(q, row).size();
        if (HasQuote(row.cInvCode)) quoted_lines["inventory"] += lines + 1;
        if (HasQuote(row.cBatch)) quoted_lines["batch"] += lines + 1;
        if (HasQuote(row.cWhCode)) quoted_lines["warehouse"] += lines + 1;
        if (HasQuote(row.cPosCode)) quoted_lines["position"] += lines + 1;
        if (HasQuote(row.free_values[0])) quoted_lines["free item"] += lines + 1;
      }
      std::vector<std::string> keys = {"inventory"};
      if (user == "demo") keys.push_back("free item");  // clerk sees no such row
      if (kind != LedgerKind::kStockByInventory) keys.push_back("batch");
      if (kind == LedgerKind::kPosition) keys.insert(keys.end(), {"warehouse", "position"});
      for (const std::string& key : keys) {
        // Each row adds one more than its lines: more than the row count means lines.
        EXPECT_GT(quoted_lines[key], 1u) << "no row with lines and a quoted " << key;
      }
      ProveLedger(proof, proof.connection, user, q, kEveryRow);
    }
  }

  // Conditions naming the quoted codes.
  LedgerQuery inventory = Query(LedgerKind::kStockByInventory, "2025-03-01", "2026-06-30");
  inventory.inventory_from = inventory.inventory_to = codes.inventory;
  LedgerQuery batch = Query(LedgerKind::kStockByBatch, "2025-03-01", "2026-06-30");
  batch.batch = codes.batch;
  LedgerQuery position = Query(LedgerKind::kPosition, "2025-03-01", "2026-06-30");
  position.warehouses = {codes.warehouse};
  position.position_from = position.position_to = codes.position;
  position.batch = codes.batch.substr(0, codes.batch.size() - 1);  // prefix ending in the quote
  LedgerQuery colour = Query(LedgerKind::kPosition, "2025-03-01", "2026-06-30");
  colour.free_items = {{1, codes.colour}};
  for (const LedgerQuery& q : {inventory, batch, position, colour}) {
    SCOPED_TRACE(ConditionDocument(q));
    ASSERT_FALSE(proof.model->Summary(q).empty());
    CaseStats stats = ProveLedger(proof, proof.connection, "demo", q, kEveryRow);
    EXPECT_GT(stats.detail_lines, 0u);
  }
}

// ---- recordset columns --------------------------------------------------------------------

std::vector<std::string> Names(std::initializer_list<const char*> names) {
  return {names.begin(), names.end()};
}

std::vector<std::string> Numbered(const std::string& stem, int from, int to) {
  std::vector<std::string> names;
  for (int i = from; i <= to; ++i) names.push_back(stem + std::to_string(i));
  return names;
}

template <typename... Lists>
std::vector<std::string> Join(const Lists&... lists) {
  std::vector<std::string> all;
  (all.insert(all.end(), lists.begin(), lists.end()), ...);
  return all;
}

// The front end reads the summary keys back and shows the detail by column name.
TEST(LedgerProofColumns, RecordsetsCarryTheLedgerColumnNames) {
  const auto free_cols = Names({"cFree1", "cFree3"});
  const auto stock_summary_tail =
      Names({"cInvName", "cInvAddCode", "cInvStd", "cInvM_Unit", "cInvA_Unit", "cInvCCode",
             "cInvCName", "iSafeNum", "iTopSum", "iLowSum", "iBeginQtty", "iBeginNum"});
  const auto stock_detail =
      Join(Names({"ID",       "AutoID",    "cVouchType", "cVouchName",   "cWhCode", "cInvCode",
                  "dDate",    "dVeriDate", "YL",         "cBusTypeCode", "cCode",   "ZY4",
                  "ZY5",      "ZY6",       "iChangRate", "iInNum",       "iInQtty", "iOutNum",
                  "iOutQtty", "ZY3",       "ZY2",        "cWhName",      "cMemo"}),
           Numbered("cDefine", 1, 16), Numbered("cDefine", 22, 37), Numbered("cFree", 1, 10),
           Names({"dCheckDate", "cCheckCode", "cCheckPersonName", "cRejectCode"}));
  std::vector<std::string> defines;
  for (int i = 1; i <= 16; ++i) {
    defines.push_back("cDefine" + std::to_string(i));
    defines.push_back("cDefine" + std::to_string(i + 21));
  }
  const auto position_detail =
      Join(Names({"AutoId", "ID", "RdsID", "bRdFlag", "cWhCode", "cPosCode", "cInvCode",
                  "cVouchType", "cVouchName", "cBusType", "cSource", "cBusCode", "cCode", "cRdName",
                  "cCusName", "cVenName", "cPersonName", "cDepName"}),
           defines, Numbered("cFree", 1, 10),
           Names({"dVDate", "cMemo", "cHandler", "dDate", "iChangRate", "iInNum", "iInQtty",
                  "iOutNum", "iOutQtty"}));
  struct Case {
    LedgerKind kind;
    std::vector<std::string> summary;
    std::vector<std::string> detail;
  } cases[] = {
      {LedgerKind::kStockByInventory, Join(Names({"cInvCode"}), stock_summary_tail, free_cols),
       stock_detail},
      {LedgerKind::kStockByBatch,
       Join(Names({"cInvCode", "cBatch"}), stock_summary_tail, free_cols), stock_detail},
      {LedgerKind::kPosition,
       Join(Names({"cWhCode", "cWhName", "cPosCode", "cPosName", "cInvCode", "cInvAddCode",
                   "cInvName", "cInvStd", "cInvCName", "cInvM_Unit", "cInvA_Unit", "iTopSum",
                   "iSafeNum", "iLowSum", "cBatch", "iBeginQtty", "iBeginNum"}),
            free_cols),
       position_detail},
  };
  // A driver names the columns itself: every engine must hand on the statement's names.
  for (DemoEngine engine :
       {DemoEngine::kEmbedded, DemoEngine::kSqliteOdbc, DemoEngine::kSqlServer}) {
    if (DemoEngineUnavailable(engine)) continue;
    for (const Case& c : cases) {
      SCOPED_TRACE(KindName(c.kind) + " on " + DemoEngineName(engine));
      Component k(SharedConnection(engine), "demo");
      LedgerQuery q = Query(c.kind, "2025-04-01", "2025-06-30");
      q.free_items = {{1, ""}, {3, ""}};
      std::string xml = ConditionDocument(q);
      Variant rs1, rs2;
      ASSERT_TRUE(k->OpenX(xml, rs1, static_cast<int16_t>(c.kind)));
      EXPECT_EQ(Table(rs1).columns(), c.summary);
      Variant msg;
      ASSERT_TRUE(k->OpenPage(xml, rs1, rs2, static_cast<int16_t>(c.kind), &msg))
          << msg.ConcatText();
      EXPECT_EQ(Table(rs2).columns(), c.detail);
    }
  }
}

}  // namespace
}  // namespace q9::testing
