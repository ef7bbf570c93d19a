// The one choke point every statement passes: translation, the SQL trace and the fault hook.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/db/engine.h"

namespace q9::platform::db {

// Runs `sql` on `engine`: translates it, writes the trace line when tracing is on, calls the
// statement hook of this thread (which may raise to fail the statement), then runs it.
StatementResult RunStatement(Engine& engine, std::string_view sql);

// Tracing: JSON lines {"sql": <statement as built>, "engine_sql": <what the engine ran>}.
// Off unless the environment variable Q9STREP_TRACE_SQL names a file or SetTraceFile was called;
// SetTraceFile("") turns it off. The file is appended to.
void SetTraceFile(const std::string& path);

// Writes an event that is not a statement to the same trace, when tracing is on:
// {"event": <event>, <key>: <value>, ...}. Engines use it for what a user's message leaves out
// (why a connection could not be opened). Callers keep secrets out of the values.
void TraceEvent(std::string_view event,
                const std::vector<std::pair<std::string, std::string>>& fields);

// Called with each statement and its ordinal (1-based, counted per thread since the hook was
// installed) before it runs; raising fails the statement.
using StatementHook = std::function<void(std::string_view sql, uint64_t ordinal)>;

// Installs a hook on this thread for the guard's lifetime.
class ScopedStatementHook {
 public:
  explicit ScopedStatementHook(StatementHook hook);
  ~ScopedStatementHook();
  ScopedStatementHook(const ScopedStatementHook&) = delete;
  ScopedStatementHook& operator=(const ScopedStatementHook&) = delete;
  // Statements seen since the guard was installed.
  uint64_t statements_seen() const;

 private:
  StatementHook previous_;
  uint64_t previous_count_;
};

// The fault engine tests use: fails the n-th statement (1-based) after installation with a
// provider error whose description is `description`, once.
class FailNthStatement {
 public:
  FailNthStatement(uint64_t n, std::string description = "injected fault");
  uint64_t statements_seen() const { return guard_.statements_seen(); }
  bool fired() const { return *fired_; }

 private:
  std::shared_ptr<bool> fired_;
  ScopedStatementHook guard_;
};

}  // namespace q9::platform::db
