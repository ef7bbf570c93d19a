#include "platform/db/row_set.h"

#include "platform/dispatch.h"

namespace q9::platform::db {

std::optional<size_t> RowSet::FindColumn(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (SameMemberName(columns_[i], name)) return i;
  }
  return std::nullopt;
}

size_t RowSet::ApproximateBytes() const {
  size_t bytes = cells_.capacity() * sizeof(Variant);
  for (const Variant& v : cells_) {
    if (v.is_string() && v.string_ref().capacity() > 15) bytes += v.string_ref().capacity() + 1;
  }
  return bytes;
}

}  // namespace q9::platform::db
