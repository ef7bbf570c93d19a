// Substitute of the ERP's print service, ProgID VtSTPrint.clsPrintItfService: instead of
// printing, it exports the recordset of a report to a file a user can open, print or mail.
//
// Members:
//   vklogin (property, put or put by reference): the user's inner login object. It must be set
//       before Execute (error 91 otherwise); its cUserId and cAcc_Id head the HTML export.
//   Execute(command, param, return, ref error) -> Boolean
//       command "csv:<path>": writes the recordset in param to <path> as CSV: UTF-8 with a
//           byte-order mark (so spreadsheet programs read the Chinese texts), lines ended by CR LF,
//           a first line of field names, then one line per record; a field holding a comma, a
//           quote, CR or LF is put between double quotes with its quotes doubled; Null and Empty
//           are empty fields.
//       command "html:<path>": writes <path> as an HTML page (UTF-8) with one table: a header row
//           of field names, one row per record, every text escaped (& < > " '), and a caption
//           naming the user and the account of vklogin.
//       The prefix is matched without regard to letter case; the path is the rest of the text.
//       Every record is written, from the first, through a clone: the caller's recordset keeps
//       its current record. Result True; `error` is left as it was.
//       Any other command, or a command without a path: `error` receives a text naming the
//           command and the commands known, nothing is written, result False.
//       return: not used.
//   Errors: vklogin not set (91); param not a recordset (13); a closed recordset (3704); a file
//   that cannot be written (75, naming the path). The source is "VtSTPrint.clsPrintItfService".
#pragma once

#include "platform/dispatch.h"

namespace q9::platform::erp {

inline constexpr const char* kPrintServiceProgId = "VtSTPrint.clsPrintItfService";

ObjectPtr CreatePrintService();

}  // namespace q9::platform::erp
