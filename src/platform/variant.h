// The automation value: what crosses the component's interface and what recordsets hold.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/date.h"

namespace q9::platform {

class Object;
using ObjectPtr = std::shared_ptr<Object>;

enum class VarType { Empty, Null, Missing, Boolean, I2, I4, R8, Date, String, Object };

struct NullTag {
  bool operator==(const NullTag&) const = default;
};
// An optional argument the caller left out.
struct MissingTag {
  bool operator==(const MissingTag&) const = default;
};

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool b) : v_(b) {}
  Variant(int16_t i) : v_(i) {}
  Variant(int32_t i) : v_(i) {}
  Variant(double d) : v_(d) {}
  Variant(const Date& d) : v_(d) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(ObjectPtr o) : v_(std::move(o)) {}
  template <typename T>
    requires std::is_base_of_v<Object, T>
  Variant(std::shared_ptr<T> o) : v_(ObjectPtr(std::move(o))) {}

  static Variant Null() { return Variant(NullTag{}); }
  static Variant Missing() { return Variant(MissingTag{}); }
  // A variant holding a null object reference (an object variable set to Nothing).
  static Variant Nothing() { return Variant(ObjectPtr()); }

  VarType type() const;
  bool is_empty() const { return type() == VarType::Empty; }
  bool is_null() const { return type() == VarType::Null; }
  bool is_missing() const { return type() == VarType::Missing; }
  bool is_object() const { return type() == VarType::Object; }
  bool is_string() const { return type() == VarType::String; }
  bool is_numeric() const;
  // An object reference that refers to an object (not Nothing).
  bool has_object() const { return is_object() && object() != nullptr; }

  // Raw access without conversion; only valid for the matching type.
  const std::string& string_ref() const { return std::get<std::string>(v_); }
  const ObjectPtr& object() const { return std::get<ObjectPtr>(v_); }

  // Conversions with automation rules. Each throws ComError: type mismatch (13) for text that
  // does not convert, invalid use of Null (94), overflow (6) for an integer out of range.
  std::string ToText() const;         // Empty -> ""; Null -> error 94; dates as Date::ToText
  std::string ConcatText() const;     // as string concatenation does it: Null and Empty -> ""
  bool ToBool() const;                // "true"/"false" in any case, or a number (0 is False)
  int16_t ToI2() const;               // rounds halves to even
  int32_t ToI4() const;               // rounds halves to even
  double ToDouble() const;
  Date ToDate() const;
  ObjectPtr ToObject() const;         // a non-null object, else error 91 (424 in some runtimes)

  // Strict equality of type and value (for tests and lookups), not automation comparison.
  bool operator==(const Variant& other) const { return v_ == other.v_; }

  // Name of the type as a developer reads it ("String", "Null", ...).
  std::string TypeName() const;

 private:
  explicit Variant(NullTag t) : v_(t) {}
  explicit Variant(MissingTag t) : v_(t) {}

  std::variant<std::monostate, NullTag, MissingTag, bool, int16_t, int32_t, double, Date,
               std::string, ObjectPtr>
      v_;
};

// Formats a double as automation's default text does for the values databases hand back:
// integers without a fraction, others with up to 15 significant digits, no exponent for
// ordinary magnitudes.
std::string FormatNumber(double d);

// Automation's round-half-to-even conversion of a double to an integer in [lo, hi]; Overflow
// outside.
int64_t RoundToInteger(double d, int64_t lo, int64_t hi);

// Parses a decimal number the way text-to-number conversion accepts it (blanks around,
// optional sign, digits with an optional fraction and exponent); nothing otherwise.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace q9::platform
