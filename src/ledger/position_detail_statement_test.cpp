#include "ledger/position_detail_statement.h"

#include <gtest/gtest.h>

#include <string>

namespace q9::ledger {
namespace {

using condition::ConditionState;

const std::string kSelectRecord =
    "SELECT IP.AutoId, IP.RdID AS ID, IP.RdsID,IP.bRdFlag, IP.cWhCode, IP.cPosCode, I.cInvCode,";

// Header and line defines interleaved, then the record's free items.
const std::string kDefineAndFreeColumns =
    "R.cDefine1, Rs.cDefine22,R.cDefine2, Rs.cDefine23,R.cDefine3, Rs.cDefine24,"
    "R.cDefine4, Rs.cDefine25,R.cDefine5, Rs.cDefine26,R.cDefine6, Rs.cDefine27,"
    "R.cDefine7, Rs.cDefine28,R.cDefine8, Rs.cDefine29,R.cDefine9, Rs.cDefine30,"
    "R.cDefine10, Rs.cDefine31,R.cDefine11, Rs.cDefine32,R.cDefine12, Rs.cDefine33,"
    "R.cDefine13, Rs.cDefine34,R.cDefine14, Rs.cDefine35,R.cDefine15, Rs.cDefine36,"
    "R.cDefine16, Rs.cDefine37,"
    "IP.cFree1, IP.cFree2, IP.cFree3, IP.cFree4, IP.cFree5, IP.cFree6, IP.cFree7, IP.cFree8, "
    "IP.cFree9, IP.cFree10, ";

const std::string kRecordColumns =
    " IP.dVDate, IP.cMemo,IP.cHandler,IP.dDate, "
    "CASE WHEN I.iGroupType =0 THEN NULL WHEN I.iGroupType = 2 THEN (CASE WHEN IP.iQuantity = 0.0 "
    "OR IP.iNum = 0.0 THEN NULL ELSE IP.iQuantity/IP.iNum END) WHEN I.iGroupType = 1 THEN "
    "CU_G.iChangRate END AS iChangRate"
    ", "
    " CASE WHEN IP.bRdFlag = 1 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN IP.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iInNum, "
    " CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0)  ELSE NULL END AS iInQtty, "
    " CASE WHEN IP.bRdFlag = 0 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN IP.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iOutNum, "
    " CASE WHEN IP.bRdFlag = 0 THEN ISNULL(IP.iQuantity,0) ELSE NULL END AS iOutQtty ";

const std::string kPersonAndUnit =
    " dbo.Person ON R.cPersonCode = dbo.Person.cPersonCode ON CU_G.cGroupCode = I.cGroupCode AND "
    "CU_G.iNumber =";

std::string SelectA(const std::string& ass_unit) {
  return kSelectRecord +
         " dbo.VouchType.cVouchType, dbo.VouchType.cVouchName, R.cBusType, R.cSource, "
         " R.cBusCode, R.cCode, dbo.Rd_Style.cRdName, dbo.Customer.cCusName, dbo.Vendor.cVenName, "
         "dbo.Person.cPersonName, dbo.Department.cDepName, " +
         kDefineAndFreeColumns + kRecordColumns +
         " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN "
         "dbo.Rd_Style RIGHT OUTER JOIN "
         " dbo.RdRecord R INNER JOIN dbo.RdRecords Rs ON R.ID = Rs.ID INNER JOIN dbo.InvPosition "
         "IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN "
         " dbo.Inventory I ON IP.cInvCode = I.cInvCode LEFT OUTER JOIN dbo.Vendor ON R.cVenCode = "
         "dbo.Vendor.cVenCode ON "
         " dbo.Rd_Style.cRdCode = R.cRdCode LEFT OUTER JOIN dbo.Customer ON R.cCusCode = "
         "dbo.Customer.cCusCode LEFT OUTER JOIN "
         " dbo.VouchType ON R.cVouchType = dbo.VouchType.cVouchType ON dbo.Department.cDepCode = "
         "R.cDepCode LEFT OUTER JOIN " +
         kPersonAndUnit + ass_unit + " WHERE (ISNULL(IP.cSource, '') = '') ";
}

std::string SelectB(const std::string& ass_unit) {
  return kSelectRecord +
         " '19' AS VouchType, '货位调整单' AS cVouchName, NULL AS cBusType, IP.cSource, "
         " NULL AS cBusCode, R.cVouchCode AS cCode, NULL AS cRdName, NULL AS cCusName, NULL AS "
         "cVenName, dbo.Person.cPersonName, dbo.Department.cDepName, " +
         kDefineAndFreeColumns + kRecordColumns +
         " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN "
         " dbo.AdjustPVouch R INNER JOIN dbo.AdjustPVouchs Rs ON R.ID = Rs.ID INNER JOIN "
         "dbo.InvPosition IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN "
         " dbo.Inventory I ON IP.cInvCode = I.cInvCode "
         " "
         " ON dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN " +
         kPersonAndUnit + ass_unit + " WHERE IP.cSource = '货位调整'";
}

std::string SelectC(const std::string& ass_unit) {
  return kSelectRecord +
         " '18' AS cVouchType, '盘点单' AS cVouchName, NULL AS cBusType, IP.cSource, "
         " NULL AS cBusCode, R.cCVCode AS cCode, NULL AS cRdName, NULL AS cCusName,NULL AS "
         "cVenName, dbo.Person.cPersonName, dbo.Department.cDepName, " +
         kDefineAndFreeColumns + kRecordColumns +
         " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN "
         " dbo.CheckVouch R INNER JOIN dbo.CheckVouchs Rs ON R.ID = Rs.ID INNER JOIN "
         "dbo.InvPosition IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN "
         " dbo.Inventory I ON IP.cInvCode = I.cInvCode "
         " "
         " ON dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN " +
         kPersonAndUnit + ass_unit + " WHERE IP.cSource = '盘点' ";
}

std::string Union(const std::string& ass_unit, const std::string& row_filter) {
  return SelectA(ass_unit) + row_filter + " UNION " + SelectB(ass_unit) + row_filter + " UNION " +
         SelectC(ass_unit) + row_filter + " ORDER BY IP.dDate,IP.AutoId ";
}

PositionRowKeys Row() {
  PositionRowKeys row;
  // Every key carries a quote, which its literal doubles.
  row.cWhCode = "0'1";
  row.cInvCode = "A'";
  row.cPosCode = "'P'";
  row.cBatch = "L'9";
  row.cFree = {"f1", "f2", "f'3", "f4", "f5", "f6", "f7", "f8", "f9", "f10"};
  return row;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const std::string kFourKeys =
    " AND IP.cWhCode='0''1' AND IP.cInvCode='A''' AND IP.cPosCode='''P'''"
    " AND ISNULL(IP.cBatch,'')= 'L''9'";

TEST(PositionDetailStatementTest, EveryRowFilterCarriesDateRightsAndShownFreeItems) {
  ConditionState s;
  s.strAssUnit = "2";
  s.strDateCond = "IP.dDate >= '2024-01-01' AND IP.dDate <= '2024-01-31'";
  s.blnFreeShow[6] = true;
  s.blnFreeShow[2] = true;
  std::string sql = PositionDetailStatement(s, {"'01'", " 'D1'", "'demo'  "}, Row());
  const std::string row_filter =
      " AND IP.dDate >= '2024-01-01' AND IP.dDate <= '2024-01-31'" + kFourKeys +
      " AND (R.cDepCode IN ( 'D1') OR ISNULL(R.cDepCode,'') = '')" + " AND R.cMaker IN ('demo'  )" +
      " AND IsNull(Rs.cFree3,'') ='f''3'" + " AND IsNull(Rs.cFree7,'') ='f7'";
  EXPECT_EQ(sql, Union("2", row_filter));
}

// The row filter is the four keys when nothing else applies: neither the warehouse list, blank
// lists nor what only the stock ledger and the summary read changes the position ledger detail.
TEST(PositionDetailStatementTest, RowFilterIsTheFourKeysWhenNothingElseApplies) {
  ConditionState plain;
  plain.strAssUnit = "1";
  const std::string expected = Union("1", kFourKeys);
  ConditionState busy = plain;
  busy.strWhere = "(1=1) AND W.cWhCode = '02' ";
  busy.strHaving = "SUM(1)>0";
  busy.strFreeCols = " cFree1 ";
  busy.strBeforeDate = "IP.dDate < '2024-01-01'";
  busy.blnVerDate = true;
  EXPECT_EQ(PositionDetailStatement(busy, {"'02'", "", ""}, Row()), expected);
  EXPECT_EQ(PositionDetailStatement(plain, {"", "  ", " "}, Row()), expected);
  // An empty batch compares with empty text.
  PositionRowKeys row = Row();
  row.cBatch.clear();
  EXPECT_EQ(Count(PositionDetailStatement(plain, {}, row), " AND ISNULL(IP.cBatch,'')= ''"), 3u);
}

}  // namespace
}  // namespace q9::ledger
