#include "platform/date.h"

#include <cstdio>

namespace q9::platform {
namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads 1..max_digits digits at `pos`; false when there is none.
bool ReadNumber(std::string_view s, size_t& pos, int max_digits, int& out) {
  size_t start = pos;
  out = 0;
  while (pos < s.size() && pos - start < static_cast<size_t>(max_digits) && s[pos] >= '0' &&
         s[pos] <= '9') {
    out = out * 10 + (s[pos] - '0');
    ++pos;
  }
  return pos > start;
}

}  // namespace

std::optional<Date> Date::Make(int year, int month, int day, int hour, int minute, int second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return std::nullopt;
  }
  Date d;
  d.year_ = year;
  d.month_ = month;
  d.day_ = day;
  d.seconds_ = hour * 3600 + minute * 60 + second;
  return d;
}

std::optional<Date> Date::Parse(std::string_view s) {
  size_t pos = 0;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  int y = 0, m = 0, d = 0;
  size_t year_start = pos;
  if (!ReadNumber(s, pos, 4, y) || pos - year_start != 4) return std::nullopt;
  if (pos >= s.size() || (s[pos] != '-' && s[pos] != '/' && s[pos] != '.')) return std::nullopt;
  char sep = s[pos++];
  if (!ReadNumber(s, pos, 2, m)) return std::nullopt;
  if (pos >= s.size() || s[pos] != sep) return std::nullopt;
  ++pos;
  if (!ReadNumber(s, pos, 2, d)) return std::nullopt;
  int hh = 0, mm = 0, ss = 0;
  if (pos < s.size() && (s[pos] == ' ' || s[pos] == 'T')) {
    size_t p = pos + 1;
    while (p < s.size() && s[p] == ' ') ++p;
    if (p < s.size()) {
      if (!ReadNumber(s, p, 2, hh) || p >= s.size() || s[p] != ':') return std::nullopt;
      ++p;
      if (!ReadNumber(s, p, 2, mm)) return std::nullopt;
      if (p < s.size() && s[p] == ':') {
        ++p;
        if (!ReadNumber(s, p, 2, ss)) return std::nullopt;
        // Fractions of a second, as databases print them, are dropped.
        if (p < s.size() && s[p] == '.') {
          ++p;
          while (p < s.size() && s[p] >= '0' && s[p] <= '9') ++p;
        }
      }
    }
    pos = p;
  }
  while (pos < s.size() && s[pos] == ' ') ++pos;
  if (pos != s.size()) return std::nullopt;
  return Make(y, m, d, hh, mm, ss);
}

std::string Date::ToIsoDate() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year_, month_, day_);
  return buf;
}

std::string Date::ToText() const {
  if (seconds_ == 0) return ToIsoDate();
  char buf[32];
  std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", hour(), minute(), second());
  return ToIsoDate() + buf;
}

// Howard Hinnant's days_from_civil / civil_from_days.
int64_t Date::DaysSinceEpoch() const {
  int64_t y = year_ - (month_ <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (month_ + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + day_ - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Date Date::FromDaysSinceEpoch(int64_t z) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  Date out;
  out.year_ = static_cast<int>(y + (m <= 2 ? 1 : 0));
  out.month_ = static_cast<int>(m);
  out.day_ = static_cast<int>(d);
  return out;
}

}  // namespace q9::platform
