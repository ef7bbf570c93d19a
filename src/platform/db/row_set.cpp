#include "platform/db/row_set.h"

#include <algorithm>
#include <cstring>

#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

enum Tag : unsigned char {
  kEmpty,
  kNull,
  kMissing,
  kFalse,
  kTrue,
  kI2,
  kI4,
  kR8,
  kDate,  // seconds since 1970-01-01 00:00, int64
  kText,  // length as a base-128 varint, then the bytes
};

constexpr int64_t kSecondsPerDay = 86400;

template <typename T>
T Get(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

// Reads a varint at `p`, advancing it.
uint64_t GetLength(const char*& p) {
  uint64_t n = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*p++);
    n |= static_cast<uint64_t>(byte & 0x7f) << shift;
    if (!(byte & 0x80)) return n;
  }
}

// The first byte after the value whose tag is at `p`.
const char* Skip(const char* p) {
  switch (static_cast<unsigned char>(*p++)) {
    case kI2:
      return p + 2;
    case kI4:
      return p + 4;
    case kR8:
    case kDate:
      return p + 8;
    case kText: {
      const uint64_t n = GetLength(p);
      return p + n;
    }
    default:
      return p;
  }
}

Date DecodeDate(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  Date d = Date::FromDaysSinceEpoch(days);
  if (rest == 0) return d;
  const int s = static_cast<int>(rest);
  return Date::Make(d.year(), d.month(), d.day(), s / 3600, s / 60 % 60, s % 60).value_or(d);
}

}  // namespace

std::optional<size_t> RowSet::FindColumn(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (SameMemberName(columns_[i], name)) return i;
  }
  return std::nullopt;
}

Variant RowSet::Value(size_t row, size_t col) const {
  const uint64_t start = row_starts_[row];
  const char* p = chunks_[start >> 32].data() + (start & 0xffffffffu);
  for (size_t c = 0; c < col; ++c) p = Skip(p);
  switch (static_cast<unsigned char>(*p++)) {
    case kEmpty:
      return Variant();
    case kNull:
      return Variant::Null();
    case kMissing:
      return Variant::Missing();
    case kFalse:
      return Variant(false);
    case kTrue:
      return Variant(true);
    case kI2:
      return Variant(Get<int16_t>(p));
    case kI4:
      return Variant(Get<int32_t>(p));
    case kR8:
      return Variant(Get<double>(p));
    case kDate:
      return Variant(DecodeDate(Get<int64_t>(p)));
    default: {
      const uint64_t n = GetLength(p);
      return Variant(std::string_view(p, n));
    }
  }
}

void RowSet::StartValue() {
  if (chunks_.empty()) chunks_.emplace_back().reserve(chunk_bytes_);
  if (!columns_.empty() && values_ % columns_.size() == 0) {
    row_starts_.push_back((uint64_t{chunks_.size() - 1} << 32) | chunks_.back().size());
  }
  ++values_;
}

std::string& RowSet::Room(size_t n) {
  std::string& chunk = chunks_.back();
  const size_t row_offset = row_starts_.empty() ? 0 : row_starts_.back() & 0xffffffffu;
  if (chunk.size() + n <= chunk.capacity() || row_offset == 0) return chunk;  // a long row grows
  std::string next;
  next.reserve(std::max(chunk_bytes_, chunk.size() - row_offset + n));
  next.append(chunk, row_offset);
  chunk.resize(row_offset);
  row_starts_.back() = uint64_t{chunks_.size()} << 32;
  chunks_.push_back(std::move(next));
  return chunks_.back();
}

template <typename T>
void RowSet::Put(char tag, T value) {
  StartValue();
  std::string& chunk = Room(1 + sizeof(T));
  chunk += tag;
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  chunk.append(bytes, sizeof(T));
}

void RowSet::Append(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      StartValue();
      Room(1) += static_cast<char>(kEmpty);
      return;
    case VarType::Null:
      AppendNull();
      return;
    case VarType::Missing:
      StartValue();
      Room(1) += static_cast<char>(kMissing);
      return;
    case VarType::Boolean:
      AppendBoolean(v.ToBool());
      return;
    case VarType::I2:
      Put<int16_t>(kI2, v.ToI2());
      return;
    case VarType::I4:
      AppendInteger(v.ToI4());
      return;
    case VarType::R8:
      AppendDouble(v.ToDouble());
      return;
    case VarType::Date:
      AppendDate(v.ToDate());
      return;
    case VarType::String:
      AppendText(v.string_ref());
      return;
    case VarType::Object:
      throw TypeMismatch("a recordset value cannot hold an object");
  }
}

void RowSet::AppendNull() {
  StartValue();
  Room(1) += static_cast<char>(kNull);
}

void RowSet::AppendBoolean(bool b) {
  StartValue();
  Room(1) += static_cast<char>(b ? kTrue : kFalse);
}

void RowSet::AppendInteger(int32_t i) { Put(kI4, i); }

void RowSet::AppendDouble(double d) { Put(kR8, d); }

void RowSet::AppendDate(const Date& d) {
  Put<int64_t>(
      kDate, d.DaysSinceEpoch() * kSecondsPerDay + d.hour() * 3600 + d.minute() * 60 + d.second());
}

void RowSet::AppendText(std::string_view s) {
  StartValue();
  char length[10];
  size_t used = 0;
  for (uint64_t n = s.size();; n >>= 7) {
    length[used++] = static_cast<char>(n >= 0x80 ? (n & 0x7f) | 0x80 : n);
    if (n < 0x80) break;
  }
  std::string& chunk = Room(1 + used + s.size());
  chunk += static_cast<char>(kText);
  chunk.append(length, used);
  chunk.append(s);
}

void RowSet::ShrinkToFit() {
  if (!chunks_.empty()) chunks_.back().shrink_to_fit();
  row_starts_.shrink_to_fit();
}

size_t RowSet::ApproximateBytes() const {
  size_t bytes = row_starts_.capacity() * sizeof(uint64_t);
  for (const std::string& chunk : chunks_) bytes += chunk.capacity();
  return bytes;
}

}  // namespace q9::platform::db
