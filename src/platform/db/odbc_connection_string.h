// Connection strings for the ODBC engine: an ODBC string passes through; the ADO-style string an
// ERP login object carries (Provider=SQLOLEDB / SQLNCLI* / MSOLEDBSQL) is mapped onto the SQL
// Server ODBC driver installed here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection_string.h"

namespace q9::platform::db {

// What the ODBC engine needs to connect.
struct OdbcTarget {
  // Sent to SQLDriverConnect. Holds the password: never show it; show `redacted`.
  std::string driver_connection_string;
  std::string redacted;
  // The driver as named or chosen ("FreeTDS", "ODBC Driver 18 for SQL Server", "SQLite3", a
  // library path); empty for a DSN.
  std::string driver;
  std::string dsn;
  // Seconds from "Connect Timeout" (or "Connection Timeout"); it overrides the connection's
  // ConnectionTimeout, as the key does for the data-access library.
  std::optional<int> login_timeout;
  // "System Database": a SQLite file attached as VKSystem after connecting (SQLite targets only).
  std::string system_database;
  // The password values, hidden from every message the driver sends back.
  std::vector<std::string> secrets;
};

// Providers of SQL Server: SQLOLEDB, SQLNCLI, SQLNCLI10, SQLNCLI11, MSOLEDBSQL, MSOLEDBSQL19
// (any letter case, with or without a ".1" version suffix).
bool IsSqlServerProvider(std::string_view provider);

// True when the connection string is for the ODBC engine: it names a SQL Server provider,
// Provider=MSDASQL (the ODBC bridge of the data-access library), or no provider but a Driver or
// a DSN.
bool IsOdbcConnectionString(const ConnectionString& cs);

// The driver's name says what it is: "SQLite" anywhere (the SQLite ODBC driver, whose target runs
// through the T-SQL bridge); "FreeTDS" or the library "libtdsodbc"; "ODBC Driver NN for SQL
// Server" (the vendor's driver).
bool IsSqliteDriver(std::string_view driver);
bool IsFreeTdsDriver(std::string_view driver);
bool IsVendorSqlServerDriver(std::string_view driver);

// Maps `cs` (for which IsOdbcConnectionString holds) to what the ODBC engine connects with.
//
// ODBC strings pass through unchanged except that "System Database" and "Connect Timeout" are
// taken out (the engine does them), "User ID" and "Password" (as Connection::Open adds them)
// become UID and PWD unless those are given, and a FreeTDS driver gets "ClientCharset=UTF-8"
// unless the string sets a charset, so text arrives as UTF-8.
//
// ADO-style strings: "Data Source" (host, "host,port", "host\instance", "tcp:host,port",
// "(local)" or "."), "Initial Catalog", "User ID", "Password", "Integrated Security",
// "Connect Timeout", "Application Name", "Workstation ID", "Encrypt" / "Use Encryption for Data",
// "TrustServerCertificate"; options of the OLE DB providers that mean nothing here ("Persist
// Security Info", "Auto Translate", "Packet Size", ...) are dropped. The driver is the one a
// "Driver" key names; else the vendor's newest "ODBC Driver NN for SQL Server" among
// `installed_drivers`; else FreeTDS:
//   Driver=FreeTDS;Server=host;Port=1433;Database=db;UID=u;PWD=p;TDS_Version=7.4;
//   ClientCharset=UTF-8;
//   Driver={ODBC Driver 18 for SQL Server};Server=tcp:host,1433;Database=db;UID=u;PWD=p;
//   Encrypt=yes;TrustServerCertificate=yes;
//
// Raises ProviderError("ODBC", ...) naming the problem, never the password: no server, a
// malformed port or server, a key the mapping does not know, Windows authentication (Integrated
// Security=SSPI) with a driver that cannot do it (only the vendor's driver, through Kerberos,
// can), named pipes or shared memory.
OdbcTarget MapOdbcConnectionString(const ConnectionString& cs,
                                   const std::vector<std::string>& installed_drivers);

}  // namespace q9::platform::db
