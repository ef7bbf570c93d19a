// A calendar date with an optional time of day, as automation dates carry them.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace q9::platform {

class Date {
 public:
  Date() = default;
  // Throws Overflow-free: the caller validates; use Make for checked construction.
  static std::optional<Date> Make(int year, int month, int day, int hour = 0, int minute = 0,
                                  int second = 0);
  // Accepts YYYY-M-D and YYYY-MM-DD with '-', '/' or '.', optionally followed by a blank or
  // 'T' and H:MM[:SS]. Returns nothing for any other text or an impossible date.
  static std::optional<Date> Parse(std::string_view text);

  int year() const { return year_; }
  int month() const { return month_; }
  int day() const { return day_; }
  int hour() const { return seconds_ / 3600; }
  int minute() const { return seconds_ / 60 % 60; }
  int second() const { return seconds_ % 60; }
  bool has_time() const { return seconds_ != 0; }

  // "YYYY-MM-DD", the form SQL date literals and the embedded database use.
  std::string ToIsoDate() const;
  // The default text of a date: "YYYY-MM-DD", with " HH:MM:SS" when it has a time of day.
  std::string ToText() const;
  // Days since 1970-01-01 (negative before).
  int64_t DaysSinceEpoch() const;
  static Date FromDaysSinceEpoch(int64_t days);
  Date AddDays(int64_t days) const { return FromDaysSinceEpoch(DaysSinceEpoch() + days); }

  auto operator<=>(const Date&) const = default;

 private:
  int year_ = 1899;
  int month_ = 12;
  int day_ = 30;
  int seconds_ = 0;
};

}  // namespace q9::platform
