#include "platform/db/statement_gate.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/error.h"

namespace q9::platform::db {
namespace {

struct Trace {
  std::mutex mutex;
  bool initialised = false;
  FILE* file = nullptr;
};

Trace& TheTrace() {
  static Trace trace;
  return trace;
}

void OpenTraceLocked(Trace& t, const std::string& path) {
  if (t.file) std::fclose(t.file);
  t.file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
  t.initialised = true;
}

struct HookState {
  StatementHook hook;
  uint64_t count = 0;
};

HookState& ThreadHook() {
  thread_local HookState state;
  return state;
}

void WriteTraceLine(const nlohmann::json& line) {
  Trace& t = TheTrace();
  std::lock_guard lock(t.mutex);
  if (!t.initialised) {
    const char* env = std::getenv("Q9STREP_TRACE_SQL");
    OpenTraceLocked(t, env ? env : "");
  }
  if (!t.file) return;
  std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::fwrite(text.data(), 1, text.size(), t.file);
  std::fflush(t.file);
}

void WriteTrace(std::string_view sql, const std::string& engine_sql) {
  WriteTraceLine({{"sql", std::string(sql)}, {"engine_sql", engine_sql}});
}

}  // namespace

void TraceEvent(std::string_view event,
                const std::vector<std::pair<std::string, std::string>>& fields) {
  nlohmann::json line = {{"event", std::string(event)}};
  for (const auto& [key, value] : fields) line[key] = value;
  WriteTraceLine(line);
}

StatementResult RunStatement(Engine& engine, std::string_view sql) {
  std::string engine_sql = engine.Translate(sql);
  WriteTrace(sql, engine_sql);
  HookState& hook = ThreadHook();
  ++hook.count;
  if (hook.hook) hook.hook(sql, hook.count);
  return engine.Run(engine_sql);
}

void SetTraceFile(const std::string& path) {
  Trace& t = TheTrace();
  std::lock_guard lock(t.mutex);
  OpenTraceLocked(t, path);
}

ScopedStatementHook::ScopedStatementHook(StatementHook hook) {
  HookState& state = ThreadHook();
  previous_ = std::move(state.hook);
  previous_count_ = state.count;
  state.hook = std::move(hook);
  state.count = 0;
}

ScopedStatementHook::~ScopedStatementHook() {
  HookState& state = ThreadHook();
  state.hook = std::move(previous_);
  state.count = previous_count_ + state.count;
}

uint64_t ScopedStatementHook::statements_seen() const { return ThreadHook().count; }

FailNthStatement::FailNthStatement(uint64_t n, std::string description)
    : fired_(std::make_shared<bool>(false)),
      guard_([n, description = std::move(description), fired = fired_](std::string_view,
                                                                         uint64_t ordinal) {
        if (ordinal == n) {
          *fired = true;
          throw ProviderError("fault injection", description);
        }
      }) {}

}  // namespace q9::platform::db
