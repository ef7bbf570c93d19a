// How the ledger flows open their statements: a client-side recordset of their own, handed out
// as a clone.
#pragma once

#include <memory>
#include <string_view>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace q9::ledger {

// Opens `sql` on `connection` in a new client-side recordset (dynamic cursor, read-only lock,
// options unspecified) and returns its Clone with the lock type unspecified, on the first record.
// The recordset opened here is closed before returning, also when an error is raised; the clone
// stays open. Errors of the engine (or of a closed connection: 3704) reach the caller unchanged.
std::shared_ptr<platform::db::Recordset> OpenClientClone(std::string_view sql,
                                                         platform::db::Connection& connection);

// Closes the guarded recordset, when it is still open, as the scope ends (also on error).
class CloseWhenDone {
 public:
  explicit CloseWhenDone(std::shared_ptr<platform::db::Recordset> rs) : rs_(std::move(rs)) {}
  ~CloseWhenDone() {
    if (rs_ && rs_->State() == platform::db::kStateOpen) rs_->Close();
  }
  CloseWhenDone(const CloseWhenDone&) = delete;
  CloseWhenDone& operator=(const CloseWhenDone&) = delete;

 private:
  std::shared_ptr<platform::db::Recordset> rs_;
};

}  // namespace q9::ledger
