#include "ledger/stock_detail_statement.h"

#include <string_view>

#include "ledger/statement_pieces.h"

namespace q9::ledger {
namespace {

constexpr std::string_view kSelectDocument =
    " SELECT DISTINCT R.ID,Rs.AutoID,VT.cVouchType, VT.cVouchName, R.cWhCode, Rs.cInvCode, "
    "dDate,dVeriDate, R.bRdFlag AS YL, ISNULL(R.cBusType,'') + ',' + ISNULL(R.cBusCode,'') AS "
    "cBusTypeCode, R.cCode, ";
constexpr std::string_view kSelectPeople =
    " ISNULL(DP.cDepName,'') + ',' + ISNULL(P1.cPersonName,'') AS ZY4, ISNULL(R.cHandler,'') + "
    "',' + ISNULL(R.cMaker,'') AS ZY5, ISNULL(Rs.cBatch,'') + ',' + ISNULL(CONVERT(VARCHAR(10), "
    "Rs.dVDate, 102),'') AS ZY6, ";
constexpr std::string_view kSelectChangRate =
    "CASE WHEN I.iGroupType =0 THEN NULL WHEN I.iGroupType = 2 THEN (CASE WHEN Rs.iQuantity = "
    "0.0 OR Rs.iNum = 0.0 THEN NULL ELSE Rs.iQuantity/Rs.iNum END) WHEN I.iGroupType = 1 THEN "
    "CU_G.iChangRate END AS iChangRate";
constexpr std::string_view kSelectQuantities =
    ", "
    " CASE WHEN R.bRdFlag = 1 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN Rs.iQuantity/CU_G.iChangRate END) ELSE NULL "
    "END AS iInNum, "
    " CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0)     ELSE NULL END AS iInQtty, "
    " CASE WHEN R.bRdFlag = 0 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN Rs.iQuantity/CU_G.iChangRate END) ELSE NULL "
    "END AS iOutNum, "
    " CASE WHEN R.bRdFlag = 0 THEN ISNULL(Rs.iQuantity,0) ELSE NULL END AS iOutQtty, ";
constexpr std::string_view kSelectPartners =
    " ISNULL(C.cCusAbbName,'') + ISNULL(V.cVenAbbName,'') AS ZY3,ISNULL(VT.cVouchName,'') + ',' "
    "+ ISNULL(Rd.cRdName,'') AS ZY2, W.cWhName, R.cMemo, ";
constexpr std::string_view kSelectDefines =
    " R.cDefine1,R.cDefine2, R.cDefine3, R.cDefine4, R.cDefine5, R.cDefine6, R.cDefine7, "
    "R.cDefine8, R.cDefine9, R.cDefine10, R.cDefine11, R.cDefine12, R.cDefine13, R.cDefine14, "
    "R.cDefine15, R.cDefine16,Rs.cDefine22, Rs.cDefine23, Rs.cDefine24, Rs.cDefine25, "
    "Rs.cDefine26, Rs.cDefine27,Rs.cDefine28, Rs.cDefine29, Rs.cDefine30, Rs.cDefine31, "
    "Rs.cDefine32, Rs.cDefine33, Rs.cDefine34, Rs.cDefine35, Rs.cDefine36, Rs.cDefine37, ";
constexpr std::string_view kSelectFreeItems =
    " Rs.cFree1, Rs.cFree2, Rs.cFree3, Rs.cFree4, Rs.cFree5, Rs.cFree6 , Rs.cFree7, Rs.cFree8, "
    "Rs.cFree9, Rs.cFree10, ";
constexpr std::string_view kSelectCheck =
    " Rs.dCheckDate , Rs.cCheckCode, CheckPerson.cPersonName as cCheckPersonName, "
    "Rs.cRejectCode ";
constexpr std::string_view kFromInventory =
    " FROM Inventory I LEFT OUTER JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode "
    "AND CU_G.iNumber =";
// Nested joins: each ON closes the innermost open join.
constexpr std::string_view kJoinDocuments =
    " RIGHT OUTER JOIN Vendor V RIGHT OUTER JOIN Customer C RIGHT OUTER JOIN RdRecord R LEFT "
    "OUTER JOIN Person P1 ON R.cPersonCode = P1.cPersonCode LEFT OUTER JOIN "
    " Department DP ON R.cDepCode = DP.cDepCode LEFT OUTER JOIN Warehouse W ON R.cWhCode = "
    "W.cWhCode LEFT OUTER JOIN RdRecords Rs ON R.ID = Rs.ID LEFT OUTER JOIN VouchType VT ON "
    "R.cVouchType = VT.cVouchType LEFT OUTER JOIN Rd_Style Rd ON R.cRdCode = Rd.cRdCode ON "
    "C.cCusCode = R.cCusCode ON V.cVenCode = R.cVenCode ON I.cInvCode = Rs.cInvCode "
    " left outer join Person CheckPerson on CheckPerson.cPersonCode = Rs.cCheckPersonCode ";
constexpr std::string_view kWhereFromStartPeriod = " WHERE (1=1) and (R.dDate>='";
constexpr std::string_view kOrOpeningDocument = "' Or R.bIsSTQc = 1) ";
// Notional material returns and documents flagged bPuFirst never count.
constexpr std::string_view kExclusionsAndInventory =
    " and (not (R.cBusType = '假退料'and R.cVouchType = 11)) AND IsNull(R.bPuFirst,0) <> 1 AND "
    "Rs.cInvCode = '";

}  // namespace

std::string StockDetailStatement(bool by_batch, const condition::ConditionState& state,
                                 const DetailRights& rights,
                                 const platform::Date& start_period_date, const StockRowKeys& row) {
  std::string out;
  out.reserve(4096 + state.strWhere.size() + state.strDateCond.size() + rights.warehouse.size() +
              rights.department.size() + rights.maker.size());
  out += kSelectDocument;
  out += kSelectPeople;
  out += kSelectChangRate;
  out += kSelectQuantities;
  out += kSelectPartners;
  out += kSelectDefines;
  out += kSelectFreeItems;
  out += kSelectCheck;
  out += kFromInventory;
  out += state.strAssUnit;
  out += kJoinDocuments;
  out += kWhereFromStartPeriod;
  out += start_period_date.ToIsoDate();
  out += kOrOpeningDocument;
  AppendAndCondition(out, state.strWhere);
  AppendAndCondition(out, state.strDateCond);
  out += kExclusionsAndInventory;
  out += QuoteValue(row.cInvCode);
  out += "'";
  if (by_batch) {
    out += " AND Rs.cBatch = '";
    out += QuoteValue(row.cBatch);
    out += "'";
  }
  AppendWarehouseFilter(out, rights.warehouse);
  AppendDepartmentFilter(out, rights.department);
  AppendMakerFilter(out, rights.maker);
  AppendFreeItemFilters(out, state.blnFreeShow, row.cFree);
  out += " ORDER BY ";
  out += state.blnVerDate ? "R.dVeriDate " : "R.dDate";
  out += ",R.ID ";
  return out;
}

}  // namespace q9::ledger
