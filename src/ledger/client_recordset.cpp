#include "ledger/client_recordset.h"

namespace q9::ledger {

std::shared_ptr<platform::db::Recordset> OpenClientClone(std::string_view sql,
                                                         platform::db::Connection& connection) {
  using platform::db::Recordset;
  auto own = std::make_shared<Recordset>();
  CloseWhenDone close_own(own);
  own->SetCursorLocation(platform::db::kUseClient);
  own->Open(sql, connection, platform::db::kOpenDynamic, platform::db::kLockReadOnly, -1);
  return own->Clone(platform::db::kLockUnspecified);
}

}  // namespace q9::ledger
