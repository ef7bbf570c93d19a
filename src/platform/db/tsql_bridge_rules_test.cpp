// The bridge's rules for LIKE patterns with bracket escapes and for long OR lists of codes: the
// exact text where each rule applies, where one of its preconditions is missed (the statement
// stays as it is) and where it cannot translate faithfully (refused, naming why). The rules that
// only speed SQLite up: the exact text where each applies and where one of its preconditions is
// missed, and the same rows with and without them on tables whose keys go missing, repeat in
// another letter case or are NULL. The rules "group below unique-key joins" and "re-group below
// unique-key joins" also: the schema facts the engine reads them from.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/sqlite_engine.h"
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

// Where a rule applies, the small company gives the same rows with it as without it.
TEST(TsqlBridgeRulesTest, SpeedRulesApplyOnlyWhereTheirPreconditionsHoldAndKeepTheRows) {
  const BridgeTestDb db(kCompany);
  for (const SpeedCase& c : kSpeedCases) {
    const std::string without = TranslateTsqlToSqlite(c.tsql, 0);
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, c.rule), c.sqlite ? c.sqlite : without) << c.tsql;
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, kAllBridgeRules & ~c.rule), without) << c.tsql;
    if (c.sqlite) db.ExpectSameRows(without, c.sqlite);
  }
}

// Rule "group below unique-key joins", which needs the schema's unique keys.

class GroupBelowJoinsTest : public ::testing::Test {
 protected:
  std::string With(const std::string& tsql) const {
    return TranslateTsqlToSqlite(tsql, kTextBridgeRules | kRuleGroupBelowUniqueKeyJoins, &facts_);
  }

  BridgeTestDb db_{kCompany};
  SchemaFacts facts_ = ReadSchemaFacts(db_.get());
};

struct GroupCase {
  const char* tsql;
  const char* sqlite;  // nullptr: a precondition is missed, the translation without the rule
};

const GroupCase kGroupCases[] = {
    // A warehouse per inventory, joined once per group; the integer-keyed headers go unused.
    {"SELECT I.k, MAX(W.n) AS wn, SUM(L.q) AS q FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = "
     "W.w GROUP BY I.k",
     "SELECT grouped.g1 AS k, +(W.n) AS wn, grouped.a1 AS q FROM (SELECT I.k AS g1, I.w AS j1, "
     "SUM(L.q) AS a1 FROM I INNER JOIN L ON I.k = L.k GROUP BY I.k) AS grouped LEFT JOIN W ON "
     "grouped.j1 COLLATE NOCASE = W.w"},
    {"SELECT DISTINCT I.k, L.b, MAX(W.n) AS wn, MIN(W.n) AS wm, COUNT(*) AS c, AVG(L.q) AS a FROM "
     "I JOIN L ON I.k = L.k LEFT JOIN H ON L.id = H.id LEFT JOIN W ON I.w = W.w WHERE (1=1) GROUP "
     "BY I.k, L.b HAVING SUM(L.q) > 1",
     "SELECT grouped.g1 AS k, grouped.g2 AS b, +(W.n) AS wn, +(W.n) AS wm, grouped.a1 AS c, "
     "grouped.a2 AS a FROM (SELECT I.k AS g1, L.b AS g2, I.w AS j1, COUNT(*) AS a1, AVG(L.q) AS a2 "
     "FROM I INNER JOIN L ON I.k = L.k WHERE (1=1) GROUP BY I.k, L.b HAVING SUM(L.q) > 1) AS "
     "grouped LEFT JOIN W ON grouped.j1 COLLATE NOCASE = W.w"},
    // A name in place of a call is kept apart from the word after it.
    {"SELECT I.k, MAX(W.n) AS wn, SUM(L.q)IS NULL AS z FROM I JOIN L ON I.k = L.k LEFT JOIN W ON "
     "I.w = W.w GROUP BY I.k",
     "SELECT grouped.g1 AS k, +(W.n) AS wn, grouped.a1 IS NULL AS z FROM (SELECT I.k AS g1, I.w "
     "AS j1, SUM(L.q) AS a1 FROM I INNER JOIN L ON I.k = L.k GROUP BY I.k) AS grouped LEFT JOIN "
     "W ON grouped.j1 COLLATE NOCASE = W.w"},
    // Joined on a grouping column; a key of two columns, one compared with a literal.
    {"SELECT L.w, MAX(W.n) AS n, MAX(P.n) AS pn, COUNT(*) AS c FROM L LEFT JOIN W ON L.w = W.w "
     "LEFT "
     "JOIN P ON P.w = L.w AND P.p = 'x' GROUP BY L.w",
     "SELECT grouped.g1 AS w, +(W.n) AS n, +(P.n) AS pn, grouped.a1 AS c FROM (SELECT L.w AS g1, "
     "COUNT(*) AS a1 FROM L GROUP BY L.w) AS grouped LEFT JOIN W ON grouped.g1 COLLATE NOCASE = "
     "W.w LEFT JOIN P ON P.w = grouped.g1 AND P.p = 'x'"},
    // The headers' integer key is grouped: each group is one header.
    {"SELECT H.id, MAX(W.n) AS n, SUM(L.q) AS q FROM L JOIN H ON L.id = H.id LEFT JOIN W ON H.w = "
     "W.w GROUP BY H.id",
     "SELECT grouped.g1 AS id, +(W.n) AS n, grouped.a1 AS q FROM (SELECT H.id AS g1, H.w AS j1, "
     "SUM(L.q) AS a1 FROM L INNER JOIN H ON L.id = H.id GROUP BY H.id) AS grouped LEFT JOIN W ON "
     "grouped.j1 COLLATE NOCASE = W.w"},
    // V's never-NULL key is grouped: MAX over V is its row's value, per group.
    {"SELECT V.k, MAX(V.n) AS n, MAX(W.o) AS o, SUM(L.q) AS q FROM V JOIN L ON V.k = L.k LEFT JOIN "
     "W ON V.k = W.w GROUP BY V.k",
     "SELECT grouped.g1 AS k, grouped.a1 AS n, +(W.o) AS o, grouped.a2 AS q FROM (SELECT V.k AS "
     "g1, +(V.n) AS a1, SUM(L.q) AS a2 FROM V INNER JOIN L ON V.k = L.k GROUP BY V.k) AS grouped "
     "LEFT JOIN W ON grouped.g1 COLLATE NOCASE = W.w"},
    // Missed: no unique key (C), part of a key (P), a key compared as written under a NOCASE
    // comparison (U), text against integers (N), an inner join, an OR in the condition.
    {"SELECT I.k, MAX(C.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN C ON I.c = C.c GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(P.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN P ON P.w = I.w GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(U.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN U ON I.k = U.u GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(N.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN N ON I.k = N.m GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k JOIN W ON I.w = W.w GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w OR W.w = 'w1' "
     "GROUP BY I.k",
     nullptr},
    // Missed: the table's columns in the WHERE, the HAVING, the GROUP BY, a SUM, or a MAX that
    // also reads another table; a join column that differs within a group (the lines' header),
    // or a grouped key that may be NULL (nothing compares I.k).
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w WHERE W.n IS "
     "NULL GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY I.k "
     "HAVING MAX(W.n) > 'a'",
     nullptr},
    {"SELECT I.k, W.w, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY "
     "I.k, W.w",
     nullptr},
    {"SELECT I.k, COUNT(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(CASE WHEN I.m = 1 THEN W.n END) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W "
     "ON I.w = W.w GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(H.w) AS w FROM I JOIN L ON I.k = L.k LEFT JOIN H ON L.id = H.id GROUP BY I.k",
     nullptr},
    // ... or a character SQLite refuses (a vertical tab) in a join the rule would drop.
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w LEFT JOIN H ON "
     "L.id = H.\vid GROUP BY I.k",
     nullptr},
    // ... or a MAX that is not its item's whole expression (after a literal SQLite refuses it).
    {"SELECT I.k, '' MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY "
     "I.k",
     nullptr},
    {"SELECT I.k, MAX(W.n) AS n FROM I LEFT JOIN W ON I.w = W.w GROUP BY I.k", nullptr},
    // ... or a key that tells apart what the group puts together (X.k).
    {"SELECT X.k, MAX(W.n) AS n FROM X JOIN L ON X.k = L.k LEFT JOIN W ON X.w = W.w GROUP BY X.k",
     nullptr},
    // Missed: no GROUP BY, an expression without a name, an ambiguous column, a subquery, an
    // ORDER BY, a number run into a word (one unknown token to SQLite).
    {"SELECT I.k, W.n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w", nullptr},
    {"SELECT I.k, MAX(W.n) FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w WHERE L.id IN "
     "(SELECT id FROM H) GROUP BY I.k",
     nullptr},
    {"SELECT I.k, MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY I.k "
     "ORDER BY I.k",
     nullptr},
    {"SELECT I.k, 1MAX(W.n) AS n FROM I JOIN L ON I.k = L.k LEFT JOIN W ON I.w = W.w GROUP BY I.k",
     nullptr},
};

// Where it applies, the same rows and column names come back with the rule as without it (the
// data's names differ in more than letter case).
TEST_F(GroupBelowJoinsTest, AppliesOnlyWhereItsPreconditionsHoldAndKeepsTheRows) {
  for (const GroupCase& c : kGroupCases) {
    const std::string without = TranslateTsqlToSqlite(c.tsql, kTextBridgeRules);
    EXPECT_EQ(With(c.tsql), c.sqlite ? c.sqlite : without) << c.tsql;
    if (c.sqlite) db_.ExpectSameRows(without, c.sqlite);
    // Without the schema, or without the rule, the translation is the one without the rule.
    for (const std::string& other : {TranslateTsqlToSqlite(c.tsql, kAllBridgeRules, nullptr),
                                     TranslateTsqlToSqlite(c.tsql, kTextBridgeRules, &facts_),
                                     TranslateTsqlToSqlite(c.tsql)}) {
      EXPECT_EQ(other, without) << c.tsql;
    }
  }
}

// Rule "re-group below unique-key joins", alone (kRegroup) and with "group below unique-key
// joins" (kBoth), over L's lines grouped by warehouses that are missing, NULL or in another case.
constexpr unsigned kRegroup = kTextBridgeRules | kRuleRegroupBelowUniqueKeyJoins;
constexpr unsigned kBoth = kRegroup | kRuleGroupBelowUniqueKeyJoins;
const SpeedCase kRegroupCases[] = {
    {kRegroup,
     "SELECT W.w, MAX(W.n) AS n, SUM(L.q) AS q, COUNT(*) AS c, MIN(L.p) AS p, MAX(L.k) AS k FROM "
     "L LEFT JOIN W ON L.w = W.w GROUP BY W.w HAVING SUM(L.q) > 1 OR COUNT(*) > 1",
     "SELECT W.w AS w, +(W.n) AS n, SUM(grouped.a1) AS q, SUM(grouped.a2) AS c, "
     "MIN(grouped.a3) AS p, MAX(grouped.a4 COLLATE NOCASE) AS k FROM (SELECT L.w AS g1, "
     "SUM(L.q) AS a1, COUNT(*) AS a2, MIN(L.p) AS a3, MAX(L.k) AS a4 FROM L GROUP BY L.w) AS "
     "grouped LEFT JOIN W ON grouped.g1 COLLATE NOCASE = W.w GROUP BY W.w HAVING "
     "SUM(grouped.a1) > 1 OR SUM(grouped.a2) > 1"},
    // The inventory's row is one per group, so is the N row its key finds: their MAX is the
    // value. The inner groups follow L's index.
    {kRegroup,
     "SELECT I.k, W.w, L.b, MAX(I.n) AS n, SUM(L.q) AS q, MAX(N.n) AS nn FROM I JOIN L ON I.k = "
     "L.k LEFT JOIN W ON L.w = W.w LEFT JOIN N ON I.m = N.m GROUP BY W.w, I.k, L.b",
     "SELECT grouped.g1 AS k, W.w AS w, grouped.g3 AS b, grouped.a1 AS n, SUM(grouped.a2) AS "
     "q, grouped.a3 AS nn FROM (SELECT I.k AS g1, L.w AS g2, L.b AS g3, +(I.n) AS a1, "
     "SUM(L.q) AS a2, +(N.n) AS a3 FROM I LEFT JOIN N ON I.m = N.m INNER JOIN L ON I.k = L.k "
     "GROUP BY L.k, L.w, L.b) AS grouped LEFT JOIN W ON grouped.g2 COLLATE NOCASE = W.w GROUP "
     "BY W.w, grouped.g1, grouped.g3"},
    {kBoth,
     "SELECT I.k, W.w, L.b, MAX(I.n)IS NULL AS n, SUM(L.q) AS q, MAX(N.n) AS nn FROM I JOIN L ON "
     "I.k = L.k LEFT JOIN W ON L.w = W.w LEFT JOIN N ON I.m = N.m GROUP BY W.w, I.k, L.b",
     "SELECT grouped.g1 AS k, W.w AS w, grouped.g3 AS b, grouped.a1 IS NULL AS n, "
     "SUM(grouped.a2) AS q, +(N.n) AS nn FROM (SELECT I.k AS g1, L.w AS g2, L.b AS g3, I.m AS j1, "
     "+(I.n) AS a1, "
     "SUM(L.q) AS a2 FROM I INNER JOIN L ON I.k = L.k GROUP BY L.k, L.w, L.b) AS grouped LEFT "
     "JOIN N ON grouped.j1 COLLATE BINARY = N.m LEFT JOIN W ON grouped.g2 COLLATE NOCASE = W.w "
     "GROUP BY W.w, grouped.g1, grouped.g3"},
    // ... unless the term is its table's never-NULL key: SQLite walks V first, then L's index.
    {kRegroup,
     "SELECT V.k, W.w, L.b, MAX(V.n) AS n, SUM(L.q) AS q FROM V JOIN L ON V.k = L.k LEFT JOIN W ON "
     "L.w = W.w GROUP BY W.w, V.k, L.b",
     "SELECT grouped.g1 AS k, W.w AS w, grouped.g3 AS b, grouped.a1 AS n, SUM(grouped.a2) AS q "
     "FROM (SELECT V.k AS g1, L.w AS g2, L.b AS g3, +(V.n) AS a1, SUM(L.q) AS a2 FROM V INNER JOIN "
     "L "
     "ON V.k = L.k GROUP BY V.k, L.w, L.b) AS grouped LEFT JOIN W ON grouped.g2 COLLATE NOCASE = "
     "W.w GROUP BY W.w, grouped.g1, grouped.g3"},
    // A key of two columns, both grouped.
    {kRegroup,
     "SELECT P.w, P.p, MAX(P.n) AS n, SUM(L.q) AS q FROM L LEFT JOIN P ON P.w = L.w AND P.p = L.p "
     "GROUP BY P.w, P.p",
     "SELECT P.w AS w, P.p AS p, +(P.n) AS n, SUM(grouped.a1) AS q FROM (SELECT L.w AS g1, L.p "
     "AS g2, SUM(L.q) AS a1 FROM L GROUP BY L.w, L.p) AS grouped LEFT JOIN P ON P.w = "
     "grouped.g1 AND P.p = grouped.g2 GROUP BY P.w, P.p"},
    // Missed: AVG, a DISTINCT aggregate, an aggregate of W with L, W in the WHERE or in another
    // join's condition, a bare column not grouped (of L, of W), an ORDER BY, a MAX whose
    // collation the partials would lose, a join column grouped more coarsely than compared...
    {kRegroup, "SELECT W.w, AVG(L.q) AS a FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w", nullptr},
    {kRegroup, "SELECT W.w, COUNT(DISTINCT L.k) AS c FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w",
     nullptr},
    {kRegroup, "SELECT W.w, MAX(W.n + L.q) AS m FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w",
     nullptr},
    {kRegroup,
     "SELECT W.w, SUM(L.q) AS q FROM L LEFT JOIN W ON L.w = W.w WHERE W.n IS NULL GROUP BY W.w",
     nullptr},
    {kRegroup,
     "SELECT W.w, SUM(L.q) AS q FROM L LEFT JOIN W ON L.w = W.w LEFT JOIN P ON P.w = W.w AND P.p "
     "= 'x' GROUP BY W.w",
     nullptr},
    {kRegroup, "SELECT W.w, L.p FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w", nullptr},
    {kRegroup, "SELECT W.w, W.n FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w", nullptr},
    {kRegroup,
     "SELECT W.w, SUM(L.q) AS q FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w ORDER BY W.w",
     nullptr},
    {kRegroup, "SELECT W.w, MAX(+L.b) AS b FROM L LEFT JOIN W ON L.w = W.w GROUP BY W.w", nullptr},
    {kRegroup, "SELECT U.u, SUM(L.q) AS q FROM L LEFT JOIN U ON U.u = L.w GROUP BY U.u", nullptr},
    // ... or a column of the moved table named like a partial, ambiguous outside.
    {kRegroup,
     "SELECT G.g, MAX(a1) AS m, SUM(L.q) AS q FROM L LEFT JOIN G ON L.w = G.g GROUP BY G.g",
     nullptr},
};

TEST_F(GroupBelowJoinsTest, RegroupAppliesOnlyWhereItsPreconditionsHoldAndKeepsTheRows) {
  for (const SpeedCase& c : kRegroupCases) {
    const std::string without =
        TranslateTsqlToSqlite(c.tsql, c.rule & ~kRuleRegroupBelowUniqueKeyJoins, &facts_);
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, c.rule, &facts_), c.sqlite ? c.sqlite : without)
        << c.tsql;
    if (c.sqlite) db_.ExpectSameRows(without, c.sqlite);
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, c.rule, nullptr), TranslateTsqlToSqlite(c.tsql))
        << c.tsql;
  }
}

TEST_F(GroupBelowJoinsTest, EngineReadsTheUniqueKeys) {
  // Each key as table(column collation ...); the partial and the expression index on W are none.
  std::string keys;
  for (const char* table : {"C", "H", "P", "W"}) {
    for (const UniqueKeyFacts& key : facts_.tables.at(table).unique_keys) {
      keys += std::string(table) + "(";
      for (std::size_t n = 0; n < key.columns.size(); ++n) {
        keys += key.columns[n] + " " + key.collations[n] + " ";
      }
      keys += ")";
    }
  }
  EXPECT_EQ(keys, "H(ID BINARY )P(W NOCASE P BINARY )W(W NOCASE )");
  // Each column as name, affinity, collation and ! when it is never NULL.
  std::string columns;
  for (auto [table, column] :
       {std::pair{"I", "K"}, {"I", "M"}, {"I", "D"}, {"L", "Q"}, {"P", "P"}, {"H", "ID"}}) {
    const ColumnFacts& f = facts_.tables.at(table).columns.at(column);
    columns += f.name + " " + f.affinity + " " + f.collation + (f.not_null ? "!" : "") + ",";
  }
  EXPECT_EQ(columns, "k T NOCASE,m I BINARY,d N BINARY,q R BINARY,p T BINARY!,id I BINARY!,");
  // A temporary table of the same name hides the main schema's: its facts are not used.
  ASSERT_EQ(sqlite3_exec(db_.get(), "CREATE TEMP TABLE W (w TEXT)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(ReadSchemaFacts(db_.get()).tables.count("W"), 0u);
}

}  // namespace
}  // namespace q9::platform::db
