// The recordset as a late-bound front end sees it: the data-access library's object model over a
// Recordset, for callers that reach it through automation only (the COM server hands these out).
//
// Recordset members: Fields (default member; Fields(i|name) gives a Field), EOF, BOF, RecordCount,
// AbsolutePosition (get and put), MoveFirst, MoveNext, MovePrevious, MoveLast, Move(n), State,
// CursorLocation, LockType, Clone([lock]), Close.
// Fields: Count, Item(i|name) (default member). Field: Name, Value (default member), Type,
// ActualSize. A Field reads the recordset's current record when asked, as the library's does.
// Errors are the recordset's own (3704 closed, 3021 no current record, 3265 unknown field,
// 3001 bad argument).
#pragma once

#include <memory>

#include "platform/db/recordset.h"

namespace q9::platform::db {

// Data type numbers of a Field, as the data-access library numbers them.
enum AdoType {
  kAdEmpty = 0,
  kAdSmallInt = 2,
  kAdInteger = 3,
  kAdDouble = 5,
  kAdDate = 7,
  kAdBoolean = 11,
  kAdVarWChar = 202
};

class AdoRecordset : public Object {
 public:
  explicit AdoRecordset(std::shared_ptr<Recordset> rs) : rs_(std::move(rs)) {}
  const std::shared_ptr<Recordset>& recordset() const { return rs_; }

  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override;
  std::string ClassName() const override { return "Recordset"; }
  std::string_view DefaultMember() const override { return "Fields"; }

 private:
  std::shared_ptr<Recordset> rs_;
};

// The type of column `col`: that of its first value that is not Null (202 for text, and for a
// column of Nulls only).
int ColumnAdoType(const RowSet& rows, size_t col);

// The rows of any object with the recordset's members (Fields.Count, Fields(i).Name and .Value,
// Clone, EOF, MoveNext), read through a clone so the object keeps its current record. Values that
// are objects are a type mismatch.
std::shared_ptr<Recordset> MaterializeRecordset(const ObjectPtr& source);

}  // namespace q9::platform::db
