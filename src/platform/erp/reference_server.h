// Substitute of the ERP's reference server, ProgID VkReferS.VkReferServer: paged lookups over a
// few tables of the company database, from which a user picks a warehouse, an inventory, a
// position and so on.
//
// Tables served (the name is matched without regard to letter case), with their columns in the
// order the data recordset has them; the first is the key (code), the second the name:
//   Warehouse       cWhCode, cWhName
//   Inventory       cInvCode, cInvName, cInvStd
//   InventoryClass  cInvCCode, cInvCName
//   Position        cPosCode, cPosName
//   Department      cDepCode, cDepName
//   Person          cPersonCode, cPersonName
//   Vendor          cVenCode, cVenName
//   Customer        cCusCode, cCusName
// Any other table name raises error 5 naming it and the tables served.
//
// Members (arguments in order; "ref" marks one the server writes back):
//   SetRWAuth(table, mode, flag) -> True
//       Checks that the table is served. The mode ("R" or "W") and the flag are accepted; every
//       row is served either way (the ledger statements, not the lookups, apply data rights).
//   GetData(login, table, filter, keyWord, order, ref pageSize, ref curPage, ref pageCount,
//           ref rsData, reserved) -> True
//       login: the user's inner login object; its VkDbName names the company database, on which
//         the server opens a connection of its own for the call.
//       filter: a code prefix: only rows whose key starts with it (ASCII letters in any case).
//       keyWord: only rows whose key or name contains it (ASCII letters in any case). Filter and
//         key word are matched as plain text, never put into SQL, so quotes and wildcards in
//         them have no special meaning.
//       order: empty for the key; otherwise column names of the table separated by commas, each
//         optionally followed by ASC or DESC (any case). A name the table does not have raises
//         error 5 naming it. The key is always the last ordering, so pages are stable.
//       pageSize: rows per page; below 1 it becomes 20 and is written back.
//       pageCount: the number of pages of the matching rows, at least 1; written back.
//       curPage: 1-based; clamped into 1..pageCount and written back.
//       rsData: receives a client-side recordset with the rows of the current page.
//       reserved: ignored.
//   GetTitleFormat(login, table) -> recordset
//       One row per column of the data recordset, in the same order, with the columns
//       cFieldName (the column name), cCaption (its Chinese caption) and iWidth (a display width).
//   GetRefStrRst(login, table, ref rsData, filter, paged, ref pageSize, ref curPage,
//                ref pageCount) -> True
//       The lookup without key word, ordered by the key. filter as in GetData. paged True: pages
//       as in GetData; False: every matching row on one page (pageSize untouched, curPage and
//       pageCount 1).
// Errors carry the source "VkReferS.VkReferServer"; database errors come through unchanged.
#pragma once

#include "platform/dispatch.h"

namespace q9::platform::erp {

inline constexpr const char* kReferServerProgId = "VkReferS.VkReferServer";
inline constexpr int kDefaultReferPageSize = 20;

ObjectPtr CreateReferServer();

}  // namespace q9::platform::erp
