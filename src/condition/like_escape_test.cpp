// Values placed into a LIKE pattern match themselves: their %, _ and [ are escaped the SQL
// Server way, in every condition that uses a prefix (class, batch, free items, text defines),
// and both engines then return only the codes that begin with the value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "condition/range_builders.h"
#include "condition/sql_text.h"
#include "platform/db/connection.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::condition {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

TEST(LikeEscapeTest, PrefixConditionsEscapeTheirValues) {
  struct Case {
    const char* field;
    const char* from;
    const char* to;
    const char* condition;
  } cases[] = {
      {"I.cInvCCode", "01_A", "", " I.cInvCCode LIKE '01[_]A%'"},
      {"IP.cBatch", "", "50%", " IP.cBatch LIKE '50[%]%'"},
      {"cFree1", "[x]_", "", " cFree1 LIKE '[[]x][_]%'"},
      {"cInvDefine3", "O'K%", "", " cInvDefine3 LIKE 'O''K[%]%'"},
      {"cFree2", "a\\b", "", " cFree2 LIKE 'a\\b%'"},
      // Equality and LEFT comparisons have no wildcards: the value stays as it is.
      {"I.cInvCCode", "0_1", "0_1", " I.cInvCCode = '0_1'"},
      {"I.cInvCCode", "0_1", "0%2",
       " LEFT(I.cInvCCode,LEN('0%2')) >= '0%2' AND LEFT(I.cInvCCode,LEN('0_1')) <= '0_1'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeLikeRangeCond(c.field, c.from, c.to), c.condition) << c.from << " " << c.to;
  }
}

TEST(LikeEscapeTest, AClassPrefixMatchesOnlyCodesBeginningWithIt) {
  testing::TempDir dir;
  const std::string db = dir.File("company.db");
  testing::ExecSqlite(db, R"(
    CREATE TABLE InventoryClass(cInvCCode TEXT COLLATE NOCASE);
    INSERT INTO InventoryClass VALUES ('01_A'), ('01_a01'), ('01XA'), ('01XA01'), ('50%'), ('500'),
                                      ('[1]'), ('11'), ('a\_b'), ('a\xb');)");
  std::vector<std::string> engines = {"Provider=SQLite;Data Source=" + db};
  if (testing::SqliteOdbcDriverInstalled()) {
    engines.push_back(testing::SqliteOdbcConnectionString(db));
  }
  struct Case {
    const char* prefix;
    std::vector<std::string> codes;
  } cases[] = {
      {"01_A", {"01_A", "01_a01"}},  // letter case aside, as the column compares
      {"01XA", {"01XA", "01XA01"}}, {"50%", {"50%"}}, {"[1]", {"[1]"}}, {"a\\_", {"a\\_b"}},
  };
  for (const std::string& cs : engines) {
    platform::db::Connection conn;
    conn.Open(cs);
    for (const Case& c : cases) {
      auto rows = conn.Run("SELECT cInvCCode FROM InventoryClass I WHERE (1=1) AND " +
                           MakeLikeRangeCond("I.cInvCCode", c.prefix, "") + " ORDER BY 1")
                      .rows;
      std::vector<std::string> codes;
      for (size_t r = 0; r < rows->row_count(); ++r) codes.push_back(rows->Value(r, 0).ToText());
      EXPECT_EQ(codes, c.codes) << conn.EngineName() << " " << c.prefix;
    }
  }
}

}  // namespace
}  // namespace q9::condition
