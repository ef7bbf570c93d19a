#include "ledger/period_range.h"

#include <algorithm>
#include <charconv>

#include "platform/option_error.h"

namespace q9::ledger {
namespace {

std::optional<int> Digits(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || text[0] == '-' ||
      text[0] == '+') {
    return std::nullopt;
  }
  return value;
}

// One side: "N" or "YYYY-MM".
bool ParseOne(std::string_view text, int& number, std::optional<int>& year) {
  size_t dash = text.find('-');
  if (dash == std::string_view::npos) {
    std::optional<int> n = Digits(text);
    if (!n || *n < 1) return false;
    number = *n;
    return true;
  }
  std::optional<int> y = Digits(text.substr(0, dash));
  std::optional<int> m = Digits(text.substr(dash + 1));
  if (dash != 4 || text.size() != 7 || !y || !m || *m < 1) return false;
  if (year && *year != *y) return false;
  year = *y;
  number = *m;
  return true;
}

}  // namespace

PeriodRange ParsePeriods(const std::string& text, const std::string& option) {
  PeriodRange r;
  r.option = option + " " + text;
  bool range = option == "--periods";
  size_t colon = text.find(':');
  bool ok = range ? colon != std::string::npos &&
                        ParseOne(std::string_view(text).substr(0, colon), r.first, r.year) &&
                        ParseOne(std::string_view(text).substr(colon + 1), r.last, r.year)
                  : ParseOne(text, r.first, r.year);
  if (!range) r.last = r.first;
  if (!ok) {
    throw platform::OptionError(
        r.option + ": expected " +
        (range ? std::string("FIRST:LAST, each a period number (1) or YYYY-MM of one "
                             "year")
               : std::string("a period number (3) or YYYY-MM (2026-03)")));
  }
  if (r.first > r.last) {
    throw platform::OptionError(r.option + ": period " + std::to_string(r.first) +
                                " is after period " + std::to_string(r.last));
  }
  return r;
}

std::pair<std::string, std::string> PeriodDates(const PeriodRange& range,
                                                const std::vector<Period>& periods,
                                                const std::string& account, int year) {
  if (periods.empty())
    throw platform::OptionError(range.option + ": " + NoPeriodsMessage(account, year));
  auto find = [&](int number) -> const Period& {
    auto it = std::find_if(periods.begin(), periods.end(),
                           [&](const Period& p) { return p.number == number; });
    if (it == periods.end()) {
      auto [lo, hi] =
          std::minmax_element(periods.begin(), periods.end(),
                              [](const Period& a, const Period& b) { return a.number < b.number; });
      throw platform::OptionError(range.option + ": account " + account + " has no period " +
                                  std::to_string(number) + " in " + std::to_string(year) +
                                  " (its periods are " + std::to_string(lo->number) + " to " +
                                  std::to_string(hi->number) + ")");
    }
    return *it;
  };
  return {find(range.first).begin, find(range.last).end};
}

std::string NoPeriodsMessage(const std::string& account, int year) {
  return "account " + account + " has no accounting periods in " + std::to_string(year) +
         " (--year)";
}

}  // namespace q9::ledger
