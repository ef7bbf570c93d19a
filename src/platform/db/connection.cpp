#include "platform/db/connection.h"

#include "platform/db/connection_string.h"
#include "platform/db/open_engine.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "platform/error.h"

namespace q9::platform::db {

Connection::~Connection() = default;

void Connection::Open(const std::string& connection_string, const std::string& user_id,
                      const std::string& password, int /*options*/) {
  if (engine_) throw DataObjectOpen();
  std::string text = connection_string;
  if (!user_id.empty() || !password.empty()) {
    ConnectionString cs = ConnectionString::Parse(connection_string);
    if (!user_id.empty()) cs.Set("User ID", user_id);
    if (!password.empty()) cs.Set("Password", password);
    text = cs.ToString();
  }
  engine_ = OpenEngine(text, connection_timeout_);
  engine_->SetCommandTimeout(command_timeout_);
  in_transaction_ = false;
}

void Connection::Close() {
  if (!engine_) throw DataObjectClosed();
  if (in_transaction_) {
    try {
      engine_->Rollback();
    } catch (const ComError&) {
      // Closing never fails for an unfinished transaction: it is rolled back or lost with it.
    }
  }
  engine_.reset();
  in_transaction_ = false;
}

void Connection::SetConnectionTimeout(int seconds) {
  if (seconds < 0) throw DataBadArgument("ConnectionTimeout");
  if (engine_) throw DataObjectOpen();
  connection_timeout_ = seconds;
}

void Connection::SetCommandTimeout(int seconds) {
  if (seconds < 0) throw DataBadArgument("CommandTimeout");
  command_timeout_ = seconds;
  if (engine_) engine_->SetCommandTimeout(seconds);
}

Engine& Connection::OpenEngineOrThrow() {
  if (!engine_) throw DataObjectClosed();
  return *engine_;
}

StatementResult Connection::Run(std::string_view sql) {
  return RunStatement(OpenEngineOrThrow(), sql);
}

std::string Connection::EngineName() const { return engine_ ? engine_->Name() : ""; }

std::shared_ptr<Recordset> Connection::Execute(std::string_view sql, int64_t* records_affected,
                                               int /*options*/) {
  StatementResult result = Run(sql);
  if (records_affected) *records_affected = result.rows_affected;
  auto rs = std::make_shared<Recordset>();
  if (result.rows) rs->OpenRows(result.rows, kLockReadOnly);
  return rs;
}

void Connection::BeginTrans() {
  Engine& e = OpenEngineOrThrow();
  e.Begin();
  in_transaction_ = true;
}

void Connection::CommitTrans() {
  Engine& e = OpenEngineOrThrow();
  e.Commit();
  in_transaction_ = false;
}

void Connection::RollbackTrans() {
  Engine& e = OpenEngineOrThrow();
  in_transaction_ = false;
  e.Rollback();
}

Variant Connection::Invoke(std::string_view name, InvokeKind kind, Args& args) {
  auto want = [&](std::string_view member) { return SameMemberName(name, member); };
  bool read = kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod;
  bool put = kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef;
  if (want("State") && read) return Variant(static_cast<int32_t>(State()));
  if (want("ConnectionTimeout") && read) return Variant(static_cast<int32_t>(connection_timeout_));
  if (want("ConnectionTimeout") && put) {
    SetConnectionTimeout(args.Get(args.size() - 1).ToI4());
    return {};
  }
  if (want("CommandTimeout") && read) return Variant(static_cast<int32_t>(command_timeout_));
  if (want("CommandTimeout") && put) {
    SetCommandTimeout(args.Get(args.size() - 1).ToI4());
    return {};
  }
  if (want("Open") && kind == InvokeKind::kMethod) {
    auto text = [&](size_t i) { return args.IsGiven(i) ? args.Get(i).ToText() : std::string(); };
    Open(text(0), text(1), text(2), args.IsGiven(3) ? args.Get(3).ToI4() : -1);
    return {};
  }
  if (want("Close") && kind == InvokeKind::kMethod) {
    Close();
    return {};
  }
  if (want("Execute") && kind == InvokeKind::kMethod) {
    int64_t affected = -1;
    auto rs = Execute(args.Get(0).ToText(), &affected);
    if (args.size() > 1 && !args[1].is_missing()) args[1] = Variant(static_cast<double>(affected));
    return Variant(std::static_pointer_cast<Object>(rs));
  }
  if (want("BeginTrans") && kind == InvokeKind::kMethod) {
    BeginTrans();
    return {};
  }
  if (want("CommitTrans") && kind == InvokeKind::kMethod) {
    CommitTrans();
    return {};
  }
  if (want("RollbackTrans") && kind == InvokeKind::kMethod) {
    RollbackTrans();
    return {};
  }
  throw MemberNotFound("Connection." + std::string(name));
}

}  // namespace q9::platform::db
