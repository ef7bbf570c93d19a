#include "condition/range_builders.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "condition/condition_errors.h"
#include "condition/sql_text.h"
#include "platform/date.h"

namespace q9::condition {
namespace {

std::string Quoted(std::string_view value) { return "'" + EscapeSqlText(value) + "'"; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number as written, reduced to what decides its order: sign, integer digits without
// leading zeros, fraction digits without trailing zeros. Compared exactly, so long digit strings
// order correctly where a double would round them together.
struct Decimal {
  bool negative = false;
  std::string_view integer;
  std::string_view fraction;
};

std::optional<Decimal> ParseDecimal(std::string_view text) {
  size_t i = 0;
  Decimal d;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
  size_t int_begin = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == int_begin) return std::nullopt;
  d.integer = text.substr(int_begin, i - int_begin);
  if (i < text.size() && text[i] == '.') {
    size_t frac_begin = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == frac_begin) return std::nullopt;
    d.fraction = text.substr(frac_begin, i - frac_begin);
  }
  if (i != text.size()) return std::nullopt;
  d.integer.remove_prefix(std::min(d.integer.find_first_not_of('0'), d.integer.size()));
  size_t last = d.fraction.find_last_not_of('0');
  d.fraction = last == std::string_view::npos ? std::string_view() : d.fraction.substr(0, last + 1);
  if (d.integer.empty() && d.fraction.empty()) d.negative = false;  // -0 is 0
  return d;
}

// <0, 0, >0 as a is less than, equal to or greater than b.
int CompareDecimal(const Decimal& a, const Decimal& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int magnitude = 0;
  if (a.integer.size() != b.integer.size()) {
    magnitude = a.integer.size() < b.integer.size() ? -1 : 1;
  } else if (int c = a.integer.compare(b.integer); c != 0) {
    magnitude = c;
  } else {
    magnitude = a.fraction.compare(b.fraction);
  }
  return a.negative ? -magnitude : magnitude;
}

Decimal RequireNumber(std::string_view field, std::string_view value) {
  std::optional<Decimal> d = ParseDecimal(value);
  if (!d) throw NotANumber(field, value);
  return *d;
}

platform::Date RequireDate(std::string_view field, std::string_view value) {
  std::optional<platform::Date> d = platform::Date::Parse(value);
  if (!d) throw NotADate(field, value);
  return *d;
}

}  // namespace

std::string MakeListCond(std::string_view field, std::string_view list) {
  if (TrimBlanks(list).empty()) return {};
  std::vector<std::string_view> items;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    items.push_back(list.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  const std::string f(field);
  if (items.size() == 1) return f + " = " + Quoted(items.front()) + " ";
  std::string out = "(";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += " OR ";
    out += f + " = " + Quoted(items[i]);
  }
  return out + ")";
}

std::string MakeLikeRangeCond(std::string_view field, std::string_view from, std::string_view to) {
  const std::string f(field);
  if (from.empty() && to.empty()) return {};
  if (to.empty()) return " " + f + " LIKE '" + EscapeLikeText(from) + "%'";
  if (from.empty()) return " " + f + " LIKE '" + EscapeLikeText(to) + "%'";
  if (from == to) return " " + f + " = " + Quoted(from);
  const std::string low = Quoted(from < to ? from : to);
  const std::string high = Quoted(from < to ? to : from);
  return " LEFT(" + f + ",LEN(" + low + ")) >= " + low + " AND LEFT(" + f + ",LEN(" + high +
         ")) <= " + high;
}

std::string MakeValueRangeCond(std::string_view field, std::string_view from, std::string_view to) {
  const std::string f(field);
  if (from.empty() && to.empty()) return {};
  if (to.empty()) return " " + f + " >=" + Quoted(from);
  if (from.empty()) return " " + f + " <= " + Quoted(to);
  if (from > to) return " " + f + " >= " + Quoted(to) + " AND " + f + " <= " + Quoted(from);
  if (from == to) return " " + f + " = " + Quoted(from);
  return " " + f + " >= " + Quoted(from) + " AND " + f + "<= " + Quoted(to);
}

std::string MakeNumberCompareCond(std::string_view field, std::string_view from,
                                  std::string_view to) {
  const std::string f(field);
  if (from.empty() && to.empty()) return {};
  if (to.empty()) {
    RequireNumber(field, from);
    return f + ">=" + std::string(from);
  }
  if (from.empty()) {
    RequireNumber(field, to);
    return f + "<=" + std::string(to);
  }
  int order = CompareDecimal(RequireNumber(field, from), RequireNumber(field, to));
  if (order == 0) return f + "=" + std::string(from);
  std::string_view low = order < 0 ? from : to;
  std::string_view high = order < 0 ? to : from;
  return f + ">=" + std::string(low) + " AND " + f + "<=" + std::string(high);
}

std::string MakeDateCompareCond(std::string_view field, std::string_view from,
                                std::string_view to) {
  const std::string f(field);
  if (from.empty() && to.empty()) return {};
  if (to.empty()) return f + " >= '" + RequireDate(field, from).ToIsoDate() + "'";
  if (from.empty()) return f + " <= '" + RequireDate(field, to).ToIsoDate() + "'";
  platform::Date a = RequireDate(field, from);
  platform::Date b = RequireDate(field, to);
  if (b < a) {
    return f + " >= '" + b.ToIsoDate() + "' AND " + f + " <= '" + a.ToIsoDate() + "'";
  }
  if (a == b) return f + " = '" + a.ToIsoDate() + "'";
  return f + " >= '" + a.ToIsoDate() + "' AND    " + f + " <= '" + b.ToIsoDate() + "'";
}

}  // namespace q9::condition
