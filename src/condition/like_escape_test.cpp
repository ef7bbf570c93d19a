// Values placed into a LIKE pattern match themselves: their %, _ and [ are escaped the SQL
// Server way, and both engines then return only the codes that begin with the value; lists of
// thousands of codes run on both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "condition/range_builders.h"
#include "platform/db/connection.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::condition {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

TEST(LikeEscapeTest, PrefixesAndLongListsSelectJustTheirCodesOnBothEngines) {
  testing::TempDir dir;
  const std::string db = dir.File("company.db");
  testing::ExecSqlite(db, R"(CREATE TABLE C(c TEXT COLLATE NOCASE);
    INSERT INTO C VALUES ('01_A'), ('01_a01'), ('01XA'), ('50%'), ('500'), ('[1]'), ('11'),
                         ('a\_b'), ('a\xb');)");
  std::vector<std::string> engines = {"Provider=SQLite;Data Source=" + db};
  if (testing::SqliteOdbcDriverInstalled()) {
    engines.push_back(testing::SqliteOdbcConnectionString(db));
  }
  std::string list = "01XA";
  for (int i = 0; i < 3000; ++i) list += ",X" + std::to_string(i);
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {MakeLikeRangeCond("c", "01_A", ""), {"01_A", "01_a01"}},  // letter case aside
      {MakeLikeRangeCond("c", "50%", ""), {"50%"}},
      {MakeLikeRangeCond("c", "[1]", ""), {"[1]"}},
      {MakeLikeRangeCond("c", "a\\_", ""), {"a\\_b"}},
      // More ORs than SQLite could parse: the bridge makes them one IN.
      {MakeListCond("c", list + ",11"), {"01XA", "11"}}};
  for (const std::string& cs : engines) {
    platform::db::Connection conn;
    conn.Open(cs);
    for (const auto& [condition, expected] : cases) {
      auto rows = conn.Run("SELECT c FROM C WHERE (1=1) AND " + condition + " ORDER BY 1").rows;
      std::vector<std::string> codes;
      for (size_t r = 0; r < rows->row_count(); ++r) codes.push_back(rows->Value(r, 0).ToText());
      EXPECT_EQ(codes, expected) << conn.EngineName() << condition.substr(0, 40);
    }
  }
}

}  // namespace
}  // namespace q9::condition
