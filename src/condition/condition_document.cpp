#include "condition/condition_document.h"

#include <cctype>
#include <charconv>
#include <cstdint>

#include "platform/date.h"

namespace q9::condition {
namespace {

struct StandardAlias {
  const char* alias;
  const char* name;
};

constexpr StandardAlias kStandards[] = {
    {"all", "所有存货"},          {"active", "发生业务"},       {"inactive", "未发生业务"},
    {"in-not-out", "入库未出库"}, {"out-not-in", "出库未入库"},
};

// The document is written by hand: a flat list of empty elements with attributes, laid out as
// an XML library lays it out (declaration, two-blank indent, " />"), values escaped for a
// double-quoted attribute.
class Writer {
 public:
  Writer() { out_ = "<?xml version=\"1.0\"?>\n<condition>\n"; }
  Writer& Open(std::string_view name) {
    out_ += "  <";
    out_ += name;
    return *this;
  }
  Writer& Attr(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    for (char c : value) {
      unsigned char b = static_cast<unsigned char>(c);
      switch (c) {
        case '&':
          out_ += "&amp;";
          break;
        case '<':
          out_ += "&lt;";
          break;
        case '"':
          out_ += "&quot;";
          break;
        default:
          if (b < 0x20) {
            out_ += "&#";
            out_ += static_cast<char>('0' + b / 10);
            out_ += static_cast<char>('0' + b % 10);
            out_ += ';';
          } else {
            out_ += c;
          }
      }
    }
    out_ += '"';
    return *this;
  }
  void Close() { out_ += " />\n"; }
  std::string Finish() { return out_ + "</condition>\n"; }

 private:
  std::string out_;
};

void AddRange(Writer& w, const char* name, const Range& range) {
  w.Open(name).Attr("value1", range.from).Attr("value2", range.to).Close();
}

void AddValue(Writer& w, const char* name, const std::string& value) {
  w.Open(name).Attr("value1", value).Close();
}

}  // namespace

std::string BuildConditionDocument(const ConditionOptions& o) {
  Writer w;
  w.Open("ddate")
      .Attr("isverdate", o.audit_dates ? "true" : "false")
      .Attr("value1", o.dates.from)
      .Attr("value2", o.dates.to)
      .Close();
  AddValue(w, "warehouse", o.warehouses);
  AddRange(w, "invclass", o.inv_class);
  AddRange(w, "inventory", o.inventory);
  AddValue(w, "invstd", o.spec);
  AddValue(w, "assunit", o.assunit);
  AddValue(w, "standard", o.standard);
  AddRange(w, "batch", o.batch);
  w.Open("includeaudit").Attr("value", o.audited_only ? "0" : "1").Close();
  AddRange(w, "position", o.position);
  for (int i = 0; i < kFreeItems; ++i) {
    std::string name = "free" + std::to_string(i + 1);
    const std::optional<Range>& item = o.free[i];
    w.Open(name)
        .Attr("check", item ? "1" : "0")
        .Attr("value1", item ? item->from : "")
        .Attr("value2", item ? item->to : "")
        .Close();
  }
  for (int i = 0; i < kDefineItems; ++i) {
    AddRange(w, ("invdefine" + std::to_string(i + 1)).c_str(), o.define[i]);
  }
  return w.Finish();
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
    throw platform::OptionError(std::string(option) + ": a value of " +
                                std::to_string(value.size()) + " characters; at most " +
                                std::to_string(kMaxValueLength));
  }
}

Range ParseRangeOption(std::string_view text, std::string_view option) {
  Range r = ParseRange(text);
  if (r.to.find(':') != std::string::npos) {
    throw platform::OptionError(std::string(option) + " " + std::string(text) +
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
    throw platform::OptionError(std::string(option) + " " + Shown(text) + ": expected " +
                                std::string(what) + " " + range);
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
    throw platform::OptionError(std::string(option) + " " + std::string(text) +
                                ": expected I=FROM[:TO]" + " with I from 1 to " +
                                std::to_string(max_item));
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
  throw platform::OptionError("--standard " + std::string(name_or_alias) + ": expected one of " +
                              known);
}

std::string ParseDateOption(std::string_view text, std::string_view option) {
  bool shape = text.size() == 10 && text[4] == '-' && text[7] == '-';
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    shape = shape && std::isdigit(static_cast<unsigned char>(text[i]));
  auto date = shape ? platform::Date::Parse(text) : std::nullopt;
  if (!date || date->has_time()) {
    throw platform::OptionError(std::string(option) + " " + Shown(text) +
                                ": not a date (expected YYYY-MM-DD)");
  }
  return date->ToIsoDate();
}

}  // namespace q9::condition
