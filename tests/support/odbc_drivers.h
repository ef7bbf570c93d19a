// ODBC drivers for tests, registered in an odbcinst.ini of the test process's own, so the tests
// need no system-wide set-up: "SQLite3" (Debian libsqliteodbc) and "FreeTDS" (Debian tdsodbc).
#pragma once

#include <string>

namespace q9::testing {

// Writes the odbcinst.ini and an odbc.ini of no data sources, and points the driver manager at
// them (ODBCSYSINI, ODBCINSTINI, ODBCINI). When Q9STREP_TEST_MSSQL is set, the machine's other
// drivers and its data sources are copied in after the two, so the real server's suite can use
// the vendor's driver or a DSN. The driver manager reads the variables once, at its first call,
// so a test binary calls this before any ODBC call (RegisterTestOdbcDrivers arranges it before
// the first test). Later calls do nothing. Returns the directory holding the files.
const std::string& UseTestOdbcDrivers();

// Registers UseTestOdbcDrivers as a global test environment of the binary; for a namespace-scope
// initializer: `const bool kOdbc = q9::testing::RegisterTestOdbcDrivers();`.
bool RegisterTestOdbcDrivers();

// Whether the driver library is installed here.
bool SqliteOdbcDriverInstalled();
bool FreeTdsDriverInstalled();

// "Driver=SQLite3;Database=<company>;" with "System Database=<system>;" when given.
std::string SqliteOdbcConnectionString(const std::string& company, const std::string& system = "");

// A TCP port on 127.0.0.1 where nothing listens (bound once, then released).
int ClosedLocalPort();

}  // namespace q9::testing
