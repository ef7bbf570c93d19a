#include "ledger/period_list.h"

#include <gtest/gtest.h>

namespace q9::ledger {
namespace {

TEST(PeriodStatementTest, QuotesTheAccountAndPlacesTheYearBare) {
  EXPECT_EQ(PeriodStatement("001", "2005"),
            "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '001' "
            "AND iYear = 2005");
  EXPECT_EQ(PeriodStatement("0'1", "2005"),
            "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '0''1' "
            "AND iYear = 2005");
}

}  // namespace
}  // namespace q9::ledger
