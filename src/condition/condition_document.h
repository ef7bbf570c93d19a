// The condition document the command line builds from its options: the XML text a report front
// end hands to OpenX and OpenPage, with every element and attribute the condition readers of both
// ledgers read, so one document serves the stock ledger and the position ledger alike.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/option_error.h"

namespace q9::condition {

// A from / to pair of attribute texts; an empty text means no bound.
struct Range {
  std::string from;
  std::string to;
  bool operator==(const Range&) const = default;
};

inline constexpr int kFreeItems = 10;
inline constexpr int kDefineItems = 16;

// What the condition options say. Texts go into the document as given (the document escapes
// them as XML needs); nothing is trimmed.
struct ConditionOptions {
  Range dates;                // ddate value1 / value2
  bool audit_dates = false;   // ddate isverdate: "true" for audit dates, "false" for document dates
  std::string warehouses;     // warehouse value1: codes separated by ","
  Range inv_class;            // invclass
  Range inventory;            // inventory
  std::string spec;           // invstd value1
  std::string assunit = "1";  // assunit value1
  std::string standard = "所有存货";  // standard value1: one of the five names
  Range batch;                        // batch (the stock ledger reads value1 only)
  Range position;                     // position
  bool audited_only = false;          // includeaudit value "0" (audited documents only) or "1"
  // Free item i+1: shown (check "1") with its range when set, not shown (check "0") otherwise.
  std::array<std::optional<Range>, kFreeItems> free;
  std::array<Range, kDefineItems> define;  // invdefine i+1
};

// The document: a <condition> element holding, in the order the readers read them, ddate,
// warehouse, invclass, inventory, invstd, assunit, standard, batch, includeaudit, position,
// free1..free10 and invdefine1..invdefine16, each with all of its attributes.
std::string BuildConditionDocument(const ConditionOptions& options);

// "FROM" or "FROM:TO" (either side may be empty: ":TO" bounds only the upper end). The text is
// split at the first ':'.
Range ParseRange(std::string_view text);

// The longest value a condition option takes: codes are short, and a value matched as a
// pattern must stay within what the database engine accepts.
inline constexpr size_t kMaxValueLength = 255;

// platform::OptionError naming `option` when `value` is longer than kMaxValueLength characters.
void CheckLength(std::string_view value, std::string_view option);

// ParseRange for an option's text: platform::OptionError naming `option` for a second ':' or a side
// longer than kMaxValueLength.
Range ParseRangeOption(std::string_view text, std::string_view option);

// A whole number from `min` to `max` in decimal digits; platform::OptionError "OPTION TEXT:
// expected WHAT from MIN to MAX" otherwise ("from MIN" alone when `max` is the largest int64_t).
int64_t ParseWholeNumber(std::string_view text, std::string_view option, int64_t min, int64_t max,
                         std::string_view what);

// "I=FROM[:TO]" with I from 1 to `max_item`; raises platform::OptionError naming `option`
// otherwise.
std::pair<int, Range> ParseItemRange(std::string_view text, int max_item, std::string_view option);

// The selection standard of a name or alias: the five names as they are, or all, active,
// inactive, in-not-out, out-not-in. Raises platform::OptionError listing them for anything else.
std::string StandardName(std::string_view name_or_alias);

// A date option: YYYY-MM-DD, a real date; platform::OptionError naming `option` for anything else.
std::string ParseDateOption(std::string_view text, std::string_view option);

}  // namespace q9::condition
