// The data-access recordset: a client-side cursor over rows materialized once. Clones share the
// rows and keep their own current record; closing one leaves the others open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/row_set.h"
#include "platform/dispatch.h"

namespace q9::platform::db {

class Connection;

enum CursorLocation { kUseServer = 2, kUseClient = 3 };
enum CursorType {
  kOpenUnspecified = -1,
  kOpenForwardOnly = 0,
  kOpenKeyset = 1,
  kOpenDynamic = 2,
  kOpenStatic = 3
};
enum LockType {
  kLockUnspecified = -1,
  kLockReadOnly = 1,
  kLockPessimistic = 2,
  kLockOptimistic = 3,
  kLockBatchOptimistic = 4
};
// AbsolutePosition when there is no current record.
enum PositionEnum { kPosUnknown = -1, kPosBOF = -2, kPosEOF = -3 };

class Recordset : public Object {
 public:
  Recordset() = default;

  int cursor_location() const { return cursor_location_; }
  void SetCursorLocation(int location);

  // Runs `source` on `connection` and holds its rows. Raises 3705 when already open, 3704 when
  // the connection is closed, the engine's error for a failing statement.
  void Open(std::string_view source, Connection& connection, int cursor_type = -1,
            int lock_type = -1, int options = -1);
  // Opens over rows already materialized (what Execute hands back).
  void OpenRows(std::shared_ptr<const RowSet> rows, int lock_type);
  // Raises 3704 when not open.
  void Close();
  int State() const;

  // Each of these raises 3704 when the recordset is closed.
  bool Eof() const;
  bool Bof() const;
  int32_t RecordCount() const;
  int32_t AbsolutePosition() const;
  // 1-based; outside 1..RecordCount raises 3001.
  void SetAbsolutePosition(int32_t position);
  void MoveFirst();
  void MoveLast();
  void MoveNext();      // at EOF: 3021
  void MovePrevious();  // at BOF: 3021

  size_t FieldCount() const;
  std::string FieldName(size_t index) const;  // 3265 outside the range
  // The value in the current record: 3265 for an unknown name or index, 3021 without a
  // current record.
  Variant Field(std::string_view name) const;
  Variant Field(size_t index) const;

  // A new recordset over the same rows, on the first record. LockType -1 keeps this one's.
  // Raises 3704 when closed.
  std::shared_ptr<Recordset> Clone(int lock_type = kLockUnspecified) const;

  int lock_type() const { return lock_type_; }
  // The shared rows (null when closed).
  const std::shared_ptr<const RowSet>& rows() const { return rows_; }

  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override;
  std::string ClassName() const override { return "Recordset"; }

 private:
  const RowSet& OpenRowsOrThrow() const;
  size_t CurrentRowOrThrow() const;
  size_t ColumnOrThrow(std::string_view name) const;

  std::shared_ptr<const RowSet> rows_;
  int64_t position_ = 0;  // 0-based; -1 is BOF, row_count is EOF
  int cursor_location_ = kUseServer;
  int lock_type_ = kLockReadOnly;
};

// Late-bound access to a recordset's fields: Fields(name).Value and Fields.Count.
class FieldsObject : public Object {
 public:
  explicit FieldsObject(std::shared_ptr<const Recordset> rs) : rs_(std::move(rs)) {}
  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override;
  std::string ClassName() const override { return "Fields"; }

 private:
  std::shared_ptr<const Recordset> rs_;
};

// The recordset a variant holds, or a type mismatch naming `what` when it holds another kind of
// value; Nothing raises 91. Another automation object with the recordset's members (one a front
// end made itself) is read into a new recordset of the same rows; when that fails, it is a type
// mismatch too.
std::shared_ptr<Recordset> AsRecordset(const Variant& v, const std::string& what);

}  // namespace q9::platform::db
