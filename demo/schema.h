// The schema of the demo company database and of the system database beside it, on SQLite and
// on SQL Server, written from the table descriptions in demo/tables.h.
//
// Company database: every table and column the ledger, caption and format statements read, with
// the types the embedded engine maps (DATE columns hold 'YYYY-MM-DD' text without a time, BIT
// columns hold 0/1, quantities and rates are REAL, ids INTEGER). Codes are COLLATE NOCASE: they
// compare without regard to letter case; codes carry no trailing blanks. The statements name
// several columns without a table alias, so each such name exists in one table only among the
// tables a statement joins:
//   - cFree1..cFree10 only on the line tables RdRecords, AdjustPVouchs, CheckVouchs and on
//     InvPosition;
//   - cInvDefine1..cInvDefine16 and iLowSum only on Inventory;
//   - dDate and dVeriDate on the document headers (RdRecord, AdjustPVouch, CheckVouch) and on
//     InvPosition (dDate), never on RdRecords or the master tables.
//
// System database (attached by the engine as VKSystem): accounts (VA_Account), their periods
// (VA_Period), users (VA_User), the objects a user may see (VA_DataRight: cKind 'InvenTory' with
// cValue = Inventory.iId as text, 'WareHouse', 'department', 'position', 'user' = a document
// maker's name; a user without any row of a kind is not restricted for that kind), functions
// (VA_Function), tasks granted (VA_TaskRight) and functions held by a user (VA_TaskLock).
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

// The same tables on SQL Server, as a T-SQL script whose batches are separated by lines holding
// only GO: it drops and creates the company tables in the database the connection opens and the
// system tables in the database VKSystem (created when missing). Text is NVARCHAR in a
// case-insensitive collation (codes 60 characters, other text 255), dates DATETIME (a date
// compared with 'YYYY-MM-DD' is compared with its midnight), quantities and rates FLOAT, ids INT.
// Every text column carries the same collation, so no comparison meets a collation conflict.
// Needs SQL Server 2008 or later; run it only on scratch databases.
extern const std::string_view kMssqlSchemaScript;

}  // namespace q9::demo
