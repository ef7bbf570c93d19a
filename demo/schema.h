// The SQLite schema of the demo company database and of the system database beside it.
//
// Company database: every table and column the ledger, caption and format statements read, with
// the types the embedded engine maps (DATE columns hold 'YYYY-MM-DD' text without a time, BIT
// columns hold 0/1, quantities and rates are REAL, ids INTEGER). Text key columns are
// COLLATE NOCASE because the ERP's databases compare codes without regard to letter case; codes
// carry no trailing blanks. The statements name several columns without a table alias, so each
// such name exists in one table only among the tables a statement joins:
//   - cFree1..cFree10 only on the line tables RdRecords, AdjustPVouchs, CheckVouchs and on
//     InvPosition;
//   - cInvDefine1..cInvDefine16 and iLowSum only on Inventory;
//   - dDate and dVeriDate on the document headers (RdRecord, AdjustPVouch, CheckVouch) and on
//     InvPosition (dDate), never on RdRecords or the master tables.
// Define columns carry the ERP's types: header defines 1-3 and 8-14 text, 4 and 6 dates, 5 and
// 15 integers, 7 and 16 reals; line defines 22-25 and 28-33 text, 26-27 reals, 34-35 integers,
// 36-37 dates; inventory defines 1-10 text, 11-14 numbers, 15-16 dates.
//
// System database (attached by the engine as VKSystem):
//   VA_Account(cAcc_ID TEXT PRIMARY KEY, cAcc_Name TEXT, dSTStartDate DATE)
//       the stock module's start date per account.
//   VA_Period(cAcc_ID TEXT, iYear INTEGER, iId INTEGER, dBegin DATE, dEnd DATE)
//       accounting periods (months) per account and year; iId is the period number 1..12.
//   VA_User(cUser_Id TEXT PRIMARY KEY, cUser_Name TEXT)
//   VA_DataRight(cAcc_ID TEXT, cUser_Id TEXT, cKind TEXT, cValue TEXT)
//       one row per object a user may see; cKind 'InvenTory' (cValue = Inventory.iId as text),
//       'WareHouse' (warehouse code), 'department' (department code), 'position' (position
//       code), 'user' (a document maker's name). A user without any row of a kind is not
//       restricted for that kind.
//   VA_Function(cFuncId TEXT PRIMARY KEY, cFuncName TEXT)
//   VA_TaskRight(cAcc_ID TEXT, cUser_Id TEXT, cFuncId TEXT)   tasks granted to a user.
//   VA_TaskLock(cAcc_ID TEXT, cFuncId TEXT, cUser_Id TEXT, iLockNum INTEGER)
//       a function currently held by a user; another user asking for it meets a conflict.
#pragma once

#include <string_view>

namespace q9::demo {

// CREATE TABLE statements of the company database, separated by ';'.
extern const std::string_view kCompanySchema;
// CREATE INDEX statements of the company database: the detail lookups (lines by inventory,
// headers by ID, position records by inventory/warehouse/position and by line) and the
// grouped summary reads: the inventory indexes of RdRecords and InvPosition also hold every
// column the summary reads from those tables, so the summary walks them in inventory order
// without touching the wide rows. Created after the rows are loaded; the writer then runs
// ANALYZE so that the planner knows the tables' sizes.
extern const std::string_view kCompanyIndexes;
// CREATE TABLE and CREATE INDEX statements of the system database.
extern const std::string_view kSystemSchema;

}  // namespace q9::demo
