#include "cli/session.h"

#include <optional>

#include "cli/demo_company.h"
#include "cli/exit_status.h"
#include "cli/file_paths.h"
#include "cli/progress_bar.h"
#include "component/iclskczt.h"
#include "platform/db/connection_string.h"
#include "platform/db/statement_gate.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "platform/erp/system_database.h"
#include "platform/error.h"

namespace q9::cli {

std::string ResolveDatabase(const GlobalOptions& options, std::ostream& err) {
  if (options.db_given) {
    if (options.db.empty()) throw UsageError("--db: needs a connection string");
    return options.db;
  }
  DemoPlace place = InspectDemoPlace(kDefaultDemoDir);
  if (place.state == DemoPlace::kOther) {
    throw UsageError("no demo company to read: " + place.description +
                     "; nothing was changed (name a database with --db, or move these away and "
                     "run q9strep demo)");
  }
  if (place.state == DemoPlace::kAbsent) {
    err << "q9strep: creating the demo company in " << kDefaultDemoDir << "/ (first use)"
        << std::endl;
    ProgressBar bar("demo company");
    CreateDemoCompany(kDefaultDemoDir, DefaultDemoSettings(),
                      [&](double f, const std::string& phase) { bar.Update(f, phase); });
  }
  return DemoConnectionString(kDefaultDemoDir);
}

std::string DatabaseFileAt(const std::string& connection_string, const std::string& path) {
  try {
    platform::db::ConnectionString cs = platform::db::ConnectionString::Parse(connection_string);
    for (const char* key : {"Data Source", "Database", "System Database"}) {
      std::optional<std::string> file = cs.Get(key);
      if (file && SameFile(path, *file)) return *file;
    }
  } catch (const platform::ComError&) {
    // Init reports the string's fault.
  }
  return "";
}

std::string DiagnoseLogin(const std::string& connection_string, const std::string& user,
                          const std::string& account, int year) {
  // A directory or a device named as a database file: say what is there.
  try {
    platform::db::ConnectionString cs = platform::db::ConnectionString::Parse(connection_string);
    for (const char* key : {"Data Source", "Database", "System Database"}) {
      std::optional<std::string> file = cs.Get(key);
      if (!file) continue;
      std::string what = WhatIsAt(*file);
      if (what != "missing" && what != "a file" && what != "a symbolic link") {
        return std::string(key) + " " + *file + " is " + what + ", not a database file";
      }
    }
  } catch (const platform::ComError&) {
  }
  platform::erp::LoginIdentity identity;
  identity.connection_string = connection_string;
  identity.user_id = user;
  identity.account_id = account;
  identity.year = year;
  try {
    platform::erp::SystemDatabase::Open(identity);
  } catch (const platform::ComError& e) {
    return e.description();
  }
  return "";
}

namespace {

// A trace appended to a database file would corrupt it.
void CheckTraceIsNotTheCompany(const std::string& trace, const std::string& connection_string) {
  if (trace.empty()) return;
  std::string file = DatabaseFileAt(connection_string, trace);
  if (!file.empty()) {
    throw UsageError("--trace-sql " + trace + ": is the database file " + file +
                     "; name another file");
  }
}

}  // namespace

Session::Session(const GlobalOptions& options, std::ostream& err)
    : connection_string_(ResolveDatabase(options, err)) {
  CheckTraceIsNotTheCompany(options.trace_sql, connection_string_);
  if (!options.trace_sql.empty()) platform::db::SetTraceFile(options.trace_sql);
  platform::erp::RegisterErpSubstitutes();
  component_ = std::make_unique<component::IClsKCZT>();
  platform::Variant login(platform::erp::MakeCallerLogin(connection_string_, options.user,
                                                         options.account, options.year));
  std::string msg;
  if (!component_->Init(login, &msg)) {
    std::string why =
        DiagnoseLogin(connection_string_, options.user, options.account, options.year);
    std::string shown;
    try {
      shown = platform::db::ConnectionString::Parse(connection_string_).Redacted();
    } catch (const platform::ComError&) {
      shown = "the connection string given";
    }
    throw ComponentFalse(msg + " (" + (why.empty() ? "login failed" : why) +
                         "; database: " + shown + ", user " + options.user + ", account " +
                         options.account + ", year " + std::to_string(options.year) + ")");
  }
}

Session::~Session() = default;

}  // namespace q9::cli
