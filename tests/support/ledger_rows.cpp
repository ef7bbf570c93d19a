#include "support/ledger_rows.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "platform/date.h"
#include "platform/db/recordset.h"

namespace q9::testing {
namespace {

using platform::Variant;

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
  return static_cast<int64_t>(std::llround(v.ToDouble()));
}

std::string IsoDate(const Variant& v) {
  if (v.is_null()) return "";
  if (v.type() == platform::VarType::Date) return v.ToDate().ToIsoDate();
  auto date = platform::Date::Parse(v.ToText());
  return date ? date->ToIsoDate() : v.ToText();
}

class Rows {
 public:
  explicit Rows(const Variant& rs) : rs_(platform::db::AsRecordset(rs, "recordset")) {
    if (!rs_->rows()) throw std::runtime_error("the recordset is closed");
  }
  size_t size() const { return rs_->rows()->row_count(); }
  Variant At(size_t row, const std::string& column) const {
    auto col = rs_->rows()->FindColumn(column);
    if (!col) throw std::runtime_error("the recordset has no column " + column);
    return rs_->rows()->Value(row, *col);
  }

 private:
  std::shared_ptr<platform::db::Recordset> rs_;
};

using Key = std::tuple<std::optional<std::string>, std::optional<std::string>, std::string,
                       std::optional<std::string>, std::vector<std::optional<std::string>>>;

Key KeyOf(const SummaryRow& r) {
  return {r.cWhCode, r.cPosCode, r.cInvCode, r.cBatch, r.free_values};
}

void SortByKey(std::vector<SummaryRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const SummaryRow& a, const SummaryRow& b) { return KeyOf(a) < KeyOf(b); });
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

bool SameNumber(const std::optional<double>& a, const std::optional<double>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return std::fabs(*a - *b) <= 1e-9 * std::max({1.0, std::fabs(*a), std::fabs(*b)});
}

bool SameLine(const DetailLine& a, const DetailLine& b) {
  return a.ID == b.ID && a.AutoID == b.AutoID && a.AutoId == b.AutoId &&
         a.order_date == b.order_date && a.iInQtty == b.iInQtty && a.iOutQtty == b.iOutQtty &&
         SameNumber(a.iInNum, b.iInNum) && SameNumber(a.iOutNum, b.iOutNum);
}

}  // namespace

std::vector<SummaryRow> SummaryRowsOf(const Variant& rs, const LedgerQuery& query) {
  Rows t(rs);
  bool position = query.kind == LedgerKind::kPosition;
  std::vector<SummaryRow> rows;
  for (size_t i = 0; i < t.size(); ++i) {
    SummaryRow row;
    if (position) {
      row.cWhCode = OptText(t.At(i, "cWhCode"));
      row.cPosCode = OptText(t.At(i, "cPosCode"));
    }
    row.cInvCode = t.At(i, "cInvCode").ToText();
    if (query.kind != LedgerKind::kStockByInventory) row.cBatch = OptText(t.At(i, "cBatch"));
    for (const ShownFreeItem& item : query.free_items) {
      row.free_values.push_back(OptText(t.At(i, "cFree" + std::to_string(item.number))));
    }
    row.iBeginQtty = t.At(i, "iBeginQtty").ToDouble();
    row.iBeginNum = OptNumber(t.At(i, "iBeginNum"));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<DetailLine> DetailLinesOf(const Variant& rs, const LedgerQuery& query) {
  Rows t(rs);
  bool position = query.kind == LedgerKind::kPosition;
  std::vector<DetailLine> lines;
  for (size_t i = 0; i < t.size(); ++i) {
    DetailLine d;
    d.ID = OptId(t.At(i, "ID"));
    if (position) {
      d.AutoID = OptId(t.At(i, "RdsID"));
      d.AutoId = OptId(t.At(i, "AutoId"));
      d.order_date = IsoDate(t.At(i, "dDate"));
      d.order_id = d.AutoId.value_or(0);
    } else {
      d.AutoID = OptId(t.At(i, "AutoID"));
      d.order_date = IsoDate(t.At(i, query.audit_dates ? "dVeriDate" : "dDate"));
      d.order_id = d.ID.value_or(0);
    }
    d.iInQtty = OptNumber(t.At(i, "iInQtty"));
    d.iInNum = OptNumber(t.At(i, "iInNum"));
    d.iOutQtty = OptNumber(t.At(i, "iOutQtty"));
    d.iOutNum = OptNumber(t.At(i, "iOutNum"));
    lines.push_back(d);
  }
  NormalizeDetailOrder(lines);
  return lines;
}

std::vector<std::string> SummaryDifferences(const std::vector<SummaryRow>& actual_rows,
                                            const std::vector<SummaryRow>& expected_rows) {
  std::vector<SummaryRow> actual = actual_rows;
  std::vector<SummaryRow> expected = expected_rows;
  SortByKey(actual);
  SortByKey(expected);
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
  if (actual.size() != expected.size()) {
    out.push_back(std::to_string(actual.size()) + " lines, expected " +
                  std::to_string(expected.size()));
  }
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

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace q9::testing
