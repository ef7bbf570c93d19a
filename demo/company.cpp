#include "demo/company.h"

#include <algorithm>

namespace q9::demo {

const CellValue& NumberedValues::Get(int number) const {
  static const CellValue kNull;
  auto it = std::lower_bound(entries_.begin(), entries_.end(), number,
                             [](const auto& entry, int n) { return entry.first < n; });
  return it != entries_.end() && it->first == number ? it->second : kNull;
}

const std::string* NumberedValues::Text(int number) const {
  return std::get_if<std::string>(&Get(number));
}

void NumberedValues::Set(int number, CellValue value) {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), number,
                             [](const auto& entry, int n) { return entry.first < n; });
  bool present = it != entries_.end() && it->first == number;
  if (std::holds_alternative<std::monostate>(value)) {
    if (present) entries_.erase(it);
  } else if (present) {
    it->second = std::move(value);
  } else {
    entries_.insert(it, {number, std::move(value)});
  }
}

}  // namespace q9::demo
