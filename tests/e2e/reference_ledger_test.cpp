// The reference ledger on a tiny company whose figures are worked out by hand below.
//
// Warehouses 01 (positions 01A01 = P1, 01A02 = P2) and 02 (no positions). Inventories:
// clang-format off
//   A  type 0, no batch
//   B  type 1 (group 01: unit 1 rate 1, unit 2 rate 12, no unit 3), batch-managed
//   C  type 2 (iNum on lines)
//   D  type 0, no batch
// Documents (stock start 2025-01-01):
//   ID date        kind                 wh dept  maker verified         lines (AutoID: inv qty)
//    1 2024-12-31  opening receipt      01 NULL  张伟  2024-12-31       1: A 100  2: B 24 X1  3: C 10 (iNum 2)
//    2 2024-12-20  receipt, pre-start   01 NULL  张伟  2024-12-20       4: A 7
//    3 2025-01-10  receipt              01 02    李娜  2025-01-12       5: A 50 红  6: B 12 X2  7: B 5 ''
//    4 2025-02-05  issue 11 领料        01 0401  王芳  2025-02-05       8: A 30 红  9: B 6 X1  10: C 4 (iNum 1)
//    5 2025-02-20  issue 11 假退料      01 0401  王芳  2025-02-20      11: A -5
//    6 2025-03-01  receipt, bPuFirst=1  02 02    李娜  2025-03-02      12: A 20
//    7 2025-03-15  issue, unaudited     02 0301  赵磊  NULL, ''        13: A 10  14: B 3 NULL
//    8 2025-02-10  issue 11, no bustype 01 0401  王芳  2025-02-10      15: A 4
//    9 2025-02-05  receipt              02 ''    张伟  2025-03-03      16: A 1 红
//   10 2025-02-25  receipt              01 NULL  孙丽  2025-03-01      17: A 2
//   11 2025-01-20  issue (over-issue)   01 05    王芳  2025-01-20      18: D 3
// clang-format on
// The stock ledger never reads documents 2 (before the start), 5 (notional return) and 8 (type
// 11 with a NULL business type); its detail also leaves out document 6 (bPuFirst).
// Position records (AutoId date flag pos inv batch qty source -> RdsID):
//    1 2024-12-31 in  P1 A NULL 60 NULL -> 1     2 2024-12-31 in  P2 A NULL 40 '' -> 1
//    3 2024-12-31 in  P1 B X1   24      -> 2     4 2024-12-31 in  P1 C NULL 10 (iNum 2) -> 3
//    5 2024-12-20 in  P1 A NULL  7      -> 4     6 2025-01-10 in  P2 A NULL 50 红 -> 5
//    7 2025-01-10 in  P2 B X2   12      -> 6     8 2025-01-10 in  P2 B NULL  5 -> 7
//    9 2025-02-05 out P1 A NULL 30 红   -> 8    10 2025-02-05 out P1 B X1    6 -> 9
//   11 2025-02-05 out P1 C NULL  4 (iNum 1) -> 10
//   12 2025-02-15 out P2 A NULL 20 货位调整 -> adjustment line 1 (AutoID 1, like line 1 above)
//   13 2025-02-15 in  P1 A NULL 20 货位调整 -> adjustment line 1
//   14 2025-03-20 in  P1 A NULL  2 盘点 -> stocktake line 1
//   15 2025-03-05 in  P1 A NULL  3 形态转换 -> 5          (another source: no detail)
//   16 2025-03-06 in  P2 A NULL  1 NULL -> 999            (its line does not exist: no detail)
//   17 2025-02-25 in  P1 A ''    2 '' -> 17, record free item 1 蓝 while line 17 has none, and
//      RdID 4 while line 17 belongs to document 10 (the detail finds the header through the line)
//   18 2025-01-20 out P2 D NULL  3 -> 18
#include "support/reference_ledger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "demo/company.h"
#include "support/ledger_rows.h"

// Designated initializers name the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace q9::testing {
namespace {

using demo::DemoCompany;
using std::nullopt;
using Opt = std::optional<std::string>;

demo::RdRecordRow Doc(int64_t id, const std::string& date, bool receipt, const std::string& type,
                      const std::string& wh, Opt dep, Opt maker, Opt veri, Opt handler) {
  // clang-format off
  return {.ID = id, .bRdFlag = receipt, .cVouchType = type, .cBusType = receipt ? "普通采购" : "领料",
          .cWhCode = wh, .dDate = date, .cDepCode = dep, .cHandler = handler, .cMaker = maker, .dVeriDate = veri};
  // clang-format on
}

demo::RdRecordsRow Line(int64_t auto_id, int64_t id, const std::string& inv, double qty,
                        Opt batch = nullopt, std::optional<double> num = nullopt,
                        Opt free1 = nullopt) {
  demo::RdRecordsRow l{
      .AutoID = auto_id, .ID = id, .cInvCode = inv, .iNum = num, .iQuantity = qty, .cBatch = batch};
  if (free1) l.cFree.Set(1, *free1);
  return l;
}

demo::InvPositionRow Record(int64_t auto_id, const std::string& date, bool receipt,
                            const std::string& pos, const std::string& inv, Opt batch, double qty,
                            Opt source, int64_t rds_id, int64_t rd_id,
                            std::optional<double> num = nullopt, Opt free1 = nullopt) {
  // clang-format off
  demo::InvPositionRow r{.AutoId = auto_id, .RdID = rd_id, .RdsID = rds_id, .bRdFlag = receipt, .cWhCode = "01",
                         .cPosCode = pos, .cInvCode = inv, .cBatch = batch, .iQuantity = qty, .iNum = num,
                         .dDate = date, .cSource = source};
  // clang-format on
  if (free1) r.cFree.Set(1, *free1);
  return r;
}

DemoCompany TinyCompany() {
  DemoCompany c;
  c.accounts = {{"001", "小公司", "2025-01-01"}};
  for (int year = 2024; year <= 2026; ++year) {
    for (int m = 1; m <= 12; ++m) {
      char begin[16];
      std::snprintf(begin, sizeof begin, "%04d-%02d-01", year, m);
      c.periods.push_back({"001", year, m, begin, std::string(begin).substr(0, 8) + "28"});
    }
  }
  c.warehouses = {{"01", "一号库", nullopt, nullopt, nullopt, true},
                  {"02", "二号库", nullopt, nullopt, nullopt, false}};
  c.positions = {{"01A01", "P1", "01", 1, true}, {"01A02", "P2", "01", 1, true}};
  c.computation_units = {{"0001", "个", "00", 1, 1, true},
                         {"0101", "个", "01", 1, 1, true},
                         {"0102", "盒", "01", 2, 12, false},
                         {"0401", "米", "04", 1, 1, true},
                         {"0402", "卷", "04", 2, 50, false}};
  // clang-format off
  for (auto [id, code, type, group, batch] : std::vector<std::tuple<int64_t, std::string, int, std::string, bool>>{
           {1, "A", 0, "00", false}, {2, "B", 1, "01", true}, {3, "C", 2, "04", false}, {4, "D", 0, "00", false}}) {
    c.inventories.push_back({.iId = id, .cInvCode = code, .cInvName = code, .cInvCCode = "01",
                             .cComUnitCode = group + "01", .cGroupCode = group, .iGroupType = type, .bInvBatch = batch});
  }
  // clang-format on
  c.rd_records = {
      Doc(1, "2024-12-31", true, "08", "01", nullopt, "张伟", "2024-12-31", "刘洋"),
      Doc(2, "2024-12-20", true, "08", "01", nullopt, "张伟", "2024-12-20", "刘洋"),
      Doc(3, "2025-01-10", true, "01", "01", "02", "李娜", "2025-01-12", "刘洋"),
      Doc(4, "2025-02-05", false, "11", "01", "0401", "王芳", "2025-02-05", "陈静"),
      Doc(5, "2025-02-20", false, "11", "01", "0401", "王芳", "2025-02-20", "陈静"),
      Doc(6, "2025-03-01", true, "01", "02", "02", "李娜", "2025-03-02", "刘洋"),
      Doc(7, "2025-03-15", false, "32", "02", "0301", "赵磊", nullopt, ""),
      Doc(8, "2025-02-10", false, "11", "01", "0401", "王芳", "2025-02-10", "陈静"),
      Doc(9, "2025-02-05", true, "08", "02", "", "张伟", "2025-03-03", "刘洋"),
      Doc(10, "2025-02-25", true, "08", "01", nullopt, "孙丽", "2025-03-01", "刘洋"),
      Doc(11, "2025-01-20", false, "09", "01", "05", "王芳", "2025-01-20", "陈静"),
  };
  c.rd_records[0].bISSTQc = true;
  c.rd_records[4].cBusType = "假退料";
  c.rd_records[5].bPuFirst = true;
  c.rd_records[7].cBusType.reset();
  // clang-format off
  c.rd_lines = {Line(1, 1, "A", 100), Line(2, 1, "B", 24, "X1"), Line(3, 1, "C", 10, nullopt, 2),
                Line(4, 2, "A", 7),
                Line(5, 3, "A", 50, nullopt, nullopt, "红"), Line(6, 3, "B", 12, "X2"), Line(7, 3, "B", 5, ""),
                Line(8, 4, "A", 30, nullopt, nullopt, "红"), Line(9, 4, "B", 6, "X1"), Line(10, 4, "C", 4, nullopt, 1),
                Line(11, 5, "A", -5), Line(12, 6, "A", 20), Line(13, 7, "A", 10), Line(14, 7, "B", 3),
                Line(15, 8, "A", 4), Line(16, 9, "A", 1, nullopt, nullopt, "红"), Line(17, 10, "A", 2),
                Line(18, 11, "D", 3)};
  c.adjust_vouchers = {{.ID = 1, .dDate = "2025-02-15", .cWhCode = "01", .cDepCode = "05", .cMaker = "张伟"}};
  c.adjust_lines = {{.AutoID = 1, .ID = 1, .cInvCode = "A", .iQuantity = 20, .cBPosCode = "01A02", .cAPosCode = "01A01"}};
  c.check_vouchers = {{.ID = 1, .dDate = "2025-03-20", .cWhCode = "01", .cDepCode = "05", .cMaker = "张伟"}};
  c.check_lines = {{.AutoID = 1, .ID = 1, .cInvCode = "A", .cPosition = "01A01", .iCVQuantity = 60, .iCVCQuantity = 62}};
  // clang-format on
  c.inv_positions = {
      Record(1, "2024-12-31", true, "01A01", "A", nullopt, 60, nullopt, 1, 1),
      Record(2, "2024-12-31", true, "01A02", "A", nullopt, 40, "", 1, 1),
      Record(3, "2024-12-31", true, "01A01", "B", "X1", 24, nullopt, 2, 1),
      Record(4, "2024-12-31", true, "01A01", "C", nullopt, 10, nullopt, 3, 1, 2),
      Record(5, "2024-12-20", true, "01A01", "A", nullopt, 7, nullopt, 4, 2),
      Record(6, "2025-01-10", true, "01A02", "A", nullopt, 50, nullopt, 5, 3, nullopt, "红"),
      Record(7, "2025-01-10", true, "01A02", "B", "X2", 12, nullopt, 6, 3),
      Record(8, "2025-01-10", true, "01A02", "B", nullopt, 5, nullopt, 7, 3),
      Record(9, "2025-02-05", false, "01A01", "A", nullopt, 30, nullopt, 8, 4, nullopt, "红"),
      Record(10, "2025-02-05", false, "01A01", "B", "X1", 6, nullopt, 9, 4),
      Record(11, "2025-02-05", false, "01A01", "C", nullopt, 4, nullopt, 10, 4, 1),
      Record(12, "2025-02-15", false, "01A02", "A", nullopt, 20, "货位调整", 1, 1),
      Record(13, "2025-02-15", true, "01A01", "A", nullopt, 20, "货位调整", 1, 1),
      Record(14, "2025-03-20", true, "01A01", "A", nullopt, 2, "盘点", 1, 1),
      Record(15, "2025-03-05", true, "01A01", "A", nullopt, 3, "形态转换", 5, 3),
      Record(16, "2025-03-06", true, "01A02", "A", nullopt, 1, nullopt, 999, 999),
      Record(17, "2025-02-25", true, "01A01", "A", "", 2, "", 17, 4, nullopt, "蓝"),
      Record(18, "2025-01-20", false, "01A02", "D", nullopt, 3, nullopt, 18, 11),
  };
  return c;
}

// The summary must be these rows (keys and figures; numbers within 1e-9).
void ExpectRows(const std::vector<SummaryRow>& got, const std::vector<SummaryRow>& want) {
  EXPECT_EQ(got.size(), want.size());
  for (const auto& d : SummaryDifferences(got, want)) ADD_FAILURE() << d;
}

// A detail line as (ID, AutoID, AutoId, in qty, in num, out qty, out num), in order.
struct Line7 {
  int64_t id;
  int64_t line;
  std::optional<int64_t> record;
  std::optional<double> in_qty, in_num, out_qty, out_num;
};

void ExpectDetail(const std::vector<DetailLine>& got, const std::vector<Line7>& want) {
  std::vector<DetailLine> expected;
  for (size_t i = 0; i < want.size() && i < got.size(); ++i) {
    const Line7& w = want[i];  // the date comes from the line found, the order from `want`
    expected.push_back({w.id, w.line, w.record, got[i].order_date, got[i].order_id, w.in_qty,
                        w.in_num, w.out_qty, w.out_num});
  }
  EXPECT_EQ(got.size(), want.size());
  for (const auto& d : DetailDifferences(got, expected)) ADD_FAILURE() << d;
}

// The key of a summary row: warehouse, position, inventory, batch.
SummaryRow Key(Opt wh, Opt pos, const std::string& inv, Opt batch) {
  return {std::move(wh), std::move(pos), inv, std::move(batch)};
}

class ReferenceLedgerTest : public ::testing::Test {
 protected:
  DemoCompany company_ = TinyCompany();
  ReferenceLedger ledger_{company_, "001", 2026};
};

TEST_F(ReferenceLedgerTest, StockByInventoryInFebruary) {
  LedgerQuery q;
  q.from = "2025-02-01";
  q.to = "2025-2-28";
  // A: 100 (opening doc) + 50 (January); B: 24 + 12 + 5 = 41 in boxes of 12; C: 10 with iNum 2;
  // D: -3 (over-issue in January): the stock ledger keeps a negative opening.
  ExpectRows(ledger_.Summary(q), {{nullopt, nullopt, "A", nullopt, {}, 150, 0},
                                  {nullopt, nullopt, "B", nullopt, {}, 41, 41.0 / 12},
                                  {nullopt, nullopt, "C", nullopt, {}, 10, 2},
                                  {nullopt, nullopt, "D", nullopt, {}, -3, 0}});
  // A's February lines: doc 4 and doc 9 share a date and come by ID; docs 5 and 8 are left out.
  ExpectDetail(ledger_.Detail(q, Key(nullopt, nullopt, "A", nullopt)),
               {{4, 8, nullopt, nullopt, nullopt, 30, 0},
                {9, 16, nullopt, 1, 0, nullopt, nullopt},
                {10, 17, nullopt, 2, 0, nullopt, nullopt}});
  ExpectDetail(ledger_.Detail(q, Key(nullopt, nullopt, "B", nullopt)),
               {{4, 9, nullopt, nullopt, nullopt, 6, 0.5}});
  ExpectDetail(ledger_.Detail(q, Key(nullopt, nullopt, "C", nullopt)),
               {{4, 10, nullopt, nullopt, nullopt, 4, 1}});
}

TEST_F(ReferenceLedgerTest, NullBatchRowMatchesEmptyBatchLinesOnly) {
  LedgerQuery q;
  q.kind = LedgerKind::kStockByBatch;
  q.from = "2025-01-01";
  // From 2025-01-01: X1 opens with 24 and issues 6, X2 and '' are received in range, the NULL
  // batch issues 3 in March.
  ExpectRows(ledger_.Summary(q), {{nullopt, nullopt, "B", nullopt, {}, 0, 0},
                                  {nullopt, nullopt, "B", "", {}, 0, 0},
                                  {nullopt, nullopt, "B", "X1", {}, 24, 2},
                                  {nullopt, nullopt, "B", "X2", {}, 0, 0}});
  // The NULL row compares with '' and so lists line 7 (batch ''), never line 14 (batch NULL).
  const std::vector<Line7> empty_batch_line = {{3, 7, nullopt, 5, 5.0 / 12, nullopt, nullopt}};
  ExpectDetail(ledger_.Detail(q, Key(nullopt, nullopt, "B", nullopt)), empty_batch_line);
  ExpectDetail(ledger_.Detail(q, Key(nullopt, nullopt, "B", "")), empty_batch_line);
  ExpectDetail(ledger_.Detail(q, Key(nullopt, nullopt, "B", "X1")),
               {{4, 9, nullopt, nullopt, nullopt, 6, 0.5}});
}

TEST_F(ReferenceLedgerTest, AuditDatesOrderByAuditDateAndDropUnaudited) {
  LedgerQuery q;
  q.from = "2025-03-01";
  q.audit_dates = true;
  q.aux_unit = 1;
  // Opening by audit date before March: A 100 + 50 - 30 = 120 (docs 6, 9, 10 are audited in
  // March); B 24 + 12 + 5 - 6 = 35 (doc 7 is unaudited); C 10 - 4 with iNum 2 - 1.
  ExpectRows(ledger_.Summary(q), {{nullopt, nullopt, "A", nullopt, {}, 120, 0},
                                  {nullopt, nullopt, "B", nullopt, {}, 35, 35},
                                  {nullopt, nullopt, "C", nullopt, {}, 6, 1},
                                  {nullopt, nullopt, "D", nullopt, {}, -3, 0}});
  // Doc 10 (audited 03-01) before doc 9 (audited 03-03); doc 6 is bPuFirst.
  ExpectDetail(
      ledger_.Detail(q, Key(nullopt, nullopt, "A", nullopt)),
      {{10, 17, nullopt, 2, 0, nullopt, nullopt}, {9, 16, nullopt, 1, 0, nullopt, nullopt}});
}

TEST_F(ReferenceLedgerTest, PositionLedgerInFebruary) {
  LedgerQuery q;
  q.kind = LedgerKind::kPosition;
  q.from = "2025-02-01";
  q.to = "2025-02-28";
  // Every record before February counts, the pre-start receipt (5) included; D's position is
  // negative (-3) and without activity, so ">0" drops it.
  ExpectRows(ledger_.Summary(q), {{"01", "01A01", "A", nullopt, {}, 67, 0},
                                  {"01", "01A01", "A", "", {}, 0, 0},
                                  {"01", "01A01", "B", "X1", {}, 24, 2},
                                  {"01", "01A01", "C", nullopt, {}, 10, 2},
                                  {"01", "01A02", "A", nullopt, {}, 90, 0},
                                  {"01", "01A02", "B", nullopt, {}, 5, 5.0 / 12},
                                  {"01", "01A02", "B", "X2", {}, 12, 1}});
  // NULL and '' batch rows list the same records: the issue of doc 4, the adjustment's receipt
  // (its AutoID 1 is also a receipt line's) and the receipt of line 17.
  const std::vector<Line7> p1_a = {{4, 8, 9, nullopt, nullopt, 30, 0},
                                   {1, 1, 13, 20, 0, nullopt, nullopt},
                                   {4, 17, 17, 2, 0, nullopt, nullopt}};
  ExpectDetail(ledger_.Detail(q, Key("01", "01A01", "A", nullopt)), p1_a);
  ExpectDetail(ledger_.Detail(q, Key("01", "01A01", "A", "")), p1_a);
  ExpectDetail(ledger_.Detail(q, Key("01", "01A02", "A", nullopt)),
               {{1, 1, 12, nullopt, nullopt, 20, 0}});
  ExpectDetail(ledger_.Detail(q, Key("01", "01A02", "B", "X2")), {});
  // Makers apply through the document of each kind: only the adjustment was made by 张伟.
  q.rights.makers = std::vector<std::string>{"张伟"};
  ExpectDetail(ledger_.Detail(q, Key("01", "01A01", "A", nullopt)),
               {{1, 1, 13, 20, 0, nullopt, nullopt}});
  // Record 17 shows RdID 4, but its header is document 10 (孙丽), found through line 17.
  q.rights.makers = std::vector<std::string>{"孙丽"};
  ExpectDetail(ledger_.Detail(q, Key("01", "01A01", "A", nullopt)),
               {{4, 17, 17, 2, 0, nullopt, nullopt}});
}

}  // namespace
}  // namespace q9::testing
