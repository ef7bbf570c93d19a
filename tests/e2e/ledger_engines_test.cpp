// The inventory ledger end to end on every engine: IClsKCZT initialised on the demo company and
// asked for summaries (OpenX) and details (OpenPage) of the three ledger kinds, through the
// embedded engine, through the ODBC engine with the SQLite ODBC driver, and on a real SQL Server
// when Q9STREP_TEST_MSSQL names one. Every figure is compared with the reference ledger, computed
// in C++ over the generated records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "support/demo_engine.h"
#include "support/odbc_drivers.h"
#include "support/reference_ledger.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::Variant;

const bool kOdbcDrivers = RegisterTestOdbcDrivers();

std::optional<std::string> TextOrNull(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  return v.ConcatText();
}

std::optional<double> NumberOrNull(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  return v.ToDouble();
}

std::string Show(const std::optional<std::string>& s) { return s ? "'" + *s + "'" : "NULL"; }

std::string Show(const std::optional<double>& d) {
  return d ? platform::FormatNumber(*d) : std::string("NULL");
}

std::string KeyOf(const SummaryRow& r) {
  return Show(r.cWhCode) + "|" + Show(r.cPosCode) + "|" + r.cInvCode + "|" + Show(r.cBatch);
}

// Sums may add in another order on another engine; the generated quantities are multiples of
// 0.25, so only the auxiliary-unit divisions leave anything to round.
bool Near(const std::optional<double>& a, const std::optional<double>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return std::fabs(*a - *b) <= 1e-9 * std::max(1.0, std::fabs(*b));
}

struct Case {
  const char* name;
  LedgerQuery query;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  LedgerQuery q;
  q.kind = LedgerKind::kStockByInventory;
  q.from = "2025-03-01";
  q.to = "2025-12-31";
  cases.push_back({"stock by inventory, March to December", q});
  q.audit_dates = true;
  q.audited_only = true;
  q.standard = SelectionStandard::kWithActivity;
  cases.push_back({"stock by inventory, audit dates, with activity", q});
  q = {};
  q.kind = LedgerKind::kStockByBatch;
  q.from = "2025-01-01";
  q.to = "2026-06-30";
  cases.push_back({"stock by batch, whole range", q});
  q = {};
  q.kind = LedgerKind::kPosition;
  q.from = "2025-02-01";
  q.to = "2025-08-31";
  cases.push_back({"position ledger, February to August", q});
  return cases;
}

class LedgerOnEnginesTest : public ::testing::TestWithParam<DemoEngine> {
 protected:
  static void SetUpTestSuite() {
    platform::erp::RegisterErpSubstitutes();
    dir_ = new TempDir();
    company_ = new demo::DemoCompany(demo::GenerateCompany({20261206, 1000}));
    demo::WriteCompany(*company_, dir_->File("company.db"), dir_->File("system.db"));
    reference_ = new ReferenceLedger(*company_, demo::kDemoAccount, demo::kDemoLoginYear);
  }
  static void TearDownTestSuite() {
    delete reference_;
    delete company_;
    delete dir_;
  }

  void SetUp() override {
    if (auto reason = DemoEngineUnavailable(GetParam())) GTEST_SKIP() << *reason;
    std::string cs = DemoConnectionString(GetParam(), *company_, dir_->File("company.db"),
                                          dir_->File("system.db"));
    std::string msg;
    ASSERT_TRUE(component_.Init(Variant(platform::erp::MakeCallerLogin(
                                    cs, "demo", demo::kDemoAccount, demo::kDemoLoginYear)),
                                &msg))
        << msg;
  }

  std::vector<SummaryRow> SummaryOf(const Variant& rs, LedgerKind kind) {
    std::vector<SummaryRow> rows;
    auto r = platform::db::AsRecordset(rs, "Rs1")->Clone();
    for (r->MoveFirst(); !r->Eof(); r->MoveNext()) {
      SummaryRow row;
      if (kind == LedgerKind::kPosition) {
        row.cWhCode = TextOrNull(r->Field("cWhCode"));
        row.cPosCode = TextOrNull(r->Field("cPosCode"));
      }
      row.cInvCode = r->Field("cInvCode").ConcatText();
      if (kind != LedgerKind::kStockByInventory) row.cBatch = TextOrNull(r->Field("cBatch"));
      row.iBeginQtty = r->Field("iBeginQtty").ToDouble();
      row.iBeginNum = NumberOrNull(r->Field("iBeginNum"));
      rows.push_back(row);
    }
    return rows;
  }

  std::vector<DetailLine> DetailOf(const Variant& rs, const LedgerQuery& query) {
    std::vector<DetailLine> lines;
    auto r = platform::db::AsRecordset(rs, "Rs2")->Clone();
    bool position = query.kind == LedgerKind::kPosition;
    for (r->MoveFirst(); !r->Eof(); r->MoveNext()) {
      DetailLine d;
      auto id = [&](const char* name) -> std::optional<int64_t> {
        Variant v = r->Field(name);
        if (v.is_null()) return std::nullopt;
        return v.ToI4();
      };
      d.ID = id("ID");
      d.AutoID = id(position ? "RdsID" : "AutoID");
      if (position) d.AutoId = id("AutoId");
      Variant date = r->Field(!position && query.audit_dates ? "dVeriDate" : "dDate");
      d.order_date = date.is_null() ? "" : date.ToDate().ToIsoDate();
      d.order_id = position ? d.AutoId.value_or(0) : d.ID.value_or(0);
      d.iInQtty = NumberOrNull(r->Field("iInQtty"));
      d.iInNum = NumberOrNull(r->Field("iInNum"));
      d.iOutQtty = NumberOrNull(r->Field("iOutQtty"));
      d.iOutNum = NumberOrNull(r->Field("iOutNum"));
      lines.push_back(d);
    }
    return lines;
  }

  static TempDir* dir_;
  static demo::DemoCompany* company_;
  static ReferenceLedger* reference_;
  IClsKCZT component_;
};

TempDir* LedgerOnEnginesTest::dir_ = nullptr;
demo::DemoCompany* LedgerOnEnginesTest::company_ = nullptr;
ReferenceLedger* LedgerOnEnginesTest::reference_ = nullptr;

TEST_P(LedgerOnEnginesTest, SummariesAndDetailsMatchTheReference) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const LedgerQuery& q = c.query;
    std::string xml = ConditionDocument(q);
    int16_t kind = static_cast<int16_t>(q.kind);
    Variant rs1, msg;
    ASSERT_TRUE(component_.OpenX(xml, rs1, kind, &msg)) << msg.ConcatText();

    std::vector<SummaryRow> expected = reference_->Summary(q);
    std::vector<SummaryRow> actual = SummaryOf(rs1, q.kind);
    ASSERT_GT(expected.size(), 5u);
    auto by_key = [](const SummaryRow& a, const SummaryRow& b) { return KeyOf(a) < KeyOf(b); };
    std::sort(expected.begin(), expected.end(), by_key);
    std::vector<SummaryRow> sorted = actual;
    std::sort(sorted.begin(), sorted.end(), by_key);
    ASSERT_EQ(sorted.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(KeyOf(sorted[i]), KeyOf(expected[i]));
      EXPECT_TRUE(Near(sorted[i].iBeginQtty, expected[i].iBeginQtty))
          << KeyOf(expected[i]) << ": " << sorted[i].iBeginQtty << " vs " << expected[i].iBeginQtty;
      EXPECT_TRUE(Near(sorted[i].iBeginNum, expected[i].iBeginNum))
          << KeyOf(expected[i]) << ": " << Show(sorted[i].iBeginNum) << " vs "
          << Show(expected[i].iBeginNum);
    }

    // The details of the first, a middle and the last summary row, by their position in Rs1.
    for (size_t position : {size_t{1}, actual.size() / 2 + 1, actual.size()}) {
      Variant rs2, page_msg, at(static_cast<int16_t>(position));
      ASSERT_TRUE(component_.OpenPage(xml, rs1, rs2, kind, &page_msg, &at))
          << page_msg.ConcatText();
      std::vector<DetailLine> lines = DetailOf(rs2, q);
      // The statement orders by date and document (or record); within that nothing is fixed.
      EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
        return std::tie(a.order_date, a.order_id) < std::tie(b.order_date, b.order_id);
      }));
      NormalizeDetailOrder(lines);
      std::vector<DetailLine> want = reference_->Detail(q, actual[position - 1]);
      std::string row = KeyOf(actual[position - 1]);
      ASSERT_EQ(lines.size(), want.size()) << row;
      for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lines[i].ID, want[i].ID) << row << " line " << i;
        EXPECT_EQ(lines[i].AutoID, want[i].AutoID) << row << " line " << i;
        EXPECT_EQ(lines[i].AutoId, want[i].AutoId) << row << " line " << i;
        EXPECT_EQ(lines[i].order_date, want[i].order_date) << row << " line " << i;
        EXPECT_TRUE(
            Near(lines[i].iInQtty, want[i].iInQtty) && Near(lines[i].iOutQtty, want[i].iOutQtty) &&
            Near(lines[i].iInNum, want[i].iInNum) && Near(lines[i].iOutNum, want[i].iOutNum))
            << row << " line " << i << ": in " << Show(lines[i].iInQtty) << "/"
            << Show(lines[i].iInNum) << " out " << Show(lines[i].iOutQtty) << "/"
            << Show(lines[i].iOutNum) << " vs in " << Show(want[i].iInQtty) << "/"
            << Show(want[i].iInNum) << " out " << Show(want[i].iOutQtty) << "/"
            << Show(want[i].iOutNum);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, LedgerOnEnginesTest,
                         ::testing::Values(DemoEngine::kEmbedded, DemoEngine::kSqliteOdbc,
                                           DemoEngine::kSqlServer),
                         [](const auto& info) { return DemoEngineName(info.param); });

}  // namespace
}  // namespace q9::testing
