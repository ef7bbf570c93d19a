// The saved column format of a report query: the definition in Rpt_GlbDEF (looked up by name
// within the stock module "ST") and its format rows in Rpt_FldDef (ORDEREx below 100, ordered by
// it). Rows at ORDEREx 100 and above are never part of a format.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/variant.h"

namespace q9::services {

// "Select ID from Rpt_GlbDEF Where SystemID='ST' And Name ='" + name + "'  ", with each single
// quote inside the name doubled, so a name like O'Brien is looked up rather than breaking the
// statement.
std::string QueryLookupStatement(std::string_view QueryName);

// "SELECT * FROM Rpt_FldDef WHERE  [ORDEREx] <  100 AND ID = " + id + " ORDER BY [ORDEREx]".
// The id goes in bare; it must satisfy RequireQueryId.
std::string FormatRowsStatement(std::string_view query_id);

// A query id is placed into statements unquoted, so it must be one or more decimal digits.
// Anything else, the empty text included, raises error 5 (invalid argument) naming the value.
void RequireQueryId(std::string_view query_id);

// Looks the definition of `QueryName` up, stores its ID (as the database typed it) into
// `sQueryid`, and returns a clone of its format rows ordered by ORDEREx; both recordsets it opened
// are closed before returning.
// Errors: a name without a definition raises the data-access "no current record" error (3021)
// when the ID is read; an ID that is not digits raises error 5 before the rows are read (the ID
// stays in `sQueryid`); database errors propagate. Nothing is written.
std::shared_ptr<platform::db::Recordset> OpenQueryFormat(std::string_view QueryName,
                                                         platform::db::Connection& gConn,
                                                         platform::Variant& sQueryid);

}  // namespace q9::services
