#include "ledger/position_detail_statement.h"

#include <string_view>

#include "ledger/statement_pieces.h"

namespace q9::ledger {
namespace {

constexpr std::string_view kSelectRecord =
    "SELECT IP.AutoId, IP.RdID AS ID, IP.RdsID,IP.bRdFlag, IP.cWhCode, IP.cPosCode, I.cInvCode,";

constexpr std::string_view kDocumentColumns =
    " dbo.VouchType.cVouchType, dbo.VouchType.cVouchName, R.cBusType, R.cSource, "
    " R.cBusCode, R.cCode, dbo.Rd_Style.cRdName, dbo.Customer.cCusName, dbo.Vendor.cVenName, "
    "dbo.Person.cPersonName, dbo.Department.cDepName, ";
constexpr std::string_view kAdjustmentColumns =
    " '19' AS VouchType, '货位调整单' AS cVouchName, NULL AS cBusType, IP.cSource, "
    " NULL AS cBusCode, R.cVouchCode AS cCode, NULL AS cRdName, NULL AS cCusName, NULL AS "
    "cVenName, dbo.Person.cPersonName, dbo.Department.cDepName, ";
constexpr std::string_view kStocktakeColumns =
    " '18' AS cVouchType, '盘点单' AS cVouchName, NULL AS cBusType, IP.cSource, "
    " NULL AS cBusCode, R.cCVCode AS cCode, NULL AS cRdName, NULL AS cCusName,NULL AS cVenName, "
    "dbo.Person.cPersonName, dbo.Department.cDepName, ";

constexpr std::string_view kRecordColumns =
    " IP.dVDate, IP.cMemo,IP.cHandler,IP.dDate, "
    "CASE WHEN I.iGroupType =0 THEN NULL WHEN I.iGroupType = 2 THEN (CASE WHEN IP.iQuantity = "
    "0.0 OR IP.iNum = 0.0 THEN NULL ELSE IP.iQuantity/IP.iNum END) WHEN I.iGroupType = 1 THEN "
    "CU_G.iChangRate END AS iChangRate"
    ", "
    " CASE WHEN IP.bRdFlag = 1 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 "
    "THEN IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN IP.iQuantity/CU_G.iChangRate END) ELSE "
    "NULL END AS iInNum, "
    " CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0)  ELSE NULL END AS iInQtty, "
    " CASE WHEN IP.bRdFlag = 0 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 "
    "THEN IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN IP.iQuantity/CU_G.iChangRate END) ELSE "
    "NULL END AS iOutNum, "
    " CASE WHEN IP.bRdFlag = 0 THEN ISNULL(IP.iQuantity,0) ELSE NULL END AS iOutQtty ";

// Nested joins: each ON closes the innermost open join.
constexpr std::string_view kFromDocuments =
    " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN "
    "dbo.Rd_Style RIGHT OUTER JOIN "
    " dbo.RdRecord R INNER JOIN dbo.RdRecords Rs ON R.ID = Rs.ID INNER JOIN dbo.InvPosition IP "
    "ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN "
    " dbo.Inventory I ON IP.cInvCode = I.cInvCode LEFT OUTER JOIN dbo.Vendor ON R.cVenCode = "
    "dbo.Vendor.cVenCode ON "
    " dbo.Rd_Style.cRdCode = R.cRdCode LEFT OUTER JOIN dbo.Customer ON R.cCusCode = "
    "dbo.Customer.cCusCode LEFT OUTER JOIN "
    " dbo.VouchType ON R.cVouchType = dbo.VouchType.cVouchType ON dbo.Department.cDepCode = "
    "R.cDepCode LEFT OUTER JOIN ";
constexpr std::string_view kFromAdjustments =
    " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN "
    " dbo.AdjustPVouch R INNER JOIN dbo.AdjustPVouchs Rs ON R.ID = Rs.ID INNER JOIN "
    "dbo.InvPosition IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN "
    " dbo.Inventory I ON IP.cInvCode = I.cInvCode "
    " "
    " ON dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN ";
constexpr std::string_view kFromStocktakes =
    " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN "
    " dbo.CheckVouch R INNER JOIN dbo.CheckVouchs Rs ON R.ID = Rs.ID INNER JOIN dbo.InvPosition "
    "IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN "
    " dbo.Inventory I ON IP.cInvCode = I.cInvCode "
    " "
    " ON dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN ";
constexpr std::string_view kJoinPersonAndUnit =
    " dbo.Person ON R.cPersonCode = dbo.Person.cPersonCode ON CU_G.cGroupCode = I.cGroupCode AND "
    "CU_G.iNumber =";

// Records without a source belong to receipt and issue documents.
constexpr std::string_view kWhereDocumentRecord = " WHERE (ISNULL(IP.cSource, '') = '') ";
constexpr std::string_view kWhereAdjustmentRecord = " WHERE IP.cSource = '货位调整'";
constexpr std::string_view kWhereStocktakeRecord = " WHERE IP.cSource = '盘点' ";

// strCols: header and line defines interleaved (1 with 22, ... 16 with 37), then the record's
// free items.
std::string DefineAndFreeColumns() {
  std::string cols;
  for (int i = 1; i <= 16; ++i) {
    cols += "R.cDefine" + std::to_string(i) + ", Rs.cDefine" + std::to_string(i + 21) + ",";
  }
  for (int i = 1; i <= 10; ++i) cols += "IP.cFree" + std::to_string(i) + ", ";
  return cols;
}

std::string RowFilter(const condition::ConditionState& state, const DetailRights& rights,
                      const PositionRowKeys& row, const std::string& free_filter) {
  std::string out;
  AppendAndCondition(out, state.strDateCond);
  out += " AND IP.cWhCode='" + QuoteValue(row.cWhCode) + "'";
  out += " AND IP.cInvCode='" + QuoteValue(row.cInvCode) + "'";
  out += " AND IP.cPosCode='" + QuoteValue(row.cPosCode) + "'";
  out += " AND ISNULL(IP.cBatch,'')= '" + QuoteValue(row.cBatch) + "'";
  AppendDepartmentFilter(out, rights.department);
  AppendMakerFilter(out, rights.maker);
  out += free_filter;
  return out;
}

}  // namespace

std::string PositionDetailStatement(const condition::ConditionState& state,
                                    const DetailRights& rights, const PositionRowKeys& row) {
  const std::string str_cols = DefineAndFreeColumns();
  std::string str_free_filter;
  AppendFreeItemFilters(str_free_filter, state.blnFreeShow, row.cFree);
  const std::string row_filter = RowFilter(state, rights, row, str_free_filter);

  std::string out;
  out.reserve(9000 + 3 * (row_filter.size() + state.strAssUnit.size()));
  auto append_select = [&](std::string_view document_columns, std::string_view from,
                           std::string_view where) {
    out += kSelectRecord;
    out += document_columns;
    out += str_cols;
    out += kRecordColumns;
    out += from;
    out += kJoinPersonAndUnit;
    out += state.strAssUnit;
    out += where;
    out += row_filter;
  };
  append_select(kDocumentColumns, kFromDocuments, kWhereDocumentRecord);
  out += " UNION ";
  append_select(kAdjustmentColumns, kFromAdjustments, kWhereAdjustmentRecord);
  out += " UNION ";
  append_select(kStocktakeColumns, kFromStocktakes, kWhereStocktakeRecord);
  out += " ORDER BY IP.dDate,IP.AutoId ";
  return out;
}

}  // namespace q9::ledger
