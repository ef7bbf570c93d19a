// The bridge's rules for LIKE patterns with bracket escapes and for long OR lists of codes: the
// exact text where each rule applies and where one of its preconditions is missed, and a list
// longer than SQLite could parse as ORs running on both engines. (The rows escaped patterns
// select: condition/like_escape_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/tsql_bridge.h"
#include "platform/error.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::platform::db {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

TEST(TsqlBridgeRulesTest, BracketEscapesBecomeBackslashEscapes) {
  struct Case {
    const char* tsql;
    const char* sqlite;
  } cases[] = {
      {"SELECT 1 FROM T WHERE c LIKE '01[_]A%'",
       "SELECT 1 FROM T WHERE c LIKE '01\\_A%' ESCAPE '\\'"},
      {"SELECT 1 FROM T WHERE c NOT LIKE N'[%]x[[]y]z'",
       "SELECT 1 FROM T WHERE c NOT LIKE '\\%x[y]z' ESCAPE '\\'"},
      // A backslash of the value is escaped too; quotes stay doubled; any one character, a
      // quote or a multi-byte one included, stands for itself.
      {"SELECT 1 FROM T WHERE c LIKE 'a\\b[_]' AND d LIKE '['']x''[中]%'",
       "SELECT 1 FROM T WHERE c LIKE 'a\\\\b\\_' ESCAPE '\\' AND d LIKE '''x''中%' ESCAPE '\\'"},
      // Without a bracket the pattern is left alone, a backslash included.
      {"SELECT 1 FROM T WHERE c LIKE 'a\\_%'", "SELECT 1 FROM T WHERE c LIKE 'a\\_%'"},
      {"SELECT 1 FROM T WHERE c = '[_]'", "SELECT 1 FROM T WHERE c = '[_]'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql), c.sqlite) << c.tsql;
  }
}

TEST(TsqlBridgeRulesTest, OrListsOfOneColumnBecomeIn) {
  struct Case {
    const char* tsql;
    const char* sqlite;
  } cases[] = {
      // Met: parenthesised, whole WHERE / ON / WHEN conditions, bracketed and qualified names,
      // numbers.
      {"SELECT 1 FROM W WHERE (1=1) AND (W.cWhCode = '01' OR w.CWHCODE = N'02' OR W.cWhCode='03')",
       "SELECT 1 FROM W WHERE (1=1) AND (W.cWhCode IN ('01', '02', '03'))"},
      {"SELECT 1 FROM W WHERE [c] = 1 OR [c] = 2 ORDER BY 1",
       "SELECT 1 FROM W WHERE [c] IN (1, 2) ORDER BY 1"},
      {"SELECT 1 FROM A JOIN B ON B.k = 'x' OR B.k = 'y' WHERE 1=1",
       "SELECT 1 FROM A INNER JOIN B ON B.k IN ('x', 'y') WHERE 1=1"},
      {"SELECT CASE WHEN c = 'a' OR c = 'b' THEN 1 END FROM T",
       "SELECT CASE WHEN c IN ('a', 'b') THEN 1 END FROM T"},
      // Missed: one term, two columns, another operator, mixed literal kinds, a column on the
      // right, an AND binding to a term on either side, NOT before it, COLLATE after it.
      {"SELECT 1 FROM T WHERE (c = 'a')", "SELECT 1 FROM T WHERE (c = 'a')"},
      {"SELECT 1 FROM T WHERE (c = 'a' OR d = 'b')", "SELECT 1 FROM T WHERE (c = 'a' OR d = 'b')"},
      {"SELECT 1 FROM T WHERE (c = 'a' OR c <> 'b')",
       "SELECT 1 FROM T WHERE (c = 'a' OR c <> 'b')"},
      {"SELECT 1 FROM T WHERE (c = 'a' OR c = 2)", "SELECT 1 FROM T WHERE (c = 'a' OR c = 2)"},
      {"SELECT 1 FROM T WHERE (c = 'a' OR c = d)", "SELECT 1 FROM T WHERE (c = 'a' OR c = d)"},
      {"SELECT 1 FROM T WHERE x = 1 AND c = 'a' OR c = 'b'",
       "SELECT 1 FROM T WHERE x = 1 AND c = 'a' OR c = 'b'"},
      {"SELECT 1 FROM T WHERE c = 'a' OR c = 'b' AND x = 1",
       "SELECT 1 FROM T WHERE c = 'a' OR c = 'b' AND x = 1"},
      {"SELECT 1 FROM T WHERE NOT c = 'a' OR c = 'b'",
       "SELECT 1 FROM T WHERE NOT c = 'a' OR c = 'b'"},
      {"SELECT 1 FROM T WHERE (c = 'a' OR c = 'b' COLLATE NOCASE)",
       "SELECT 1 FROM T WHERE (c = 'a' OR c = 'b' COLLATE NOCASE)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql), c.sqlite) << c.tsql;
  }
}

TEST(TsqlBridgeRulesTest, PatternsItCannotMatchFaithfullyAreRefused) {
  struct Case {
    const char* tsql;
    const char* names;
  } cases[] = {
      {"SELECT 1 FROM T WHERE c LIKE '[a-c]%'", "a character class"},
      {"SELECT 1 FROM T WHERE c LIKE '[^a]%'", "a character class"},
      {"SELECT 1 FROM T WHERE c LIKE '[^]%'", "a character class"},
      {"SELECT 1 FROM T WHERE c LIKE 'a[%'", "a character class"},
      {"SELECT 1 FROM T WHERE c LIKE '[]]'", "a character class"},
      {"SELECT 1 FROM T WHERE c LIKE '[_]' ESCAPE '!'", "followed by ESCAPE"},
      {"SELECT 1 FROM T WHERE c LIKE '[_]' + d", "followed by +"},
  };
  for (const Case& c : cases) {
    try {
      TranslateTsqlToSqlite(c.tsql);
      ADD_FAILURE() << "translated " << c.tsql;
    } catch (const ComError& e) {
      EXPECT_NE(e.description().find(c.names), std::string::npos) << e.description();
    }
  }
}

struct Backend {
  const char* name;
  std::string (*connection_string)(const std::string& company);
};

const Backend kBackends[] = {
    {"embedded", [](const std::string& db) { return "Provider=SQLite;Data Source=" + db; }},
    {"odbc", [](const std::string& db) { return testing::SqliteOdbcConnectionString(db); }},
};

class BridgeRulesOnEnginesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ExecSqlite(db_, R"(
      CREATE TABLE InventoryClass(cInvCCode TEXT COLLATE NOCASE);
      INSERT INTO InventoryClass VALUES ('01XA'), ('01ZB'), ('01C');)");
  }

  // The codes each engine returns for `tsql`, in the engine's order.
  std::vector<std::string> Codes(const Backend& backend, const std::string& tsql) {
    Connection conn;
    conn.Open(backend.connection_string(db_));
    auto r = conn.Run(tsql);
    std::vector<std::string> codes;
    for (size_t row = 0; r.rows && row < r.rows->row_count(); ++row) {
      codes.push_back(r.rows->Value(row, 0).ToText());
    }
    return codes;
  }

  testing::TempDir dir_;
  std::string db_ = dir_.File("company.db");
};

TEST_F(BridgeRulesOnEnginesTest, AnOrListOfThousandsOfCodesRuns) {
  std::string list = "(cInvCCode = '01C'";
  for (int i = 0; i < 3000; ++i) list += " OR cInvCCode = 'X" + std::to_string(i) + "'";
  list += " OR cInvCCode = '01ZB')";
  for (const Backend& backend : kBackends) {
    if (std::string(backend.name) == "odbc" && !testing::SqliteOdbcDriverInstalled()) continue;
    EXPECT_EQ(Codes(backend, "SELECT cInvCCode FROM InventoryClass WHERE (1=1) AND " + list +
                                 " ORDER BY cInvCCode"),
              (std::vector<std::string>{"01C", "01ZB"}))
        << backend.name;
  }
}

}  // namespace
}  // namespace q9::platform::db
