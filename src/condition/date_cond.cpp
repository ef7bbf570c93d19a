#include "condition/date_cond.h"

#include <algorithm>
#include <optional>

#include "condition/condition_errors.h"
#include "condition/sql_text.h"
#include "platform/date.h"
#include "platform/dispatch.h"

namespace q9::condition {
namespace {

std::string StockStartText(const platform::Variant& account) {
  int32_t month = platform::GetProperty(account, "STStartDate").ToDate().month();
  platform::Args args;
  args.Val(platform::Variant(month));
  platform::Variant period = platform::GetProperty(account, "Period", args);
  return platform::GetProperty(period, "BeginDate").ToText();
}

// Nothing for an empty value; the date of any other value, which must be one.
std::optional<platform::Date> DateOf(std::string_view field, std::string_view value) {
  if (value.empty()) return std::nullopt;
  std::optional<platform::Date> d = platform::Date::Parse(value);
  if (!d) throw NotADate(field, value);
  return d;
}

}  // namespace

std::string MakeDateCond(const platform::Variant& account, std::string_view field,
                         std::string_view from, std::string_view to, std::string& before) {
  const std::string start = EscapeSqlText(StockStartText(account));
  const std::string f(field);
  std::optional<platform::Date> a = DateOf(field, from);
  std::optional<platform::Date> b = DateOf(field, to);
  if (a && b) {
    const std::string low = std::min(*a, *b).ToIsoDate();
    const std::string high = std::max(*a, *b).ToIsoDate();
    before = f + " < '" + low + "'";
    if (*a == *b) return f + " = '" + low + "'";
    const char* joiner = *b < *a ? "' AND  " : "' AND ";
    return f + " >= '" + low + joiner + f + " <= '" + high + "'";
  }
  if (a) {
    before = f + " < '" + a->ToIsoDate() + "'";
    return f + " >= '" + a->ToIsoDate() + "'";
  }
  before = f + " < '" + start + "'";
  if (b) return f + " >= '" + start + "' AND " + f + " <= '" + b->ToIsoDate() + "'";
  return f + " >= '" + start + "'";
}

}  // namespace q9::condition
