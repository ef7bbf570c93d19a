#include "condition/date_cond.h"

#include <gtest/gtest.h>

#include "condition/condition_test_support.h"

namespace q9::condition {
namespace {

using platform::Variant;
using testing::D;
using testing::ErrorOf;

struct Case {
  const char* from;
  const char* to;
  const char* before;
  const char* in_range;
};

// StandardAccount: stock module started 2024-03-15, period 3 begins 2024-02-26.
TEST(MakeDateCondTest, ExactTexts) {
  const Case cases[] = {
      {"2024-1-1", "2024-1-31", "R.dDate < '2024-01-01'",
       "R.dDate >= '2024-01-01' AND R.dDate <= '2024-01-31'"},
      {"2024-03-01", "2024-02-01", "R.dDate < '2024-02-01'",
       "R.dDate >= '2024-02-01' AND  R.dDate <= '2024-03-01'"},
      {"2024-02-10", "2024-02-10", "R.dDate < '2024-02-10'", "R.dDate = '2024-02-10'"},
      {"2024-5-6", "", "R.dDate < '2024-05-06'", "R.dDate >= '2024-05-06'"},
      {"", "", "R.dDate < '2024-02-26'", "R.dDate >= '2024-02-26'"},
      {"", "2024/4/30", "R.dDate < '2024-02-26'",
       "R.dDate >= '2024-02-26' AND R.dDate <= '2024-04-30'"},
      // Compared as dates: "2024-10-1" is later than "2024-9-30".
      {"2024-9-30", "2024-10-1", "R.dDate < '2024-09-30'",
       "R.dDate >= '2024-09-30' AND R.dDate <= '2024-10-01'"},
  };
  for (const Case& c : cases) {
    std::string before = "stale";
    EXPECT_EQ(MakeDateCond(testing::StandardAccount(), "R.dDate", c.from, c.to, before), c.in_range)
        << "[" << c.from << "] [" << c.to << "]";
    EXPECT_EQ(before, c.before) << "[" << c.from << "] [" << c.to << "]";
  }
}

TEST(MakeDateCondTest, StockStartComesFromThePeriodOfTheStartMonth) {
  // Each period begins on a day that names its month, so the text shows which period was read.
  auto begin_of = [](int m) { return Variant(D(2023, m, m)); };
  struct AccountCase {
    Variant stock_start;
    const char* before;
    const char* in_range;
  } cases[] = {
      {Variant(D(2024, 3, 15)), "IP.dDate < '2023-03-03'", "IP.dDate >= '2023-03-03'"},
      {Variant(D(2025, 1, 31)), "IP.dDate < '2023-01-01'", "IP.dDate >= '2023-01-01'"},
      {Variant("2024-12-05"), "IP.dDate < '2023-12-12'", "IP.dDate >= '2023-12-12'"},
  };
  for (const AccountCase& c : cases) {
    std::string before;
    std::string in_range =
        MakeDateCond(testing::MakeAccount(c.stock_start, begin_of), "IP.dDate", "", "", before);
    EXPECT_EQ(before, c.before);
    EXPECT_EQ(in_range, c.in_range);
  }
}

TEST(MakeDateCondTest, StockStartTextIsTheDefaultTextOfTheBeginDateWithQuotesDoubled) {
  struct AccountCase {
    Variant begin;
    const char* in_range;
  } cases[] = {
      {Variant(*platform::Date::Make(2024, 2, 26, 8, 30)), "F >= '2024-02-26 08:30:00'"},
      {Variant("2024-02-26"), "F >= '2024-02-26'"},
      {Variant("26'02"), "F >= '26''02'"},
  };
  for (const AccountCase& c : cases) {
    Variant account = testing::MakeAccount(Variant(D(2024, 2, 1)), [&](int) { return c.begin; });
    std::string before;
    EXPECT_EQ(MakeDateCond(account, "F", "", "", before), c.in_range);
  }
}

TEST(MakeDateCondTest, AValueThatIsNotADateIsATypeMismatchAndLeavesBeforeAlone) {
  struct BadCase {
    const char* from;
    const char* to;
    const char* bad;
  } cases[] = {
      {"2024-13-01", "2024-01-01", "2024-13-01"},
      {"x' OR 1=1 --", "", "x' OR 1=1 --"},
      {"", " ", " "},
  };
  for (const BadCase& c : cases) {
    std::string before = "earlier";
    auto e = ErrorOf(
        [&] { MakeDateCond(testing::StandardAccount(), "R.dVeriDate", c.from, c.to, before); });
    ASSERT_TRUE(e) << "accepted [" << c.from << "] [" << c.to << "]";
    EXPECT_EQ(e->number(), platform::kErrTypeMismatch);
    EXPECT_EQ(e->description(), std::string("字段 R.dVeriDate 的条件值 '") + c.bad + "' 不是日期");
    EXPECT_EQ(before, "earlier");
  }
}

TEST(MakeDateCondTest, AccountErrorsPassOutUnchangedEvenWhenBothDatesAreGiven) {
  const platform::ComError raised(70, "VtERPVO.Account", "account unavailable");
  for (const char* member : {"STStartDate", "Period", "BeginDate"}) {
    std::string before = "earlier";
    auto e = ErrorOf([&] {
      MakeDateCond(testing::FailingAccount(member, raised), "R.dDate", "2024-01-01", "2024-01-31",
                   before);
    });
    ASSERT_TRUE(e) << member;
    EXPECT_EQ(e->number(), 70) << member;
    EXPECT_EQ(e->source(), "VtERPVO.Account") << member;
    EXPECT_EQ(e->description(), "account unavailable") << member;
    EXPECT_EQ(before, "earlier") << member;
  }
}

TEST(MakeDateCondTest, AnAccountThatIsNotSetIsObjectNotSet) {
  std::string before;
  auto e = ErrorOf([&] { MakeDateCond(Variant::Nothing(), "R.dDate", "", "", before); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->number(), platform::kErrObjectNotSet);
}

}  // namespace
}  // namespace q9::condition
