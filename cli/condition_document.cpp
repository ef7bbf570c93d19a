#include "cli/condition_document.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <pugixml.hpp>
#include <sstream>

#include "platform/date.h"

namespace q9::cli {
namespace {

struct StandardAlias {
  const char* alias;
  const char* name;
};

constexpr StandardAlias kStandards[] = {
    {"all", "所有存货"},          {"active", "发生业务"},       {"inactive", "未发生业务"},
    {"in-not-out", "入库未出库"}, {"out-not-in", "出库未入库"},
};

void AddRange(pugi::xml_node parent, const char* name, const Range& range) {
  pugi::xml_node e = parent.append_child(name);
  e.append_attribute("value1") = range.from.c_str();
  e.append_attribute("value2") = range.to.c_str();
}

void AddValue(pugi::xml_node parent, const char* name, const std::string& value) {
  parent.append_child(name).append_attribute("value1") = value.c_str();
}

}  // namespace

std::string BuildConditionDocument(const ConditionOptions& o) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("condition");

  pugi::xml_node ddate = root.append_child("ddate");
  ddate.append_attribute("isverdate") = o.audit_dates ? "true" : "false";
  ddate.append_attribute("value1") = o.dates.from.c_str();
  ddate.append_attribute("value2") = o.dates.to.c_str();

  AddValue(root, "warehouse", o.warehouses);
  AddRange(root, "invclass", o.inv_class);
  AddRange(root, "inventory", o.inventory);
  AddValue(root, "invstd", o.spec);
  AddValue(root, "assunit", o.assunit);
  AddValue(root, "standard", o.standard);
  AddRange(root, "batch", o.batch);
  root.append_child("includeaudit").append_attribute("value") = o.audited_only ? "0" : "1";
  AddRange(root, "position", o.position);

  for (int i = 0; i < kFreeItems; ++i) {
    std::string name = "free" + std::to_string(i + 1);
    pugi::xml_node e = root.append_child(name.c_str());
    const std::optional<Range>& item = o.free[i];
    e.append_attribute("check") = item ? "1" : "0";
    e.append_attribute("value1") = item ? item->from.c_str() : "";
    e.append_attribute("value2") = item ? item->to.c_str() : "";
  }
  for (int i = 0; i < kDefineItems; ++i) {
    AddRange(root, ("invdefine" + std::to_string(i + 1)).c_str(), o.define[i]);
  }

  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

Range ParseRange(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return Range{std::string(text), ""};
  return Range{std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))};
}

namespace {

std::string Shown(std::string_view text) {
  return text.empty() ? std::string("\"\"") : std::string(text);
}

}  // namespace

void CheckLength(std::string_view value, std::string_view option) {
  if (value.size() > kMaxValueLength) {
    throw UsageError(std::string(option) + ": a value of " + std::to_string(value.size()) +
                     " characters; at most " + std::to_string(kMaxValueLength));
  }
}

Range ParseRangeOption(std::string_view text, std::string_view option) {
  Range r = ParseRange(text);
  if (r.to.find(':') != std::string::npos) {
    throw UsageError(std::string(option) + " " + std::string(text) +
                     ": expected FROM or FROM:TO (one colon)");
  }
  CheckLength(r.from, option);
  CheckLength(r.to, option);
  return r;
}

int64_t ParseWholeNumber(std::string_view text, std::string_view option, int64_t min, int64_t max,
                         std::string_view what) {
  int64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < min || n > max) {
    std::string range = "from " + std::to_string(min);
    if (max != INT64_MAX) range += " to " + std::to_string(max);
    throw UsageError(std::string(option) + " " + Shown(text) + ": expected " + std::string(what) +
                     " " + range);
  }
  return n;
}

std::pair<int, Range> ParseItemRange(std::string_view text, int max_item, std::string_view option) {
  size_t eq = text.find('=');
  std::string_view number = text.substr(0, eq);
  int item = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), item);
  Range range = ParseRange(eq == std::string_view::npos ? "" : text.substr(eq + 1));
  if (eq == std::string_view::npos || ec != std::errc() || end != number.data() + number.size() ||
      item < 1 || item > max_item || range.to.find(':') != std::string::npos) {
    throw UsageError(std::string(option) + " " + std::string(text) + ": expected I=FROM[:TO]" +
                     " with I from 1 to " + std::to_string(max_item));
  }
  CheckLength(range.from, option);
  CheckLength(range.to, option);
  return {item, range};
}

std::string StandardName(std::string_view name_or_alias) {
  std::string known;
  for (const StandardAlias& s : kStandards) {
    if (name_or_alias == s.alias || name_or_alias == s.name) return s.name;
    known += known.empty() ? "" : ", ";
    known += std::string(s.alias) + " (" + s.name + ")";
  }
  throw UsageError("--standard " + std::string(name_or_alias) + ": expected one of " + known);
}

std::string ParseDateOption(std::string_view text, std::string_view option) {
  bool shape = text.size() == 10 && text[4] == '-' && text[7] == '-';
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    shape = shape && std::isdigit(static_cast<unsigned char>(text[i]));
  auto date = shape ? platform::Date::Parse(text) : std::nullopt;
  if (!date || date->has_time()) {
    throw UsageError(std::string(option) + " " + Shown(text) +
                     ": not a date (expected YYYY-MM-DD)");
  }
  return date->ToIsoDate();
}

}  // namespace q9::cli
