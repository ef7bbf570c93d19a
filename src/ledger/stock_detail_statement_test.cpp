#include "ledger/stock_detail_statement.h"

#include <gtest/gtest.h>

#include <string>

namespace q9::ledger {
namespace {

using condition::ConditionState;
using platform::Date;

// Everything from SELECT to the unit number, then from the unit number to the start date: the
// fixed head of every stock ledger detail statement.
const std::string kSelect =
    " SELECT DISTINCT R.ID,Rs.AutoID,VT.cVouchType, VT.cVouchName, R.cWhCode, Rs.cInvCode, "
    "dDate,dVeriDate, R.bRdFlag AS YL, ISNULL(R.cBusType,'') + ',' + ISNULL(R.cBusCode,'') AS "
    "cBusTypeCode, R.cCode, "
    " ISNULL(DP.cDepName,'') + ',' + ISNULL(P1.cPersonName,'') AS ZY4, ISNULL(R.cHandler,'') + ',' "
    "+ ISNULL(R.cMaker,'') AS ZY5, ISNULL(Rs.cBatch,'') + ',' + ISNULL(CONVERT(VARCHAR(10), "
    "Rs.dVDate, 102),'') AS ZY6, "
    "CASE WHEN I.iGroupType =0 THEN NULL WHEN I.iGroupType = 2 THEN (CASE WHEN Rs.iQuantity = 0.0 "
    "OR Rs.iNum = 0.0 THEN NULL ELSE Rs.iQuantity/Rs.iNum END) WHEN I.iGroupType = 1 THEN "
    "CU_G.iChangRate END AS iChangRate"
    ", "
    " CASE WHEN R.bRdFlag = 1 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN Rs.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iInNum, "
    " CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0)     ELSE NULL END AS iInQtty, "
    " CASE WHEN R.bRdFlag = 0 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN Rs.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iOutNum, "
    " CASE WHEN R.bRdFlag = 0 THEN ISNULL(Rs.iQuantity,0) ELSE NULL END AS iOutQtty, "
    " ISNULL(C.cCusAbbName,'') + ISNULL(V.cVenAbbName,'') AS ZY3,ISNULL(VT.cVouchName,'') + ',' + "
    "ISNULL(Rd.cRdName,'') AS ZY2, W.cWhName, R.cMemo, "
    " R.cDefine1,R.cDefine2, R.cDefine3, R.cDefine4, R.cDefine5, R.cDefine6, R.cDefine7, "
    "R.cDefine8, R.cDefine9, R.cDefine10, R.cDefine11, R.cDefine12, R.cDefine13, R.cDefine14, "
    "R.cDefine15, R.cDefine16,Rs.cDefine22, Rs.cDefine23, Rs.cDefine24, Rs.cDefine25, "
    "Rs.cDefine26, Rs.cDefine27,Rs.cDefine28, Rs.cDefine29, Rs.cDefine30, Rs.cDefine31, "
    "Rs.cDefine32, Rs.cDefine33, Rs.cDefine34, Rs.cDefine35, Rs.cDefine36, Rs.cDefine37, "
    " Rs.cFree1, Rs.cFree2, Rs.cFree3, Rs.cFree4, Rs.cFree5, Rs.cFree6 , Rs.cFree7, Rs.cFree8, "
    "Rs.cFree9, Rs.cFree10, "
    " Rs.dCheckDate , Rs.cCheckCode, CheckPerson.cPersonName as cCheckPersonName, Rs.cRejectCode "
    " FROM Inventory I LEFT OUTER JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND "
    "CU_G.iNumber =";
const std::string kJoins =
    " RIGHT OUTER JOIN Vendor V RIGHT OUTER JOIN Customer C RIGHT OUTER JOIN RdRecord R LEFT OUTER "
    "JOIN Person P1 ON R.cPersonCode = P1.cPersonCode LEFT OUTER JOIN "
    " Department DP ON R.cDepCode = DP.cDepCode LEFT OUTER JOIN Warehouse W ON R.cWhCode = "
    "W.cWhCode LEFT OUTER JOIN RdRecords Rs ON R.ID = Rs.ID LEFT OUTER JOIN VouchType VT ON "
    "R.cVouchType = VT.cVouchType LEFT OUTER JOIN Rd_Style Rd ON R.cRdCode = Rd.cRdCode ON "
    "C.cCusCode = R.cCusCode ON V.cVenCode = R.cVenCode ON I.cInvCode = Rs.cInvCode "
    " left outer join Person CheckPerson on CheckPerson.cPersonCode = Rs.cCheckPersonCode "
    " WHERE (1=1) and (R.dDate>='";
const std::string kExclusions =
    " and (not (R.cBusType = '假退料'and R.cVouchType = 11)) AND IsNull(R.bPuFirst,0) <> 1 AND "
    "Rs.cInvCode = '";

const Date kStart = *Date::Make(2023, 12, 1);

TEST(StockDetailStatementTest, ByInventoryWithNothingOptional) {
  ConditionState s;
  s.strAssUnit = "1";
  StockRowKeys row;
  row.cInvCode = "A001";
  row.cBatch = "L9";     // not a key of the stock ledger by inventory
  row.cFree[0] = "red";  // not shown
  std::string sql = StockDetailStatement(false, s, {" ", "", "   "}, kStart, row);
  EXPECT_EQ(sql, kSelect + "1" + kJoins + "2023-12-01" + "' Or R.bIsSTQc = 1) " + kExclusions +
                     "A001" + "'" + " ORDER BY " + "R.dDate" + ",R.ID ");
  // Straight from the start-date test to the exclusions.
  EXPECT_NE(sql.find("' Or R.bIsSTQc = 1)  and (not (R.cBusType"), std::string::npos);
}

TEST(StockDetailStatementTest, ByBatchWithEveryOptionalPiece) {
  ConditionState s;
  s.strAssUnit = "2";
  s.strWhere = "(1=1) AND W.cWhCode = '01' ";
  s.strDateCond = "R.dVeriDate >= '2024-01-01' AND R.dVeriDate <= '2024-01-31'";
  s.blnVerDate = true;
  s.blnFreeShow[1] = true;
  s.blnFreeShow[4] = true;
  // Whatever these hold, the detail does not read them.
  s.strHaving = "SUM(1)>0";
  s.strFreeCols = " cFree2 , cFree5 ";
  s.strBeforeDate = "R.dVeriDate < '2024-01-01'";
  StockRowKeys row;
  row.cInvCode = "A001";
  row.cBatch = "L9";
  row.cFree = {"f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10"};
  DetailRights rights{"  '01','02'", "'D1' ", "'demo'"};
  std::string sql = StockDetailStatement(true, s, rights, *Date::Make(2024, 2, 3), row);
  EXPECT_EQ(sql, kSelect + "2" + kJoins + "2024-02-03" + "' Or R.bIsSTQc = 1) " +
                     " AND (1=1) AND W.cWhCode = '01' " +
                     " AND R.dVeriDate >= '2024-01-01' AND R.dVeriDate <= '2024-01-31'" +
                     kExclusions + "A001" + "'" + " AND Rs.cBatch = 'L9'" +
                     " AND W.cWhCode IN (  '01','02')" +
                     " AND (R.cDepCode IN ('D1' ) OR ISNULL(R.cDepCode,'') = '')" +
                     " AND R.cMaker IN ('demo')" + " AND IsNull(Rs.cFree2,'') ='f2'" +
                     " AND IsNull(Rs.cFree5,'') ='f5'" + " ORDER BY " + "R.dVeriDate " + ",R.ID ");
}

TEST(StockDetailStatementTest, RowValuesWithQuotesSelectThemselves) {
  ConditionState s;
  s.strAssUnit = "1";
  s.blnFreeShow[2] = true;
  StockRowKeys row;
  row.cInvCode = "O'Brien's";
  row.cBatch = "'";
  row.cFree[2] = "5' 7''";
  std::string sql = StockDetailStatement(true, s, {}, kStart, row);
  EXPECT_TRUE(
      sql.ends_with(" AND Rs.cInvCode = 'O''Brien''s' AND Rs.cBatch = ''''"
                    " AND IsNull(Rs.cFree3,'') ='5'' 7''''' ORDER BY R.dDate,R.ID "))
      << sql;
}

}  // namespace
}  // namespace q9::ledger
