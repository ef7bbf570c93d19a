// The data-access connection: opens an engine by connection string and runs statements on it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/db/engine.h"
#include "platform/dispatch.h"

namespace q9::platform::db {

class Recordset;

enum ObjectState { kStateClosed = 0, kStateOpen = 1 };

class Connection : public Object {
 public:
  Connection() = default;
  ~Connection() override;

  // Opens the engine the connection string names; user id and password, when given, are added
  // to it. Raises 3705 when already open, the engine's error otherwise.
  void Open(const std::string& connection_string, const std::string& user_id = "",
            const std::string& password = "", int options = -1);
  // Raises 3704 when not open.
  void Close();
  int State() const { return engine_ ? kStateOpen : kStateClosed; }

  int ConnectionTimeout() const { return connection_timeout_; }
  void SetConnectionTimeout(int seconds);
  int CommandTimeout() const { return command_timeout_; }
  void SetCommandTimeout(int seconds);

  // Runs a statement. Returns a recordset over its rows (closed when it returns none);
  // `records_affected` receives the count for statements that change rows.
  std::shared_ptr<Recordset> Execute(std::string_view sql, int64_t* records_affected = nullptr,
                                     int options = -1);
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool in_transaction() const { return in_transaction_; }

  // Runs a statement through the choke point and returns its rows (an empty set when it returns
  // none). Raises 3704 when the connection is closed.
  StatementResult Run(std::string_view sql);
  std::string EngineName() const;

  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override;
  std::string ClassName() const override { return "Connection"; }

 private:
  Engine& OpenEngineOrThrow();

  std::unique_ptr<Engine> engine_;
  int connection_timeout_ = 15;
  int command_timeout_ = 30;
  bool in_transaction_ = false;
};

}  // namespace q9::platform::db
