#include "condition/range_builders.h"

#include <gtest/gtest.h>

#include "condition/condition_test_support.h"

namespace q9::condition {
namespace {

using testing::ErrorOf;

struct ListCase {
  const char* list;
  const char* expected;
};

TEST(MakeListCondTest, ExactTexts) {
  const ListCase cases[] = {
      {"", ""},
      {"   ", ""},
      {"01", "W.cWhCode = '01' "},
      {"01 ", "W.cWhCode = '01 ' "},
      // Several codes select any of them.
      {"01,02", "(W.cWhCode = '01' OR W.cWhCode = '02')"},
      {"01,02,03", "(W.cWhCode = '01' OR W.cWhCode = '02' OR W.cWhCode = '03')"},
      {"01 , 02", "(W.cWhCode = '01 ' OR W.cWhCode = ' 02')"},
      {"01,", "(W.cWhCode = '01' OR W.cWhCode = '')"},
      {" ,01", "(W.cWhCode = ' ' OR W.cWhCode = '01')"},
      // Quotes stay inside their literal.
      {"O'Hara", "W.cWhCode = 'O''Hara' "},
      {"a'',b", "(W.cWhCode = 'a''''' OR W.cWhCode = 'b')"}};
  for (const ListCase& c : cases) {
    EXPECT_EQ(MakeListCond("W.cWhCode", c.list), c.expected) << "list [" << c.list << "]";
  }
}

using Builder = std::string (*)(std::string_view, std::string_view, std::string_view);

// Every range builder: an empty bound leaves its side open, equal bounds give the equality form,
// reversed bounds are exchanged (compared as the builder's kind of value) and quotes are doubled.
TEST(RangeBuildersTest, ExactTexts) {
  constexpr Builder kLike = MakeLikeRangeCond, kValue = MakeValueRangeCond,
                    kNumber = MakeNumberCompareCond, kDate = MakeDateCompareCond;
  struct Case {
    Builder build;
    const char* field;
    const char* from;
    const char* to;
    const char* expected;
  } cases[] = {
      {kLike, "I.cInvCCode", "", "", ""},
      {kLike, "I.cInvCCode", "02", "", " I.cInvCCode LIKE '02%'"},
      {kLike, "I.cInvCCode", "", "02", " I.cInvCCode LIKE '02%'"},
      {kLike, "cFree1", " ", "", " cFree1 LIKE ' %'"},
      {kLike, "I.cInvCCode", "01", "01", " I.cInvCCode = '01'"},
      {kLike, "I.cInvCCode", "01", "03",
       " LEFT(I.cInvCCode,LEN('01')) >= '01' AND LEFT(I.cInvCCode,LEN('03')) <= '03'"},
      // Reversed bounds are exchanged, judged on the whole values.
      {kLike, "I.cInvCCode", "B1", "A9",
       " LEFT(I.cInvCCode,LEN('A9')) >= 'A9' AND LEFT(I.cInvCCode,LEN('B1')) <= 'B1'"},
      {kLike, "I.cInvCCode", "A9", "A1",
       " LEFT(I.cInvCCode,LEN('A1')) >= 'A1' AND LEFT(I.cInvCCode,LEN('A9')) <= 'A9'"},
      {kLike, "I.cInvCCode", "0102", "01",
       " LEFT(I.cInvCCode,LEN('01')) >= '01' AND LEFT(I.cInvCCode,LEN('0102')) <= '0102'"},
      // Ordinal and case-sensitive: 'a' (0x61) sorts after 'B' (0x42); "A" and "a" differ.
      {kLike, "I.cInvCCode", "a", "B",
       " LEFT(I.cInvCCode,LEN('B')) >= 'B' AND LEFT(I.cInvCCode,LEN('a')) <= 'a'"},
      // Non-ASCII text sorts by code point, after every ASCII character.
      {kLike, "cFree1", "中", "Z",
       " LEFT(cFree1,LEN('Z')) >= 'Z' AND LEFT(cFree1,LEN('中')) <= '中'"},
      // Quotes doubled in every literal, including the LEN argument.
      {kLike, "I.cInvCCode", "O'B", "", " I.cInvCCode LIKE 'O''B%'"},
      {kLike, "I.cInvCCode", "a'", "a'", " I.cInvCCode = 'a'''"},
      {kLike, "I.cInvCCode", "x'", "y'",
       " LEFT(I.cInvCCode,LEN('x''')) >= 'x''' AND LEFT(I.cInvCCode,LEN('y''')) <= 'y'''"},
      // %, _ and [ in a LIKE pattern match themselves; equality and LEFT have no wildcards.
      {kLike, "c", "01_A", "", " c LIKE '01[_]A%'"},
      {kLike, "c", "", "50%", " c LIKE '50[%]%'"},
      {kLike, "c", "[x]'\\", "", " c LIKE '[[]x]''\\%'"},
      {kLike, "c", "0_1", "0_1", " c = '0_1'"},
      {kLike, "c", "0_1", "0%2", " LEFT(c,LEN('0%2')) >= '0%2' AND LEFT(c,LEN('0_1')) <= '0_1'"},
      {kValue, "I.cInvCode", "", "", ""},
      {kValue, "I.cInvCode", "001", "", " I.cInvCode >='001'"},
      {kValue, "I.cInvCode", "", "009", " I.cInvCode <= '009'"},
      {kValue, "I.cInvCode", "001", "001", " I.cInvCode = '001'"},
      {kValue, "I.cInvCode", "001", "009", " I.cInvCode >= '001' AND I.cInvCode<= '009'"},
      // Reversed bounds are exchanged, judged on the whole values.
      {kValue, "I.cInvCode", "3", "1", " I.cInvCode >= '1' AND I.cInvCode <= '3'"},
      {kValue, "I.cInvCode", "A9", "A1", " I.cInvCode >= 'A1' AND I.cInvCode <= 'A9'"},
      {kValue, "I.cInvCode", "b", "B", " I.cInvCode >= 'B' AND I.cInvCode <= 'b'"},
      {kValue, "I.cInvCode", " ", "", " I.cInvCode >=' '"},
      {kValue, "I.cInvCode", "it's", "", " I.cInvCode >='it''s'"},
      {kValue, "I.cInvCode", "", "'", " I.cInvCode <= ''''"},
      {kValue, "I.cInvCode", "a'b", "a'c", " I.cInvCode >= 'a''b' AND I.cInvCode<= 'a''c'"},
      {kNumber, "cInvDefine11", "", "", ""},
      {kNumber, "cInvDefine11", "5", "", "cInvDefine11>=5"},
      {kNumber, "cInvDefine11", "", "5", "cInvDefine11<=5"},
      {kNumber, "cInvDefine11", "5", "5", "cInvDefine11=5"},
      // Ordered as numbers, not as texts.
      {kNumber, "cInvDefine11", "9", "10", "cInvDefine11>=9 AND cInvDefine11<=10"},
      {kNumber, "cInvDefine11", "10", "9", "cInvDefine11>=9 AND cInvDefine11<=10"},
      {kNumber, "cInvDefine13", "-3", "-10", "cInvDefine13>=-10 AND cInvDefine13<=-3"},
      {kNumber, "cInvDefine14", "0.5", "0.25", "cInvDefine14>=0.25 AND cInvDefine14<=0.5"},
      {kNumber, "cInvDefine14", "+2", "1.5", "cInvDefine14>=1.5 AND cInvDefine14<=+2"},
      {kNumber, "cInvDefine11", "12345678901234567891", "12345678901234567890",
       "cInvDefine11>=12345678901234567890 AND cInvDefine11<=12345678901234567891"},
      // Numerically equal bounds give the equality form with the first text.
      {kNumber, "cInvDefine11", "5.0", "5", "cInvDefine11=5.0"},
      {kNumber, "cInvDefine11", "-0", "0.00", "cInvDefine11=-0"},
      {kDate, "cInvDefine15", "", "", ""},
      {kDate, "cInvDefine15", "2024-3-1", "", "cInvDefine15 >= '2024-03-01'"},
      {kDate, "cInvDefine15", "", "2024/2/1", "cInvDefine15 <= '2024-02-01'"},
      {kDate, "cInvDefine15", "2024-3-1", "2024-2-1",
       "cInvDefine15 >= '2024-02-01' AND cInvDefine15 <= '2024-03-01'"},
      {kDate, "cInvDefine15", "2024-02-01", "2024-03-01",
       "cInvDefine15 >= '2024-02-01' AND    cInvDefine15 <= '2024-03-01'"},
      {kDate, "cInvDefine15", "2024-2-10", "2024.02.10", "cInvDefine15 = '2024-02-10'"},
      // Compared as dates, not texts: "2024-10-1" is later than "2024-9-30".
      {kDate, "cInvDefine16", "2024-9-30", "2024-10-1",
       "cInvDefine16 >= '2024-09-30' AND    cInvDefine16 <= '2024-10-01'"},
      {kDate, "cInvDefine16", "2024-01-31 10:30", "2024-02-01",
       "cInvDefine16 >= '2024-01-31' AND    cInvDefine16 <= '2024-02-01'"}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.build(c.field, c.from, c.to), c.expected)
        << c.field << " [" << c.from << "] [" << c.to << "]";
  }
}

// A bound the number or date builder cannot read is a type mismatch naming field and value.
TEST(RangeBuildersTest, AValueOfTheWrongKindIsATypeMismatch) {
  struct Case {
    bool date;
    const char* from;
    const char* to;
    const char* bad;
  } cases[] = {{false, "abc", "", "abc"},
               {false, "5 ", "", "5 "},
               {false, "1e3", "", "1e3"},
               {false, ".5", "", ".5"},
               {false, "", " 5", " 5"},
               {false, "5.", "", "5."},
               {false, "--1", "", "--1"},
               {false, "1,000", "", "1,000"},
               {false, "+", "", "+"},
               {false, "5", "x", "x"},
               {false, "0x10", "", "0x10"},
               {true, "2024-13-01", "", "2024-13-01"},
               {true, "", "x'; --", "x'; --"},
               {true, "", "20240101", "20240101"},
               {true, "2024-02-30", "2024-03-01", "2024-02-30"},
               {true, "2024-01-01", "soon", "soon"},
               {true, " ", "", " "}};
  for (const Case& c : cases) {
    auto e = ErrorOf([&] {
      c.date ? MakeDateCompareCond("cInvDefine15", c.from, c.to)
             : MakeNumberCompareCond("cInvDefine11", c.from, c.to);
    });
    ASSERT_TRUE(e) << "accepted [" << c.from << "] [" << c.to << "]";
    EXPECT_EQ(e->number(), platform::kErrTypeMismatch);
    EXPECT_EQ(e->description(), std::string("字段 ") + (c.date ? "cInvDefine15" : "cInvDefine11") +
                                    " 的条件值 '" + c.bad + (c.date ? "' 不是日期" : "' 不是数字"));
  }
}

}  // namespace
}  // namespace q9::condition
