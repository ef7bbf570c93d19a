#include "ledger/summary_statement.h"

#include <string_view>

#include "ledger/statement_pieces.h"
#include "platform/error.h"

namespace q9::ledger {
namespace {

using condition::ConditionState;

// The auxiliary unit name: none for a single unit, the inventory's own auxiliary unit for a
// floating rate, the group unit numbered strAssUnit for a fixed rate.
constexpr std::string_view kUnitName =
    " CASE WHEN I.iGroupType = 0 THEN NULL "
    " WHEN I.iGrouptype = 2 THEN CU_A.cComUnitName "
    " WHEN I.iGrouptype = 1 THEN CU_G.cComUnitName END ";

constexpr std::string_view kPositionSelect =
    " SELECT W.cWhCode, MAX(W.cWhName) AS cWhName, Pos.cPosCode, MAX(Pos.cPosName) AS cPosName, "
    "I.cInvCode, MAX(I.cInvAddCode) AS cInvAddCode, MAX(I.cInvName) AS cInvName, MAX(I.cInvStd) "
    "AS cInvStd, MAX(IC.cInvCName) AS cInvCName, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
constexpr std::string_view kPositionAfterUnit =
    ") AS cInvA_Unit,MAX(I.iTopSum) AS iTopSum, MAX(I.iSafeNum) AS iSafeNum, MAX(iLowSum) AS "
    "iLowSum, IP.cBatch,";
constexpr std::string_view kPositionBeginQtty =
    " THEN (CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0) ELSE -ISNULL(IP.iQuantity,0) "
    "END) ELSE 0 END) AS iBeginQtty, ";
constexpr std::string_view kPositionBeginNum =
    " THEN (CASE WHEN IP.bRdFlag = 1 THEN 1 ELSE -1 END) * (CASE WHEN I.iGroupType = 0 THEN 0 "
    "WHEN I.iGroupType = 2 THEN IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN "
    "IP.iQuantity/CU_G.iChangRate END) ELSE 0 END) AS iBeginNum  ";
constexpr std::string_view kPositionFrom =
    " FROM Inventory I INNER JOIN InvPosition IP ON I.cInvCode = IP.cInvCode LEFT OUTER JOIN "
    "ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND CU_G.iNumber = ";
constexpr std::string_view kPositionJoins =
    " LEFT OUTER JOIN ComputationUnit CU_A ON I.cAssComUnitCode = CU_A.cComunitCode LEFT OUTER "
    "JOIN Warehouse W ON IP.cWhCode = W.cWhCode LEFT OUTER JOIN Position Pos ON IP.cPosCode = "
    "Pos.cPosCode LEFT OUTER JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode LEFT OUTER JOIN "
    "ComputationUnit CU_M ON I.cComUnitCode = CU_M.cComunitCode ";
constexpr std::string_view kPositionGroupBy =
    " GROUP BY W.cWhCode, I.cInvCode, Pos.cPosCode, IP.cBatch";

constexpr std::string_view kInventorySelect =
    " SELECT DISTINCT I.cInvCode, MAX(I.cInvName) AS cInvName, MAX(I.cInvAddCode) AS cInvAddCode, "
    "MAX(I.cInvStd) AS cInvStd, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
constexpr std::string_view kBatchSelect =
    " SELECT DISTINCT I.cInvCode,Rs.cBatch, MAX(I.cInvName) AS cInvName, MAX(I.cInvAddCode) AS "
    "cInvAddCode, MAX(I.cInvStd) AS cInvStd, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
constexpr std::string_view kStockAfterUnit = ") AS cInvA_Unit, ";
constexpr std::string_view kStockClassAndLimits =
    " MAX(IC.cInvCCode) AS cInvCCode, MAX(IC.cInvCName) AS cInvCName, AVG(I.iSafeNum) AS "
    "iSafeNum, AVG(I.iTopSum) AS iTopSum, AVG(I.iLowSum) AS iLowSum, ";
constexpr std::string_view kStockOpeningCase = " SUM( CASE WHEN R.bISSTQc = 1 Or ";
constexpr std::string_view kStockBeginQtty =
    " THEN (CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0) ELSE -ISNULL(Rs.iQuantity,0) "
    "END) ELSE 0 END) AS iBeginQtty, ";
constexpr std::string_view kStockBeginNum =
    " THEN (CASE WHEN R.bRdFlag = 1 THEN 1 ELSE -1 END) * (CASE WHEN I.iGroupType = 0 THEN 0 "
    "WHEN I.iGroupType = 2 THEN IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN "
    "Rs.iQuantity/CU_G.iChangRate END) ELSE 0 END) AS iBeginNum  ";
constexpr std::string_view kStockFrom =
    " FROM Inventory I LEFT OUTER JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode "
    "AND CU_G.iNumber = ";
constexpr std::string_view kStockJoins =
    " INNER JOIN RdRecords Rs ON I.cInvCode = Rs.cInvCode INNER JOIN RdRecord R ON Rs.ID = R.ID "
    "LEFT OUTER JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode LEFT OUTER JOIN Warehouse W "
    "ON R.cWhCode = W.cWhCode LEFT OUTER JOIN ComputationUnit CU_M ON I.cComUnitCode = "
    "CU_M.cComunitCode LEFT OUTER JOIN ComputationUnit CU_A ON I.cAssComUnitCode = "
    "CU_A.cComunitCode ";
constexpr std::string_view kInventoryWhere = " WHERE (R.dDate>='";
constexpr std::string_view kBatchWhere = " WHERE (I.bInvBatch=1) AND (R.dDate>='";
constexpr std::string_view kOrOpeningDocument = "' Or R.bIsSTQc = 1) ";
// Notional material returns (business type 假退料, voucher type 11) never count.
constexpr std::string_view kNoNotionalReturn =
    " and (not (R.cBusType = '假退料'and R.cVouchType = 11)) ";
constexpr std::string_view kInventoryGroupBy = " GROUP BY I.cInvCode ";
constexpr std::string_view kBatchGroupBy = " GROUP BY I.cInvCode,Rs.cBatch ";

void AppendFreeColumns(std::string& out, const std::string& free_cols) {
  if (free_cols.empty()) return;
  out += ", ";
  out += free_cols;
}

void AppendHaving(std::string& out, const std::string& having) {
  if (having.empty()) return;
  out += " HAVING ";
  out += having;
}

size_t EstimatedSize(const ConditionState& state, const RightsLists& rights) {
  return 3072 + state.strWhere.size() + state.strHaving.size() + state.strAssUnit.size() +
         2 * state.strFreeCols.size() + 2 * state.strBeforeDate.size() + rights.inventory.size() +
         rights.warehouse.size() + rights.department.size() + rights.maker.size() +
         rights.position.size();
}

std::string PositionSummary(const ConditionState& state, const RightsLists& rights) {
  std::string out;
  out.reserve(EstimatedSize(state, rights));
  out += kPositionSelect;
  out += kUnitName;
  out += kPositionAfterUnit;
  out += " SUM( CASE WHEN ";
  out += state.strBeforeDate;
  out += kPositionBeginQtty;
  out += " SUM( CASE WHEN ";
  out += state.strBeforeDate;
  out += kPositionBeginNum;
  AppendFreeColumns(out, state.strFreeCols);
  out += kPositionFrom;
  out += state.strAssUnit;
  out += kPositionJoins;
  out += " WHERE (1=1) ";
  AppendAndCondition(out, state.strWhere);
  AppendWarehouseFilter(out, rights.warehouse);
  AppendInventoryFilter(out, rights.inventory);
  AppendPositionFilter(out, rights.position);
  out += kPositionGroupBy;
  AppendFreeColumns(out, state.strFreeCols);
  AppendHaving(out, state.strHaving);
  return out;
}

std::string StockSummary(bool by_batch, const ConditionState& state, const RightsLists& rights,
                         const platform::Date& start_period_date) {
  std::string out;
  out.reserve(EstimatedSize(state, rights));
  out += by_batch ? kBatchSelect : kInventorySelect;
  out += kUnitName;
  out += kStockAfterUnit;
  out += kStockClassAndLimits;
  out += kStockOpeningCase;
  out += state.strBeforeDate;
  out += kStockBeginQtty;
  out += kStockOpeningCase;
  out += state.strBeforeDate;
  out += kStockBeginNum;
  AppendFreeColumns(out, state.strFreeCols);
  out += kStockFrom;
  out += state.strAssUnit;
  out += kStockJoins;
  out += by_batch ? kBatchWhere : kInventoryWhere;
  out += start_period_date.ToIsoDate();
  out += kOrOpeningDocument;
  out += kNoNotionalReturn;
  AppendAndCondition(out, state.strWhere);
  AppendWarehouseFilter(out, rights.warehouse);
  AppendInventoryFilter(out, rights.inventory);
  AppendDepartmentFilter(out, rights.department);
  AppendMakerFilter(out, rights.maker);
  out += by_batch ? kBatchGroupBy : kInventoryGroupBy;
  AppendFreeColumns(out, state.strFreeCols);
  AppendHaving(out, state.strHaving);
  return out;
}

}  // namespace

std::string SummaryStatement(int16_t kind, const ConditionState& state, const RightsLists& rights,
                             const platform::Date& start_period_date) {
  switch (kind) {
    case 0:
      return StockSummary(false, state, rights, start_period_date);
    case 1:
      return StockSummary(true, state, rights, start_period_date);
    case 2:
      return PositionSummary(state, rights);
    default:
      throw platform::ComError(platform::kErrInvalidCall, "Q9STRepSrv",
                               "账簿类型 " + std::to_string(kind) +
                                   " 无效：只能是 0（按存货）、1（按批次）或 2（按货位）");
  }
}

}  // namespace q9::ledger
