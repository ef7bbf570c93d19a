#include "platform/db/recordset.h"

#include "platform/db/ado_recordset.h"
#include "platform/db/connection.h"
#include "platform/error.h"

namespace q9::platform::db {

void Recordset::SetCursorLocation(int location) {
  if (rows_) throw DataObjectOpen();
  if (location != kUseServer && location != kUseClient) throw DataBadArgument("CursorLocation");
  cursor_location_ = location;
}

void Recordset::Open(std::string_view source, Connection& connection, int /*cursor_type*/,
                     int lock_type, int /*options*/) {
  if (rows_) throw DataObjectOpen();
  StatementResult result = connection.Run(source);
  // A statement without rows leaves the recordset closed, as the data-access library does.
  if (!result.rows) return;
  OpenRows(std::move(result.rows), lock_type);
}

void Recordset::OpenRows(std::shared_ptr<const RowSet> rows, int lock_type) {
  rows_ = std::move(rows);
  lock_type_ = lock_type == kLockUnspecified ? kLockReadOnly : lock_type;
  position_ = 0;
}

void Recordset::Close() {
  if (!rows_) throw DataObjectClosed();
  rows_.reset();
}

int Recordset::State() const { return rows_ ? 1 : 0; }

const RowSet& Recordset::OpenRowsOrThrow() const {
  if (!rows_) throw DataObjectClosed();
  return *rows_;
}

bool Recordset::Eof() const {
  const RowSet& r = OpenRowsOrThrow();
  return position_ >= static_cast<int64_t>(r.row_count());
}

bool Recordset::Bof() const {
  const RowSet& r = OpenRowsOrThrow();
  return position_ < 0 || r.row_count() == 0;
}

int32_t Recordset::RecordCount() const {
  return static_cast<int32_t>(OpenRowsOrThrow().row_count());
}

int32_t Recordset::AbsolutePosition() const {
  if (Bof()) return kPosBOF;
  if (Eof()) return kPosEOF;
  return static_cast<int32_t>(position_ + 1);
}

void Recordset::SetAbsolutePosition(int32_t position) {
  const RowSet& r = OpenRowsOrThrow();
  if (position < 1 || static_cast<size_t>(position) > r.row_count()) {
    throw DataBadArgument("AbsolutePosition " + std::to_string(position) + " of " +
                          std::to_string(r.row_count()) + " records");
  }
  position_ = position - 1;
}

void Recordset::MoveFirst() {
  OpenRowsOrThrow();
  position_ = 0;
}

void Recordset::MoveLast() {
  const RowSet& r = OpenRowsOrThrow();
  position_ = r.row_count() == 0 ? 0 : static_cast<int64_t>(r.row_count()) - 1;
}

void Recordset::MoveNext() {
  if (Eof()) throw DataNoCurrentRecord();
  ++position_;
}

void Recordset::MovePrevious() {
  if (Bof()) throw DataNoCurrentRecord();
  --position_;
}

size_t Recordset::FieldCount() const { return OpenRowsOrThrow().column_count(); }

std::string Recordset::FieldName(size_t index) const {
  const RowSet& r = OpenRowsOrThrow();
  if (index >= r.column_count()) throw DataItemNotFound(std::to_string(index));
  return r.column_name(index);
}

size_t Recordset::CurrentRowOrThrow() const {
  if (Bof() || Eof()) throw DataNoCurrentRecord();
  return static_cast<size_t>(position_);
}

size_t Recordset::ColumnOrThrow(std::string_view name) const {
  auto col = OpenRowsOrThrow().FindColumn(name);
  if (!col) throw DataItemNotFound(std::string(name));
  return *col;
}

Variant Recordset::Field(std::string_view name) const {
  size_t col = ColumnOrThrow(name);
  return rows_->Value(CurrentRowOrThrow(), col);
}

Variant Recordset::Field(size_t index) const {
  if (index >= OpenRowsOrThrow().column_count()) throw DataItemNotFound(std::to_string(index));
  return rows_->Value(CurrentRowOrThrow(), index);
}

std::shared_ptr<Recordset> Recordset::Clone(int lock_type) const {
  OpenRowsOrThrow();
  if (lock_type != kLockUnspecified && lock_type != kLockReadOnly) {
    throw DataBadArgument("Clone lock type " + std::to_string(lock_type));
  }
  auto clone = std::make_shared<Recordset>();
  clone->rows_ = rows_;
  clone->position_ = 0;
  clone->cursor_location_ = cursor_location_;
  clone->lock_type_ = lock_type == kLockUnspecified ? lock_type_ : lock_type;
  return clone;
}

Variant Recordset::Invoke(std::string_view name, InvokeKind kind, Args& args) {
  auto want = [&](std::string_view member) { return SameMemberName(name, member); };
  bool read = kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod;
  bool put = kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef;
  auto i4 = [](auto v) { return Variant(static_cast<int32_t>(v)); };
  if (read) {
    if (want("State")) return i4(State());
    if (want("EOF")) return Variant(Eof());
    if (want("BOF")) return Variant(Bof());
    if (want("RecordCount")) return i4(RecordCount());
    if (want("AbsolutePosition")) return i4(AbsolutePosition());
    if (want("CursorLocation")) return i4(cursor_location_);
    if (want("LockType")) return i4(lock_type_);
    if (want("Clone")) {
      int lock = args.IsGiven(0) ? args.Get(0).ToI4() : kLockUnspecified;
      return Variant(std::static_pointer_cast<Object>(Clone(lock)));
    }
    if (want("Fields") || want("Collect")) {
      if (args.size() == 0) {
        return Variant(std::make_shared<FieldsObject>(
            std::static_pointer_cast<const Recordset>(shared_from_this())));
      }
      const Variant& key = args.Get(0);
      if (key.is_numeric()) return Field(static_cast<size_t>(key.ToI4()));
      return Field(key.ToText());
    }
  }
  if (put && want("AbsolutePosition")) {
    SetAbsolutePosition(args.Get(args.size() - 1).ToI4());
    return {};
  }
  if (put && want("CursorLocation")) {
    SetCursorLocation(args.Get(args.size() - 1).ToI4());
    return {};
  }
  if (kind == InvokeKind::kMethod) {
    if (want("Close")) return Close(), Variant();
    if (want("MoveFirst")) return MoveFirst(), Variant();
    if (want("MoveLast")) return MoveLast(), Variant();
    if (want("MoveNext")) return MoveNext(), Variant();
    if (want("MovePrevious")) return MovePrevious(), Variant();
    if (want("Open")) {
      auto conn = std::dynamic_pointer_cast<Connection>(args.Get(1).ToObject());
      if (!conn) throw TypeMismatch("Recordset.Open needs a Connection");
      Open(args.Get(0).ToText(), *conn, args.IsGiven(2) ? args.Get(2).ToI4() : -1,
           args.IsGiven(3) ? args.Get(3).ToI4() : -1, args.IsGiven(4) ? args.Get(4).ToI4() : -1);
      return {};
    }
  }
  throw MemberNotFound("Recordset." + std::string(name));
}

Variant FieldsObject::Invoke(std::string_view name, InvokeKind kind, Args& args) {
  if (SameMemberName(name, "Count") && kind != InvokeKind::kPropertyPut) {
    return Variant(static_cast<int32_t>(rs_->FieldCount()));
  }
  if (SameMemberName(name, "Item") && kind != InvokeKind::kPropertyPut) {
    const Variant& key = args.Get(0);
    return key.is_numeric() ? rs_->Field(static_cast<size_t>(key.ToI4()))
                            : rs_->Field(key.ToText());
  }
  throw MemberNotFound("Fields." + std::string(name));
}

std::shared_ptr<Recordset> AsRecordset(const Variant& v, const std::string& what) {
  ObjectPtr obj = v.ToObject();
  if (auto rs = std::dynamic_pointer_cast<Recordset>(obj)) return rs;
  if (auto ado = std::dynamic_pointer_cast<AdoRecordset>(obj)) return ado->recordset();
  // Another automation object with the recordset's members (a front end's own recordset); one
  // that cannot be read as such is a type mismatch, as any other value.
  try {
    return MaterializeRecordset(obj);
  } catch (const ComError& e) {
    throw TypeMismatch(what + " is not a recordset (" + e.description() + ")");
  }
}

}  // namespace q9::platform::db
