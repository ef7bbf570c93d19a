// The T-SQL bridge on arbitrary statements: it translates or raises its error, never crashes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/db/tsql_bridge.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view sql(reinterpret_cast<const char*>(data), size);
  try {
    q9::platform::db::TranslateTsqlToSqlite(sql);
  } catch (const q9::platform::ComError&) {
  }
  return 0;
}
