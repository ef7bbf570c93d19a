#include "platform/db/ado_recordset.h"

#include <optional>
#include <vector>

#include "platform/error.h"

namespace q9::platform::db {
namespace {

Variant I4(int64_t v) { return Variant(static_cast<int32_t>(v)); }

size_t FieldIndex(const Recordset& rs, const Variant& key) {
  if (key.is_numeric()) {
    int32_t i = key.ToI4();
    if (i < 0 || static_cast<size_t>(i) >= rs.FieldCount()) throw DataItemNotFound(key.ToText());
    return static_cast<size_t>(i);
  }
  if (key.is_missing()) throw DataItemNotFound();
  std::string name = key.ToText();
  std::optional<size_t> col = rs.rows() ? rs.rows()->FindColumn(name) : std::nullopt;
  if (!col) {
    rs.FieldCount();  // a closed recordset says so first
    throw DataItemNotFound(name);
  }
  return *col;
}

class AdoField : public Object {
 public:
  AdoField(std::shared_ptr<Recordset> rs, size_t col) : rs_(std::move(rs)), col_(col) {}
  Variant Invoke(std::string_view name, InvokeKind kind, Args&) override {
    if (kind == InvokeKind::kMethod || kind == InvokeKind::kPropertyGet) {
      if (SameMemberName(name, "Value")) return rs_->Field(col_);
      if (SameMemberName(name, "Name")) return Variant(rs_->FieldName(col_));
      if (SameMemberName(name, "Type")) return I4(ColumnAdoType(*RowsOrThrow(), col_));
      if (SameMemberName(name, "ActualSize")) {
        Variant v = rs_->Field(col_);
        return I4(v.is_null() ? -1 : static_cast<int64_t>(v.ConcatText().size()));
      }
    }
    throw MemberNotFound("Field." + std::string(name));
  }
  std::string ClassName() const override { return "Field"; }
  std::string_view DefaultMember() const override { return "Value"; }

 private:
  const std::shared_ptr<const RowSet>& RowsOrThrow() const {
    rs_->FieldCount();
    return rs_->rows();
  }
  std::shared_ptr<Recordset> rs_;
  size_t col_;
};

class AdoFields : public Object {
 public:
  explicit AdoFields(std::shared_ptr<Recordset> rs) : rs_(std::move(rs)) {}
  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override {
    if (kind == InvokeKind::kMethod || kind == InvokeKind::kPropertyGet) {
      if (SameMemberName(name, "Count")) return I4(static_cast<int64_t>(rs_->FieldCount()));
      if (SameMemberName(name, "Item")) {
        return Variant(std::make_shared<AdoField>(rs_, FieldIndex(*rs_, args.Get(0))));
      }
    }
    throw MemberNotFound("Fields." + std::string(name));
  }
  std::string ClassName() const override { return "Fields"; }
  std::string_view DefaultMember() const override { return "Item"; }

 private:
  std::shared_ptr<Recordset> rs_;
};

}  // namespace

int ColumnAdoType(const RowSet& rows, size_t col) {
  for (size_t r = 0; r < rows.row_count(); ++r) {
    switch (rows.Value(r, col).type()) {
      case VarType::Null:
      case VarType::Empty:
        continue;
      case VarType::Boolean:
        return kAdBoolean;
      case VarType::I2:
        return kAdSmallInt;
      case VarType::I4:
        return kAdInteger;
      case VarType::R8:
        return kAdDouble;
      case VarType::Date:
        return kAdDate;
      default:
        return kAdVarWChar;
    }
  }
  return kAdVarWChar;
}

Variant AdoRecordset::Invoke(std::string_view name, InvokeKind kind, Args& args) {
  auto want = [&](std::string_view member) { return SameMemberName(name, member); };
  bool read = kind == InvokeKind::kMethod || kind == InvokeKind::kPropertyGet;
  if (read && want("Fields")) {
    auto fields = std::make_shared<AdoFields>(rs_);
    if (args.size() == 0) return Variant(fields);
    Args item;
    item.Val(args.Get(0));
    return fields->Invoke("Item", InvokeKind::kPropertyGet, item);
  }
  if (read && want("Clone")) {
    int lock = args.IsGiven(0) ? args.Get(0).ToI4() : kLockUnspecified;
    if (lock != kLockUnspecified && lock != kLockReadOnly) throw DataBadArgument("Clone");
    return Variant(std::make_shared<AdoRecordset>(rs_->Clone(lock)));
  }
  if (kind == InvokeKind::kMethod && want("Move")) {
    int32_t n = args.Get(0).ToI4();
    if (n == 0) {
      rs_->Field(size_t{0});  // needs a current record, like the library
      return {};
    }
    int64_t target = static_cast<int64_t>(rs_->Bof()   ? 0
                                          : rs_->Eof() ? rs_->RecordCount() + 1
                                                       : rs_->AbsolutePosition()) +
                     n;
    if ((n < 0 && rs_->Bof()) || (n > 0 && rs_->Eof())) throw DataNoCurrentRecord();
    if (target < 1) {
      rs_->MoveFirst();
      rs_->MovePrevious();
    } else if (target > rs_->RecordCount()) {
      rs_->MoveLast();
      rs_->MoveNext();
    } else {
      rs_->SetAbsolutePosition(static_cast<int32_t>(target));
    }
    return {};
  }
  return rs_->Invoke(name, kind, args);
}

std::shared_ptr<Recordset> MaterializeRecordset(const ObjectPtr& source) {
  Variant src(source);
  Variant fields = GetProperty(src, "Fields");
  int32_t count = GetProperty(fields, "Count").ToI4();
  std::vector<std::string> names;
  for (int32_t i = 0; i < count; ++i) {
    Args at;
    at.Val(Variant(i));
    // Item is called, not read: a call reaches an indexed property and a method alike.
    names.push_back(GetProperty(CallMethod(fields, "Item", at), "Name").ToText());
  }
  auto rows = std::make_shared<RowSet>(names);
  Variant cursor = CallMethod(src, "Clone");
  Variant cursor_fields = GetProperty(cursor, "Fields");
  if (!GetProperty(cursor, "EOF").ToBool() || !GetProperty(cursor, "BOF").ToBool()) {
    CallMethod(cursor, "MoveFirst");
  }
  while (!GetProperty(cursor, "EOF").ToBool()) {
    for (int32_t i = 0; i < count; ++i) {
      Args at;
      at.Val(Variant(i));
      rows->Append(GetProperty(CallMethod(cursor_fields, "Item", at), "Value"));
    }
    CallMethod(cursor, "MoveNext");
  }
  rows->ShrinkToFit();
  auto rs = std::make_shared<Recordset>();
  rs->SetCursorLocation(kUseClient);
  rs->OpenRows(rows, kLockReadOnly);
  return rs;
}

}  // namespace q9::platform::db
