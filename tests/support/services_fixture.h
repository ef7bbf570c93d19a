// A company database and a system database of their own, in a fresh temporary directory, with
// the tables the report support services and the ERP substitutes read. Tests fill the tables
// they need through Exec; the databases are written with the SQLite library directly, so what
// a test puts in does not depend on the component's own data access.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/variant.h"
#include "support/temp_dir.h"

namespace q9::testing {

class ServicesDatabase {
 public:
  // The user, account and year the system database knows (with the twelve periods of the year).
  static constexpr const char* kUser = "demo";
  static constexpr const char* kAccount = "001";
  static constexpr int kYear = 2024;

  // Creates both files with empty tables:
  //   company: UserDef(cID, cClass, cItem, cItemName), Rpt_GlbDEF(ID, SystemID, Name),
  //            Rpt_FldDef(ID, ORDEREx, Width, Visible, cFieldName DEFAULT '', cCaption
  //            DEFAULT '未命名'), Warehouse(cWhCode, cWhName), Inventory(cInvCode, cInvName,
  //            cInvStd), InventoryClass(cInvCCode, cInvCName), Position(cPosCode, cPosName),
  //            Department(cDepCode, cDepName), Person(cPersonCode, cPersonName),
  //            Vendor(cVenCode, cVenName), Customer(cCusCode, cCusName)
  //   system:  VA_User, VA_Account, VA_Period, VA_DataRight, VA_Function, VA_TaskRight,
  //            VA_TaskLock (see platform/erp/system_database.h), holding kUser, kAccount and
  //            the periods of kYear.
  ServicesDatabase();
  ~ServicesDatabase();
  ServicesDatabase(const ServicesDatabase&) = delete;
  ServicesDatabase& operator=(const ServicesDatabase&) = delete;

  const std::filesystem::path& dir() const { return dir_.path(); }
  // "Provider=SQLite;Data Source=<company>;System Database=<system>".
  std::string connection_string() const;

  // Runs statements (one or more) on the company or the system database; fails the test on error.
  void Exec(std::string_view sql) const;
  void ExecSystem(std::string_view sql) const;
  // The rows of a query on the company database, every cell as text, NULL as "NULL".
  std::vector<std::vector<std::string>> Rows(std::string_view sql) const;

  // The caller's login object a front end would pass to Init, for kUser, kAccount and kYear.
  platform::Variant CallerLogin() const;

 private:
  TempDir dir_;
  std::string company_;
  std::string system_;
};

// The rows of a statement on a SQLite database file, run with the SQLite library, every cell as
// text, NULL as "NULL"; fails the test on an error. `attached` lists (file, schema name) pairs
// attached first, so the statement may join or copy across them.
using AttachedDbs = std::vector<std::pair<std::string, std::string>>;
std::vector<std::vector<std::string>> SqliteRows(const std::string& db_path, std::string_view sql,
                                                 const AttachedDbs& attached = {});

// Every record of the recordset a variant holds, read through a clone (the recordset keeps its
// current record), each cell as a test reads it: Null as "NULL", other values as their text.
// With `columns`, only those fields, by name and in that order.
std::vector<std::vector<std::string>> RecordsetRows(const platform::Variant& rs,
                                                    const std::vector<std::string>& columns = {});
// The field names of the recordset a variant holds.
std::vector<std::string> RecordsetFields(const platform::Variant& rs);

}  // namespace q9::testing
