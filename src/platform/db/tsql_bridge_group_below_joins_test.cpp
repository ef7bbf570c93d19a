// Rule "group below unique-key joins": the schema facts the engine reads, the exact text where
// the rule applies and where each precondition is missed (the statement stays as it is), and the
// same rows with and without it on tables whose keys go missing, repeat in another letter case or
// are NULL.
#include "platform/db/tsql_bridge_group_below_joins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/sqlite_engine.h"
#include "platform/db/tsql_bridge.h"
#include "platform/db/tsql_bridge_test_support.h"

namespace q9::platform::db {
namespace {

class GroupBelowJoinsTest : public ::testing::Test {
 protected:
  std::string With(const std::string& tsql) const {
    return TranslateTsqlToSqlite(tsql, kAllBridgeRules | kRuleGroupBelowUniqueKeyJoins, &facts_);
  }

  BridgeTestDb db_{kCompany};
  SchemaFacts facts_ = ReadSchemaFacts(db_.get());
};

struct Case {
  const char* tsql;
  const char* sqlite;  // nullptr: a precondition is missed, the translation without the rule
};

const Case kCases[] = {
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
    {"SELECT I.k, MAX(W.n) AS n FROM I LEFT JOIN W ON I.w = W.w GROUP BY I.k", nullptr},
    // Missed: no GROUP BY, an expression without a name, an ambiguous column, a subquery, an
    // ORDER BY.
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
};

TEST_F(GroupBelowJoinsTest, AppliesOnlyWhereItsPreconditionsHold) {
  for (const Case& c : kCases) {
    const std::string without = TranslateTsqlToSqlite(c.tsql, kAllBridgeRules);
    EXPECT_EQ(With(c.tsql), c.sqlite ? c.sqlite : without) << c.tsql;
    // Without the schema, or by default, the translation is the one without the rule.
    EXPECT_EQ(
        TranslateTsqlToSqlite(c.tsql, kAllBridgeRules | kRuleGroupBelowUniqueKeyJoins, nullptr),
        without);
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql, kAllBridgeRules, &facts_), without);
    EXPECT_EQ(TranslateTsqlToSqlite(c.tsql), without);
  }
}

// The same rows and column names come back with the rule as without it (the data's names differ
// in more than letter case).
TEST_F(GroupBelowJoinsTest, KeepsTheRows) {
  for (const Case& c : kCases) {
    if (c.sqlite) db_.ExpectSameRows(TranslateTsqlToSqlite(c.tsql, kAllBridgeRules), With(c.tsql));
  }
}

TEST_F(GroupBelowJoinsTest, EngineReadsTheUniqueKeys) {
  struct Key {
    const char* table;
    std::vector<std::string> columns, collations;  // empty: the table has no unique key
  } keys[] = {
      // The partial and the expression index on W are no keys.
      {"W", {"W"}, {"NOCASE"}},
      {"P", {"W", "P"}, {"NOCASE", "BINARY"}},
      {"H", {"ID"}, {"BINARY"}},
      {"C", {}, {}},
  };
  for (const Key& k : keys) {
    const TableFacts& t = facts_.tables.at(k.table);
    ASSERT_EQ(t.unique_keys.size(), k.columns.empty() ? 0u : 1u) << k.table;
    if (k.columns.empty()) continue;
    EXPECT_EQ(t.unique_keys[0].columns, k.columns) << k.table;
    EXPECT_EQ(t.unique_keys[0].collations, k.collations) << k.table;
  }
  struct Column {
    const char* table;
    const char* column;
    const char* name;
    char affinity;
    const char* collation;
    bool not_null;
  } columns[] = {
      {"I", "K", "k", 'T', "NOCASE", false}, {"I", "M", "m", 'I', "BINARY", false},
      {"I", "D", "d", 'N', "BINARY", false}, {"L", "Q", "q", 'R', "BINARY", false},
      {"P", "P", "p", 'T', "BINARY", true},  {"H", "ID", "id", 'I', "BINARY", true},
  };
  for (const Column& c : columns) {
    const ColumnFacts& f = facts_.tables.at(c.table).columns.at(c.column);
    EXPECT_EQ(f.name, c.name);
    EXPECT_EQ(f.affinity, c.affinity) << c.column;
    EXPECT_EQ(f.collation, c.collation) << c.column;
    EXPECT_EQ(f.not_null, c.not_null) << c.column;
  }
  // A temporary table of the same name hides the main schema's: its facts are not used.
  ASSERT_EQ(sqlite3_exec(db_.get(), "CREATE TEMP TABLE W (w TEXT)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(ReadSchemaFacts(db_.get()).tables.count("W"), 0u);
}

}  // namespace
}  // namespace q9::platform::db
