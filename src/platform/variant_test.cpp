#include "platform/variant.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform {
namespace {

using q9::testing::ErrorNumberOf;

TEST(VariantTest, IntegerConversionRoundsHalvesToEvenAndOverflows) {
  struct Case {
    double in;
    int32_t out;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {3.49, 3}, {3.51, 4}};
  for (const auto& c : cases) EXPECT_EQ(Variant(c.in).ToI4(), c.out) << c.in;
  EXPECT_EQ(ErrorNumberOf([] { Variant(40000.0).ToI2(); }), kErrOverflow);
  EXPECT_EQ(Variant(32767.4).ToI2(), 32767);
  EXPECT_EQ(ErrorNumberOf([] { Variant(std::string("2147483648")).ToI4(); }), kErrOverflow);
}

TEST(VariantTest, BooleanFromText) {
  struct Case {
    const char* text;
    bool value;
  } cases[] = {{"true", true}, {"TRUE", true}, {"False", false},  {"0", false},
               {"-1", true},   {"2", true},    {" fAlSe ", false}};
  for (const auto& c : cases) EXPECT_EQ(Variant(c.text).ToBool(), c.value) << c.text;
  for (const char* bad : {"yes", "", "1x", "on"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Variant(bad).ToBool(); }), kErrTypeMismatch) << bad;
  }
}

TEST(VariantTest, NullAndNothingRules) {
  EXPECT_EQ(Variant::Null().ConcatText(), "");
  EXPECT_EQ(Variant().ConcatText(), "");
  EXPECT_EQ(ErrorNumberOf([] { Variant::Null().ToText(); }), kErrInvalidNull);
  EXPECT_EQ(ErrorNumberOf([] { Variant::Null().ToI4(); }), kErrInvalidNull);
  EXPECT_EQ(Variant::Nothing().TypeName(), "Nothing");
  EXPECT_EQ(ErrorNumberOf([] { Variant::Nothing().ToObject(); }), kErrObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([] { Variant("x").ToObject(); }), kErrTypeMismatch);
}

TEST(VariantTest, TextOfNumbersAndDates) {
  EXPECT_EQ(Variant(12.0).ToText(), "12");
  EXPECT_EQ(Variant(2.5).ToText(), "2.5");
  EXPECT_EQ(Variant(-0.0).ToText(), "0");
  EXPECT_EQ(Variant(int16_t{-7}).ToText(), "-7");
  EXPECT_EQ(Variant(true).ToText(), "True");
  EXPECT_EQ(Variant(true).ToDouble(), -1.0);
  EXPECT_EQ(Variant(*Date::Make(2024, 3, 1)).ToText(), "2024-03-01");
  EXPECT_EQ(Variant(*Date::Make(2024, 3, 1, 8, 5, 0)).ToText(), "2024-03-01 08:05:00");
}

TEST(VariantTest, DatesFromText) {
  struct Case {
    const char* text;
    const char* iso;  // nullptr: not a date
  } cases[] = {{"2024-1-1", "2024-01-01"},
               {"2024-01-31", "2024-01-31"},
               {"2024/2/29", "2024-02-29"},
               {"2024-03-01 10:20:30", "2024-03-01"},
               {"2023-02-29", nullptr},
               {"24-01-01", nullptr},
               {"2024-13-01", nullptr},
               {"abc", nullptr},
               {"", nullptr},
               {"2024-01-01x", nullptr},
               {"2024-1/1", nullptr},
               {"1900-02-29", nullptr},
               {"2000-02-29", "2000-02-29"}};
  for (const auto& c : cases) {
    if (c.iso) {
      EXPECT_EQ(Variant(c.text).ToDate().ToIsoDate(), c.iso) << c.text;
    } else {
      EXPECT_NE(ErrorNumberOf([&] { Variant(c.text).ToDate(); }), 0) << c.text;
    }
  }
  for (int64_t d : {-1000, 0, 1, 19000, 20000, 2932896}) {
    EXPECT_EQ(Date::FromDaysSinceEpoch(d).DaysSinceEpoch(), d);
  }
  EXPECT_EQ(Date::Make(2024, 2, 28)->AddDays(1).ToIsoDate(), "2024-02-29");
}

}  // namespace
}  // namespace q9::platform
