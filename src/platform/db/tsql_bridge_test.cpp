#include "platform/db/tsql_bridge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/tsql_bridge_test_support.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

TEST(TsqlBridgeTest, TranslatesToExactText) {
  struct Case {
    std::string tsql;
    std::string sqlite;
  } cases[] = {
      // Functions.
      {"SELECT ISNULL(a,b), IsNull(x, 0), isnull (y,'') FROM T",
       "SELECT ifnull(a,b), ifnull(x, 0), ifnull (y,'') FROM T"},
      {"SELECT LEFT(x, n), left(I.cInvCCode,LEN('01')) FROM T",
       "SELECT substr(x, 1, n), substr(I.cInvCCode, 1,length(rtrim('01'))) FROM T"},
      {"SELECT CONVERT(VARCHAR(10), Rs.dVDate, 102), CONVERT(varchar, d, 102), "
       "CONVERT(NVARCHAR(30), d,102), CAST(d AS VARCHAR(10)) FROM T",
       "SELECT strftime('%Y.%m.%d', Rs.dVDate), strftime('%Y.%m.%d', d), "
       "strftime('%Y.%m.%d', d), CAST(d AS VARCHAR(10)) FROM T"},
      // Text concatenation; arithmetic stays.
      {" ISNULL(Rs.cBatch,'') + ',' + ISNULL(CONVERT(VARCHAR(10), Rs.dVDate, 102),'') AS ZY6",
       " ifnull(Rs.cBatch,'') || ',' || ifnull(strftime('%Y.%m.%d', Rs.dVDate),'') AS ZY6"},
      {"SELECT 'a' + x.y + 'b', a + b, ISNULL(n, 0) + 1, Rs.iQuantity/CU_G.iChangRate + 1 FROM T",
       "SELECT 'a' || x.y || 'b', a + b, ifnull(n, 0) + 1, Rs.iQuantity/CU_G.iChangRate + 1 FROM "
       "T"},
      // Schema and database qualifiers.
      {"SELECT dbo.VouchType.cVouchType, DBO.Person.cPersonName FROM dbo.VouchType, [dbo].Person, "
       "VKSystem..VA_Period, VKSystem.dbo.VA_Period",
       "SELECT VouchType.cVouchType, Person.cPersonName FROM VouchType, Person, "
       "VKSystem.VA_Period, VKSystem.VA_Period"},
      // Joins: RIGHT exchanged, deferred ONs resolved, nested right operands grouped.
      {"SELECT A.x FROM A RIGHT JOIN B ON A.k = B.k", "SELECT A.x FROM B LEFT JOIN A ON A.k = B.k"},
      {"SELECT 1 FROM A RIGHT JOIN B RIGHT JOIN C ON c1 ON c2",
       "SELECT 1 FROM C LEFT JOIN B ON c1 LEFT JOIN A ON c2"},
      {"select 1 from A a left outer join B as b right outer join C c on c1 on c2 where 1=1",
       "select 1 from A a LEFT JOIN (C c LEFT JOIN B as b ON c1) ON c2 where 1=1"},
      {"SELECT 1 FROM A INNER JOIN B ON A.k = B.k JOIN C ON C.k = B.k",
       "SELECT 1 FROM A INNER JOIN B ON A.k = B.k INNER JOIN C ON C.k = B.k"},
      {"SELECT 1 FROM (A JOIN B ON A.k = B.k) RIGHT JOIN [Order Lines] L ON L.k = A.k ORDER BY 1",
       "SELECT 1 FROM [Order Lines] L LEFT JOIN (A INNER JOIN B ON A.k = B.k) ON L.k = A.k "
       "ORDER BY 1"},
      {"SELECT 1 FROM A FULL OUTER JOIN B ON A.k = B.k",
       "SELECT 1 FROM A FULL JOIN B ON A.k = B.k"},
      {"SELECT x FROM (SELECT A.x FROM A RIGHT JOIN B ON A.k = B.k) AS d WHERE d.x IN (SELECT y "
       "FROM C RIGHT OUTER JOIN D ON C.k = D.k)",
       "SELECT x FROM (SELECT A.x FROM B LEFT JOIN A ON A.k = B.k) AS d WHERE d.x IN (SELECT y "
       "FROM D LEFT JOIN C ON C.k = D.k)"},
      // A LEFT JOIN (B LEFT JOIN C ON p) ON q is written flat when q names no table of C and p
      // compares a column of B (so that it fails when B's row is missing), else kept grouped.
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON B.k = C.k AND C.n = 2 ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN B ON A.k = B.k LEFT JOIN C ON B.k = C.k AND C.n = 2"},
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON C.n = 4 ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN (B LEFT JOIN C ON C.n = 4) ON A.k = B.k"},
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON B.k = C.k OR C.n = 4 ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN (B LEFT JOIN C ON B.k = C.k OR C.n = 4) ON A.k = B.k"},
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON ISNULL(B.k, 0) = C.k ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN (B LEFT JOIN C ON ifnull(B.k, 0) = C.k) ON A.k = B.k"},
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON B.k = C.k ON A.k = C.k",
       "SELECT 1 FROM A LEFT JOIN (B LEFT JOIN C ON B.k = C.k) ON A.k = C.k"},
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON B.k = C.k ON A.k = k2",
       "SELECT 1 FROM A LEFT JOIN (B LEFT JOIN C ON B.k = C.k) ON A.k = k2"},
      {"SELECT 1 FROM A LEFT JOIN B INNER JOIN C ON B.k = C.k ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN (B INNER JOIN C ON B.k = C.k) ON A.k = B.k"},
      // A line comment that ends a join condition must not swallow what comes after it.
      {"SELECT 1 FROM A LEFT JOIN B ON A.k = B.k -- note\nRIGHT JOIN C ON C.k = A.k",
       "SELECT 1 FROM C LEFT JOIN A ON C.k = A.k LEFT JOIN B ON A.k = B.k"},
      // Nothing inside literals, bracketed names or comments is rewritten.
      {"SELECT 'a + b', 'LEFT(x)', [dbo.x], 'ISNULL(a,b)' AS [LEN(x)] -- ISNULL(a,b) + dbo.x\n"
       "FROM T /* RIGHT JOIN dbo.y */",
       "SELECT 'a + b', 'LEFT(x)', [dbo.x], 'ISNULL(a,b)' AS [LEN(x)] -- ISNULL(a,b) + dbo.x\n"
       "FROM T /* RIGHT JOIN dbo.y */"},
      {"SELECT N'货位' AS \"c\"\"x\" FROM T", "SELECT '货位' AS [c\"x] FROM T"},
      // Two literals stay two when the second loses its N ('a''b' would be one literal).
      {"SELECT 'a'N'b', N'c'N'd' FROM T", "SELECT 'a' 'b', 'c' 'd' FROM T"},
      // The input the bridge fuzz target found it with.
      {" UPDAb*=i/Tsi-1,Wih=/" + std::string(26, '\xd3') + "80', */ORDEREx = 3d'N''D = 12",
       " UPDAb*=i/Tsi-1,Wih=/" + std::string(26, '\xd3') + "80', */ORDEREx = 3d' ''D = 12"},
      // Whitespace stays where nothing is rewritten.
      {" SELECT  a ,\n\tb  FROM  T  WHERE  x = 1 ", " SELECT  a ,\n\tb  FROM T  WHERE  x = 1 "},
      {"SELECT 1 FROM A;", "SELECT 1 FROM A;"},
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateTsqlToSqlite(c.tsql), c.sqlite) << c.tsql;
}

TEST(TsqlBridgeTest, RejectsWhatItCannotTranslateNamingTheConstruct) {
  struct Case {
    const char* tsql;
    const char* names;
  } cases[] = {
      {"SELECT TOP 10 cInvCode FROM Inventory", "TOP"},
      // The whole description, with the position of what cannot be translated.
      {"SELECT a, SUBSTRING(b, 1, 2) FROM T",
       "cannot translate the function SUBSTRING(...) to SQLite (at byte 11)"},
      {"SELECT RIGHT(cInvCode, 2) FROM Inventory", "RIGHT(...)"},
      {"SELECT CONVERT(VARCHAR(10), dDate, 120) FROM RdRecord", "CONVERT style 120"},
      {"SELECT CONVERT(VARCHAR(8), dDate, 102) FROM RdRecord", "CONVERT to VARCHAR(8)"},
      {"SELECT CONVERT(VARCHAR(10), dDate) FROM RdRecord", "CONVERT without a style"},
      {"SELECT ISNULL(a) FROM A", "ISNULL with 1 arguments"},
      {"SELECT 1 FROM A FULL JOIN B INNER JOIN C ON c1 ON c2", "FULL JOIN with a deferred ON"},
      {"SELECT 1 FROM A LEFT JOIN B FULL JOIN C ON c1 ON c2", "FULL JOIN inside a nested join"},
      {"SELECT 1 FROM A CROSS APPLY f(A.x)", "CROSS APPLY"},
      {"SELECT 1 FROM A CROSS JOIN B", "CROSS JOIN"},
      {"SELECT 1 FROM A JOIN B USING (k)", "JOIN ... USING"},
      {"SELECT 1 FROM Inventory WITH (NOLOCK)", "table hint WITH (NOLOCK)"},
      {"SELECT 1 FROM Inventory I (NOLOCK)", "table hint (NOLOCK)"},
      {"SELECT 1 FROM A INNER HASH JOIN B ON c", "INNER HASH (a join hint"},
      {"SELECT (1 FROM A", "unbalanced parenthesis: '(' without ')'"},
      {"SELECT 1) FROM A", "unbalanced parenthesis: ')' without '('"},
      {"SELECT 'abc FROM A", "unterminated string literal"},
      {"SELECT [abc FROM A", "unterminated bracketed name"},
      {"SELECT 1 FROM A RIGHT OUTER JOIN B RIGHT OUTER JOIN C ON c1",
       "a RIGHT JOIN without its ON"},
      {"SELECT 1 FROM A ON A.k = 1", "an ON without a JOIN"},
      {"SELECT 1 FROM A LEFT JOIN ON 1=1", "'ON' where a table belongs"},
      {"SELECT 1 FROM A JOIN B ON WHERE 1=1", "an ON without a condition"},
      {"SELECT * FROM A RIGHT JOIN B ON A.k = B.k", "SELECT * over a RIGHT JOIN"},
      {"SELECT @x", "the variable @x"},
      {"SELECT 1 FROM #tmp", "the temporary table #tmp"},
      {"SELECT '1' + 1", "'+' between text and a number"},
      {"SELECT ISNULL(a,'') + b - 1 FROM A", "'+' of text mixed with arithmetic"},
      {"SELECT + 'x'", "unary '+'"},
      {"SELECT 1; SELECT 2", "more than one statement"},
      {"UPDATE A SET x = 1 FROM A JOIN B ON A.k = B.k", "UPDATE ... FROM"},
      {"SELECT a || b", "the operator '||'"},
      {"SELECT 0x1F", "the binary literal 0x1F"},
      {"SELECT 1 /* a /* b */ c */", "a nested block comment"},
      {"SELECT 1 FROM A WHERE a IS DISTINCT FROM b", "IS [NOT] DISTINCT FROM"},
  };
  for (const Case& c : cases) {
    try {
      const std::string sqlite = TranslateTsqlToSqlite(c.tsql);
      ADD_FAILURE() << "translated " << c.tsql << " into " << sqlite;
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), kErrProvider) << c.tsql;
      EXPECT_EQ(e.source(), kTsqlBridgeSource) << c.tsql;
      EXPECT_NE(e.description().find(c.names), std::string::npos)
          << c.tsql << "\n  gave: " << e.description();
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Translated statements run on SQLite and give SQL Server's answers.

class TsqlBridgeSqliteTest : public ::testing::Test {
 protected:
  BridgeTestDb db_{
      "CREATE TABLE V(id INTEGER, s TEXT, d TEXT, n REAL);"
      "INSERT INTO V VALUES (1, 'ab  ', '2024-03-05', 1.5), (2, NULL, NULL, NULL),"
      " (3, '  ab', '2024-12-31 10:20:00', 2);"
      "CREATE TABLE A(k INTEGER, a TEXT); CREATE TABLE B(k INTEGER, b TEXT);"
      "CREATE TABLE C(k INTEGER, c TEXT);"
      "INSERT INTO A VALUES (1,'a1'),(3,'a3'),(4,'a4');"
      "INSERT INTO B VALUES (2,'b2'),(3,'b3');"
      "INSERT INTO C VALUES (3,'c3'),(4,'c4');"};
};

TEST_F(TsqlBridgeSqliteTest, ExpressionsKeepSqlServerSemantics) {
  struct Case {
    const char* expression;
    std::vector<std::string> values;  // rows 1, 2, 3
  } cases[] = {
      // LEN ignores trailing blanks only.
      {"LEN(s)", {"2", kNull, "4"}},
      {"LEN('中文 ')", {"2", "2", "2"}},
      // + on text concatenates and a NULL operand gives NULL.
      {"s + 'x'", {"ab  x", kNull, "  abx"}},
      {"CONVERT(VARCHAR(10), d, 102)", {"2024.03.05", kNull, "2024.12.31"}},
      {"LEFT(s, 3)", {"ab ", kNull, "  a"}},
      // A literal followed by an N literal is a value and its column name, not one literal.
      {"'x'N'y'", {"x", "x", "x"}},
      // Numeric + stays addition.
      {"ISNULL(n, 0) + 1", {"2.5", "1", "3.0"}},
  };
  for (const Case& c : cases) {
    std::vector<Row> expected;
    for (const std::string& v : c.values) expected.push_back({v});
    EXPECT_EQ(db_.Rows(TranslateTsqlToSqlite(std::string("SELECT ") + c.expression +
                                             " FROM V ORDER BY id")),
              expected)
        << c.expression;
  }
}

TEST_F(TsqlBridgeSqliteTest, OuterJoinChainsKeepTheUnmatchedRowsSqlServerKeeps) {
  struct Case {
    const char* from;
    std::vector<Row> rows;
  } cases[] = {
      // A LEFT JOIN (B RIGHT JOIN C ON B.k = C.k) ON A.k = B.k.
      {"A LEFT JOIN B RIGHT JOIN C ON B.k = C.k ON A.k = B.k",
       {{"a1", kNull, kNull}, {"a3", "b3", "c3"}, {"a4", kNull, kNull}}},
      // A RIGHT JOIN (B RIGHT JOIN C ON B.k = C.k) ON A.k = B.k.
      {"A RIGHT JOIN B RIGHT OUTER JOIN C ON B.k = C.k ON A.k = B.k",
       {{kNull, kNull, "c4"}, {"a3", "b3", "c3"}}},
      // A INNER JOIN (B RIGHT JOIN C ON B.k = C.k) ON A.k = C.k.
      {"A INNER JOIN B RIGHT JOIN C ON B.k = C.k ON A.k = C.k",
       {{"a3", "b3", "c3"}, {"a4", kNull, "c4"}}},
      // (A LEFT JOIN B ON A.k = B.k) RIGHT JOIN C ON A.k = C.k.
      {"A LEFT JOIN B ON A.k = B.k RIGHT JOIN C ON A.k = C.k",
       {{"a3", "b3", "c3"}, {"a4", kNull, "c4"}}},
      // A LEFT JOIN (B LEFT JOIN C ON B.k = C.k) ON A.k = B.k, written flat.
      {"A LEFT JOIN B LEFT JOIN C ON B.k = C.k ON A.k = B.k",
       {{"a1", kNull, kNull}, {"a3", "b3", "c3"}, {"a4", kNull, kNull}}},
      // A LEFT JOIN (B LEFT JOIN C ON C.c = 'c4') ON A.k = B.k: C joins every B row, but no A
      // row that lacks a B row.
      {"A LEFT JOIN B LEFT JOIN C ON C.c = 'c4' ON A.k = B.k",
       {{"a1", kNull, kNull}, {"a3", "b3", "c4"}, {"a4", kNull, kNull}}},
  };
  for (Case& c : cases) {
    std::sort(c.rows.begin(), c.rows.end());
    EXPECT_EQ(db_.Rows(TranslateTsqlToSqlite(std::string("SELECT A.a, B.b, C.c FROM ") + c.from),
                       BridgeTestDb::kSorted),
              c.rows)
        << c.from;
  }
}

}  // namespace
}  // namespace q9::platform::db
