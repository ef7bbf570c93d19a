#include "platform/db/open_engine.h"

#include "platform/db/connection_string.h"
#include "platform/db/odbc_connection_string.h"
#include "platform/db/odbc_engine.h"
#include "platform/db/sqlite_engine.h"
#include "platform/db/statement_gate.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

std::unique_ptr<Engine> Open(std::string_view connection_string, int connection_timeout) {
  ConnectionString cs = ConnectionString::Parse(connection_string);
  std::string provider = cs.GetOr("Provider", "");
  if (SameMemberName(provider, "SQLite")) return SqliteEngine::Open(cs);
  if (IsOdbcConnectionString(cs)) {
    return OdbcEngine::Open(MapOdbcConnectionString(cs, InstalledOdbcDrivers()),
                            connection_timeout);
  }
  if (provider.empty()) {
    throw ProviderError("Q9STRepSrv", "the connection string names no provider: " + cs.Redacted());
  }
  throw ProviderError("Q9STRepSrv", "unknown provider '" + provider + "' in " + cs.Redacted());
}

}  // namespace

std::unique_ptr<Engine> OpenEngine(std::string_view connection_string, int connection_timeout) {
  try {
    return Open(connection_string, connection_timeout);
  } catch (const ComError& e) {
    TraceEvent("open failed", {{"source", e.source()}, {"error", e.description()}});
    throw;
  }
}

}  // namespace q9::platform::db
