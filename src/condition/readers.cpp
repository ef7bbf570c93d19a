#include "condition/readers.h"

#include <string>
#include <string_view>
#include <utility>

#include "condition/condition_errors.h"
#include "condition/date_cond.h"
#include "condition/document_values.h"
#include "condition/free_define_cond.h"
#include "condition/range_builders.h"
#include "condition/sql_text.h"

namespace q9::condition {
namespace {

using platform::xml::Document;
using platform::xml::Node;

constexpr const char* kAuditCond = " ISNULL(R.cHandler,'') <> ''";

void Append(std::string& where, const std::string& condition) {
  if (!condition.empty()) where += " AND " + condition;
}

// value1 and value2 of `element`, read in that order so a missing one is named predictably.
std::pair<std::string, std::string> ReadRange(const Document& doc, std::string_view element) {
  Node node = RequireElement(doc, element);
  std::string from = RequireAttribute(node, "value1");
  std::string to = RequireAttribute(node, "value2");
  return {std::move(from), std::move(to)};
}

bool IsWholeNumber(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The aggregate expressions a selection standard tests, and how each ledger tests the opening
// quantity: the stock ledger keeps any non-zero one, the position ledger a positive one only.
struct Aggregates {
  std::string receipt_count;
  std::string issue_count;
  std::string activity_count;
  std::string opening_quantity;
  const char* opening_kept;
};

Aggregates StockAggregates(const ConditionState& s) {
  return {
      "Sum(Case When R.bISSTQc = 0 And " + s.strDateCond + " And R.bRdFlag =1 then 1 else 0 end)  ",
      "Sum(Case When R.bISSTQc = 0 And " + s.strDateCond + " And R.bRdFlag = 0 then 1 else 0 end) ",
      "SUM(CASE WHEN R.bISSTQc = 0 And " + s.strDateCond + " THEN 1 ELSE 0 END)",
      "SUM( CASE WHEN R.bISSTQc = 1 Or " + s.strBeforeDate +
          " THEN (CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0) ELSE "
          "-ISNULL(Rs.iQuantity,0) END) ELSE 0 END)",
      "<>0",
  };
}

Aggregates PositionAggregates(const ConditionState& s) {
  return {
      "Sum(Case When  " + s.strDateCond + " And IP.bRdFlag = 1 then 1 else 0 end)  ",
      "Sum(Case When  " + s.strDateCond + " And IP.bRdFlag = 0 then 1 else 0 end) ",
      "SUM(CASE WHEN " + s.strDateCond + " THEN 1 ELSE 0 END)",
      "SUM( CASE WHEN " + s.strBeforeDate +
          " THEN (CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0) ELSE "
          "-ISNULL(IP.iQuantity,0) END) ELSE 0 END)",
      ">0",
  };
}

std::string HavingFor(std::string_view standard, const Aggregates& a) {
  const std::string opening = a.opening_quantity + a.opening_kept;
  if (standard == "所有存货") return opening + " OR " + a.activity_count + "> 0";
  if (standard == "发生业务") return a.activity_count + ">0";
  if (standard == "未发生业务") return opening + " AND " + a.activity_count + " = 0";
  if (standard == "入库未出库") return a.receipt_count + " > 0 AND " + a.issue_count + " = 0 ";
  if (standard == "出库未入库") return a.receipt_count + " = 0 AND " + a.issue_count + " > 0 ";
  return {};
}

// The steps both ledgers share, from the dates to the auxiliary unit.
void ReadCommonTerms(const Document& doc, const platform::Variant& account,
                     std::string_view date_field, ConditionState& state) {
  auto [date_from, date_to] = ReadRange(doc, "ddate");
  state.strDateCond = MakeDateCond(account, date_field, date_from, date_to, state.strBeforeDate);
  state.strWhere = "(1=1)";

  Append(state.strWhere, MakeListCond("W.cWhCode", ReadAttribute(doc, "warehouse", "value1")));
  auto [class_from, class_to] = ReadRange(doc, "invclass");
  Append(state.strWhere, MakeLikeRangeCond("I.cInvCCode", class_from, class_to));
  auto [inv_from, inv_to] = ReadRange(doc, "inventory");
  Append(state.strWhere, MakeValueRangeCond("I.cInvCode", inv_from, inv_to));
  std::string spec = ReadAttribute(doc, "invstd", "value1");
  if (!spec.empty()) state.strWhere += " AND I.cInvStd = '" + EscapeSqlText(spec) + "'";

  std::string ass_unit = ReadAttribute(doc, "assunit", "value1");
  std::string_view number = TrimBlanks(ass_unit);
  if (!IsWholeNumber(number)) throw NotAWholeNumber("assunit", "value1", ass_unit);
  state.strAssUnit = std::string(number);
}

void AppendFreeAndDefineTerms(const Document& doc, ConditionState& state) {
  std::string free_terms = MakeFreeCond(doc, state.strFreeCols, state.blnFreeShow);
  state.strWhere += free_terms;
  state.strWhere += MakeDefineCond(doc);
}

bool ReadVerDate(const Document& doc) {
  return ReadAttribute(doc, "ddate", "isverdate") != "false";
}

}  // namespace

void ReadStockCondition(const Document& doc, const platform::Variant& account,
                        ConditionState& state) {
  state.blnVerDate = ReadVerDate(doc);
  std::string audit = state.blnVerDate ? kAuditCond : "";
  ReadCommonTerms(doc, account, state.blnVerDate ? "R.dVeriDate" : "R.dDate", state);

  std::string standard = ReadAttribute(doc, "standard", "value1");
  state.strHaving = HavingFor(TrimBlanks(standard), StockAggregates(state));

  std::string batch = ReadAttribute(doc, "batch", "value1");
  if (!batch.empty()) state.strWhere += " AND Rs.cBatch = '" + EscapeSqlText(batch) + "'";
  if (TrimBlanks(ReadAttribute(doc, "includeaudit", "value")) == "0") audit = kAuditCond;
  Append(state.strWhere, audit);

  AppendFreeAndDefineTerms(doc, state);
}

void ReadPositionCondition(const Document& doc, const platform::Variant& account,
                           ConditionState& state) {
  state.blnVerDate = ReadVerDate(doc);
  // Position records carry their own date and the position statements join no document header,
  // so audit dates cannot apply here; the flag is still recorded for the statements.
  ReadCommonTerms(doc, account, "IP.dDate", state);

  std::string standard = ReadAttribute(doc, "standard", "value1");
  state.strHaving = HavingFor(TrimBlanks(standard), PositionAggregates(state));

  auto [batch_from, batch_to] = ReadRange(doc, "batch");
  Append(state.strWhere, MakeLikeRangeCond("IP.cBatch", batch_from, batch_to));
  auto [pos_from, pos_to] = ReadRange(doc, "position");
  Append(state.strWhere, MakeValueRangeCond("IP.cPosCode", pos_from, pos_to));

  AppendFreeAndDefineTerms(doc, state);
}

}  // namespace q9::condition
