// The engine seam: what a database engine offers the connection. One implementation per engine
// (embedded SQLite, ODBC); the connection is the only caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/db/row_set.h"

namespace q9::platform::db {

struct StatementResult {
  std::shared_ptr<const RowSet> rows;  // null for a statement that returns no rows
  int64_t rows_affected = -1;          // -1 when the engine does not know
};

class Engine {
 public:
  virtual ~Engine() = default;
  virtual std::string Name() const = 0;
  // The text this engine runs for a statement of the component (SQLite: the T-SQL bridge's
  // translation; ODBC: the statement unchanged). Raises ComError for a statement it cannot run.
  virtual std::string Translate(std::string_view sql) = 0;
  // Runs an engine text and materializes its rows. Raises ComError with the engine's message.
  virtual StatementResult Run(const std::string& engine_sql) = 0;
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  // Seconds a statement may run; 0 means no limit.
  virtual void SetCommandTimeout(int seconds) = 0;
};

}  // namespace q9::platform::db
