// Plain records of every table of the demo company database and of its system database, as
// the generator produces them and the writer stores them. Column members carry the column names
// exactly; NULL is an empty optional. Dates are 'YYYY-MM-DD' text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace q9::demo {

// One cell of a column whose type varies by column (define items): NULL, integer, real or text
// (dates as 'YYYY-MM-DD' text).
using CellValue = std::variant<std::monostate, int64_t, double, std::string>;

// The numbered columns of one row (cDefine<n>, cInvDefine<n>, cFree<n>) that hold a value; all
// others are NULL. Kept sparse because most of them are empty on most rows.
class NumberedValues {
 public:
  // The value of column `number`, NULL (monostate) when not set.
  const CellValue& Get(int number) const;
  // The text of column `number`, nullptr when NULL or not text.
  const std::string* Text(int number) const;
  // Sets column `number`; a monostate value makes it NULL again.
  void Set(int number, CellValue value);
  const std::vector<std::pair<int, CellValue>>& entries() const { return entries_; }

  bool operator==(const NumberedValues&) const = default;

 private:
  std::vector<std::pair<int, CellValue>> entries_;  // ascending by number
};

// ---- company database -------------------------------------------------------------------

struct InventoryClassRow {
  std::string cInvCCode;
  std::string cInvCName;
  int iInvCGrade = 1;
  bool bInvCEnd = true;
  bool operator==(const InventoryClassRow&) const = default;
};

struct ComputationGroupRow {
  std::string cGroupCode;
  std::string cGroupName;
  int iGroupType = 0;
  bool operator==(const ComputationGroupRow&) const = default;
};

struct ComputationUnitRow {
  std::string cComunitCode;
  std::string cComUnitName;
  std::string cGroupCode;
  std::optional<int> iNumber;  // unique within the group
  double iChangRate = 1;
  bool bMainUnit = false;
  bool operator==(const ComputationUnitRow&) const = default;
};

struct InventoryRow {
  int64_t iId = 0;
  std::string cInvCode;
  std::optional<std::string> cInvAddCode;
  std::string cInvName;
  std::optional<std::string> cInvStd;
  std::string cInvCCode;
  std::string cComUnitCode;
  std::optional<std::string> cGroupCode;
  std::optional<std::string> cAssComUnitCode;
  int iGroupType = 0;
  bool bInvBatch = false;
  std::optional<double> iSafeNum;
  std::optional<double> iTopSum;
  std::optional<double> iLowSum;
  std::array<bool, 10> bFree{};  // bFree1..bFree10: free item i is used on this inventory's lines
  NumberedValues cInvDefine;     // 1..16
  bool operator==(const InventoryRow&) const = default;
};

struct WarehouseRow {
  std::string cWhCode;
  std::string cWhName;
  std::optional<std::string> cDepCode;
  std::optional<std::string> cWhAddress;
  std::optional<std::string> cWhPerson;
  bool bWhPos = false;  // managed by storage positions
  bool operator==(const WarehouseRow&) const = default;
};

struct PositionRow {
  std::string cPosCode;
  std::string cPosName;
  std::string cWhCode;
  int iPosGrade = 1;
  bool bPosEnd = true;
  bool operator==(const PositionRow&) const = default;
};

struct DepartmentRow {
  std::string cDepCode;
  std::string cDepName;
  int iDepGrade = 1;
  bool bDepEnd = true;
  bool operator==(const DepartmentRow&) const = default;
};

struct PersonRow {
  std::string cPersonCode;
  std::string cPersonName;
  std::optional<std::string> cDepCode;
  bool operator==(const PersonRow&) const = default;
};

struct VendorRow {
  std::string cVenCode;
  std::string cVenName;
  std::string cVenAbbName;
  bool operator==(const VendorRow&) const = default;
};

struct CustomerRow {
  std::string cCusCode;
  std::string cCusName;
  std::string cCusAbbName;
  bool operator==(const CustomerRow&) const = default;
};

struct VouchTypeRow {
  std::string cVouchType;
  std::string cVouchName;
  bool operator==(const VouchTypeRow&) const = default;
};

struct RdStyleRow {
  std::string cRdCode;
  std::string cRdName;
  bool bRdFlag = true;
  int iRdGrade = 1;
  bool bRdEnd = true;
  bool operator==(const RdStyleRow&) const = default;
};

// Receipt or issue document header.
struct RdRecordRow {
  int64_t ID = 0;
  bool bRdFlag = true;  // 1 receipt, 0 issue
  std::string cVouchType;
  std::optional<std::string> cBusType;
  std::optional<std::string> cSource;
  std::optional<std::string> cBusCode;
  std::string cWhCode;
  std::string dDate;
  std::optional<std::string> cCode;
  std::optional<std::string> cRdCode;
  std::optional<std::string> cDepCode;
  std::optional<std::string> cPersonCode;
  std::optional<std::string> cVenCode;
  std::optional<std::string> cCusCode;
  std::optional<std::string> cHandler;  // the auditor; NULL or '' while unaudited
  std::optional<std::string> cMemo;
  std::optional<std::string> cMaker;
  std::optional<std::string> dVeriDate;  // audit date; NULL while unaudited
  bool bISSTQc = false;                  // opening-balance document
  std::optional<bool> bPuFirst;
  NumberedValues cDefine;  // 1..16
  bool operator==(const RdRecordRow&) const = default;
};

// Receipt or issue document line.
struct RdRecordsRow {
  int64_t AutoID = 0;
  int64_t ID = 0;
  std::string cInvCode;
  std::optional<double> iNum;
  std::optional<double> iQuantity;
  std::optional<double> iUnitCost;
  std::optional<double> iPrice;
  std::optional<std::string> cBatch;
  std::optional<std::string> dVDate;
  NumberedValues cFree;    // 1..10
  NumberedValues cDefine;  // 22..37
  std::optional<std::string> dCheckDate;
  std::optional<std::string> cCheckCode;
  std::optional<std::string> cCheckPersonCode;
  std::optional<std::string> cRejectCode;
  bool operator==(const RdRecordsRow&) const = default;
};

// A quantity put into (bRdFlag 1) or taken from (0) a storage position. cSource NULL or '' for
// receipt and issue lines (RdsID = RdRecords.AutoID), '货位调整' for adjustments (RdsID =
// AdjustPVouchs.AutoID), '盘点' for stocktakes (RdsID = CheckVouchs.AutoID).
struct InvPositionRow {
  int64_t AutoId = 0;
  std::optional<int64_t> RdID;
  std::optional<int64_t> RdsID;
  bool bRdFlag = true;
  std::string cWhCode;
  std::string cPosCode;
  std::string cInvCode;
  std::optional<std::string> cBatch;
  std::optional<double> iQuantity;
  std::optional<double> iNum;
  NumberedValues cFree;  // 1..10
  std::optional<std::string> dVDate;
  std::optional<std::string> cMemo;
  std::optional<std::string> cHandler;
  std::string dDate;
  std::optional<std::string> cSource;
  bool operator==(const InvPositionRow&) const = default;
};

struct AdjustPVouchRow {
  int64_t ID = 0;
  std::string cVouchCode;
  std::string dDate;
  std::string cWhCode;
  std::optional<std::string> cDepCode;
  std::optional<std::string> cPersonCode;
  std::optional<std::string> cMaker;
  std::optional<std::string> cHandler;
  std::optional<std::string> dVeriDate;
  std::optional<std::string> cMemo;
  NumberedValues cDefine;  // 1..16
  bool operator==(const AdjustPVouchRow&) const = default;
};

// Moves iQuantity from position cBPosCode to position cAPosCode.
struct AdjustPVouchsRow {
  int64_t AutoID = 0;
  int64_t ID = 0;
  std::string cInvCode;
  std::optional<std::string> cBatch;
  double iQuantity = 0;
  std::optional<double> iNum;
  std::string cBPosCode;
  std::string cAPosCode;
  std::optional<std::string> dVDate;
  NumberedValues cFree;    // 1..10
  NumberedValues cDefine;  // 22..37
  bool operator==(const AdjustPVouchsRow&) const = default;
};

struct CheckVouchRow {
  int64_t ID = 0;
  std::string cCVCode;
  std::string dDate;
  std::string cWhCode;
  std::optional<std::string> cDepCode;
  std::optional<std::string> cPersonCode;
  std::optional<std::string> cMaker;
  std::optional<std::string> cHandler;
  std::optional<std::string> dVeriDate;
  std::optional<std::string> cMemo;
  NumberedValues cDefine;  // 1..16
  bool operator==(const CheckVouchRow&) const = default;
};

// Book quantity iCVQuantity and counted quantity iCVCQuantity of one position.
struct CheckVouchsRow {
  int64_t AutoID = 0;
  int64_t ID = 0;
  std::string cInvCode;
  std::optional<std::string> cBatch;
  std::string cPosition;
  double iCVQuantity = 0;
  double iCVCQuantity = 0;
  std::optional<double> iCVNum;
  std::optional<double> iCVCNum;
  std::optional<std::string> dVDate;
  NumberedValues cFree;    // 1..10
  NumberedValues cDefine;  // 22..37
  bool operator==(const CheckVouchsRow&) const = default;
};

struct UserDefRow {
  std::string cID;
  std::string cClass;
  std::string cItem;
  std::optional<std::string> cItemName;
  bool operator==(const UserDefRow&) const = default;
};

struct RptGlbDefRow {
  int64_t ID = 0;
  std::string SystemID;
  std::string Name;
  bool operator==(const RptGlbDefRow&) const = default;
};

struct RptFldDefRow {
  int64_t ID = 0;
  int ORDEREx = 0;
  std::string FldName;
  std::string FldCaption;
  int FldType = 0;
  std::optional<std::string> Width;
  std::optional<int> Visible;  // -1 shown, 0 hidden
  int Alignment = 0;
  std::string FldFormat;
  bool operator==(const RptFldDefRow&) const = default;
};

// ---- system database --------------------------------------------------------------------

struct PeriodRow {
  std::string cAcc_ID;
  int iYear = 0;
  int iId = 0;
  std::string dBegin;
  std::string dEnd;
  bool operator==(const PeriodRow&) const = default;
};

struct AccountRow {
  std::string cAcc_ID;
  std::string cAcc_Name;
  std::string dSTStartDate;
  bool operator==(const AccountRow&) const = default;
};

struct UserRow {
  std::string cUser_Id;
  std::string cUser_Name;
  // The password's Argon2id text (demo/password_hash.h); none: the user cannot log in with one.
  std::optional<std::string> cPassword = std::nullopt;
  bool operator==(const UserRow&) const = default;
};

struct DataRightRow {
  std::string cAcc_ID;
  std::string cUser_Id;
  std::string cKind;
  std::string cValue;
  bool operator==(const DataRightRow&) const = default;
};

struct FunctionRow {
  std::string cFuncId;
  std::string cFuncName;
  bool operator==(const FunctionRow&) const = default;
};

struct TaskRightRow {
  std::string cAcc_ID;
  std::string cUser_Id;
  std::string cFuncId;
  bool operator==(const TaskRightRow&) const = default;
};

struct TaskLockRow {
  std::string cAcc_ID;
  std::string cFuncId;
  std::string cUser_Id;
  int iLockNum = 0;
  bool operator==(const TaskLockRow&) const = default;
};

// Every row of both databases, in the order they are written.
struct DemoCompany {
  // Company database.
  std::vector<InventoryClassRow> inventory_classes;
  std::vector<ComputationGroupRow> computation_groups;
  std::vector<ComputationUnitRow> computation_units;
  std::vector<InventoryRow> inventories;
  std::vector<WarehouseRow> warehouses;
  std::vector<PositionRow> positions;
  std::vector<DepartmentRow> departments;
  std::vector<PersonRow> persons;
  std::vector<VendorRow> vendors;
  std::vector<CustomerRow> customers;
  std::vector<VouchTypeRow> vouch_types;
  std::vector<RdStyleRow> rd_styles;
  std::vector<RdRecordRow> rd_records;        // ascending ID
  std::vector<RdRecordsRow> rd_lines;         // ascending AutoID
  std::vector<InvPositionRow> inv_positions;  // ascending AutoId
  std::vector<AdjustPVouchRow> adjust_vouchers;
  std::vector<AdjustPVouchsRow> adjust_lines;
  std::vector<CheckVouchRow> check_vouchers;
  std::vector<CheckVouchsRow> check_lines;
  std::vector<UserDefRow> user_defs;
  std::vector<RptGlbDefRow> report_definitions;
  std::vector<RptFldDefRow> report_fields;
  // System database.
  std::vector<AccountRow> accounts;
  std::vector<PeriodRow> periods;
  std::vector<UserRow> users;
  std::vector<DataRightRow> data_rights;
  std::vector<FunctionRow> functions;
  std::vector<TaskRightRow> task_rights;
  std::vector<TaskLockRow> task_locks;

  bool operator==(const DemoCompany&) const = default;
};

}  // namespace q9::demo
