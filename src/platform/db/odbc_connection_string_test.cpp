#include "platform/db/odbc_connection_string.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform::db {
namespace {

const std::vector<std::string> kDebian = {"SQLite3", "FreeTDS"};
const std::vector<std::string> kWithVendor = {"SQLite3", "ODBC Driver 17 for SQL Server", "FreeTDS",
                                              "ODBC Driver 18 for SQL Server"};

// What the FreeTDS driver is always given.
const std::string kTds = "TDS_Version=7.4;ClientCharset=UTF-8;";

OdbcTarget Map(const std::string& text, const std::vector<std::string>& installed = kDebian) {
  return MapOdbcConnectionString(ConnectionString::Parse(text), installed);
}

TEST(OdbcConnectionStringTest, AdoStringsMapOntoTheInstalledDriver) {
  struct Case {
    const char* name;
    std::string ado;
    std::vector<std::string> installed;
    std::string odbc;
  } cases[] = {
      {"SQLOLEDB with a port, FreeTDS",
       "Provider=SQLOLEDB;Data Source=host,1433;Initial Catalog=db;User ID=u;Password=p", kDebian,
       "Driver=FreeTDS;Server=host;Port=1433;Database=db;UID=u;PWD=p;" + kTds},
      {"named instance, FreeTDS",
       "Provider=SQLNCLI11;Data Source=host\\INSTANCE;Initial Catalog=db;User ID=u;Password=p",
       kDebian, "Driver=FreeTDS;Server=host\\INSTANCE;Database=db;UID=u;PWD=p;" + kTds},
      {"tcp prefix, local server, provider version suffix",
       "provider=sqloledb.1;data source=tcp:(local),1500;initial catalog=stock_001_2026;"
       "user id=sa;password=",
       kDebian,
       "Driver=FreeTDS;Server=localhost;Port=1500;Database=stock_001_2026;UID=sa;PWD=;" + kTds},
      {"OLE DB options dropped, application name kept",
       "Provider=MSOLEDBSQL;Persist Security Info=True;Data Source=.;Initial Catalog=db;"
       "User ID=u;Password=p;Auto Translate=True;Packet Size=4096;Application Name=q9",
       kDebian, "Driver=FreeTDS;Server=localhost;Database=db;UID=u;PWD=p;APP=q9;" + kTds},
      {"the vendor's newest driver when installed",
       "Provider=SQLOLEDB;Data Source=host,1433;Initial Catalog=db;User ID=u;Password=p",
       kWithVendor,
       "Driver={ODBC Driver 18 for SQL Server};Server=tcp:host,1433;Database=db;UID=u;PWD=p;"
       "Encrypt=yes;TrustServerCertificate=yes;"},
      {"a driver the string names",
       "Provider=SQLOLEDB;Driver={ODBC Driver 17 for SQL Server};Data Source=host\\I1;"
       "Initial Catalog=db;User ID=u;Password=p;Encrypt=no",
       kWithVendor,
       "Driver={ODBC Driver 17 for SQL Server};Server=host\\I1;Database=db;UID=u;PWD=p;"
       "Encrypt=no;TrustServerCertificate=yes;"},
      {"FreeTDS named although the vendor's is installed",
       "Provider=SQLOLEDB;Driver=FreeTDS;Data Source=h;User ID=u;Password=p;Encrypt=yes",
       kWithVendor, "Driver=FreeTDS;Server=h;UID=u;PWD=p;Encryption=require;" + kTds},
      {"Windows authentication through the vendor's driver",
       "Provider=SQLOLEDB;Data Source=h;Initial Catalog=db;Integrated Security=SSPI", kWithVendor,
       "Driver={ODBC Driver 18 for SQL Server};Server=h;Database=db;Trusted_Connection=yes;"
       "Encrypt=yes;TrustServerCertificate=yes;"},
      {"a password with separators stays braced",
       "Provider=SQLOLEDB;Data Source=h;User ID=u;Password={a;b}}c}", kDebian,
       "Driver=FreeTDS;Server=h;UID=u;PWD={a;b}}c};" + kTds}};
  for (const Case& c : cases) {
    OdbcTarget t = Map(c.ado, c.installed);
    EXPECT_EQ(t.driver_connection_string, c.odbc) << c.name;
    EXPECT_TRUE(t.system_database.empty()) << c.name;
    EXPECT_FALSE(t.login_timeout.has_value()) << c.name;
  }
}

TEST(OdbcConnectionStringTest, OdbcStringsPassThrough) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
    std::string driver;
    std::string system;
    std::optional<int> timeout;
  } cases[] = {
      {"SQLite driver with a system database and a timeout",
       "Driver=SQLite3;Database=/data/company.db;System Database=/data/sys.db;Connect Timeout=3",
       "Driver=SQLite3;Database=/data/company.db;", "SQLite3", "/data/sys.db", 3},
      {"FreeTDS gets UTF-8 text",
       "DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1433;DATABASE=db;UID=u;PWD=p;",
       "DRIVER=FreeTDS;SERVER=10.0.0.5;PORT=1433;DATABASE=db;UID=u;PWD=p;ClientCharset=UTF-8;",
       "FreeTDS", "", std::nullopt},
      {"a charset of the caller's own is kept", "Driver=FreeTDS;Server=h;ClientCharset=GB18030",
       "Driver=FreeTDS;Server=h;ClientCharset=GB18030;", "FreeTDS", "", std::nullopt},
      {"a DSN, through the ODBC provider",
       "Provider=MSDASQL;DSN=q9stock;UID=u;PWD=p;Connection Timeout=0", "DSN=q9stock;UID=u;PWD=p;",
       "", "", 0},
      {"user and password added by Connection.Open",
       "Driver=FreeTDS;Server=h;ClientCharset=UTF-8;User ID=u;Password=p",
       "Driver=FreeTDS;Server=h;ClientCharset=UTF-8;UID=u;PWD=p;", "FreeTDS", "", std::nullopt},
      {"the vendor's driver with blanks in its name",
       "Driver={ODBC Driver 18 for SQL Server};Server=tcp:h,1433;Encrypt=yes",
       "Driver={ODBC Driver 18 for SQL Server};Server=tcp:h,1433;Encrypt=yes;",
       "ODBC Driver 18 for SQL Server", "", std::nullopt}};
  for (const Case& c : cases) {
    OdbcTarget t = Map(c.in, kWithVendor);
    EXPECT_EQ(t.driver_connection_string, c.out) << c.name;
    EXPECT_EQ(t.driver, c.driver) << c.name;
    EXPECT_EQ(t.system_database, c.system) << c.name;
    EXPECT_EQ(t.login_timeout, c.timeout) << c.name;
  }
  EXPECT_EQ(Map("Provider=MSDASQL;DSN=q9stock").dsn, "q9stock");
}

// The password only in the driver string; an ADO Connect Timeout is the login timeout.
TEST(OdbcConnectionStringTest, PasswordsAreOnlyInTheDriverString) {
  OdbcTarget ado =
      Map("Provider=SQLOLEDB;Data Source=h;User ID=u;Password=Geh31m!x;Connect Timeout=7");
  EXPECT_EQ(ado.login_timeout, 7);
  EXPECT_NE(ado.driver_connection_string.find("PWD=Geh31m!x;"), std::string::npos);
  EXPECT_EQ(ado.redacted, "Driver=FreeTDS;Server=h;UID=u;PWD=***;" + kTds);
  EXPECT_EQ(ado.secrets, std::vector<std::string>{"Geh31m!x"});
  OdbcTarget odbc = Map("Driver=FreeTDS;Server=h;UID=u;PWD={x;Geh31m}");
  EXPECT_EQ(odbc.redacted, "Driver=FreeTDS;Server=h;UID=u;PWD=***;ClientCharset=UTF-8;");
  EXPECT_EQ(odbc.secrets, std::vector<std::string>{"x;Geh31m"});
}

TEST(OdbcConnectionStringTest, BadStringsAreClearErrorsWithoutThePassword) {
  const std::string pw = "Password=Geh31m!x";
  struct Case {
    std::string text;
    const char* words;
  } cases[] = {
      {"Provider=SQLOLEDB;Initial Catalog=db;" + pw, "names no server (Data Source)"},
      {"Provider=SQLOLEDB;Data Source=h,14x3;" + pw, "malformed port '14x3'"},
      {"Provider=SQLOLEDB;Data Source=h,70000;" + pw, "malformed port '70000'"},
      {"Provider=SQLOLEDB;Data Source=h\\;" + pw, "names no instance"},
      {"Provider=SQLOLEDB;Data Source=np:\\\\h\\pipe\\sql\\query;" + pw, "only TCP"},
      {"Provider=SQLOLEDB;Data Source=(localdb)\\v11;" + pw, "LocalDB"},
      {"Provider=SQLOLEDB;Data Source=h;Colour=blue;" + pw,
       "key 'Colour' is not understood for Provider=SQLOLEDB"},
      {"Provider=SQLOLEDB;Data Source=h;Connect Timeout=soon;" + pw,
       "Connect Timeout 'soon' is not a number of seconds"},
      {"Provider=SQLOLEDB;Data Source=h;Integrated Security=SSPI;" + pw,
       "Integrated Security) is not available with the FreeTDS driver"},
      {"Provider=SQLOLEDB;Data Source=h;Integrated Security=perhaps;" + pw,
       "Integrated Security 'perhaps' is neither yes nor no"},
      {"Provider=SQLOLEDB;Driver=NoSuchDriver;Data Source=h;" + pw,
       "the ODBC driver 'NoSuchDriver' is not installed here (installed: SQLite3, FreeTDS)"},
      {"Provider=MSDASQL;Server=h;" + pw, "names neither a Driver nor a DSN"}};
  for (const Case& c : cases) {
    auto e = q9::testing::ErrorOf([&] { Map(c.text); });
    ASSERT_TRUE(e) << "accepted " << c.text;
    EXPECT_EQ(e->number(), kErrProvider) << c.text;
    EXPECT_EQ(e->source(), "ODBC") << c.text;
    EXPECT_NE(e->description().find(c.words), std::string::npos) << e->description();
    EXPECT_EQ(e->description().find("Geh31m"), std::string::npos) << e->description();
  }
}

TEST(OdbcConnectionStringTest, FreeTdsLibraryWhenNoDriverIsRegistered) {
  const char* library = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
  if (!std::filesystem::is_regular_file(library)) GTEST_SKIP() << library << " is not installed";
  OdbcTarget t = Map("Provider=SQLOLEDB;Data Source=h;User ID=u;Password=p", {"SQLite3"});
  EXPECT_EQ(t.driver, library);
  EXPECT_EQ(t.driver_connection_string.rfind("Driver=" + std::string(library) + ";", 0), 0u);
}

TEST(OdbcConnectionStringTest, WhichStringsAreForOdbc) {
  const std::pair<const char*, bool> cases[] = {
      {"Provider=SQLite;Data Source=a.db", false},   {"Provider=SQLOLEDB.1;Data Source=h", true},
      {"Provider=MSOLEDBSQL19;Data Source=h", true}, {"Provider=MSDASQL;DSN=x", true},
      {"Driver=SQLite3;Database=a.db", true},        {"DSN=x", true},
      {"Provider=Jet;Data Source=a.mdb", false},     {"Data Source=h;Initial Catalog=db", false}};
  for (const auto& [text, odbc] : cases) {
    EXPECT_EQ(IsOdbcConnectionString(ConnectionString::Parse(text)), odbc) << text;
  }
}

}  // namespace
}  // namespace q9::platform::db
