// The rows of one statement, materialized once and shared read-only by every recordset over them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace q9::platform::db {

class RowSet {
 public:
  explicit RowSet(std::vector<std::string> columns) : columns_(std::move(columns)) {}

  size_t column_count() const { return columns_.size(); }
  size_t row_count() const { return columns_.empty() ? 0 : cells_.size() / columns_.size(); }
  const std::string& column_name(size_t col) const { return columns_[col]; }
  const std::vector<std::string>& columns() const { return columns_; }
  // The first column of that name, matched without regard to letter case.
  std::optional<size_t> FindColumn(std::string_view name) const;

  const Variant& Value(size_t row, size_t col) const { return cells_[row * columns_.size() + col]; }

  // Building (before the set is shared).
  void Reserve(size_t rows) { cells_.reserve(rows * columns_.size()); }
  void Append(Variant v) { cells_.push_back(std::move(v)); }

  // The memory the cells take, for the benchmarks' size check.
  size_t ApproximateBytes() const;

 private:
  std::vector<std::string> columns_;
  std::vector<Variant> cells_;  // row-major
};

}  // namespace q9::platform::db
