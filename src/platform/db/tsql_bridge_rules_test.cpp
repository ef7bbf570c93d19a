// The bridge's rules for LIKE patterns with bracket escapes and for long OR lists of codes: the
// exact text where each rule applies, where one of its preconditions is missed (the statement
// stays as it is) and where it cannot translate faithfully (refused, naming why). The rules that
// only speed SQLite up: the exact text where each applies and where one of its preconditions is
// missed, and the same rows with and without them on tables whose keys go missing, repeat in
// another letter case or are NULL.
#include <gtest/gtest.h>

#include <string>

#include "platform/db/tsql_bridge.h"
#include "platform/db/tsql_bridge_test_support.h"
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

// Statements for the speed rules over I (inventories), L (lines), H (headers), W (warehouses),
// C (classes) and U (units).
struct SpeedCase {
  unsigned rule;
  const char* tsql;
  const char* sqlite;  // nullptr: the same as without the rule
};

const SpeedCase kSpeedCases[] = {
    // DISTINCT over GROUP BY goes when every grouping column is returned as it is.
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT I.k, MAX(I.n) AS n FROM I GROUP BY I.k",
     "SELECT I.k, MAX(I.n) AS n FROM I GROUP BY I.k"},
    {kRuleDistinctOverGroupBy,
     "SELECT DISTINCT i.K AS code,L.b, SUM(L.q) FROM I i JOIN L ON i.k = L.k GROUP BY I.k, l.B "
     "HAVING SUM(L.q) <> 0",
     "SELECT i.K AS code,L.b, SUM(L.q) FROM I i INNER JOIN L ON i.k = L.k GROUP BY I.k, l.B "
     "HAVING SUM(L.q) <> 0"},
    {kRuleDistinctOverGroupBy,
     "SELECT k FROM (SELECT DISTINCT k FROM L GROUP BY k) s UNION SELECT DISTINCT k FROM L "
     "GROUP BY k",
     "SELECT k FROM (SELECT k FROM L GROUP BY k) s UNION SELECT k FROM L GROUP BY k"},
    // Missed: a grouping column not returned, returned in another form or only inside an
    // expression, a grouping expression, an alias named like a grouping column, no GROUP BY of
    // its own.
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT SUM(L.q) FROM L GROUP BY L.k", nullptr},
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT L.k, SUM(q) FROM L GROUP BY L.k, L.b", nullptr},
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT L.k FROM L GROUP BY k", nullptr},
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT UPPER(k) FROM L GROUP BY k", nullptr},
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT q + 1 FROM L GROUP BY q + 1", nullptr},
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT b AS k, k FROM L GROUP BY k", nullptr},
    {kRuleDistinctOverGroupBy, "SELECT DISTINCT k FROM (SELECT k FROM L GROUP BY k) s", nullptr},
    // A LEFT JOIN goes ahead of the inner joins it does not name, past the LEFT JOINs between.
    {kRuleLeftJoinsAhead,
     "SELECT I.k, SUM(L.q) FROM I INNER JOIN L ON I.k = L.k INNER JOIN H ON L.id = H.id LEFT "
     "JOIN W ON H.w = W.w LEFT JOIN C ON I.c = C.c GROUP BY I.k",
     "SELECT I.k, SUM(L.q) FROM I LEFT JOIN C ON I.c = C.c INNER JOIN L ON I.k = L.k INNER JOIN "
     "H ON L.id = H.id LEFT JOIN W ON H.w = W.w GROUP BY I.k"},
    {kRuleLeftJoinsAhead,
     "SELECT I.k, MAX(U.n) FROM I LEFT JOIN C ON I.c = C.c JOIN L ON I.k = L.k LEFT JOIN U ON "
     "I.u = U.u AND U.n <> 'x' GROUP BY I.k",
     "SELECT I.k, MAX(U.n) FROM I LEFT JOIN C ON I.c = C.c LEFT JOIN U ON I.u = U.u AND U.n <> "
     "'x' INNER JOIN L ON I.k = L.k GROUP BY I.k"},
    // Missed: no GROUP BY, SELECT *, a condition naming the joined table or with an unqualified
    // column, a FULL JOIN between, only LEFT JOINs before, an inner join naming the LEFT JOIN's
    // table.
    {kRuleLeftJoinsAhead,
     "SELECT I.k, L.q FROM I INNER JOIN L ON I.k = L.k LEFT JOIN C ON I.c = C.c", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT * FROM I INNER JOIN L ON I.k = L.k LEFT JOIN C ON I.c = C.c GROUP BY I.k", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT I.k FROM I INNER JOIN L ON I.k = L.k LEFT JOIN C ON L.b = C.c GROUP BY I.k", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT I.k FROM I INNER JOIN L ON I.k = L.k LEFT JOIN C ON c = I.c GROUP BY I.k", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT I.k FROM I INNER JOIN L ON k = I.k LEFT JOIN C ON C.c = I.c GROUP BY I.k", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT I.k FROM I FULL JOIN L ON I.k = L.k LEFT JOIN C ON I.c = C.c GROUP BY I.k", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT I.k FROM I LEFT JOIN L ON I.k = L.k LEFT JOIN C ON I.c = C.c GROUP BY I.k", nullptr},
    {kRuleLeftJoinsAhead,
     "SELECT I.k FROM I INNER JOIN L ON I.k = L.k AND C.n = 'x' LEFT JOIN C ON I.c = C.c GROUP "
     "BY I.k",
     nullptr},
};

TEST(TsqlBridgeRulesTest, SpeedRulesApplyOnlyWhereTheirPreconditionsHold) {
  for (const SpeedCase& c : kSpeedCases) {
    const std::string without = TranslateTsqlToSqlite(c.tsql, 0);
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, c.rule), c.sqlite ? c.sqlite : without) << c.tsql;
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, kAllBridgeRules & ~c.rule), without) << c.tsql;
  }
}

TEST(TsqlBridgeRulesTest, SpeedRulesKeepTheRows) {
  const BridgeTestDb db(kCompany);
  const char* statements[] = {
      "SELECT DISTINCT I.k, L.b, MAX(C.n), SUM(L.q), COUNT(*) FROM I INNER JOIN L ON I.k = L.k "
      "INNER JOIN H ON L.id = H.id LEFT JOIN W ON H.w = W.w LEFT JOIN C ON I.c = C.c LEFT JOIN U "
      "ON I.u = U.u GROUP BY I.k, L.b",
      "SELECT DISTINCT W.w, I.k, MAX(U.n), SUM(CASE WHEN H.f = 1 THEN L.q ELSE 0 END) FROM I "
      "JOIN L ON I.k = L.k LEFT JOIN H ON L.id = H.id LEFT JOIN W ON H.w = W.w LEFT JOIN U ON "
      "I.u = U.u WHERE (1=1) GROUP BY W.w, I.k HAVING COUNT(*) > 0",
      "SELECT DISTINCT I.k, COUNT(C.n), SUM(L.q) FROM I LEFT JOIN L ON I.k = L.k INNER JOIN H ON "
      "L.id = "
      "H.id LEFT JOIN C ON I.c = C.c AND C.n <> 'why' WHERE C.n IS NULL OR H.f = 1 GROUP BY I.k",
  };
  for (const char* tsql : statements) {
    for (unsigned rules : {unsigned{kRuleDistinctOverGroupBy}, unsigned{kRuleLeftJoinsAhead},
                           unsigned{kAllBridgeRules}}) {
      db.ExpectSameRows(TranslateTsqlToSqlite(tsql, 0), TranslateTsqlToSqlite(tsql, rules));
    }
  }
}

}  // namespace
}  // namespace q9::platform::db
