#include "cli/condition_document.h"

#include <charconv>
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

std::pair<int, Range> ParseItemRange(std::string_view text, int max_item, std::string_view option) {
  size_t eq = text.find('=');
  std::string_view number = text.substr(0, eq);
  int item = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), item);
  if (eq == std::string_view::npos || ec != std::errc() || end != number.data() + number.size() ||
      item < 1 || item > max_item) {
    throw UsageError(std::string(option) + " " + std::string(text) + ": expected I=FROM[:TO]" +
                     " with I from 1 to " + std::to_string(max_item));
  }
  return {item, ParseRange(text.substr(eq + 1))};
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
  auto date = platform::Date::Parse(text);
  if (!date || date->has_time()) {
    throw UsageError(std::string(option) + " " + std::string(text) +
                     ": not a date (expected YYYY-MM-DD)");
  }
  return date->ToIsoDate();
}

}  // namespace q9::cli
