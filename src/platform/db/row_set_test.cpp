#include "platform/db/row_set.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform::db {
namespace {

Date D(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return *Date::Make(y, m, d, hh, mm, ss);
}

TEST(RowSetTest, EveryKindOfValueReadsBackAsAppendedWhereverItStands) {
  // Texts long enough for one-, two- and three-byte lengths; dates before 1970, with a time of
  // day, at the first second after midnight; numbers at their limits.
  const std::vector<Variant> values = {
      Variant(),
      Variant::Null(),
      Variant::Missing(),
      Variant(true),
      Variant(false),
      Variant(int16_t{-32768}),
      Variant(int32_t{2147483647}),
      Variant(int32_t{-1}),
      Variant(-0.25),
      Variant(1e300),
      Variant(D(2026, 3, 31)),
      Variant(D(1899, 12, 30)),
      Variant(D(1969, 12, 31, 23, 59, 59)),
      Variant(D(2024, 2, 29, 0, 0, 1)),
      Variant(std::string()),
      Variant("货位调整单"),
      Variant(std::string(127, 'a')),
      Variant(std::string(128, 'b')),
      Variant(std::string(20000, 'c')),
  };
  // Three columns, so each value stands at another column in different rows; in chunks of the
  // default size and in chunks smaller than most rows and than the longest text.
  for (size_t chunk_bytes : {RowSet::kChunkBytes, size_t{40}}) {
    RowSet rows({"a", "b", "c"}, chunk_bytes);
    for (int round = 0; round < 3; ++round) {
      for (const Variant& v : values) rows.Append(v);
    }
    ASSERT_EQ(rows.row_count(), values.size());
    rows.ShrinkToFit();
    for (size_t i = 0; i < 3 * values.size(); ++i) {
      const Variant got = rows.Value(i / 3, i % 3);
      EXPECT_EQ(got, values[i % values.size()])
          << "value " << i << " in chunks of " << chunk_bytes << ": " << got.TypeName();
    }
  }
}

TEST(RowSetTest, TypedAppendsCountCompleteRowsAndObjectsAreRefused) {
  RowSet typed({"n", "b", "i", "d", "t", "s"});
  typed.AppendNull();
  typed.AppendBoolean(true);
  typed.AppendInteger(-7);
  typed.AppendDouble(2.5);
  typed.AppendDate(D(2025, 1, 1));
  EXPECT_EQ(typed.row_count(), 0u);
  typed.AppendText("0101001");
  const std::vector<Variant> expected = {Variant::Null(),        Variant(true),
                                         Variant(int32_t{-7}),   Variant(2.5),
                                         Variant(D(2025, 1, 1)), Variant("0101001")};
  ASSERT_EQ(typed.row_count(), 1u);
  for (size_t c = 0; c < expected.size(); ++c) EXPECT_EQ(typed.Value(0, c), expected[c]) << c;
  EXPECT_EQ(q9::testing::ErrorNumberOf([&] { typed.Append(Variant::Nothing()); }),
            kErrTypeMismatch);
  EXPECT_EQ(typed.row_count(), 1u);
}

}  // namespace
}  // namespace q9::platform::db
