#include "platform/variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/error.h"

namespace q9::platform {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

VarType Variant::type() const {
  switch (v_.index()) {
    case 0: return VarType::Empty;
    case 1: return VarType::Null;
    case 2: return VarType::Missing;
    case 3: return VarType::Boolean;
    case 4: return VarType::I2;
    case 5: return VarType::I4;
    case 6: return VarType::R8;
    case 7: return VarType::Date;
    case 8: return VarType::String;
    default: return VarType::Object;
  }
}

bool Variant::is_numeric() const {
  VarType t = type();
  return t == VarType::I2 || t == VarType::I4 || t == VarType::R8 || t == VarType::Boolean;
}

std::string Variant::TypeName() const {
  switch (type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Missing: return "Missing";
    case VarType::Boolean: return "Boolean";
    case VarType::I2: return "Integer";
    case VarType::I4: return "Long";
    case VarType::R8: return "Double";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Object: return object() ? "Object" : "Nothing";
  }
  return "?";
}

std::string FormatNumber(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  if (d == std::floor(d) && std::fabs(d) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", d);
    return std::string(buf) == "-0" ? "0" : buf;
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

int64_t RoundToInteger(double d, int64_t lo, int64_t hi) {
  if (std::isnan(d)) throw Overflow();
  double r = std::nearbyint(d);  // default rounding mode: halves to even
  if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) throw Overflow();
  return static_cast<int64_t>(r);
}

std::optional<double> ParseNumber(std::string_view text) {
  std::string_view s = Trim(text);
  if (s.empty()) return std::nullopt;
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
    i = j;
  }
  if (i != s.size()) return std::nullopt;
  std::string copy(s);
  return std::strtod(copy.c_str(), nullptr);
}

std::string Variant::ToText() const {
  switch (type()) {
    case VarType::Empty: return "";
    case VarType::Null: throw InvalidUseOfNull();
    case VarType::Missing: throw TypeMismatch("a missing argument has no text");
    case VarType::Boolean: return std::get<bool>(v_) ? "True" : "False";
    case VarType::I2: return std::to_string(std::get<int16_t>(v_));
    case VarType::I4: return std::to_string(std::get<int32_t>(v_));
    case VarType::R8: return FormatNumber(std::get<double>(v_));
    case VarType::Date: return std::get<Date>(v_).ToText();
    case VarType::String: return std::get<std::string>(v_);
    case VarType::Object: throw TypeMismatch("an object has no text");
  }
  return "";
}

std::string Variant::ConcatText() const {
  if (is_null() || is_empty()) return "";
  return ToText();
}

bool Variant::ToBool() const {
  switch (type()) {
    case VarType::Empty: return false;
    case VarType::Null: throw InvalidUseOfNull();
    case VarType::Boolean: return std::get<bool>(v_);
    case VarType::I2: return std::get<int16_t>(v_) != 0;
    case VarType::I4: return std::get<int32_t>(v_) != 0;
    case VarType::R8: return std::get<double>(v_) != 0.0;
    case VarType::String: {
      std::string_view s = Trim(std::get<std::string>(v_));
      if (EqualsIgnoreCase(s, "true")) return true;
      if (EqualsIgnoreCase(s, "false")) return false;
      if (auto n = ParseNumber(s)) return *n != 0.0;
      throw TypeMismatch("'" + std::get<std::string>(v_) + "' is not a Boolean");
    }
    default: throw TypeMismatch(TypeName() + " is not a Boolean");
  }
}

double Variant::ToDouble() const {
  switch (type()) {
    case VarType::Empty: return 0.0;
    case VarType::Null: throw InvalidUseOfNull();
    case VarType::Boolean: return std::get<bool>(v_) ? -1.0 : 0.0;
    case VarType::I2: return std::get<int16_t>(v_);
    case VarType::I4: return std::get<int32_t>(v_);
    case VarType::R8: return std::get<double>(v_);
    case VarType::String: {
      if (auto n = ParseNumber(std::get<std::string>(v_))) return *n;
      throw TypeMismatch("'" + std::get<std::string>(v_) + "' is not a number");
    }
    default: throw TypeMismatch(TypeName() + " is not a number");
  }
}

int16_t Variant::ToI2() const {
  return static_cast<int16_t>(RoundToInteger(ToDouble(), std::numeric_limits<int16_t>::min(),
                                             std::numeric_limits<int16_t>::max()));
}

int32_t Variant::ToI4() const {
  return static_cast<int32_t>(RoundToInteger(ToDouble(), std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

Date Variant::ToDate() const {
  switch (type()) {
    case VarType::Null: throw InvalidUseOfNull();
    case VarType::Date: return std::get<Date>(v_);
    case VarType::String: {
      if (auto d = Date::Parse(std::get<std::string>(v_))) return *d;
      throw TypeMismatch("'" + std::get<std::string>(v_) + "' is not a date");
    }
    default: throw TypeMismatch(TypeName() + " is not a date");
  }
}

ObjectPtr Variant::ToObject() const {
  if (is_object() && object()) return object();
  if (is_object() || is_empty() || is_null()) throw ObjectNotSet();
  throw TypeMismatch(TypeName() + " is not an object");
}

}  // namespace q9::platform
