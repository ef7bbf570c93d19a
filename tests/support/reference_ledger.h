// An independent computation of the inventory ledger over the demo company's records, in plain
// C++ and without SQL, for checking the figures the ledger statements return.
//
// It models what the summary and detail statements mean, including their less obvious rules:
//   - stock ledger (by inventory, by batch): reads only documents dated on or after the stock
//     start period date or flagged as opening balance (bISSTQc = 1); leaves out notional
//     material returns (cBusType '假退料' with cVouchType 11; a NULL business type on a type 11
//     document is left out as well, since the SQL test then yields NULL); the opening balance
//     is the signed sum of the lines of opening documents and of the lines dated before the
//     range; the by-batch ledger only covers batch-managed inventories, a NULL batch being a
//     group of its own;
//   - position ledger: every position record counts in the balances, whatever its source; one
//     row per warehouse, position, inventory and batch (NULL apart from '');
//   - iBeginNum: 0 for unit group type 0, the signed iNum (NULL as 0) for type 2, the signed
//     quantity divided by the rate of the group's unit whose iNumber is the auxiliary unit number
//     for type 1 (NULL when the group has no such unit; NULL terms are skipped as SUM does, and a
//     group of NULL terms only is NULL);
//   - selection standards as the HAVING tests state them (the stock ledger keeps a non-zero
//     opening, the position ledger a positive one);
//   - stock detail: the lines of the row's inventory (and batch, compared with the row's batch
//     where NULL counts as '', while a NULL line batch never matches), inside the date range,
//     with the same start-date and notional-return rules and without bPuFirst = 1 documents,
//     ordered by the ledger date and then the document ID;
//   - position detail: the position records of the row's warehouse, inventory, position and
//     batch (NULL and '' alike), inside the range, whose source is empty and whose RdsID is a
//     receipt/issue line, or '货位调整' with an adjustment line, or '盘点' with a stocktake
//     line, the document header found through the line; ordered by record date and AutoId.
// Codes compare without regard to ASCII letter case, as the ERP's databases do; LIKE prefixes
// follow SQL LIKE ('%' and '_' are wildcards). Define-item conditions are not modelled.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo/company.h"

namespace q9::testing {

enum class LedgerKind { kStockByInventory = 0, kStockByBatch = 1, kPosition = 2 };

enum class SelectionStandard {
  kAll,                // 所有存货
  kWithActivity,       // 发生业务
  kWithoutActivity,    // 未发生业务
  kReceivedNotIssued,  // 入库未出库
  kIssuedNotReceived,  // 出库未入库
};

// A shown free item (check "1") with an optional prefix filter (its from value).
struct ShownFreeItem {
  int number = 1;  // 1..10
  std::string prefix;
};

// Rights restrictions; an empty optional means unrestricted for that kind.
struct LedgerRights {
  std::optional<std::vector<int64_t>> inventory_ids;
  std::optional<std::vector<std::string>> warehouses;
  std::optional<std::vector<std::string>> departments;
  std::optional<std::vector<std::string>> makers;
  std::optional<std::vector<std::string>> positions;
};

struct LedgerQuery {
  LedgerKind kind = LedgerKind::kStockByInventory;
  // Dates as the condition document carries them (e.g. "2025-03-01"); empty = open bound.
  std::string from;
  std::string to;
  // isverdate other than "false": the stock ledger's dates are audit dates and only audited
  // documents (cHandler not empty) count. The position ledger always uses the record date.
  bool audit_dates = false;
  // includeaudit "0": only audited documents (stock ledger).
  bool audited_only = false;
  SelectionStandard standard = SelectionStandard::kAll;
  int aux_unit = 2;
  // The warehouse list: every item must equal the warehouse code (so one code selects it).
  std::vector<std::string> warehouses;
  std::string class_prefix;  // invclass from, to empty: class codes beginning with it
  std::string inventory_from;
  std::string inventory_to;
  std::string inv_std;
  // Stock ledger: one batch, matched exactly. Position ledger: batch prefix (batch from).
  std::string batch;
  std::string position_from;  // position ledger
  std::string position_to;
  std::vector<ShownFreeItem> free_items;  // ascending item numbers
  LedgerRights rights;
};

struct SummaryRow {
  std::optional<std::string> cWhCode;   // position ledger
  std::optional<std::string> cPosCode;  // position ledger
  std::string cInvCode;
  std::optional<std::string> cBatch;                    // by batch and position ledgers
  std::vector<std::optional<std::string>> free_values;  // one per shown free item, in order
  double iBeginQtty = 0;
  std::optional<double> iBeginNum;
};

struct DetailLine {
  std::optional<int64_t> ID;      // stock: document header R.ID; position: IP.RdID
  std::optional<int64_t> AutoID;  // stock: line Rs.AutoID; position: IP.RdsID
  std::optional<int64_t> AutoId;  // position: the record's IP.AutoId
  std::string order_date;         // first sort key: R.dDate / R.dVeriDate / IP.dDate
  int64_t order_id = 0;           // second sort key: R.ID / IP.AutoId
  std::optional<double> iInQtty;
  std::optional<double> iInNum;
  std::optional<double> iOutQtty;
  std::optional<double> iOutNum;
};

// Within each run of equal (order_date, order_id) the statements fix no order (lines of one
// document); sorting such runs by line and record id makes two detail lists comparable.
void NormalizeDetailOrder(std::vector<DetailLine>& lines);

// The condition document (XML text) that asks for `query`: every element both readers need,
// values quoted for XML.
std::string ConditionDocument(const LedgerQuery& query);

class ReferenceLedger {
 public:
  // Keeps a reference to `company`, which must outlive the ledger. Throws std::runtime_error
  // when the account has no start date or the login year no period of the start month.
  ReferenceLedger(const demo::DemoCompany& company, std::string account, int login_year);
  ~ReferenceLedger();

  // Summary rows sorted by their keys (the statement itself fixes no order).
  std::vector<SummaryRow> Summary(const LedgerQuery& query) const;
  // Detail of one summary row, in statement order (see NormalizeDetailOrder).
  std::vector<DetailLine> Detail(const LedgerQuery& query, const SummaryRow& row) const;
  // The rights restrictions of `user` in the account, from the rights lists.
  LedgerRights RightsOf(const std::string& user) const;

 private:
  struct Books;  // the company's records indexed by code and id, and the computations over them
  std::unique_ptr<const Books> books_;
};

}  // namespace q9::testing
