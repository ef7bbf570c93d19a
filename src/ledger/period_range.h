// Accounting periods as the command line names them: --period 3 or --period 2026-03 (one
// period) and --periods 1:3 (a range), turned into the date range of a condition through the
// periods the component returns (GetPeriodDay).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace q9::ledger {

struct PeriodRange {
  std::string option;  // the option and its text as given, for messages: "--periods 1:3"
  int first = 0;       // period numbers within the year
  int last = 0;
  std::optional<int> year;  // the year a YYYY-MM form names
};

// "N" or "YYYY-MM" for --period; "A:B" with A and B in either form for --periods.
// platform::OptionError naming the option for anything else, for A after B, or for two different
// years.
PeriodRange ParsePeriods(const std::string& text, const std::string& option);

struct Period {
  int number = 0;
  std::string begin;  // YYYY-MM-DD
  std::string end;
};

// The first day of `range.first` and the last day of `range.last` among `periods` (the year's
// periods, in any order). platform::OptionError naming the option and the periods the year has when
// one is not among them.
std::pair<std::string, std::string> PeriodDates(const PeriodRange& range,
                                                const std::vector<Period>& periods,
                                                const std::string& account, int year);

// The message for a year without periods, the same for every command.
std::string NoPeriodsMessage(const std::string& account, int year);

}  // namespace q9::ledger
