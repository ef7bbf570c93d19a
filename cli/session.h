// A session of the command line with the component: the global options, the database they name
// (the demo company when none is named, generated on first use) and one IClsKCZT initialised
// with the caller's login object, exactly as a report front end holds it.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "cli/output.h"

namespace q9::component {
class IClsKCZT;
}

namespace q9::cli {

struct GlobalOptions {
  std::string db;         // connection string (--db)
  bool db_given = false;  // false: the demo company in ./demo-data
  bool year_given = false;
  std::string user = "demo";
  std::string account = "001";
  int year = 2026;
  Format format = Format::kTable;
  std::string trace_sql;  // file receiving the statement trace; empty: none
};

class Session {
 public:
  // Registers the ERP substitutes, creates the demo company when no database is named and it is
  // missing (telling so on `err`, with a progress bar on a terminal), creates the component and
  // calls Init with a caller's login object for the user, account and year. Init answering
  // False raises ComponentFalse with the component's message followed by what could not be
  // opened or found.
  Session(const GlobalOptions& options, std::ostream& err);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  component::IClsKCZT& component() { return *component_; }
  const std::string& connection_string() const { return connection_string_; }

 private:
  std::string connection_string_;
  std::unique_ptr<component::IClsKCZT> component_;
};

// The connection string `options` name: --db as given (UsageError when empty), or the demo
// company's in ./demo-data, which is generated first when neither of its files nor anything
// else of their names is there; anything else there is a UsageError naming it, and nothing is
// written.
std::string ResolveDatabase(const GlobalOptions& options, std::ostream& err);

// The database file of `connection_string` (its Data Source, Database or System Database) that
// `path` names, or "" when it names none: such a file must never receive a trace or a print.
std::string DatabaseFileAt(const std::string& connection_string, const std::string& path);

// Why a login on `connection_string` for the user and account fails (the database cannot be
// opened, the user or the account does not exist), or "" when the login opens. Used to explain
// Init's fixed failure message.
std::string DiagnoseLogin(const std::string& connection_string, const std::string& user,
                          const std::string& account, int year);

}  // namespace q9::cli
