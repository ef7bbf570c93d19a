#include "condition/date_cond.h"

#include <gtest/gtest.h>

#include "condition/condition_test_support.h"

namespace q9::condition {
namespace {

using platform::Variant;
using testing::D;
using testing::ErrorOf;

// StandardAccount: stock module started 2024-03-15, period 3 begins 2024-02-26.
TEST(MakeDateCondTest, ExactTexts) {
  struct Case {
    const char *from, *to, *before, *in_range;
  } cases[] = {{"2024-1-1", "2024-1-31", "R.dDate < '2024-01-01'",
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
                "R.dDate >= '2024-09-30' AND R.dDate <= '2024-10-01'"}};
  for (const Case& c : cases) {
    std::string before = "stale";
    EXPECT_EQ(MakeDateCond(testing::StandardAccount(), "R.dDate", c.from, c.to, before), c.in_range)
        << "[" << c.from << "] [" << c.to << "]";
    EXPECT_EQ(before, c.before) << "[" << c.from << "] [" << c.to << "]";
  }
}

// Without a first date the range starts at the default text of the BeginDate of the period of the
// stock start month, its quotes doubled.
TEST(MakeDateCondTest, StockStartIsTheBeginDateOfThePeriodOfTheStartMonth) {
  // Each period begins on a day that names its month, so the text shows which period was read.
  auto day_of_month = [](int m) { return Variant(D(2023, m, m)); };
  struct Case {
    Variant stock_start;
    std::function<Variant(int)> begin_of;
    std::string text;
  } cases[] = {{Variant(D(2024, 3, 15)), day_of_month, "'2023-03-03'"},
               {Variant(D(2025, 1, 31)), day_of_month, "'2023-01-01'"},
               {Variant("2024-12-05"), day_of_month, "'2023-12-12'"},
               {Variant(D(2024, 2, 1)),
                [](int) { return Variant(*platform::Date::Make(2024, 2, 26, 8, 30)); },
                "'2024-02-26 08:30:00'"},
               {Variant(D(2024, 2, 1)), [](int) { return Variant("2024-02-26"); }, "'2024-02-26'"},
               {Variant(D(2024, 2, 1)), [](int) { return Variant("26'02"); }, "'26''02'"}};
  for (const Case& c : cases) {
    std::string before;
    EXPECT_EQ(MakeDateCond(testing::MakeAccount(c.stock_start, c.begin_of), "F", "", "", before),
              "F >= " + c.text);
    EXPECT_EQ(before, "F < " + c.text);
  }
}

// A bad date, an account that raises or is not set: the error, and strBeforeDate left alone.
TEST(MakeDateCondTest, ErrorsLeaveBeforeAlone) {
  const platform::ComError raised(70, "VtERPVO.Account", "account unavailable");
  auto failing = [&](const char* member) {
    return testing::MakeAccount(
        Variant(D(2024, 3, 15)), [](int) { return Variant(D(2024, 3, 1)); }, member, raised);
  };
  struct Case {
    Variant account;
    const char *from, *to;
    int number;
    std::string description;
  } cases[] = {{testing::StandardAccount(), "2024-13-01", "2024-01-01", platform::kErrTypeMismatch,
                "字段 R.dDate 的条件值 '2024-13-01' 不是日期"},
               {testing::StandardAccount(), "x' OR 1=1 --", "", platform::kErrTypeMismatch,
                "字段 R.dDate 的条件值 'x' OR 1=1 --' 不是日期"},
               {testing::StandardAccount(), "", " ", platform::kErrTypeMismatch,
                "字段 R.dDate 的条件值 ' ' 不是日期"},
               // Account errors pass out unchanged even when both dates are given.
               {failing("STStartDate"), "2024-01-01", "2024-01-31", 70, "account unavailable"},
               {failing("Period"), "2024-01-01", "2024-01-31", 70, "account unavailable"},
               {failing("BeginDate"), "2024-01-01", "2024-01-31", 70, "account unavailable"},
               {Variant::Nothing(), "", "", platform::kErrObjectNotSet, ""}};
  for (const Case& c : cases) {
    std::string before = "earlier";
    auto e = ErrorOf([&] { MakeDateCond(c.account, "R.dDate", c.from, c.to, before); });
    ASSERT_TRUE(e) << "accepted [" << c.from << "] [" << c.to << "]";
    EXPECT_EQ(e->number(), c.number) << c.description;
    EXPECT_EQ(e->source() == "VtERPVO.Account", c.number == 70);
    EXPECT_TRUE(c.description.empty() || e->description() == c.description) << e->description();
    EXPECT_EQ(before, "earlier") << c.description;
  }
}

}  // namespace
}  // namespace q9::condition
