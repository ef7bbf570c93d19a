// Captions of the define items and free items: what the company called them, read from UserDef.
#pragma once

#include <memory>
#include <string>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace q9::services {

// Which captions a caller asks for. kHeaderDefine and kBodyDefine run the very same statement.
enum class CaptionKind {
  kInventoryDefine,  // GetDefineName: cClass '存货', cItem like '自定义项%'
  kInventoryFree,    // GetFreeName: cClass '存货', cItem like '自由项%'
  kHeaderDefine,     // GetHDefineName: cClass '单据头', cItem like '自定义项%'
  kBodyDefine,       // GetBDefineName: as kHeaderDefine
};

// The statement of a kind: columns cID and cItem (the caption, or the system name when the
// caption is NULL or empty), ordered by cID.
std::string CaptionStatement(CaptionKind kind);

// Opens the statement of `kind` on `gConn` (client cursor) and returns a clone of its rows; the
// recordset it opened itself is closed before returning. Errors of the connection or the
// database propagate as ComError.
std::shared_ptr<platform::db::Recordset> OpenCaptions(CaptionKind kind,
                                                      platform::db::Connection& gConn);

}  // namespace q9::services
