#include "support/reference_ledger.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

#include "condition/condition_document.h"
#include "platform/date.h"

namespace q9::testing {
namespace {

using demo::InventoryRow;
using demo::InvPositionRow;
using demo::NumberedValues;
using demo::RdRecordRow;
using demo::RdRecordsRow;

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& ch : folded) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return folded;
}

bool SameCode(std::string_view a, std::string_view b) { return Fold(a) == Fold(b); }

// A nullable column compared with a text: NULL never matches.
bool NullableSameCode(const std::optional<std::string>& a, std::string_view b) {
  return a && SameCode(*a, b);
}

// A prefix condition: the text begins with the value, every character of it taken literally
// ('%', '_' and '[' included), ASCII case ignored.
bool BeginsWith(std::string_view text, std::string_view prefix) {
  return Fold(text).starts_with(Fold(prefix));
}

bool NullableBeginsWith(const std::optional<std::string>& text, std::string_view prefix) {
  return text && BeginsWith(*text, prefix);
}

// The quoted value range of the inventory and position conditions: with both bounds the pair
// is exchanged when `from` orders after `to` (whole values, ordinal).
bool InValueRange(const std::optional<std::string>& value, const std::string& from,
                  const std::string& to) {
  if (from.empty() && to.empty()) return true;
  if (!value) return false;
  std::string v = Fold(*value), low = Fold(from), high = Fold(to);
  if (!from.empty() && !to.empty() && from > to) std::swap(low, high);
  return (low.empty() || v >= low) && (high.empty() || v <= high);
}

bool InList(const std::optional<std::vector<std::string>>& list,
            const std::optional<std::string>& value) {
  return !list || (value && std::any_of(list->begin(), list->end(),
                                        [&](const auto& item) { return SameCode(*value, item); }));
}

std::string IsoDate(const std::string& text) {
  auto date = platform::Date::Parse(text);
  if (!date) throw std::invalid_argument("not a date: " + text);
  return date->ToIsoDate();
}

// not (R.cBusType = '假退料' and R.cVouchType = 11), with SQL's NULL rules: a row passes only
// when the test is true, so a NULL business type on a type 11 document is left out.
bool NotNotionalReturn(const RdRecordRow& head) {
  return Fold(head.cVouchType) != "11" || (head.cBusType && *head.cBusType != "假退料");
}

bool DepartmentPasses(const LedgerRights& rights, const std::optional<std::string>& department) {
  return !department || department->empty() || InList(rights.departments, department);
}

bool FreeValuesMatch(const std::vector<ShownFreeItem>& shown,
                     const std::vector<std::optional<std::string>>& row_values,
                     const NumberedValues& line_free) {
  for (size_t i = 0; i < shown.size(); ++i) {
    const std::string* value = line_free.Text(shown[i].number);
    std::string wanted = i < row_values.size() ? row_values[i].value_or("") : "";
    if (!SameCode(value ? *value : "", wanted)) return false;
  }
  return true;
}

bool FreePrefixesPass(const std::vector<ShownFreeItem>& shown, const NumberedValues& free) {
  for (const ShownFreeItem& item : shown) {
    if (item.prefix.empty()) continue;
    const std::string* value = free.Text(item.number);
    if (!value || !BeginsWith(*value, item.prefix)) return false;
  }
  return true;
}

std::vector<std::optional<std::string>> FreeKey(const std::vector<ShownFreeItem>& shown,
                                                const NumberedValues& free) {
  std::vector<std::optional<std::string>> key;
  for (const ShownFreeItem& item : shown) {
    const std::string* value = free.Text(item.number);
    key.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
  }
  return key;
}

template <typename Row, typename KeyOf>
auto IndexBy(const std::vector<Row>& rows, KeyOf key_of) {
  std::unordered_map<std::decay_t<decltype(key_of(rows.front()))>, size_t> index;
  for (size_t i = 0; i < rows.size(); ++i) index[key_of(rows[i])] = i;
  return index;
}

template <typename Row>
const Row* Lookup(const std::unordered_map<std::string, size_t>& index,
                  const std::vector<Row>& rows, const std::string& code) {
  auto it = index.find(Fold(code));
  return it == index.end() ? nullptr : &rows[it->second];
}

bool IdAllowed(const LedgerRights& rights, int64_t id) {
  return !rights.inventory_ids ||
         std::find(rights.inventory_ids->begin(), rights.inventory_ids->end(), id) !=
             rights.inventory_ids->end();
}

// A detail line's quantity and number on its receipt or its issue side.
DetailLine Entry(bool receipt, const std::optional<double>& qty, std::optional<double> num) {
  DetailLine d;
  (receipt ? d.iInQtty : d.iOutQtty) = qty.value_or(0);
  (receipt ? d.iInNum : d.iOutNum) = num;
  return d;
}

// Sums of one summary group, as the SELECT and HAVING expressions compute them.
struct Group {
  SummaryRow row;
  int64_t receipts = 0;
  int64_t issues = 0;
  int64_t activity = 0;

  void Add(bool opening, bool in_range, bool receipt, const std::optional<double>& qty,
           const std::optional<double>& num) {
    double sign = receipt ? 1 : -1;
    if (opening) row.iBeginQtty += sign * qty.value_or(0);
    // A NULL number adds nothing, as SUM skips it; other lines add the ELSE 0 branch's zero.
    if (!opening || num) row.iBeginNum = row.iBeginNum.value_or(0) + (opening ? sign * *num : 0);
    activity += in_range;
    (receipt ? receipts : issues) += in_range;
  }

  bool Keep(SelectionStandard standard, bool position_ledger) const {
    double opening = row.iBeginQtty;
    bool has_opening = position_ledger ? opening > 0 : opening != 0;
    switch (standard) {
      case SelectionStandard::kAll:
        return has_opening || activity > 0;
      case SelectionStandard::kWithActivity:
        return activity > 0;
      case SelectionStandard::kWithoutActivity:
        return has_opening && activity == 0;
      case SelectionStandard::kReceivedNotIssued:
        return receipts > 0 && issues == 0;
      case SelectionStandard::kIssuedNotReceived:
        return receipts == 0 && issues > 0;
    }
    return false;
  }
};

using GroupKey = std::tuple<std::optional<std::string>, std::optional<std::string>, std::string,
                            std::optional<std::string>, std::vector<std::optional<std::string>>>;

std::vector<SummaryRow> Collect(std::map<GroupKey, Group>& groups, SelectionStandard standard,
                                bool position_ledger) {
  std::vector<SummaryRow> rows;
  for (auto& [key, group] : groups) {
    if (!group.Keep(standard, position_ledger)) continue;
    SummaryRow& row = rows.emplace_back(std::move(group.row));
    std::tie(row.cWhCode, row.cPosCode, row.cInvCode, row.cBatch, row.free_values) = key;
  }
  return rows;
}

}  // namespace

void NormalizeDetailOrder(std::vector<DetailLine>& lines) {
  std::stable_sort(lines.begin(), lines.end(), [](const DetailLine& a, const DetailLine& b) {
    return std::tie(a.order_date, a.order_id, a.AutoID, a.AutoId) <
           std::tie(b.order_date, b.order_id, b.AutoID, b.AutoId);
  });
}

std::string ConditionDocument(const LedgerQuery& q) {
  static const char* const kStandards[] = {"所有存货", "发生业务", "未发生业务", "入库未出库",
                                           "出库未入库"};
  condition::ConditionOptions o;
  o.dates = {q.from, q.to};
  o.audit_dates = q.audit_dates;
  for (size_t i = 0; i < q.warehouses.size(); ++i) o.warehouses += (i ? "," : "") + q.warehouses[i];
  o.inv_class.from = q.class_prefix;
  o.inventory = {q.inventory_from, q.inventory_to};
  o.spec = q.inv_std;
  o.assunit = std::to_string(q.aux_unit);
  o.standard = kStandards[static_cast<int>(q.standard)];
  o.batch.from = q.batch;
  o.audited_only = q.audited_only;
  if (q.kind == LedgerKind::kPosition) o.position = {q.position_from, q.position_to};
  for (const ShownFreeItem& f : q.free_items) o.free[f.number - 1] = condition::Range{f.prefix, ""};
  return condition::BuildConditionDocument(o);
}

struct ReferenceLedger::Books {
  struct Range {
    std::string lower;
    std::optional<std::string> upper;
  };

  const demo::DemoCompany& c;
  std::string account;
  std::string start_period_date;  // first day of the stock module's start period
  std::string open_range_start;   // the lower bound of a range without "from"
  std::unordered_map<std::string, size_t> inventory_by_code, warehouse_by_code, position_by_code;
  std::unordered_map<int64_t, size_t> rd_by_id, rd_line_by_auto_id, adjust_by_id,
      adjust_line_by_auto_id, check_by_id, check_line_by_auto_id;
  std::unordered_map<std::string, std::vector<size_t>> rd_lines_by_inventory,
      positions_by_inventory;

  Books(const demo::DemoCompany& company, std::string account_code, int login_year)
      : c(company), account(std::move(account_code)) {
    const demo::AccountRow* acc = nullptr;
    for (const auto& a : c.accounts) {
      if (SameCode(a.cAcc_ID, account)) acc = &a;
    }
    if (!acc) throw std::runtime_error("no account " + account);
    std::string start = acc->dSTStartDate;
    start_period_date = start;
    for (const auto& p : c.periods) {
      if (SameCode(p.cAcc_ID, account) && p.dBegin <= start && start <= p.dEnd) {
        start_period_date = p.dBegin;
      }
    }
    int start_month = platform::Date::Parse(start)->month();
    for (const auto& p : c.periods) {
      if (SameCode(p.cAcc_ID, account) && p.iYear == login_year && p.iId == start_month) {
        open_range_start = p.dBegin;
      }
    }
    if (open_range_start.empty()) throw std::runtime_error("no period of the start month");

    auto code = [](auto field) { return [field](const auto& r) { return Fold(r.*field); }; };
    auto id = [](const auto& r) { return r.ID; };
    auto auto_id = [](const auto& r) { return r.AutoID; };
    inventory_by_code = IndexBy(c.inventories, code(&InventoryRow::cInvCode));
    warehouse_by_code = IndexBy(c.warehouses, code(&demo::WarehouseRow::cWhCode));
    position_by_code = IndexBy(c.positions, code(&demo::PositionRow::cPosCode));
    rd_by_id = IndexBy(c.rd_records, id);
    rd_line_by_auto_id = IndexBy(c.rd_lines, auto_id);
    adjust_by_id = IndexBy(c.adjust_vouchers, id);
    adjust_line_by_auto_id = IndexBy(c.adjust_lines, auto_id);
    check_by_id = IndexBy(c.check_vouchers, id);
    check_line_by_auto_id = IndexBy(c.check_lines, auto_id);
    for (size_t i = 0; i < c.rd_lines.size(); ++i) {
      rd_lines_by_inventory[Fold(c.rd_lines[i].cInvCode)].push_back(i);
    }
    for (size_t i = 0; i < c.inv_positions.size(); ++i) {
      positions_by_inventory[Fold(c.inv_positions[i].cInvCode)].push_back(i);
    }
  }

  Range RangeOf(const LedgerQuery& q) const {
    if (q.from.empty() && q.to.empty()) return {open_range_start, std::nullopt};
    if (q.to.empty()) return {IsoDate(q.from), std::nullopt};
    if (q.from.empty()) return {open_range_start, IsoDate(q.to)};
    std::string a = IsoDate(q.from);
    std::string b = IsoDate(q.to);
    if (b < a) std::swap(a, b);
    return {a, b};
  }

  const InventoryRow* FindInventory(const std::string& code) const {
    return Lookup(inventory_by_code, c.inventories, code);
  }
  const demo::WarehouseRow* FindWarehouse(const std::string& code) const {
    return Lookup(warehouse_by_code, c.warehouses, code);
  }
  const demo::PositionRow* FindPosition(const std::string& code) const {
    return Lookup(position_by_code, c.positions, code);
  }

  std::optional<double> GroupUnitRate(const InventoryRow& inv, int aux_unit) const {
    if (!inv.cGroupCode) return std::nullopt;
    for (const auto& unit : c.computation_units) {
      if (SameCode(unit.cGroupCode, *inv.cGroupCode) && unit.iNumber == aux_unit) {
        return unit.iChangRate;
      }
    }
    return std::nullopt;
  }

  // The number in the auxiliary unit of one line or record (the CASE on I.iGroupType).
  std::optional<double> Number(const InventoryRow* inv, const std::optional<double>& qty,
                               const std::optional<double>& num, int aux_unit) const {
    if (!inv) return std::nullopt;
    switch (inv->iGroupType) {
      case 0:
        return 0.0;
      case 2:
        return num.value_or(0);
      case 1: {
        auto rate = GroupUnitRate(*inv, aux_unit);
        if (!rate || !qty || *rate == 0) return std::nullopt;
        return *qty / *rate;
      }
      default:
        return std::nullopt;
    }
  }

  // The inventory terms of the WHERE filter: class, code range, inv_std.
  bool InventoryPasses(const LedgerQuery& q, const InventoryRow* inv) const {
    bool any = !q.class_prefix.empty() || !q.inventory_from.empty() || !q.inventory_to.empty() ||
               !q.inv_std.empty();
    if (!inv) return !any;
    if (!q.class_prefix.empty() && !BeginsWith(inv->cInvCCode, q.class_prefix)) return false;
    if (!InValueRange(inv->cInvCode, q.inventory_from, q.inventory_to)) return false;
    if (!q.inv_std.empty() && inv->cInvStd != q.inv_std) return false;
    return true;
  }

  // Everything the summary and the detail of the stock ledger share: start date, notional
  // returns, the WHERE filter and the department and maker rights.
  bool StockLinePasses(const LedgerQuery& q, const RdRecordRow& head, const RdRecordsRow& line,
                       const InventoryRow* inv) const {
    if (!(head.dDate >= start_period_date || head.bISSTQc)) return false;
    if (!NotNotionalReturn(head)) return false;
    if (!q.warehouses.empty()) {
      const auto* wh = FindWarehouse(head.cWhCode);
      for (const auto& item : q.warehouses) {
        if (!wh || !SameCode(wh->cWhCode, item)) return false;
      }
    }
    if (!InventoryPasses(q, inv)) return false;
    if (!q.batch.empty() && !NullableSameCode(line.cBatch, q.batch)) return false;
    if ((q.audit_dates || q.audited_only) && head.cHandler.value_or("").empty()) return false;
    if (!FreePrefixesPass(q.free_items, line.cFree)) return false;
    if (!DepartmentPasses(q.rights, head.cDepCode)) return false;
    if (!InList(q.rights.makers, head.cMaker)) return false;
    if (q.rights.warehouses) {
      const auto* wh = FindWarehouse(head.cWhCode);
      if (!wh || !InList(q.rights.warehouses, wh->cWhCode)) return false;
    }
    return true;
  }

  std::vector<SummaryRow> StockSummary(const LedgerQuery& q) const {
    Range range = RangeOf(q);
    bool by_batch = q.kind == LedgerKind::kStockByBatch;
    std::map<GroupKey, Group> groups;
    for (const RdRecordsRow& line : c.rd_lines) {
      auto head_it = rd_by_id.find(line.ID);
      const InventoryRow* inv = FindInventory(line.cInvCode);
      if (head_it == rd_by_id.end() || !inv) continue;  // inner joins
      const RdRecordRow& head = c.rd_records[head_it->second];
      if (by_batch && !inv->bInvBatch) continue;
      if (!StockLinePasses(q, head, line, inv)) continue;
      if (!IdAllowed(q.rights, inv->iId)) continue;
      const std::optional<std::string>& date = q.audit_dates ? head.dVeriDate : head.dDate;
      bool before = date && *date < range.lower;
      bool in_range = date && *date >= range.lower && (!range.upper || *date <= *range.upper);
      GroupKey key{std::nullopt, std::nullopt, inv->cInvCode, by_batch ? line.cBatch : std::nullopt,
                   FreeKey(q.free_items, line.cFree)};
      groups[key].Add(head.bISSTQc || before, !head.bISSTQc && in_range, head.bRdFlag,
                      line.iQuantity, Number(inv, line.iQuantity, line.iNum, q.aux_unit));
    }
    return Collect(groups, q.standard, false);
  }

  std::vector<SummaryRow> PositionSummary(const LedgerQuery& q) const {
    Range range = RangeOf(q);
    std::map<GroupKey, Group> groups;
    for (const InvPositionRow& ip : c.inv_positions) {
      const InventoryRow* inv = FindInventory(ip.cInvCode);
      if (!inv) continue;  // inner join
      const auto* wh = FindWarehouse(ip.cWhCode);
      const auto* pos = FindPosition(ip.cPosCode);
      std::optional<std::string> wh_code =
          wh ? std::optional<std::string>(wh->cWhCode) : std::nullopt;
      std::optional<std::string> pos_code =
          pos ? std::optional<std::string>(pos->cPosCode) : std::nullopt;
      bool pass = true;
      for (const auto& item : q.warehouses) pass = pass && wh_code && SameCode(*wh_code, item);
      pass = pass && InventoryPasses(q, inv);
      pass = pass && (q.batch.empty() || NullableBeginsWith(ip.cBatch, q.batch));
      pass = pass && InValueRange(ip.cPosCode, q.position_from, q.position_to);
      pass = pass && FreePrefixesPass(q.free_items, ip.cFree);
      pass = pass && InList(q.rights.warehouses, wh_code) && InList(q.rights.positions, pos_code);
      if (!pass || !IdAllowed(q.rights, inv->iId)) continue;
      bool before = ip.dDate < range.lower;
      bool in_range = ip.dDate >= range.lower && (!range.upper || ip.dDate <= *range.upper);
      GroupKey key{wh_code, pos_code, inv->cInvCode, ip.cBatch, FreeKey(q.free_items, ip.cFree)};
      groups[key].Add(before, in_range, ip.bRdFlag, ip.iQuantity,
                      Number(inv, ip.iQuantity, ip.iNum, q.aux_unit));
    }
    return Collect(groups, q.standard, true);
  }

  std::vector<DetailLine> StockDetail(const LedgerQuery& q, const SummaryRow& row) const {
    Range range = RangeOf(q);
    std::vector<DetailLine> lines;
    auto it = rd_lines_by_inventory.find(Fold(row.cInvCode));
    if (it == rd_lines_by_inventory.end()) return lines;
    std::string row_batch = row.cBatch.value_or("");
    for (size_t index : it->second) {
      const RdRecordsRow& line = c.rd_lines[index];
      auto head_it = rd_by_id.find(line.ID);
      if (head_it == rd_by_id.end()) continue;
      const RdRecordRow& head = c.rd_records[head_it->second];
      const InventoryRow* inv = FindInventory(line.cInvCode);
      if (!StockLinePasses(q, head, line, inv)) continue;
      if (head.bPuFirst.value_or(false)) continue;
      if (q.kind == LedgerKind::kStockByBatch && !NullableSameCode(line.cBatch, row_batch))
        continue;
      if (!FreeValuesMatch(q.free_items, row.free_values, line.cFree)) continue;
      const std::optional<std::string>& date = q.audit_dates ? head.dVeriDate : head.dDate;
      if (!date || *date < range.lower || (range.upper && *date > *range.upper)) continue;
      DetailLine d =
          Entry(head.bRdFlag, line.iQuantity, Number(inv, line.iQuantity, line.iNum, q.aux_unit));
      d.ID = head.ID;
      d.AutoID = line.AutoID;
      d.order_date = *date;
      d.order_id = head.ID;
      lines.push_back(d);
    }
    NormalizeDetailOrder(lines);
    return lines;
  }

  std::vector<DetailLine> PositionDetail(const LedgerQuery& q, const SummaryRow& row) const {
    Range range = RangeOf(q);
    std::vector<DetailLine> lines;
    auto it = positions_by_inventory.find(Fold(row.cInvCode));
    if (it == positions_by_inventory.end()) return lines;
    for (size_t index : it->second) {
      const InvPositionRow& ip = c.inv_positions[index];
      if (!SameCode(ip.cWhCode, row.cWhCode.value_or("")) ||
          !SameCode(ip.cPosCode, row.cPosCode.value_or("")) ||
          !SameCode(ip.cBatch.value_or(""), row.cBatch.value_or(""))) {
        continue;
      }
      if (ip.dDate < range.lower || (range.upper && ip.dDate > *range.upper)) continue;
      if (!ip.RdsID) continue;
      // The line of the record's document kind, and the header through the line's ID.
      const std::optional<std::string>* department = nullptr;
      const std::optional<std::string>* maker = nullptr;
      const NumberedValues* line_free = nullptr;
      auto through = [&](const auto& line_index, const auto& lines, const auto& head_index,
                         const auto& heads) {
        auto l = line_index.find(*ip.RdsID);
        if (l == line_index.end()) return false;
        auto h = head_index.find(lines[l->second].ID);
        if (h == head_index.end()) return false;
        department = &heads[h->second].cDepCode;
        maker = &heads[h->second].cMaker;
        line_free = &lines[l->second].cFree;
        return true;
      };
      const std::string source = ip.cSource.value_or("");
      bool found =
          source.empty() ? through(rd_line_by_auto_id, c.rd_lines, rd_by_id, c.rd_records)
          : source == "货位调整"
              ? through(adjust_line_by_auto_id, c.adjust_lines, adjust_by_id, c.adjust_vouchers)
              : source == "盘点" &&
                    through(check_line_by_auto_id, c.check_lines, check_by_id, c.check_vouchers);
      if (!found) continue;
      if (!DepartmentPasses(q.rights, *department) || !InList(q.rights.makers, *maker)) continue;
      if (!FreeValuesMatch(q.free_items, row.free_values, *line_free)) continue;
      const InventoryRow* inv = FindInventory(ip.cInvCode);
      DetailLine d =
          Entry(ip.bRdFlag, ip.iQuantity, Number(inv, ip.iQuantity, ip.iNum, q.aux_unit));
      d.ID = ip.RdID;
      d.AutoID = ip.RdsID;
      d.AutoId = ip.AutoId;
      d.order_date = ip.dDate;
      d.order_id = ip.AutoId;
      lines.push_back(d);
    }
    NormalizeDetailOrder(lines);
    return lines;
  }
};

ReferenceLedger::ReferenceLedger(const demo::DemoCompany& company, std::string account,
                                 int login_year)
    : books_(std::make_unique<Books>(company, std::move(account), login_year)) {}

ReferenceLedger::~ReferenceLedger() = default;

std::vector<SummaryRow> ReferenceLedger::Summary(const LedgerQuery& q) const {
  return q.kind == LedgerKind::kPosition ? books_->PositionSummary(q) : books_->StockSummary(q);
}

std::vector<DetailLine> ReferenceLedger::Detail(const LedgerQuery& q, const SummaryRow& row) const {
  return q.kind == LedgerKind::kPosition ? books_->PositionDetail(q, row)
                                         : books_->StockDetail(q, row);
}

LedgerRights ReferenceLedger::RightsOf(const std::string& user) const {
  LedgerRights rights;
  auto add = [](auto& list, auto value) {
    if (!list) list.emplace();
    list->push_back(std::move(value));
  };
  for (const auto& r : books_->c.data_rights) {
    if (!SameCode(r.cAcc_ID, books_->account) || !SameCode(r.cUser_Id, user)) continue;
    std::string kind = Fold(r.cKind);
    if (kind == "inventory") {
      add(rights.inventory_ids, static_cast<int64_t>(std::stoll(r.cValue)));
    } else if (kind == "warehouse") {
      add(rights.warehouses, r.cValue);
    } else if (kind == "department") {
      add(rights.departments, r.cValue);
    } else if (kind == "position") {
      add(rights.positions, r.cValue);
    } else if (kind == "user") {
      add(rights.makers, r.cValue);
    }
  }
  return rights;
}

}  // namespace q9::testing
