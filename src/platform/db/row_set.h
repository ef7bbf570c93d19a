// The rows of one statement, materialized once and shared read-only by every recordset over them.
//
// Values are stored packed, one row after the other: a tag byte per value followed by the value's
// own bytes (none for Empty, Null and Booleans, 2, 4 or 8 for numbers, 8 for a date, the length
// and the UTF-8 bytes of a text). A set therefore takes little more than the raw size of its
// values, where a Variant per cell took 40 bytes and a heap block for every longer text. Reading
// decodes one value into a new Variant; finding a value walks the values before it in its row.
// The bytes are kept in chunks of about a megabyte, each holding whole rows, so that building a
// large set never holds a buffer and its doubled copy at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date.h"
#include "platform/variant.h"

namespace q9::platform::db {

class RowSet {
 public:
  static constexpr size_t kChunkBytes = size_t{1} << 20;
  // `chunk_bytes` other than the default is for tests of rows that cross chunk boundaries.
  explicit RowSet(std::vector<std::string> columns, size_t chunk_bytes = kChunkBytes)
      : columns_(std::move(columns)), chunk_bytes_(chunk_bytes) {}

  size_t column_count() const { return columns_.size(); }
  // Complete rows only: values appended beyond the last complete row are not counted.
  size_t row_count() const { return columns_.empty() ? 0 : values_ / columns_.size(); }
  const std::string& column_name(size_t col) const { return columns_[col]; }
  const std::vector<std::string>& columns() const { return columns_; }
  // The first column of that name, matched without regard to letter case.
  std::optional<size_t> FindColumn(std::string_view name) const;

  // The value at (row, col), both within range: a copy of what was appended.
  Variant Value(size_t row, size_t col) const;

  // Building (before the set is shared): values are appended row by row, column by column.
  void Reserve(size_t rows) { row_starts_.reserve(rows); }
  // Appends any value but an object reference (type mismatch, error 13).
  void Append(const Variant& v);
  void AppendNull();
  void AppendBoolean(bool b);
  void AppendInteger(int32_t i);
  void AppendDouble(double d);
  void AppendDate(const Date& d);
  void AppendText(std::string_view s);
  // Gives back what the buffers reserved beyond their contents; call when the set is complete.
  void ShrinkToFit();

  // The memory the values take (buffers included), for the benchmarks' size check.
  size_t ApproximateBytes() const;

 private:
  void StartValue();
  // The chunk to append the next `n` bytes of the current row to; a row begun in a full chunk
  // moves to a new one.
  std::string& Room(size_t n);
  template <typename T>
  void Put(char tag, T value);

  std::vector<std::string> columns_;
  size_t chunk_bytes_;
  std::vector<std::string> chunks_;   // the packed values, whole rows per chunk
  std::vector<uint64_t> row_starts_;  // each row's first value: chunk << 32 | offset in it
  size_t values_ = 0;
};

}  // namespace q9::platform::db
