// Reference lookups through the ERP's reference server (ProgID VkReferS.VkReferServer): paged rows
// of a table the caller names, with (full mode) a recordset describing their columns.
#pragma once

#include <cstdint>
#include <string>

#include "platform/variant.h"

namespace q9::services {

inline constexpr const char* kReferServerProgId = "VkReferS.VkReferServer";

// The arguments a caller passes by value; the server receives references to these copies, so
// whatever it writes into them (a corrected page size, for one) stays here.
struct ReferenceRequest {
  bool blnRefMode = false;  // True: full mode (data and title format); False: plain mode
  std::string strTable;
  std::string strFilter;   // full mode only
  std::string strKeyWord;  // full mode only
  std::string strOrder;    // full mode only
  int16_t intPageSize = 0;
};

// Creates a reference server and asks it for one page, passing gLogin.OldLogin (read anew for
// each call) as the user's login.
//   Full mode: SetRWAuth(table, "W", False); GetData(login, table, filter, key word, order,
//   page size, current page, page count, data, ""); GetTitleFormat(login, table). When the data
//   recordset comes back set, `rs` and `RsCol` receive clones of the data and title recordsets
//   and the result is true; when it does not, the result is false and nothing is set.
//   Plain mode: GetRefStrRst(login, table, data, "", True, page size, current page, page count);
//   `rs` receives a clone of the data and the result is true; `RsCol` is never touched.
// `intCurPage` and `intPageCount` are the caller's variables: the server's updates reach them,
// also when a later step fails. The recordsets the server produced are closed before returning.
// Errors (ComError, propagated): the server cannot be created or a call on it fails; in plain
// mode a data recordset that is not set (91); in full mode a missing title recordset (91, after
// `rs` was already set); a value that is not a recordset (13).
bool FetchReferenceData(const platform::Variant& gLogin, ReferenceRequest request,
                        int32_t& intCurPage, int32_t& intPageCount, platform::Variant& rs,
                        platform::Variant& RsCol);

}  // namespace q9::services
