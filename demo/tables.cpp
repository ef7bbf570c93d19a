#include "demo/tables.h"

#include <array>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace q9::demo {
namespace {

using enum ColumnType;

void Put(ValueSink& sink, const std::string& v) { sink.Text(v); }
void Put(ValueSink& sink, double v) { sink.Real(v); }
void Put(ValueSink& sink, bool v) { sink.Integer(v ? 1 : 0); }
void Put(ValueSink& sink, int v) { sink.Integer(v); }
void Put(ValueSink& sink, int64_t v) { sink.Integer(v); }
void Put(ValueSink& sink, const CellValue& v) {
  std::visit(
      [&sink](const auto& value) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::monostate>) {
          sink.Null();
        } else {
          Put(sink, value);
        }
      },
      v);
}
template <typename T>
void Put(ValueSink& sink, const std::optional<T>& v) {
  if (v) {
    Put(sink, *v);
  } else {
    sink.Null();
  }
}

// The columns of one record type, read from one vector of DemoCompany.
template <typename Row>
class Table : public TableDef {
 public:
  Table(std::string table_name, std::vector<Row> DemoCompany::*rows, bool in_system) : rows_(rows) {
    name = std::move(table_name);
    system = in_system;
  }

  template <typename Member>
  Table& Column(std::string column, ColumnType type, Member Row::*member, unsigned flags = 0,
                std::string default_value = {}) {
    columns.push_back({std::move(column), type, flags, std::move(default_value)});
    values_.push_back([member](ValueSink& sink, const Row& row) { Put(sink, row.*member); });
    return *this;
  }

  // Columns <prefix><first>, <prefix><first + 1>, ... of a sparse group, one per letter of
  // `types`: C code, T text, I integer, R real, D date.
  Table& Numbered(const std::string& prefix, int first, std::string_view types,
                  NumberedValues Row::*member) {
    for (size_t i = 0; i < types.size(); ++i) {
      int number = first + static_cast<int>(i);
      columns.push_back({prefix + std::to_string(number), TypeOf(types[i]), 0, {}});
      values_.push_back([member, number](ValueSink& sink, const Row& row) {
        Put(sink, (row.*member).Get(number));
      });
    }
    return *this;
  }

  // Bit columns <prefix>1..<prefix>N of a fixed array.
  template <size_t N>
  Table& Bits(const std::string& prefix, std::array<bool, N> Row::*member) {
    for (size_t i = 0; i < N; ++i) {
      columns.push_back({prefix + std::to_string(i + 1), kBit, 0, {}});
      values_.push_back(
          [member, i](ValueSink& sink, const Row& row) { Put(sink, (row.*member)[i]); });
    }
    return *this;
  }

  Table& Key(std::vector<std::string> key_columns) {
    primary_key = std::move(key_columns);
    return *this;
  }

  Table& Index(std::string index, std::vector<std::string> index_columns, bool unique = false) {
    indexes.push_back({std::move(index), std::move(index_columns), unique});
    return *this;
  }

  size_t RowCount(const DemoCompany& company) const override { return (company.*rows_).size(); }

  void ForEachRow(const DemoCompany& company, ValueSink& sink,
                  const std::function<void()>& row_done) const override {
    for (const Row& row : company.*rows_) {
      for (const auto& value : values_) value(sink, row);
      row_done();
    }
  }

 private:
  static ColumnType TypeOf(char letter) {
    switch (letter) {
      case 'C':
        return kCode;
      case 'I':
        return kInteger;
      case 'R':
        return kReal;
      case 'D':
        return kDate;
      default:
        return kText;
    }
  }

  std::vector<Row> DemoCompany::*rows_;
  std::vector<std::function<void(ValueSink&, const Row&)>> values_;
};

// Types of the define columns: document headers 1..16, document lines 22..37, inventories 1..16.
constexpr std::string_view kHeaderDefines = "TTTDIDRTTTTTTTIR";
constexpr std::string_view kLineDefines = "TTTTRRTTTTTTIIDD";
constexpr std::string_view kInventoryDefines = "TTTTTTTTTTRRRRDD";
constexpr std::string_view kFreeItems = "CCCCCCCCCC";

class Builder {
 public:
  template <typename Row>
  Table<Row>& Company(std::string name, std::vector<Row> DemoCompany::*rows) {
    return Add(std::move(name), rows, false);
  }
  template <typename Row>
  Table<Row>& System(std::string name, std::vector<Row> DemoCompany::*rows) {
    return Add(std::move(name), rows, true);
  }
  std::vector<std::unique_ptr<TableDef>> tables;

 private:
  template <typename Row>
  Table<Row>& Add(std::string name, std::vector<Row> DemoCompany::*rows, bool system) {
    auto table = std::make_unique<Table<Row>>(std::move(name), rows, system);
    Table<Row>& ref = *table;
    tables.push_back(std::move(table));
    return ref;
  }
};

std::vector<std::unique_ptr<TableDef>> Describe() {
  Builder b;
  {
    using R = InventoryClassRow;
    b.Company("InventoryClass", &DemoCompany::inventory_classes)
        .Column("cInvCCode", kCode, &R::cInvCCode, kPrimaryKey)
        .Column("cInvCName", kText, &R::cInvCName)
        .Column("iInvCGrade", kInteger, &R::iInvCGrade)
        .Column("bInvCEnd", kBit, &R::bInvCEnd);
  }
  {
    using R = ComputationGroupRow;
    b.Company("ComputationGroup", &DemoCompany::computation_groups)
        .Column("cGroupCode", kCode, &R::cGroupCode, kPrimaryKey)
        .Column("cGroupName", kText, &R::cGroupName)
        .Column("iGroupType", kInteger, &R::iGroupType);
  }
  {
    using R = ComputationUnitRow;
    b.Company("ComputationUnit", &DemoCompany::computation_units)
        .Column("cComunitCode", kCode, &R::cComunitCode, kPrimaryKey)
        .Column("cComUnitName", kText, &R::cComUnitName)
        .Column("cGroupCode", kCode, &R::cGroupCode)
        .Column("iNumber", kInteger, &R::iNumber)
        .Column("iChangRate", kReal, &R::iChangRate)
        .Column("bMainUnit", kBit, &R::bMainUnit)
        // SQL Server lets only one unit of a group go without a number here, SQLite any number
        // of them; the demo gives every unit its number.
        .Index("IX_ComputationUnit_Number", {"cGroupCode", "iNumber"}, true);
  }
  {
    using R = InventoryRow;
    b.Company("Inventory", &DemoCompany::inventories)
        .Column("iId", kInteger, &R::iId, kNotNull | kUnique)
        .Column("cInvCode", kCode, &R::cInvCode, kPrimaryKey)
        .Column("cInvAddCode", kCode, &R::cInvAddCode)
        .Column("cInvName", kText, &R::cInvName)
        .Column("cInvStd", kText, &R::cInvStd)
        .Column("cInvCCode", kCode, &R::cInvCCode)
        .Column("cComUnitCode", kCode, &R::cComUnitCode)
        .Column("cGroupCode", kCode, &R::cGroupCode)
        .Column("cAssComUnitCode", kCode, &R::cAssComUnitCode)
        .Column("iGroupType", kInteger, &R::iGroupType)
        .Column("bInvBatch", kBit, &R::bInvBatch)
        .Column("iSafeNum", kReal, &R::iSafeNum)
        .Column("iTopSum", kReal, &R::iTopSum)
        .Column("iLowSum", kReal, &R::iLowSum)
        .Bits("bFree", &R::bFree)
        .Numbered("cInvDefine", 1, kInventoryDefines, &R::cInvDefine)
        .Index("IX_Inventory_Class", {"cInvCCode"});
  }
  {
    using R = WarehouseRow;
    b.Company("Warehouse", &DemoCompany::warehouses)
        .Column("cWhCode", kCode, &R::cWhCode, kPrimaryKey)
        .Column("cWhName", kText, &R::cWhName)
        .Column("cDepCode", kCode, &R::cDepCode)
        .Column("cWhAddress", kText, &R::cWhAddress)
        .Column("cWhPerson", kText, &R::cWhPerson)
        .Column("bWhPos", kBit, &R::bWhPos);
  }
  {
    using R = PositionRow;
    b.Company("Position", &DemoCompany::positions)
        .Column("cPosCode", kCode, &R::cPosCode, kPrimaryKey)
        .Column("cPosName", kText, &R::cPosName)
        .Column("cWhCode", kCode, &R::cWhCode)
        .Column("iPosGrade", kInteger, &R::iPosGrade)
        .Column("bPosEnd", kBit, &R::bPosEnd)
        .Index("IX_Position_Warehouse", {"cWhCode"});
  }
  {
    using R = DepartmentRow;
    b.Company("Department", &DemoCompany::departments)
        .Column("cDepCode", kCode, &R::cDepCode, kPrimaryKey)
        .Column("cDepName", kText, &R::cDepName)
        .Column("iDepGrade", kInteger, &R::iDepGrade)
        .Column("bDepEnd", kBit, &R::bDepEnd);
  }
  {
    using R = PersonRow;
    b.Company("Person", &DemoCompany::persons)
        .Column("cPersonCode", kCode, &R::cPersonCode, kPrimaryKey)
        .Column("cPersonName", kText, &R::cPersonName)
        .Column("cDepCode", kCode, &R::cDepCode);
  }
  {
    using R = VendorRow;
    b.Company("Vendor", &DemoCompany::vendors)
        .Column("cVenCode", kCode, &R::cVenCode, kPrimaryKey)
        .Column("cVenName", kText, &R::cVenName)
        .Column("cVenAbbName", kText, &R::cVenAbbName);
  }
  {
    using R = CustomerRow;
    b.Company("Customer", &DemoCompany::customers)
        .Column("cCusCode", kCode, &R::cCusCode, kPrimaryKey)
        .Column("cCusName", kText, &R::cCusName)
        .Column("cCusAbbName", kText, &R::cCusAbbName);
  }
  {
    using R = VouchTypeRow;
    b.Company("VouchType", &DemoCompany::vouch_types)
        .Column("cVouchType", kCode, &R::cVouchType, kPrimaryKey)
        .Column("cVouchName", kText, &R::cVouchName);
  }
  {
    using R = RdStyleRow;
    b.Company("Rd_Style", &DemoCompany::rd_styles)
        .Column("cRdCode", kCode, &R::cRdCode, kPrimaryKey)
        .Column("cRdName", kText, &R::cRdName)
        .Column("bRdFlag", kBit, &R::bRdFlag)
        .Column("iRdGrade", kInteger, &R::iRdGrade)
        .Column("bRdEnd", kBit, &R::bRdEnd);
  }
  {
    using R = RdRecordRow;
    b.Company("RdRecord", &DemoCompany::rd_records)
        .Column("ID", kInteger, &R::ID, kPrimaryKey)
        .Column("bRdFlag", kBit, &R::bRdFlag)
        .Column("cVouchType", kCode, &R::cVouchType)
        .Column("cBusType", kText, &R::cBusType)
        .Column("cSource", kText, &R::cSource)
        .Column("cBusCode", kText, &R::cBusCode)
        .Column("cWhCode", kCode, &R::cWhCode)
        .Column("dDate", kDate, &R::dDate)
        .Column("cCode", kCode, &R::cCode)
        .Column("cRdCode", kCode, &R::cRdCode)
        .Column("cDepCode", kCode, &R::cDepCode)
        .Column("cPersonCode", kCode, &R::cPersonCode)
        .Column("cVenCode", kCode, &R::cVenCode)
        .Column("cCusCode", kCode, &R::cCusCode)
        .Column("cHandler", kCode, &R::cHandler)
        .Column("cMemo", kText, &R::cMemo)
        .Column("cMaker", kCode, &R::cMaker)
        .Column("dVeriDate", kDate, &R::dVeriDate)
        .Column("bISSTQc", kBit, &R::bISSTQc)
        .Column("bPuFirst", kBit, &R::bPuFirst)
        .Numbered("cDefine", 1, kHeaderDefines, &R::cDefine)
        .Index("IX_RdRecord_dDate", {"dDate"});
  }
  {
    using R = RdRecordsRow;
    b.Company("RdRecords", &DemoCompany::rd_lines)
        .Column("AutoID", kInteger, &R::AutoID, kPrimaryKey)
        .Column("ID", kInteger, &R::ID, kNotNull)
        .Column("cInvCode", kCode, &R::cInvCode)
        .Column("iNum", kReal, &R::iNum)
        .Column("iQuantity", kReal, &R::iQuantity)
        .Column("iUnitCost", kReal, &R::iUnitCost)
        .Column("iPrice", kReal, &R::iPrice)
        .Column("cBatch", kCode, &R::cBatch)
        .Column("dVDate", kDate, &R::dVDate)
        .Numbered("cFree", 1, kFreeItems, &R::cFree)
        .Numbered("cDefine", 22, kLineDefines, &R::cDefine)
        .Column("dCheckDate", kDate, &R::dCheckDate)
        .Column("cCheckCode", kCode, &R::cCheckCode)
        .Column("cCheckPersonCode", kCode, &R::cCheckPersonCode)
        .Column("cRejectCode", kCode, &R::cRejectCode)
        .Index("IX_RdRecords_ID", {"ID"})
        // Covers every column the summary reads from the lines, in inventory order.
        .Index("IX_RdRecords_Inventory", {"cInvCode", "cBatch", "ID", "iQuantity", "iNum"});
  }
  {
    using R = InvPositionRow;
    b.Company("InvPosition", &DemoCompany::inv_positions)
        .Column("AutoId", kInteger, &R::AutoId, kPrimaryKey)
        .Column("RdID", kInteger, &R::RdID)
        .Column("RdsID", kInteger, &R::RdsID)
        .Column("bRdFlag", kBit, &R::bRdFlag)
        .Column("cWhCode", kCode, &R::cWhCode)
        .Column("cPosCode", kCode, &R::cPosCode)
        .Column("cInvCode", kCode, &R::cInvCode)
        .Column("cBatch", kCode, &R::cBatch)
        .Column("iQuantity", kReal, &R::iQuantity)
        .Column("iNum", kReal, &R::iNum)
        .Numbered("cFree", 1, kFreeItems, &R::cFree)
        .Column("dVDate", kDate, &R::dVDate)
        .Column("cMemo", kText, &R::cMemo)
        .Column("cHandler", kCode, &R::cHandler)
        .Column("dDate", kDate, &R::dDate)
        .Column("cSource", kText, &R::cSource)
        // Covers every column the position summary reads from the records.
        .Index("IX_InvPosition_Key", {"cInvCode", "cWhCode", "cPosCode", "cBatch", "dDate",
                                      "bRdFlag", "iQuantity", "iNum"})
        .Index("IX_InvPosition_RdsID", {"RdsID"});
  }
  {
    using R = AdjustPVouchRow;
    b.Company("AdjustPVouch", &DemoCompany::adjust_vouchers)
        .Column("ID", kInteger, &R::ID, kPrimaryKey)
        .Column("cVouchCode", kCode, &R::cVouchCode)
        .Column("dDate", kDate, &R::dDate)
        .Column("cWhCode", kCode, &R::cWhCode)
        .Column("cDepCode", kCode, &R::cDepCode)
        .Column("cPersonCode", kCode, &R::cPersonCode)
        .Column("cMaker", kCode, &R::cMaker)
        .Column("cHandler", kCode, &R::cHandler)
        .Column("dVeriDate", kDate, &R::dVeriDate)
        .Column("cMemo", kText, &R::cMemo)
        .Numbered("cDefine", 1, kHeaderDefines, &R::cDefine);
  }
  {
    using R = AdjustPVouchsRow;
    b.Company("AdjustPVouchs", &DemoCompany::adjust_lines)
        .Column("AutoID", kInteger, &R::AutoID, kPrimaryKey)
        .Column("ID", kInteger, &R::ID, kNotNull)
        .Column("cInvCode", kCode, &R::cInvCode)
        .Column("cBatch", kCode, &R::cBatch)
        .Column("iQuantity", kReal, &R::iQuantity)
        .Column("iNum", kReal, &R::iNum)
        .Column("cBPosCode", kCode, &R::cBPosCode)
        .Column("cAPosCode", kCode, &R::cAPosCode)
        .Column("dVDate", kDate, &R::dVDate)
        .Numbered("cFree", 1, kFreeItems, &R::cFree)
        .Numbered("cDefine", 22, kLineDefines, &R::cDefine)
        .Index("IX_AdjustPVouchs_ID", {"ID"});
  }
  {
    using R = CheckVouchRow;
    b.Company("CheckVouch", &DemoCompany::check_vouchers)
        .Column("ID", kInteger, &R::ID, kPrimaryKey)
        .Column("cCVCode", kCode, &R::cCVCode)
        .Column("dDate", kDate, &R::dDate)
        .Column("cWhCode", kCode, &R::cWhCode)
        .Column("cDepCode", kCode, &R::cDepCode)
        .Column("cPersonCode", kCode, &R::cPersonCode)
        .Column("cMaker", kCode, &R::cMaker)
        .Column("cHandler", kCode, &R::cHandler)
        .Column("dVeriDate", kDate, &R::dVeriDate)
        .Column("cMemo", kText, &R::cMemo)
        .Numbered("cDefine", 1, kHeaderDefines, &R::cDefine);
  }
  {
    using R = CheckVouchsRow;
    b.Company("CheckVouchs", &DemoCompany::check_lines)
        .Column("AutoID", kInteger, &R::AutoID, kPrimaryKey)
        .Column("ID", kInteger, &R::ID, kNotNull)
        .Column("cInvCode", kCode, &R::cInvCode)
        .Column("cBatch", kCode, &R::cBatch)
        .Column("cPosition", kCode, &R::cPosition)
        .Column("iCVQuantity", kReal, &R::iCVQuantity)
        .Column("iCVCQuantity", kReal, &R::iCVCQuantity)
        .Column("iCVNum", kReal, &R::iCVNum)
        .Column("iCVCNum", kReal, &R::iCVCNum)
        .Column("dVDate", kDate, &R::dVDate)
        .Numbered("cFree", 1, kFreeItems, &R::cFree)
        .Numbered("cDefine", 22, kLineDefines, &R::cDefine)
        .Index("IX_CheckVouchs_ID", {"ID"});
  }
  {
    using R = UserDefRow;
    b.Company("UserDef", &DemoCompany::user_defs)
        .Column("cID", kCode, &R::cID, kPrimaryKey)
        .Column("cClass", kText, &R::cClass)
        .Column("cItem", kText, &R::cItem)
        .Column("cItemName", kText, &R::cItemName)
        .Index("IX_UserDef_Class", {"cClass", "cItem"});
  }
  {
    using R = RptGlbDefRow;
    b.Company("Rpt_GlbDEF", &DemoCompany::report_definitions)
        .Column("ID", kInteger, &R::ID, kPrimaryKey)
        .Column("SystemID", kCode, &R::SystemID)
        .Column("Name", kCode, &R::Name)
        .Index("IX_Rpt_GlbDEF_Name", {"SystemID", "Name"});
  }
  {
    // Defaults on every column but ID, ORDEREx, Width and Visible, so that an INSERT of those
    // four works.
    using R = RptFldDefRow;
    b.Company("Rpt_FldDef", &DemoCompany::report_fields)
        .Column("ID", kInteger, &R::ID, kNotNull)
        .Column("ORDEREx", kInteger, &R::ORDEREx, kNotNull)
        .Column("FldName", kText, &R::FldName, kNotNull, "''")
        .Column("FldCaption", kText, &R::FldCaption, kNotNull, "''")
        .Column("FldType", kInteger, &R::FldType, kNotNull, "0")
        .Column("Width", kText, &R::Width)
        .Column("Visible", kInteger, &R::Visible)
        .Column("Alignment", kInteger, &R::Alignment, kNotNull, "0")
        .Column("FldFormat", kText, &R::FldFormat, kNotNull, "''")
        .Index("IX_Rpt_FldDef_Order", {"ID", "ORDEREx"});
  }
  {
    using R = AccountRow;
    b.System("VA_Account", &DemoCompany::accounts)
        .Column("cAcc_ID", kCode, &R::cAcc_ID, kPrimaryKey)
        .Column("cAcc_Name", kText, &R::cAcc_Name)
        .Column("dSTStartDate", kDate, &R::dSTStartDate);
  }
  {
    using R = PeriodRow;
    b.System("VA_Period", &DemoCompany::periods)
        .Column("cAcc_ID", kCode, &R::cAcc_ID, kNotNull)
        .Column("iYear", kInteger, &R::iYear, kNotNull)
        .Column("iId", kInteger, &R::iId, kNotNull)
        .Column("dBegin", kDate, &R::dBegin)
        .Column("dEnd", kDate, &R::dEnd)
        .Key({"cAcc_ID", "iYear", "iId"});
  }
  {
    using R = UserRow;
    b.System("VA_User", &DemoCompany::users)
        .Column("cUser_Id", kCode, &R::cUser_Id, kPrimaryKey)
        .Column("cUser_Name", kText, &R::cUser_Name)
        .Column("cPassword", kText, &R::cPassword);
  }
  {
    using R = DataRightRow;
    b.System("VA_DataRight", &DemoCompany::data_rights)
        .Column("cAcc_ID", kCode, &R::cAcc_ID, kNotNull)
        .Column("cUser_Id", kCode, &R::cUser_Id, kNotNull)
        .Column("cKind", kCode, &R::cKind, kNotNull)
        .Column("cValue", kCode, &R::cValue, kNotNull)
        .Index("IX_VA_DataRight_User", {"cAcc_ID", "cUser_Id", "cKind"});
  }
  {
    using R = FunctionRow;
    b.System("VA_Function", &DemoCompany::functions)
        .Column("cFuncId", kCode, &R::cFuncId, kPrimaryKey)
        .Column("cFuncName", kText, &R::cFuncName);
  }
  {
    using R = TaskRightRow;
    b.System("VA_TaskRight", &DemoCompany::task_rights)
        .Column("cAcc_ID", kCode, &R::cAcc_ID, kNotNull)
        .Column("cUser_Id", kCode, &R::cUser_Id, kNotNull)
        .Column("cFuncId", kCode, &R::cFuncId, kNotNull)
        .Key({"cAcc_ID", "cUser_Id", "cFuncId"});
  }
  {
    using R = TaskLockRow;
    b.System("VA_TaskLock", &DemoCompany::task_locks)
        .Column("cAcc_ID", kCode, &R::cAcc_ID, kNotNull)
        .Column("cFuncId", kCode, &R::cFuncId, kNotNull)
        .Column("cUser_Id", kCode, &R::cUser_Id, kNotNull)
        .Column("iLockNum", kInteger, &R::iLockNum);
  }
  return std::move(b.tables);
}

}  // namespace

const std::vector<std::unique_ptr<TableDef>>& Tables() {
  static const std::vector<std::unique_ptr<TableDef>> kTables = Describe();
  return kTables;
}

}  // namespace q9::demo
