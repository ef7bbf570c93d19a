#include "services/query_format.h"

#include "platform/error.h"

namespace q9::services {

namespace db = platform::db;

std::string QueryLookupStatement(std::string_view QueryName) {
  std::string statement = "Select ID from Rpt_GlbDEF Where SystemID='ST' And Name ='";
  for (char c : QueryName) {
    statement += c;
    if (c == '\'') statement += '\'';
  }
  return statement + "'  ";
}

std::string FormatRowsStatement(std::string_view query_id) {
  return "SELECT * FROM Rpt_FldDef WHERE  [ORDEREx] <  100 AND ID = " + std::string(query_id) +
         " ORDER BY [ORDEREx]";
}

void RequireQueryId(std::string_view query_id) {
  if (query_id.empty()) throw platform::InvalidCall("查询号为空");
  for (char c : query_id) {
    if (c < '0' || c > '9') {
      throw platform::InvalidCall("查询号 '" + std::string(query_id) + "' 不是数字");
    }
  }
}

std::shared_ptr<db::Recordset> OpenQueryFormat(std::string_view QueryName, db::Connection& gConn,
                                               platform::Variant& sQueryid) {
  db::Recordset lookup;
  lookup.SetCursorLocation(db::kUseClient);
  lookup.Open(QueryLookupStatement(QueryName), gConn, db::kOpenStatic, db::kLockReadOnly, -1);
  sQueryid = lookup.Field("ID");
  // Concatenation turns a Null id into "", which RequireQueryId then names as empty.
  std::string query_id = sQueryid.ConcatText();
  RequireQueryId(query_id);

  db::Recordset format;
  format.SetCursorLocation(db::kUseClient);
  format.Open(FormatRowsStatement(query_id), gConn, db::kOpenDynamic, db::kLockReadOnly, -1);
  std::shared_ptr<db::Recordset> clone = format.Clone(db::kLockUnspecified);
  if (lookup.State() == db::kStateOpen) lookup.Close();
  if (format.State() == db::kStateOpen) format.Close();
  return clone;
}

}  // namespace q9::services
