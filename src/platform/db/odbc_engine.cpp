#include "platform/db/odbc_engine.h"

#ifdef _WIN32
#include <windows.h>  // the ODBC headers of Windows need its types first
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/db/database_file.h"
#include "platform/db/tsql_bridge.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

SQLCHAR* Chars(const std::string& s) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str()));
}

SQLPOINTER IntegerAttribute(SQLULEN value) {
  return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(value));
}

// Passwords the driver might echo (a failed login can quote the string it was given) are
// replaced; values shorter than three characters would only mangle ordinary words.
std::string Scrub(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.size() < 3) continue;
    for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
      text.replace(at, secret.size(), "***");
    }
  }
  return text;
}

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::string message(512, '\0');
    SQLRETURN rc = SQLGetDiagRec(type, handle, record, state, &native,
                                 reinterpret_cast<SQLCHAR*>(message.data()),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.assign(static_cast<size_t>(length) + 1, '\0');
      rc = SQLGetDiagRec(type, handle, record, state, &native,
                         reinterpret_cast<SQLCHAR*>(message.data()),
                         static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    message.resize(std::min(static_cast<size_t>(length), std::strlen(message.c_str())));
    if (!out.empty()) out += "; ";
    out += "[" + std::string(reinterpret_cast<char*>(state)) + "] (native " +
           std::to_string(native) + ") " + message;
  }
  if (out.empty()) out = "the driver reported a failure without a diagnostic record";
  return out;
}

enum class Kind { kText, kBoolean, kInteger, kReal, kDate };

Kind KindOf(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_BIT:
      return Kind::kBoolean;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return Kind::kInteger;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      return Kind::kReal;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP:
      return Kind::kDate;
    default:
      return Kind::kText;
  }
}

// Drivers write fractions of a second ("2025-03-15 00:00:00.000"); dates here keep whole seconds.
Variant DateFromText(std::string text) {
  size_t colon = text.find(':');
  if (colon != std::string::npos) {
    size_t dot = text.find('.', colon);
    if (dot != std::string::npos) text.resize(dot);
  }
  if (auto d = Date::Parse(text)) return Variant(*d);
  return Variant(std::move(text));
}

struct Column {
  std::string name;
  Kind kind;
};

}  // namespace

struct OdbcEngine::Handles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;

  ~Handles() {
    if (connected) SQLDisconnect(dbc);
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// Cancels the running statement when its time is up: SQLCancel from another thread is how ODBC
// interrupts a call, and it works for drivers that ignore SQL_ATTR_QUERY_TIMEOUT (the SQLite
// driver does).
class OdbcEngine::Watchdog {
 public:
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void Arm(SQLHSTMT stmt, int seconds) {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    stmt_ = stmt;
    fired_ = false;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    wake_.notify_all();
  }

  // Returns whether the statement was cancelled.
  bool Disarm() {
    std::lock_guard lock(mutex_);
    stmt_ = SQL_NULL_HSTMT;
    return fired_;
  }

  bool Fired() {
    std::lock_guard lock(mutex_);
    return fired_;
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      if (stmt_ == SQL_NULL_HSTMT) {
        wake_.wait(lock);
      } else if (std::chrono::steady_clock::now() >= deadline_) {
        SQLCancel(stmt_);
        fired_ = true;
        stmt_ = SQL_NULL_HSTMT;
      } else {
        wake_.wait_until(lock, deadline_);
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  std::chrono::steady_clock::time_point deadline_;
  bool fired_ = false;
  bool stop_ = false;
};

namespace {

// One statement handle, with the watchdog armed while it runs.
class Statement {
 public:
  Statement(SQLHDBC dbc, const std::vector<std::string>& secrets) : secrets_(secrets) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt_))) {
      stmt_ = SQL_NULL_HSTMT;
      throw ProviderError("ODBC", Scrub(Diagnostics(SQL_HANDLE_DBC, dbc), secrets_));
    }
  }
  ~Statement() {
    if (release_) release_();
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  SQLHSTMT handle() const { return stmt_; }
  void OnRelease(std::function<void()> disarm) { release_ = std::move(disarm); }

  ComError Error(bool timed_out) const {
    std::string text = Diagnostics(SQL_HANDLE_STMT, stmt_);
    if (timed_out) text = "[HYT00] (native 0) Query timeout expired; " + text;
    return ProviderError("ODBC", Scrub(text, secrets_));
  }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  const std::vector<std::string>& secrets_;
  std::function<void()> release_;
};

std::vector<Column> DescribeColumns(const Statement& st, SQLSMALLINT count,
                                    const std::function<ComError()>& fail) {
  std::vector<Column> columns;
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
    std::string name(256, '\0');
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLRETURN rc = SQLDescribeCol(st.handle(), c, reinterpret_cast<SQLCHAR*>(name.data()),
                                  static_cast<SQLSMALLINT>(name.size()), &length, &type, &size,
                                  &digits, &nullable);
    if (SQL_SUCCEEDED(rc) && length >= static_cast<SQLSMALLINT>(name.size())) {
      name.assign(static_cast<size_t>(length) + 1, '\0');
      rc = SQLDescribeCol(st.handle(), c, reinterpret_cast<SQLCHAR*>(name.data()),
                          static_cast<SQLSMALLINT>(name.size()), &length, &type, &size, &digits,
                          &nullable);
    }
    if (!SQL_SUCCEEDED(rc)) throw fail();
    name.resize(std::strlen(name.c_str()));
    columns.push_back({std::move(name), KindOf(type)});
  }
  return columns;
}

// Text in chunks: a driver hands back a long value piece by piece, each piece NUL-terminated.
std::optional<std::string> ReadText(const Statement& st, SQLUSMALLINT col,
                                    const std::function<ComError()>& fail) {
  std::string out;
  char buffer[4096];
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(st.handle(), col, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) throw fail();
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    bool partial = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer);
    out.append(buffer,
               partial ? strnlen(buffer, sizeof buffer - 1) : static_cast<size_t>(indicator));
    if (rc == SQL_SUCCESS || !partial) break;
  }
  return out;
}

Variant ReadCell(const Statement& st, SQLUSMALLINT col, Kind kind,
                 const std::function<ComError()>& fail) {
  switch (kind) {
    case Kind::kBoolean: {
      SQLINTEGER value = 0;
      SQLLEN indicator = 0;
      if (!SQL_SUCCEEDED(SQLGetData(st.handle(), col, SQL_C_SLONG, &value, 0, &indicator))) {
        throw fail();
      }
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      return Variant(value != 0);
    }
    case Kind::kInteger:
    case Kind::kReal: {
      double value = 0;
      SQLLEN indicator = 0;
      if (!SQL_SUCCEEDED(SQLGetData(st.handle(), col, SQL_C_DOUBLE, &value, 0, &indicator))) {
        throw fail();
      }
      if (indicator == SQL_NULL_DATA) return Variant::Null();
      if (kind == Kind::kInteger && value == std::floor(value) && value >= INT32_MIN &&
          value <= INT32_MAX) {
        return Variant(static_cast<int32_t>(value));
      }
      return Variant(value);
    }
    case Kind::kDate: {
      auto text = ReadText(st, col, fail);
      if (!text) return Variant::Null();
      return DateFromText(std::move(*text));
    }
    case Kind::kText:
      break;
  }
  auto text = ReadText(st, col, fail);
  if (!text) return Variant::Null();
  return Variant(std::move(*text));
}

}  // namespace

OdbcEngine::OdbcEngine() : handles_(std::make_unique<Handles>()) {}

OdbcEngine::~OdbcEngine() {
  watchdog_.reset();
  if (in_transaction_ && handles_->connected) {
    SQLEndTran(SQL_HANDLE_DBC, handles_->dbc, SQL_ROLLBACK);
  }
}

std::unique_ptr<OdbcEngine> OdbcEngine::Open(const OdbcTarget& target, int login_timeout) {
  bool sqlite_driver = IsSqliteDriver(target.driver);
  if (sqlite_driver) {
    // The SQLite driver would create a missing file as a new, empty database.
    ConnectionString cs = ConnectionString::Parse(target.driver_connection_string);
    RequireDatabaseFile(cs.GetOr("Database", ""), "company database", "ODBC");
  }
  if (!target.system_database.empty()) {
    RequireDatabaseFile(target.system_database, "system database", "ODBC");
  }

  std::unique_ptr<OdbcEngine> engine(new OdbcEngine());
  engine->secrets_ = target.secrets;
  Handles& h = *engine->handles_;
  auto fail = [&](SQLSMALLINT type, SQLHANDLE handle) {
    return ProviderError("ODBC", "cannot connect with '" + target.redacted +
                                     "': " + Scrub(Diagnostics(type, handle), target.secrets));
  };
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env))) {
    h.env = SQL_NULL_HENV;
    throw ProviderError("ODBC", "the ODBC driver manager cannot allocate an environment");
  }
  if (!SQL_SUCCEEDED(
          SQLSetEnvAttr(h.env, SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0))) {
    throw fail(SQL_HANDLE_ENV, h.env);
  }
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc))) {
    h.dbc = SQL_NULL_HDBC;
    throw fail(SQL_HANDLE_ENV, h.env);
  }
  int seconds = target.login_timeout.value_or(login_timeout);
  SQLSetConnectAttr(h.dbc, SQL_ATTR_LOGIN_TIMEOUT,
                    IntegerAttribute(static_cast<SQLULEN>(std::max(seconds, 0))), 0);
  SQLRETURN rc = SQLDriverConnect(h.dbc, nullptr, Chars(target.driver_connection_string), SQL_NTS,
                                  nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) throw fail(SQL_HANDLE_DBC, h.dbc);
  h.connected = true;

  char dbms[128] = {};
  SQLSMALLINT length = 0;
  if (SQL_SUCCEEDED(SQLGetInfo(h.dbc, SQL_DBMS_NAME, dbms, sizeof dbms, &length))) {
    engine->dbms_name_ = dbms;
  }
  engine->translates_ = sqlite_driver || IsSqliteDriver(engine->dbms_name_);
  if (!target.system_database.empty()) {
    if (!engine->translates_) {
      throw ProviderError("ODBC",
                          "System Database attaches a SQLite file; " +
                              (engine->dbms_name_.empty() ? "this target" : engine->dbms_name_) +
                              " reaches VKSystem as a database of its own");
    }
    std::string quoted;
    for (char c : target.system_database) {
      quoted += c;
      if (c == '\'') quoted += '\'';
    }
    engine->ExecPlain("ATTACH DATABASE '" + quoted + "' AS VKSystem");
  }
  return engine;
}

std::string OdbcEngine::Translate(std::string_view sql) {
  return translates_ ? TranslateTsqlToSqlite(sql) : std::string(sql);
}

void OdbcEngine::ExecPlain(const std::string& sql) { Run(sql); }

StatementResult OdbcEngine::Run(const std::string& engine_sql) {
  Statement st(handles_->dbc, secrets_);
  bool timed = command_timeout_ > 0;
  if (timed) {
    SQLSetStmtAttr(st.handle(), SQL_ATTR_QUERY_TIMEOUT,
                   IntegerAttribute(static_cast<SQLULEN>(command_timeout_)), 0);
    if (!watchdog_) watchdog_ = std::make_unique<Watchdog>();
    watchdog_->Arm(st.handle(), command_timeout_);
    st.OnRelease([w = watchdog_.get()] { w->Disarm(); });
  }
  std::function<ComError()> fail = [&] { return st.Error(timed && watchdog_->Fired()); };

  StatementResult result;
  SQLRETURN rc =
      SQLExecDirect(st.handle(), Chars(engine_sql), static_cast<SQLINTEGER>(engine_sql.size()));
  if (rc == SQL_NO_DATA) {
    result.rows_affected = 0;
    return result;
  }
  if (!SQL_SUCCEEDED(rc)) throw fail();
  for (;;) {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(st.handle(), &count))) throw fail();
    if (count > 0) {
      std::vector<Column> columns = DescribeColumns(st, count, fail);
      std::vector<std::string> names;
      for (const Column& c : columns) names.push_back(c.name);
      auto rows = std::make_shared<RowSet>(std::move(names));
      for (;;) {
        rc = SQLFetch(st.handle());
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) throw fail();
        for (SQLUSMALLINT c = 0; c < columns.size(); ++c) {
          rows->Append(ReadCell(st, static_cast<SQLUSMALLINT>(c + 1), columns[c].kind, fail));
        }
      }
      result.rows = std::move(rows);
      result.rows_affected = -1;
      break;
    }
    SQLLEN affected = -1;
    if (SQL_SUCCEEDED(SQLRowCount(st.handle(), &affected)) && result.rows_affected < 0 &&
        affected >= 0) {
      result.rows_affected = affected;
    }
    rc = SQLMoreResults(st.handle());
    if (rc == SQL_NO_DATA) return result;
    if (!SQL_SUCCEEDED(rc)) throw fail();
  }
  // Errors a server raises after the rows (SQL Server sends them as later results) still count.
  for (;;) {
    rc = SQLMoreResults(st.handle());
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) throw fail();
  }
  return result;
}

void OdbcEngine::Begin() {
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(handles_->dbc, SQL_ATTR_AUTOCOMMIT,
                                       IntegerAttribute(SQL_AUTOCOMMIT_OFF), 0))) {
    throw ProviderError("ODBC", Scrub(Diagnostics(SQL_HANDLE_DBC, handles_->dbc), secrets_));
  }
  in_transaction_ = true;
}

void OdbcEngine::EndTransaction(bool commit) {
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, handles_->dbc, commit ? SQL_COMMIT : SQL_ROLLBACK);
  if (!SQL_SUCCEEDED(rc)) {
    throw ProviderError("ODBC", Scrub(Diagnostics(SQL_HANDLE_DBC, handles_->dbc), secrets_));
  }
  in_transaction_ = false;
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(handles_->dbc, SQL_ATTR_AUTOCOMMIT,
                                       IntegerAttribute(SQL_AUTOCOMMIT_ON), 0))) {
    throw ProviderError("ODBC", Scrub(Diagnostics(SQL_HANDLE_DBC, handles_->dbc), secrets_));
  }
}

void OdbcEngine::Commit() { EndTransaction(true); }

void OdbcEngine::Rollback() {
  if (in_transaction_) EndTransaction(false);
}

std::vector<std::string> InstalledOdbcDrivers() {
  std::vector<std::string> drivers;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return drivers;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0);
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLCHAR name[256] = {};
    SQLCHAR attributes[1024] = {};
    SQLSMALLINT name_length = 0, attributes_length = 0;
    SQLRETURN rc = SQLDrivers(env, direction, name, sizeof name, &name_length, attributes,
                              sizeof attributes, &attributes_length);
    if (!SQL_SUCCEEDED(rc)) break;
    drivers.emplace_back(reinterpret_cast<char*>(name));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return drivers;
}

}  // namespace q9::platform::db
