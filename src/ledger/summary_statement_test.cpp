#include "ledger/summary_statement.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::ledger {
namespace {

using condition::ConditionState;
using platform::Date;

// The ledger's fixed texts, written out whole.
const std::string kUnitName =
    " CASE WHEN I.iGroupType = 0 THEN NULL  WHEN I.iGrouptype = 2 THEN CU_A.cComUnitName  WHEN "
    "I.iGrouptype = 1 THEN CU_G.cComUnitName END ";

const std::string kS0Select =
    " SELECT DISTINCT I.cInvCode, MAX(I.cInvName) AS cInvName, MAX(I.cInvAddCode) AS cInvAddCode, "
    "MAX(I.cInvStd) AS cInvStd, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
const std::string kS1Select =
    " SELECT DISTINCT I.cInvCode,Rs.cBatch, MAX(I.cInvName) AS cInvName, MAX(I.cInvAddCode) AS "
    "cInvAddCode, MAX(I.cInvStd) AS cInvStd, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
const std::string kStockClass =
    ") AS cInvA_Unit,  MAX(IC.cInvCCode) AS cInvCCode, MAX(IC.cInvCName) AS cInvCName, "
    "AVG(I.iSafeNum) AS iSafeNum, AVG(I.iTopSum) AS iTopSum, AVG(I.iLowSum) AS iLowSum, ";
const std::string kStockJoins =
    " INNER JOIN RdRecords Rs ON I.cInvCode = Rs.cInvCode INNER JOIN RdRecord R ON Rs.ID = R.ID "
    "LEFT OUTER JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode LEFT OUTER JOIN Warehouse W "
    "ON R.cWhCode = W.cWhCode LEFT OUTER JOIN ComputationUnit CU_M ON I.cComUnitCode = "
    "CU_M.cComunitCode LEFT OUTER JOIN ComputationUnit CU_A ON I.cAssComUnitCode = "
    "CU_A.cComunitCode ";
const std::string kNotionalReturn = " and (not (R.cBusType = '假退料'and R.cVouchType = 11)) ";

// The two opening columns: `when` selects the opening lines, `rd` holds bRdFlag and `line` the
// quantities.
std::string Opening(const std::string& when, const std::string& rd, const std::string& line) {
  const std::string flag = " THEN (CASE WHEN " + rd + ".bRdFlag = 1 THEN ";
  return " SUM( CASE WHEN " + when + flag + "ISNULL(" + line + ".iQuantity,0) ELSE -ISNULL(" +
         line + ".iQuantity,0) END) ELSE 0 END) AS iBeginQtty,  SUM( CASE WHEN " + when + flag +
         "1 ELSE -1 END) * (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN IsNull(" +
         line + ".iNum,0) WHEN I.iGRoupType = 1 THEN " + line +
         ".iQuantity/CU_G.iChangRate END) ELSE 0 END) AS iBeginNum  ";
}
std::string StockOpening(const std::string& before) {
  return Opening("R.bISSTQc = 1 Or " + before, "R", "Rs");
}

std::string StockFrom(const std::string& ass_unit) {
  return " FROM Inventory I LEFT OUTER JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode "
         "AND CU_G.iNumber = " +
         ass_unit + kStockJoins;
}

const std::string kPositionSelect =
    " SELECT W.cWhCode, MAX(W.cWhName) AS cWhName, Pos.cPosCode, MAX(Pos.cPosName) AS cPosName, "
    "I.cInvCode, MAX(I.cInvAddCode) AS cInvAddCode, MAX(I.cInvName) AS cInvName, MAX(I.cInvStd) AS "
    "cInvStd, MAX(IC.cInvCName) AS cInvCName, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
const std::string kPositionLimits =
    ") AS cInvA_Unit,MAX(I.iTopSum) AS iTopSum, MAX(I.iSafeNum) AS iSafeNum, MAX(iLowSum) AS "
    "iLowSum, IP.cBatch,";

std::string PositionFrom(const std::string& ass_unit) {
  return " FROM Inventory I INNER JOIN InvPosition IP ON I.cInvCode = IP.cInvCode LEFT OUTER JOIN "
         "ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND CU_G.iNumber = " +
         ass_unit +
         " LEFT OUTER JOIN ComputationUnit CU_A ON I.cAssComUnitCode = CU_A.cComunitCode LEFT "
         "OUTER JOIN Warehouse W ON IP.cWhCode = W.cWhCode LEFT OUTER JOIN Position Pos ON "
         "IP.cPosCode = Pos.cPosCode LEFT OUTER JOIN InventoryClass IC ON I.cInvCCode = "
         "IC.cInvCCode LEFT OUTER JOIN ComputationUnit CU_M ON I.cComUnitCode = CU_M.cComunitCode ";
}

const Date kStart = *Date::Make(2023, 12, 1);

// A reading of a stock condition: one warehouse, opening before 2024-01-01, unit 2.
ConditionState StockState() {
  ConditionState s;
  s.strWhere = "(1=1) AND W.cWhCode = '01' ";
  s.strBeforeDate = "R.dDate < '2024-01-01'";
  s.strDateCond = "R.dDate >= '2024-01-01' AND R.dDate <= '2024-01-31'";
  s.strAssUnit = "2";
  return s;
}

RightsLists BlankRights() { return {"", "   ", "", " ", ""}; }

TEST(SummaryStatementTest, ByInventoryWithoutFreeItemsOrHavingEndsWithTheGroupBy) {
  EXPECT_EQ(SummaryStatement(0, StockState(), BlankRights(), kStart),
            kS0Select + kUnitName + kStockClass + StockOpening("R.dDate < '2024-01-01'") +
                StockFrom("2") + " WHERE (R.dDate>='2023-12-01' Or R.bIsSTQc = 1) " +
                kNotionalReturn + " AND (1=1) AND W.cWhCode = '01' " + " GROUP BY I.cInvCode ");
}

TEST(SummaryStatementTest, ByBatchWithFreeItemsHavingAndEveryStockRightsList) {
  ConditionState s = StockState();
  s.strFreeCols = " cFree1 , cFree3 ";
  s.strHaving = "SUM(CASE WHEN R.bISSTQc = 0 THEN 1 ELSE 0 END)>0";
  RightsLists rights{" 7,9", "'01','02' ", "  '1'", "'demo'", "'P1'"};
  EXPECT_EQ(SummaryStatement(1, s, rights, kStart),
            kS1Select + kUnitName + kStockClass + StockOpening("R.dDate < '2024-01-01'") +
                ",  cFree1 , cFree3 " + StockFrom("2") +
                " WHERE (I.bInvBatch=1) AND (R.dDate>='2023-12-01' Or R.bIsSTQc = 1) " +
                kNotionalReturn + " AND (1=1) AND W.cWhCode = '01' " +
                " AND W.cWhCode IN ('01','02' )" + " AND I.iId IN ( 7,9)" +
                " AND (R.cDepCode IN (  '1') OR ISNULL(R.cDepCode,'') = '')" +
                " AND R.cMaker IN ('demo')" + " GROUP BY I.cInvCode,Rs.cBatch " +
                ",  cFree1 , cFree3 " + " HAVING SUM(CASE WHEN R.bISSTQc = 0 THEN 1 ELSE 0 END)>0");
}

TEST(SummaryStatementTest, PositionLedgerUsesThePositionListButNeverDepartmentOrMaker) {
  ConditionState s;
  s.strWhere = "(1=1) AND IP.cBatch LIKE 'L%'";
  s.strBeforeDate = "IP.dDate < '2024-01-01'";
  s.strAssUnit = "1";
  s.strFreeCols = " cFree2 ";
  s.strHaving = "SUM(CASE WHEN IP.dDate >= '2024-01-01' THEN 1 ELSE 0 END)>0";
  RightsLists rights{"3", "'01'", "'D1'", "'demo'", " 'A-01','A-02'"};
  EXPECT_EQ(SummaryStatement(2, s, rights, kStart),
            kPositionSelect + kUnitName + kPositionLimits +
                Opening("IP.dDate < '2024-01-01'", "IP", "IP") + ",  cFree2 " + PositionFrom("1") +
                " WHERE (1=1) " + " AND (1=1) AND IP.cBatch LIKE 'L%'" +
                " AND W.cWhCode IN ('01')" + " AND I.iId IN (3)" +
                " AND Pos.cPosCode IN ( 'A-01','A-02')" +
                " GROUP BY W.cWhCode, I.cInvCode, Pos.cPosCode, IP.cBatch" + ",  cFree2 " +
                " HAVING SUM(CASE WHEN IP.dDate >= '2024-01-01' THEN 1 ELSE 0 END)>0");
}

TEST(SummaryStatementTest, StartPeriodDateIsWrittenAsYearMonthDay) {
  struct Case {
    Date date;
    std::string text;
  } cases[] = {{*Date::Make(2024, 3, 1, 10, 30), "(R.dDate>='2024-03-01' Or R.bIsSTQc = 1) "},
               {*Date::Make(999, 12, 31), "(R.dDate>='0999-12-31' Or R.bIsSTQc = 1) "}};
  for (const Case& c : cases) {
    for (int16_t kind : {0, 1}) {
      EXPECT_NE(SummaryStatement(kind, StockState(), BlankRights(), c.date).find(c.text),
                std::string::npos)
          << c.text;
    }
  }
}

TEST(SummaryStatementTest, EmptyWhereAddsNoAnd) {
  ConditionState s = StockState();
  s.strWhere.clear();
  EXPECT_TRUE(SummaryStatement(0, s, BlankRights(), kStart)
                  .ends_with(kNotionalReturn + " GROUP BY I.cInvCode "));
}

TEST(SummaryStatementTest, KindOutsideTheThreeLedgersIsAnInvalidCallNamingTheKind) {
  for (int16_t kind : {3, -1, 32767}) {
    auto e =
        q9::testing::ErrorOf([&] { SummaryStatement(kind, StockState(), BlankRights(), kStart); });
    ASSERT_TRUE(e) << "kind " << kind << " built a statement";
    EXPECT_EQ(e->number(), platform::kErrInvalidCall);
    EXPECT_EQ(e->description(), "账簿类型 " + std::to_string(kind) +
                                    " 无效：只能是 0（按存货）、1（按批次）或 2（按货位）");
  }
}

}  // namespace
}  // namespace q9::ledger
