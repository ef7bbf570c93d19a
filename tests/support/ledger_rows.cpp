#include "support/ledger_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <tuple>
#include <type_traits>

#include "demo/generator.h"
#include "platform/date.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"

namespace q9::testing {
namespace {

using platform::Variant;

constexpr char kNoData[] = "没有符合条件的数据！";
constexpr size_t kReportedDifferences = 8;

std::optional<std::string> OptText(const Variant& v) {
  return v.is_null() ? std::nullopt : std::optional<std::string>(v.ToText());
}

std::optional<double> OptNumber(const Variant& v) {
  return v.is_null() ? std::nullopt : std::optional<double>(v.ToDouble());
}

std::optional<int64_t> OptId(const Variant& v) {
  if (v.is_null()) return std::nullopt;
  return static_cast<int64_t>(std::llround(v.ToDouble()));
}

std::string IsoDate(const Variant& v) {
  if (v.is_null()) return "";
  if (v.type() == platform::VarType::Date) return v.ToDate().ToIsoDate();
  auto date = platform::Date::Parse(v.ToText());
  return date ? date->ToIsoDate() : v.ToText();
}

// Calls `read` with each record of the recordset, through a clone: its own position stays.
void ForEachRecord(const Variant& rs, const std::function<void(platform::db::Recordset&)>& read) {
  auto cursor = platform::db::AsRecordset(rs, "recordset")->Clone();
  for (; !cursor->Eof(); cursor->MoveNext()) read(*cursor);
}

auto KeyOf(const SummaryRow& r) {
  return std::tie(r.cWhCode, r.cPosCode, r.cInvCode, r.cBatch, r.free_values);
}

std::vector<SummaryRow> SortedByKey(std::vector<SummaryRow> rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const SummaryRow& a, const SummaryRow& b) { return KeyOf(a) < KeyOf(b); });
  return rows;
}

// A nullable value for a message: NULL, a quoted text or a number to the last digit.
template <typename T>
std::string Show(const std::optional<T>& v) {
  std::ostringstream out;
  if constexpr (std::is_same_v<T, std::string>) {
    out << (v ? "'" + *v + "'" : "NULL");
  } else {
    out.precision(17);
    v ? out << *v : out << "NULL";
  }
  return out.str();
}

bool SameNumber(const std::optional<double>& a, const std::optional<double>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return std::fabs(*a - *b) <= 1e-9 * std::max({1.0, std::fabs(*a), std::fabs(*b)});
}

bool SameLine(const DetailLine& a, const DetailLine& b) {
  return std::tie(a.ID, a.AutoID, a.AutoId, a.order_date, a.iInQtty, a.iOutQtty) ==
             std::tie(b.ID, b.AutoID, b.AutoId, b.order_date, b.iInQtty, b.iOutQtty) &&
         SameNumber(a.iInNum, b.iInNum) && SameNumber(a.iOutNum, b.iOutNum);
}

void Report(const std::string& what, const std::vector<std::string>& differences) {
  for (size_t i = 0; i < differences.size() && i < kReportedDifferences; ++i) {
    ADD_FAILURE() << what << differences[i];
  }
  if (differences.size() > kReportedDifferences) {
    ADD_FAILURE() << what << differences.size() << " differences in all";
  }
}

}  // namespace

std::unique_ptr<component::IClsKCZT> InitComponent(const std::string& connection,
                                                   const std::string& user) {
  platform::erp::RegisterErpSubstitutes();
  auto component = std::make_unique<component::IClsKCZT>();
  std::string msg;
  EXPECT_TRUE(component->Init(Variant(platform::erp::MakeCallerLogin(
                                  connection, user, demo::kDemoAccount, demo::kDemoLoginYear)),
                              &msg))
      << user << ": " << msg;
  return component;
}

std::vector<SummaryRow> SummaryRowsOf(const Variant& rs, const LedgerQuery& query) {
  std::vector<SummaryRow> rows;
  ForEachRecord(rs, [&](platform::db::Recordset& r) {
    SummaryRow& row = rows.emplace_back();
    if (query.kind == LedgerKind::kPosition) {
      row.cWhCode = OptText(r.Field("cWhCode"));
      row.cPosCode = OptText(r.Field("cPosCode"));
    }
    row.cInvCode = r.Field("cInvCode").ToText();
    if (query.kind != LedgerKind::kStockByInventory) row.cBatch = OptText(r.Field("cBatch"));
    for (const ShownFreeItem& item : query.free_items) {
      row.free_values.push_back(OptText(r.Field("cFree" + std::to_string(item.number))));
    }
    row.iBeginQtty = r.Field("iBeginQtty").ToDouble();
    row.iBeginNum = OptNumber(r.Field("iBeginNum"));
  });
  return rows;
}

std::vector<DetailLine> DetailLinesOf(const Variant& rs, const LedgerQuery& query) {
  const bool position = query.kind == LedgerKind::kPosition;
  std::vector<DetailLine> lines;
  ForEachRecord(rs, [&](platform::db::Recordset& r) {
    DetailLine& d = lines.emplace_back();
    d.ID = OptId(r.Field("ID"));
    d.AutoID = OptId(r.Field(position ? "RdsID" : "AutoID"));
    if (position) d.AutoId = OptId(r.Field("AutoId"));
    d.order_date = IsoDate(r.Field(!position && query.audit_dates ? "dVeriDate" : "dDate"));
    d.order_id = (position ? d.AutoId : d.ID).value_or(0);
    d.iInQtty = OptNumber(r.Field("iInQtty"));
    d.iInNum = OptNumber(r.Field("iInNum"));
    d.iOutQtty = OptNumber(r.Field("iOutQtty"));
    d.iOutNum = OptNumber(r.Field("iOutNum"));
  });
  NormalizeDetailOrder(lines);
  return lines;
}

std::vector<std::string> SummaryDifferences(const std::vector<SummaryRow>& actual_rows,
                                            const std::vector<SummaryRow>& expected_rows) {
  std::vector<SummaryRow> actual = SortedByKey(actual_rows);
  std::vector<SummaryRow> expected = SortedByKey(expected_rows);
  std::vector<std::string> out;
  size_t a = 0;
  size_t e = 0;
  while (a < actual.size() || e < expected.size()) {
    if (e == expected.size() || (a < actual.size() && KeyOf(actual[a]) < KeyOf(expected[e]))) {
      out.push_back("extra " + Show(actual[a++]));
    } else if (a == actual.size() || KeyOf(expected[e]) < KeyOf(actual[a])) {
      out.push_back("missing " + Show(expected[e++]));
    } else {
      if (actual[a].iBeginQtty != expected[e].iBeginQtty ||
          !SameNumber(actual[a].iBeginNum, expected[e].iBeginNum)) {
        out.push_back("differs " + Show(actual[a]) + ", expected " + Show(expected[e]));
      }
      ++a;
      ++e;
    }
  }
  return out;
}

std::vector<std::string> DetailDifferences(std::vector<DetailLine> actual,
                                           std::vector<DetailLine> expected) {
  NormalizeDetailOrder(actual);
  NormalizeDetailOrder(expected);
  std::vector<std::string> out;
  for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
    if (i >= actual.size()) {
      out.push_back("missing " + Show(expected[i]));
    } else if (i >= expected.size()) {
      out.push_back("extra " + Show(actual[i]));
    } else if (!SameLine(actual[i], expected[i])) {
      out.push_back("line " + std::to_string(i + 1) + ": " + Show(actual[i]) + ", expected " +
                    Show(expected[i]));
    }
  }
  return out;
}

std::string Show(const SummaryRow& r) {
  std::string text;
  if (r.cWhCode || r.cPosCode) text += Show(r.cWhCode) + "/" + Show(r.cPosCode) + "/";
  text += "'" + r.cInvCode + "'";
  if (r.cBatch) text += " batch " + Show(r.cBatch);
  for (const auto& f : r.free_values) text += " free " + Show(f);
  return text + " qtty " + Show(std::optional<double>(r.iBeginQtty)) + " num " + Show(r.iBeginNum);
}

std::string Show(const DetailLine& d) {
  return "ID " + Show(d.ID) + " line " + Show(d.AutoID) + " record " + Show(d.AutoId) + " date " +
         d.order_date + " in " + Show(d.iInQtty) + "/" + Show(d.iInNum) + " out " +
         Show(d.iOutQtty) + "/" + Show(d.iOutNum);
}

LedgerCheck CheckLedger(component::IClsKCZT& component, const ReferenceLedger& model,
                        const LedgerQuery& query,
                        const std::function<bool(size_t, const SummaryRow&)>& detail_wanted) {
  LedgerCheck check;
  const std::string xml = ConditionDocument(query);
  const auto kind = static_cast<int16_t>(query.kind);
  const std::vector<SummaryRow> expected = model.Summary(query);
  Variant rs1("untouched");
  Variant msg("untouched");
  const bool found = component.OpenX(xml, rs1, kind, &msg);
  if (expected.empty()) {
    EXPECT_FALSE(found) << "the model has no row";
    EXPECT_EQ(msg, Variant(kNoData));
    EXPECT_EQ(rs1, Variant("untouched"));
    return check;
  }
  EXPECT_TRUE(found) << "the model has " << expected.size() << " rows; " << msg.ConcatText();
  if (!found) return check;
  EXPECT_EQ(msg, Variant("untouched"));
  check.rows = SummaryRowsOf(rs1, query);
  Report("summary: ", SummaryDifferences(check.rows, expected));

  for (size_t i = 0; i < check.rows.size(); ++i) {
    const SummaryRow& row = check.rows[i];
    if (detail_wanted && !detail_wanted(i, row)) continue;
    Variant rs2("untouched");
    Variant page_msg("untouched");
    Variant position(static_cast<int32_t>(i + 1));
    const bool paged = component.OpenPage(xml, rs1, rs2, kind, &page_msg, &position);
    EXPECT_TRUE(paged) << Show(row) << ": " << page_msg.ConcatText();
    if (!paged) continue;
    EXPECT_EQ(page_msg, Variant("untouched"));
    ++check.details_opened;
    std::vector<DetailLine> lines = DetailLinesOf(rs2, query);
    check.detail_lines += lines.size();
    std::vector<std::string> differences;
    for (size_t n = 1; n < lines.size(); ++n) {
      if (std::tie(lines[n].order_date, lines[n].order_id) <
          std::tie(lines[n - 1].order_date, lines[n - 1].order_id)) {
        differences.push_back("out of order: " + Show(lines[n - 1]) + " before " + Show(lines[n]));
      }
    }
    auto it = std::find_if(expected.begin(), expected.end(),
                           [&](const SummaryRow& e) { return KeyOf(e) == KeyOf(row); });
    if (it != expected.end()) {  // a row the model lacks is reported above
      for (auto& d : DetailDifferences(lines, model.Detail(query, *it))) differences.push_back(d);
    }
    Report("detail of " + Show(row) + ": ", differences);
  }
  return check;
}

}  // namespace q9::testing
