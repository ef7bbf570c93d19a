#include "condition/condition_texts.h"

namespace q9::condition {

ConditionOptions ParseConditionTexts(const ConditionTexts& t) {
  ConditionOptions c;
  if (t.from) c.dates.from = ParseDateOption(*t.from, "--from");
  if (t.to) c.dates.to = ParseDateOption(*t.to, "--to");
  if (t.from && t.to && c.dates.from > c.dates.to) {
    throw platform::OptionError("--from " + c.dates.from + " is after --to " + c.dates.to +
                                "; the range would select nothing");
  }
  c.audit_dates = t.audit_dates;
  c.warehouses = t.warehouses;
  for (size_t start = 0;;) {
    size_t comma = t.warehouses.find(',', start);
    CheckLength(std::string_view(t.warehouses).substr(start, comma - start), "--warehouse");
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  c.inv_class = ParseRangeOption(t.inv_class, "--class");
  c.inventory = ParseRangeOption(t.inventory, "--inventory");
  CheckLength(t.spec, "--spec");
  c.spec = t.spec;
  c.assunit = std::to_string(ParseWholeNumber(t.assunit, "--assunit", 1, 99, "a unit number"));
  c.standard = StandardName(t.standard);
  c.batch = ParseRangeOption(t.batch, "--batch");
  c.position = ParseRangeOption(t.position, "--position");
  c.audited_only = t.audited_only;
  for (const std::string& f : t.free) {
    auto [i, range] = ParseItemRange(f, kFreeItems, "--free");
    c.free[i - 1] = range;
  }
  for (const std::string& d : t.define) {
    auto [i, range] = ParseItemRange(d, kDefineItems, "--define");
    c.define[i - 1] = range;
  }
  return c;
}

}  // namespace q9::condition
