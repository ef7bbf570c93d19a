// The bridge's rules for LIKE patterns with bracket escapes and for long OR lists of codes: the
// exact text where each rule applies, where one of its preconditions is missed (the statement
// stays as it is) and where it cannot translate faithfully (refused, naming why).
#include <gtest/gtest.h>

#include <string>

#include "platform/db/tsql_bridge.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

TEST(TsqlBridgeRulesTest, LikeBracketsAndOrLists) {
  struct Case {
    const char* where;
    const char* sqlite;  // nullptr: unchanged; "!...": refused with a message naming this
  } cases[] = {
      {"c LIKE '01[_]A%'", "c LIKE '01\\_A%' ESCAPE '\\'"},
      // A backslash is escaped too; quotes stay doubled; any one character stands for itself.
      {"c NOT LIKE N'a\\b[%]x[[]y]'''", "c NOT LIKE 'a\\\\b\\%x[y]''' ESCAPE '\\'"},
      {"d LIKE '['']x[中]%'", "d LIKE '''x中%' ESCAPE '\\'"},
      {"c LIKE 'a\\_%' OR c = '[_]'", nullptr},
      {"c LIKE '[a-c]%'", "!a character class"},
      {"c LIKE '[^]%'", "!a character class"},
      {"c LIKE 'a[%'", "!a character class"},
      {"c LIKE '[\xde_]'", "!a character class"},
      {"c LIKE '[_]' ESCAPE '!'", "!followed by ESCAPE"},
      {"c LIKE '[_]' + d", "!followed by +"},
      // OR lists of one column become IN: parenthesised or whole, bracketed or qualified names.
      {"(W.cWhCode = '01' OR w.CWHCODE = N'02' OR W.cWhCode='03')",
       "(W.cWhCode IN ('01', '02', '03'))"},
      {"[c] = 1 OR [c] = 2 ORDER BY 1", "[c] IN (1, 2) ORDER BY 1"},
      {"EXISTS (SELECT CASE WHEN c = 'a' OR c = 'b' THEN 1 END FROM A JOIN B ON B.k = 'x' OR B.k = "
       "'y')",
       "EXISTS (SELECT CASE WHEN c IN ('a', 'b') THEN 1 END FROM A INNER JOIN B ON B.k IN ('x', "
       "'y'))"},
      // Missed: one term, two columns, another operator, mixed literal kinds, a column on the
      // right, an AND binding to a term on either side, NOT before it, COLLATE after it.
      {"(c = 'a')", nullptr},
      {"(c = 'a' OR d = 'b')", nullptr},
      {"(c = 'a' OR c <> 'b')", nullptr},
      {"(c = 'a' OR c = 2)", nullptr},
      {"(c = 'a' OR c = d)", nullptr},
      {"x = 1 AND c = 'a' OR c = 'b'", nullptr},
      {"c = 'a' OR c = 'b' AND x = 1", nullptr},
      {"NOT c = 'a' OR c = 'b'", nullptr},
      {"(c = 'a' OR c = 'b' COLLATE NOCASE)", nullptr},
  };
  for (const Case& c : cases) {
    const std::string tsql = std::string("SELECT 1 FROM T WHERE ") + c.where;
    const std::string expected = c.sqlite ? c.sqlite : c.where;
    try {
      EXPECT_EQ(TranslateTsqlToSqlite(tsql), "SELECT 1 FROM T WHERE " + expected);
    } catch (const ComError& e) {
      EXPECT_TRUE(expected[0] == '!' &&
                  e.description().find(expected.substr(1)) != std::string::npos)
          << e.description();
    }
  }
}

}  // namespace
}  // namespace q9::platform::db
