#include "platform/db/tsql_bridge.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/db/sql_tokenizer.h"
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
      {"SELECT LEN(x), Len( x ) FROM T", "SELECT length(rtrim(x)), length(rtrim( x )) FROM T"},
      {"SELECT CONVERT(VARCHAR(10), Rs.dVDate, 102), CONVERT(varchar, d, 102), "
       "CONVERT(NVARCHAR(30), d,102), CAST(d AS VARCHAR(10)) FROM T",
       "SELECT strftime('%Y.%m.%d', Rs.dVDate), strftime('%Y.%m.%d', d), "
       "strftime('%Y.%m.%d', d), CAST(d AS VARCHAR(10)) FROM T"},
      // Text concatenation; arithmetic stays.
      {" ISNULL(Rs.cBatch,'') + ',' + ISNULL(CONVERT(VARCHAR(10), Rs.dVDate, 102),'') AS ZY6",
       " ifnull(Rs.cBatch,'') || ',' || ifnull(strftime('%Y.%m.%d', Rs.dVDate),'') AS ZY6"},
      {"SELECT ISNULL(C.cCusAbbName,'') + ISNULL(V.cVenAbbName,'') AS ZY3, 'a' + x.y + 'b', "
       "a + b, ISNULL(n, 0) + 1, Rs.iQuantity/CU_G.iChangRate + 1 FROM T",
       "SELECT ifnull(C.cCusAbbName,'') || ifnull(V.cVenAbbName,'') AS ZY3, 'a' || x.y || 'b', "
       "a + b, ifnull(n, 0) + 1, Rs.iQuantity/CU_G.iChangRate + 1 FROM T"},
      // Schema and database qualifiers.
      {"SELECT dbo.VouchType.cVouchType, DBO.Person.cPersonName FROM dbo.VouchType, [dbo].Person, "
       "VKSystem..VA_Period, VKSystem.dbo.VA_Period",
       "SELECT VouchType.cVouchType, Person.cPersonName FROM VouchType, Person, "
       "VKSystem.VA_Period, VKSystem.VA_Period"},
      {"SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '001' AND iYear "
       "= 2005",
       "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem.VA_Period WHERE cAcc_ID = '001' AND iYear "
       "= 2005"},
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
      {"SELECT 1 FROM A LEFT JOIN B ON LEFT(B.c, LEN(A.c)) = A.c RIGHT JOIN C ON C.k = A.k",
       "SELECT 1 FROM C LEFT JOIN (A LEFT JOIN B ON substr(B.c, 1, length(rtrim(A.c))) = A.c) ON "
       "C.k = A.k"},
      {"SELECT 1 FROM A FULL OUTER JOIN B ON A.k = B.k",
       "SELECT 1 FROM A FULL JOIN B ON A.k = B.k"},
      {"SELECT x FROM (SELECT A.x FROM A RIGHT JOIN B ON A.k = B.k) AS d WHERE d.x IN (SELECT y "
       "FROM C RIGHT OUTER JOIN D ON C.k = D.k)",
       "SELECT x FROM (SELECT A.x FROM B LEFT JOIN A ON A.k = B.k) AS d WHERE d.x IN (SELECT y "
       "FROM D LEFT JOIN C ON C.k = D.k)"},
      {"SELECT A.x FROM A RIGHT JOIN B ON A.k = B.k WHERE 1=1 UNION SELECT C.x FROM C ORDER BY A.x",
       "SELECT A.x FROM B LEFT JOIN A ON A.k = B.k WHERE 1=1 UNION SELECT C.x FROM C ORDER BY A.x"},
      // A LEFT JOIN (B LEFT JOIN C ON p) ON q is written flat when q names no table of C and p
      // compares a column of B (so that it fails when B's row is missing), else kept grouped.
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON B.k = C.k AND C.n = 2 ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN B ON A.k = B.k LEFT JOIN C ON B.k = C.k AND C.n = 2"},
      {"SELECT 1 FROM A LEFT JOIN B LEFT JOIN C ON 2 < B.n ON A.k = B.k",
       "SELECT 1 FROM A LEFT JOIN B ON A.k = B.k LEFT JOIN C ON 2 < B.n"},
      {"SELECT 1 FROM A x LEFT JOIN B y LEFT JOIN C z LEFT JOIN D ON D.k = z.k ON y.k = z.k "
       "ON x.k = y.k",
       "SELECT 1 FROM A x LEFT JOIN B y ON x.k = y.k LEFT JOIN C z ON y.k = z.k LEFT JOIN D ON "
       "D.k = z.k"},
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
      {"SELECT 1 FROM A LEFT JOIN B ON A.k = B.k -- note\nWHERE 1=1",
       "SELECT 1 FROM A LEFT JOIN B ON A.k = B.k -- note\nWHERE 1=1"},
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
      // Statements of the report services.
      {" Select cID ,(Case When IsNull(cItemName ,'') ='' Then cItem Else cItemName End) AS cItem "
       "  From UserDef Where cClass = '存货' AND cItem Like '自定义项%' order by cID ",
       " Select cID ,(Case When ifnull(cItemName ,'') ='' Then cItem Else cItemName End) AS cItem "
       "  From UserDef Where cClass = '存货' AND cItem Like '自定义项%' order by cID "},
      {"SELECT * FROM Rpt_FldDef WHERE  [ORDEREx] <  100 AND ID = 12 ORDER BY [ORDEREx]",
       "SELECT * FROM Rpt_FldDef WHERE  [ORDEREx] <  100 AND ID = 12 ORDER BY [ORDEREx]"},
      {" INSERT INTO Rpt_FldDef(ID,   Width, Visible,ORDEREx) VALUES (12,'80',-1,3)",
       " INSERT INTO Rpt_FldDef(ID,   Width, Visible,ORDEREx) VALUES (12,'80',-1,3)"},
      {" UPDATE Rpt_FldDef SET Visible=-1,Width='80', ORDEREx = 3 WHERE ORDEREX =3 And ID = 12",
       " UPDATE Rpt_FldDef SET Visible=-1,Width='80', ORDEREx = 3 WHERE ORDEREX =3 And ID = 12"},
      {" AND (R.cDepCode IN ('01','02') OR ISNULL(R.cDepCode,'') = '')",
       " AND (R.cDepCode IN ('01','02') OR ifnull(R.cDepCode,'') = '')"},
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateTsqlToSqlite(c.tsql), c.sqlite) << c.tsql;
}

TEST(TsqlBridgeTest, RejectsWhatItCannotTranslateNamingTheConstruct) {
  struct Case {
    const char* tsql;
    const char* names;
  } cases[] = {
      {"SELECT TOP 10 cInvCode FROM Inventory", "TOP"},
      {"SELECT DISTINCT TOP (10) cInvCode FROM Inventory", "TOP"},
      {"SELECT SUBSTRING(cInvCode, 0, 3) FROM Inventory", "SUBSTRING(...)"},
      {"SELECT CHARINDEX('a', cInvCode) FROM Inventory", "CHARINDEX(...)"},
      {"SELECT GETDATE()", "GETDATE(...)"},
      {"SELECT DATEADD(day, 1, dDate) FROM RdRecord", "DATEADD(...)"},
      {"SELECT DATEDIFF(day, dDate, dVeriDate) FROM RdRecord", "DATEDIFF(...)"},
      {"SELECT RIGHT(cInvCode, 2) FROM Inventory", "RIGHT(...)"},
      {"SELECT CONVERT(VARCHAR(10), dDate, 120) FROM RdRecord", "CONVERT style 120"},
      {"SELECT CONVERT(INT, cCode, 102) FROM RdRecord", "CONVERT to INT"},
      {"SELECT CONVERT(VARCHAR(8), dDate, 102) FROM RdRecord", "CONVERT to VARCHAR(8)"},
      {"SELECT CONVERT(VARCHAR(10), dDate) FROM RdRecord", "CONVERT without a style"},
      {"SELECT ISNULL(a) FROM A", "ISNULL with 1 arguments"},
      {"SELECT LEFT(a, 1, 2) FROM A", "LEFT with 3 arguments"},
      {"SELECT 1 FROM A FULL JOIN B INNER JOIN C ON c1 ON c2", "FULL JOIN with a deferred ON"},
      {"SELECT 1 FROM A LEFT JOIN B FULL JOIN C ON c1 ON c2", "FULL JOIN inside a nested join"},
      {"SELECT 1 FROM A CROSS APPLY f(A.x)", "CROSS APPLY"},
      {"SELECT 1 FROM A OUTER APPLY f(A.x)", "OUTER APPLY"},
      {"SELECT 1 FROM A CROSS JOIN B", "CROSS JOIN"},
      {"SELECT 1 FROM A JOIN B USING (k)", "JOIN ... USING"},
      {"SELECT 1 FROM Inventory WITH (NOLOCK)", "table hint WITH (NOLOCK)"},
      {"SELECT 1 FROM Inventory I (NOLOCK)", "table hint (NOLOCK)"},
      {"SELECT 1 FROM A INNER HASH JOIN B ON c", "INNER HASH (a join hint"},
      {"SELECT (1 FROM A", "unbalanced parenthesis: '(' without ')'"},
      {"SELECT 1) FROM A", "unbalanced parenthesis: ')' without '('"},
      {"SELECT 'abc FROM A", "unterminated string literal"},
      {"SELECT [abc FROM A", "unterminated bracketed name"},
      {"SELECT 1 FROM A LEFT JOIN B WHERE 1=1", "a LEFT JOIN without its ON"},
      {"SELECT 1 FROM A JOIN B", "a JOIN without its ON"},
      {"SELECT 1 FROM A RIGHT OUTER JOIN B RIGHT OUTER JOIN C ON c1",
       "a RIGHT JOIN without its ON"},
      {"SELECT 1 FROM A ON A.k = 1", "an ON without a JOIN"},
      {"SELECT 1 FROM (A JOIN B ON c1 ON c2)", "an ON without a JOIN"},
      {"SELECT 1 FROM A LEFT JOIN ON 1=1", "'ON' where a table belongs"},
      {"SELECT 1 FROM A JOIN B ON WHERE 1=1", "an ON without a condition"},
      {"SELECT * FROM A RIGHT JOIN B ON A.k = B.k", "SELECT * over a RIGHT JOIN"},
      {"SELECT @x", "the variable @x"},
      {"SELECT 1 FROM #tmp", "the temporary table #tmp"},
      {"SELECT 1 FROM A WHERE A.c LIKE '[AB]%'", "the LIKE pattern '[AB]%'"},
      {"SELECT '1' + 1", "'+' between text and a number"},
      {"SELECT A.n * A.m + 'x' FROM A", "'+' of text mixed with arithmetic"},
      {"SELECT ISNULL(a,'') + b - 1 FROM A", "'+' of text mixed with arithmetic"},
      {"SELECT + 'x'", "unary '+'"},
      {"SELECT 1; SELECT 2", "more than one statement"},
      {"UPDATE A SET x = 1 FROM A JOIN B ON A.k = B.k", "UPDATE ... FROM"},
      {"SELECT a ? b", "the operator '?'"},
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

TEST(TsqlBridgeTest, ErrorDescriptionGivesThePosition) {
  try {
    TranslateTsqlToSqlite("SELECT a, SUBSTRING(b, 1, 2) FROM T");
    FAIL() << "accepted SUBSTRING";
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(),
              "cannot translate the function SUBSTRING(...) to SQLite (at byte 11)");
  }
}

// ---------------------------------------------------------------------------------------------
// Translated statements run on SQLite and give SQL Server's answers.

using Row = std::vector<std::string>;
constexpr const char* kNull = "NULL";

class TsqlBridgeSqliteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK); }
  void TearDown() override { sqlite3_close(db_); }

  // Runs native SQLite SQL (test set-up).
  void Exec(const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << sql;
    sqlite3_free(error);
  }

  // Translates `tsql`, runs it and returns its rows, all columns or the named ones.
  std::vector<Row> Run(const std::string& tsql, const std::vector<std::string>& columns = {}) {
    const std::string sql = TranslateTsqlToSqlite(tsql);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << "\n" << sql;
      return {};
    }
    std::vector<int> picked;
    const int count = sqlite3_column_count(stmt);
    for (const std::string& name : columns) {
      int index = -1;
      for (int i = 0; i < count; ++i) {
        if (name == sqlite3_column_name(stmt, i)) index = i;
      }
      EXPECT_GE(index, 0) << "no column " << name;
      picked.push_back(index < 0 ? 0 : index);
    }
    if (columns.empty()) {
      for (int i = 0; i < count; ++i) picked.push_back(i);
    }
    std::vector<Row> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      Row row;
      for (int i : picked) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row.push_back(text ? reinterpret_cast<const char*>(text) : kNull);
      }
      rows.push_back(row);
    }
    EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db_) << "\n" << sql;
    sqlite3_finalize(stmt);
    return rows;
  }

  static std::vector<Row> Sorted(std::vector<Row> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  sqlite3* db_ = nullptr;
};

TEST_F(TsqlBridgeSqliteTest, ExpressionsKeepSqlServerSemantics) {
  Exec(
      "CREATE TABLE V(id INTEGER, s TEXT, d TEXT, n REAL);"
      "INSERT INTO V VALUES (1, 'ab  ', '2024-03-05', 1.5), (2, NULL, NULL, NULL),"
      " (3, '  ab', '2024-12-31 10:20:00', 2);");
  struct Case {
    const char* expression;
    std::vector<std::string> values;  // rows 1, 2, 3
  } cases[] = {
      // LEN ignores trailing blanks only.
      {"LEN(s)", {"2", kNull, "4"}},
      {"LEN('中文 ')", {"2", "2", "2"}},
      // + on text concatenates and a NULL operand gives NULL.
      {"s + 'x'", {"ab  x", kNull, "  abx"}},
      {"ISNULL(s,'-') + '|'", {"ab  |", "-|", "  ab|"}},
      {"'<' + ISNULL(s,'') + ',' + ISNULL(d,'') + '>'",
       {"<ab  ,2024-03-05>", "<,>", "<  ab,2024-12-31 10:20:00>"}},
      {"IsNull(s, 'none')", {"ab  ", "none", "  ab"}},
      // CONVERT style 102 is yyyy.mm.dd; NULL stays NULL.
      {"CONVERT(VARCHAR(10), d, 102)", {"2024.03.05", kNull, "2024.12.31"}},
      {"ISNULL(CONVERT(VARCHAR(10), d, 102),'')", {"2024.03.05", "", "2024.12.31"}},
      {"LEFT(s, 3)", {"ab ", kNull, "  a"}},
      {"LEFT(s, LEN(s))", {"ab", kNull, "  ab"}},
      {"LEFT('ab', 5)", {"ab", "ab", "ab"}},
      // A literal followed by an N literal is a value and its column name, not one literal.
      {"'x'N'y'", {"x", "x", "x"}},
      // Numeric + stays addition.
      {"n + 1", {"2.5", kNull, "3.0"}},
      {"ISNULL(n, 0) + 1", {"2.5", "1", "3.0"}},
  };
  for (const Case& c : cases) {
    std::vector<Row> expected;
    for (const std::string& v : c.values) expected.push_back({v});
    EXPECT_EQ(Run(std::string("SELECT ") + c.expression + " FROM V ORDER BY id"), expected)
        << c.expression;
  }
}

TEST_F(TsqlBridgeSqliteTest, PrefixRangeComparesLeadingPartOfTheCode) {
  Exec(
      "CREATE TABLE Inventory(cInvCode TEXT, cInvCCode TEXT);"
      "INSERT INTO Inventory VALUES ('a','0'),('b','01'),('c','0101'),('d','02'),('e','03'),"
      "('f','0399'),('g','04'),('h','1'),('i',NULL);");
  struct Case {
    const char* condition;
    std::vector<Row> codes;
  } cases[] = {
      // Class range 01 to 03 takes the sub-classes of 01 to 03 as well.
      {" LEFT(I.cInvCCode,LEN('01')) >= '01' AND LEFT(I.cInvCCode,LEN('03')) <= '03'",
       {{"01"}, {"0101"}, {"02"}, {"03"}, {"0399"}}},
      // A9 to A1 is not exchanged and selects nothing.
      {" LEFT(I.cInvCCode,LEN('A9')) >= 'A9' AND LEFT(I.cInvCCode,LEN('A1')) <= 'A1'", {}},
      {" I.cInvCCode LIKE '0%'", {{"0"}, {"01"}, {"0101"}, {"02"}, {"03"}, {"0399"}, {"04"}}},
      {" I.cInvCCode = '02'", {{"02"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(std::string("SELECT I.cInvCCode FROM Inventory I WHERE (1=1) AND") + c.condition +
                  " ORDER BY I.cInvCCode"),
              c.codes)
        << c.condition;
  }
}

TEST_F(TsqlBridgeSqliteTest, DatabaseQualifiedTableReadsTheAttachedDatabase) {
  Exec(
      "ATTACH DATABASE ':memory:' AS VKSystem;"
      "CREATE TABLE VKSystem.VA_Period(cAcc_ID TEXT, iYear INTEGER, iId INTEGER, dBegin TEXT,"
      " dEnd TEXT);"
      "INSERT INTO VKSystem.VA_Period VALUES ('001', 2005, 1, '2005-01-01', '2005-01-31'),"
      " ('001', 2005, 2, '2005-02-01', '2005-02-28'), ('001', 2006, 1, '2006-01-01', "
      "'2006-01-31'), ('002', 2005, 1, '2005-01-01', '2005-01-31');"
      // A table of the same name in the main database must not be read.
      "CREATE TABLE main.VA_Period(cAcc_ID TEXT, iYear INTEGER, iId INTEGER, dBegin TEXT,"
      " dEnd TEXT);"
      "INSERT INTO main.VA_Period VALUES ('001', 2005, 9, 'x', 'y');");
  EXPECT_EQ(
      Sorted(Run("SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID "
                 "= '001' AND iYear = 2005")),
      (std::vector<Row>{{"1", "2005-01-01", "2005-01-31"}, {"2", "2005-02-01", "2005-02-28"}}));
}

TEST_F(TsqlBridgeSqliteTest, OuterJoinChainsKeepTheUnmatchedRowsSqlServerKeeps) {
  Exec(
      "CREATE TABLE A(k INTEGER, a TEXT); CREATE TABLE B(k INTEGER, b TEXT);"
      "CREATE TABLE C(k INTEGER, c TEXT);"
      "INSERT INTO A VALUES (1,'a1'),(3,'a3'),(4,'a4');"
      "INSERT INTO B VALUES (2,'b2'),(3,'b3');"
      "INSERT INTO C VALUES (3,'c3'),(4,'c4');");
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
      // (A RIGHT JOIN B ON A.k = B.k) LEFT JOIN C ON C.k = B.k.
      {"A RIGHT JOIN B ON A.k = B.k LEFT JOIN C ON C.k = B.k",
       {{kNull, "b2", kNull}, {"a3", "b3", "c3"}}},
      {"A RIGHT JOIN (B INNER JOIN C ON B.k = C.k) ON A.k = C.k", {{"a3", "b3", "c3"}}},
      {"(A RIGHT JOIN B ON A.k = B.k) RIGHT JOIN C ON C.k = B.k",
       {{kNull, kNull, "c4"}, {"a3", "b3", "c3"}}},
      // A LEFT JOIN (B LEFT JOIN C ON B.k = C.k) ON A.k = B.k, written flat.
      {"A LEFT JOIN B LEFT JOIN C ON B.k = C.k ON A.k = B.k",
       {{"a1", kNull, kNull}, {"a3", "b3", "c3"}, {"a4", kNull, kNull}}},
      // A LEFT JOIN (B LEFT JOIN C ON C.c = 'c4') ON A.k = B.k: C joins every B row, but no A
      // row that lacks a B row.
      {"A LEFT JOIN B LEFT JOIN C ON C.c = 'c4' ON A.k = B.k",
       {{"a1", kNull, kNull}, {"a3", "b3", "c4"}, {"a4", kNull, kNull}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sorted(Run(std::string("SELECT A.a, B.b, C.c FROM ") + c.from)), Sorted(c.rows))
        << c.from;
  }
}

TEST_F(TsqlBridgeSqliteTest, FormatRowsAreInsertedAndUpdated) {
  Exec(
      "CREATE TABLE Rpt_FldDef(ID INTEGER, Width TEXT, Visible INTEGER, ORDEREx INTEGER,"
      " Caption TEXT DEFAULT 'c');");
  Run(" INSERT INTO Rpt_FldDef(ID,   Width, Visible,ORDEREx) VALUES (12,'80',-1,3)");
  Run(" INSERT INTO Rpt_FldDef(ID,   Width, Visible,ORDEREx) VALUES (12,'60',-1,100)");
  Run(" UPDATE Rpt_FldDef SET Visible=0,Width='95', ORDEREx = 3 WHERE ORDEREX =3 And ID = 12");
  EXPECT_EQ(Run("SELECT * FROM Rpt_FldDef WHERE  [ORDEREx] <  100 AND ID = 12 ORDER BY [ORDEREx]"),
            (std::vector<Row>{{"12", "95", "0", "3", "c"}}));
}

// ---------------------------------------------------------------------------------------------
// The ledger detail statements on a few hand-made rows.

// The stock ledger detail statement as the component writes it, around its variable parts.
constexpr const char* kStockSelect =
    " SELECT DISTINCT R.ID,Rs.AutoID,VT.cVouchType, VT.cVouchName, R.cWhCode, Rs.cInvCode, "
    "dDate,dVeriDate, R.bRdFlag AS YL, ISNULL(R.cBusType,'') + ',' + ISNULL(R.cBusCode,'') AS "
    "cBusTypeCode, R.cCode,  ISNULL(DP.cDepName,'') + ',' + ISNULL(P1.cPersonName,'') AS ZY4, "
    "ISNULL(R.cHandler,'') + ',' + ISNULL(R.cMaker,'') AS ZY5, ISNULL(Rs.cBatch,'') + ',' + "
    "ISNULL(CONVERT(VARCHAR(10), Rs.dVDate, 102),'') AS ZY6, CASE WHEN I.iGroupType =0 THEN NULL "
    "WHEN I.iGroupType = 2 THEN (CASE WHEN Rs.iQuantity = 0.0 OR Rs.iNum = 0.0 THEN NULL ELSE "
    "Rs.iQuantity/Rs.iNum END) WHEN I.iGroupType = 1 THEN CU_G.iChangRate END AS iChangRate,  CASE "
    "WHEN R.bRdFlag = 1 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN Rs.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iInNum,  CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0)     ELSE NULL END AS iInQtty, "
    " CASE WHEN R.bRdFlag = 0 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN Rs.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iOutNum,  CASE WHEN R.bRdFlag = 0 THEN ISNULL(Rs.iQuantity,0) ELSE NULL END AS iOutQtty,  "
    "ISNULL(C.cCusAbbName,'') + ISNULL(V.cVenAbbName,'') AS ZY3,ISNULL(VT.cVouchName,'') + ',' + "
    "ISNULL(Rd.cRdName,'') AS ZY2, W.cWhName, R.cMemo,  R.cDefine1,R.cDefine2, R.cDefine3, "
    "R.cDefine4, R.cDefine5, R.cDefine6, R.cDefine7, R.cDefine8, R.cDefine9, R.cDefine10, "
    "R.cDefine11, R.cDefine12, R.cDefine13, R.cDefine14, R.cDefine15, R.cDefine16,Rs.cDefine22, "
    "Rs.cDefine23, Rs.cDefine24, Rs.cDefine25, Rs.cDefine26, Rs.cDefine27,Rs.cDefine28, "
    "Rs.cDefine29, Rs.cDefine30, Rs.cDefine31, Rs.cDefine32, Rs.cDefine33, Rs.cDefine34, "
    "Rs.cDefine35, Rs.cDefine36, Rs.cDefine37,  Rs.cFree1, Rs.cFree2, Rs.cFree3, Rs.cFree4, "
    "Rs.cFree5, Rs.cFree6 , Rs.cFree7, Rs.cFree8, Rs.cFree9, Rs.cFree10,  Rs.dCheckDate , "
    "Rs.cCheckCode, CheckPerson.cPersonName as cCheckPersonName, Rs.cRejectCode ";
constexpr const char* kStockFromBeforeAssUnit =
    " FROM Inventory I LEFT OUTER JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND "
    "CU_G.iNumber =";
constexpr const char* kStockJoinsAfterAssUnit =
    " RIGHT OUTER JOIN Vendor V RIGHT OUTER JOIN Customer C RIGHT OUTER JOIN RdRecord R LEFT OUTER "
    "JOIN Person P1 ON R.cPersonCode = P1.cPersonCode LEFT OUTER JOIN  Department DP ON R.cDepCode "
    "= DP.cDepCode LEFT OUTER JOIN Warehouse W ON R.cWhCode = W.cWhCode LEFT OUTER JOIN RdRecords "
    "Rs ON R.ID = Rs.ID LEFT OUTER JOIN VouchType VT ON R.cVouchType = VT.cVouchType LEFT OUTER "
    "JOIN Rd_Style Rd ON R.cRdCode = Rd.cRdCode ON C.cCusCode = R.cCusCode ON V.cVenCode = "
    "R.cVenCode ON I.cInvCode = Rs.cInvCode  left outer join Person CheckPerson on "
    "CheckPerson.cPersonCode = Rs.cCheckPersonCode ";
constexpr const char* kStockWhereBeforeStart = " WHERE (1=1) and (R.dDate>='";
constexpr const char* kStockAfterStart = "' Or R.bIsSTQc = 1) ";
constexpr const char* kStockBeforeInvCode =
    " and (not (R.cBusType = '假退料'and R.cVouchType = 11)) AND IsNull(R.bPuFirst,0) <> 1 AND "
    "Rs.cInvCode = '";
constexpr const char* kPositionSelectStart =
    "SELECT IP.AutoId, IP.RdID AS ID, IP.RdsID,IP.bRdFlag, IP.cWhCode, IP.cPosCode, I.cInvCode,";
constexpr const char* kPositionSelectANames =
    " dbo.VouchType.cVouchType, dbo.VouchType.cVouchName, R.cBusType, R.cSource,  R.cBusCode, "
    "R.cCode, dbo.Rd_Style.cRdName, dbo.Customer.cCusName, dbo.Vendor.cVenName, "
    "dbo.Person.cPersonName, dbo.Department.cDepName, ";
constexpr const char* kPositionSelectTail =
    " IP.dVDate, IP.cMemo,IP.cHandler,IP.dDate, CASE WHEN I.iGroupType =0 THEN NULL WHEN "
    "I.iGroupType = 2 THEN (CASE WHEN IP.iQuantity = 0.0 OR IP.iNum = 0.0 THEN NULL ELSE "
    "IP.iQuantity/IP.iNum END) WHEN I.iGroupType = 1 THEN CU_G.iChangRate END AS iChangRate,  CASE "
    "WHEN IP.bRdFlag = 1 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN IP.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iInNum,  CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0)  ELSE NULL END AS iInQtty,  "
    "CASE WHEN IP.bRdFlag = 0 THEN (CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN "
    "IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN IP.iQuantity/CU_G.iChangRate END) ELSE NULL END "
    "AS iOutNum,  CASE WHEN IP.bRdFlag = 0 THEN ISNULL(IP.iQuantity,0) ELSE NULL END AS iOutQtty ";
constexpr const char* kPositionFromA =
    " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN dbo.Rd_Style "
    "RIGHT OUTER JOIN  dbo.RdRecord R INNER JOIN dbo.RdRecords Rs ON R.ID = Rs.ID INNER JOIN "
    "dbo.InvPosition IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN  dbo.Inventory I ON IP.cInvCode = "
    "I.cInvCode LEFT OUTER JOIN dbo.Vendor ON R.cVenCode = dbo.Vendor.cVenCode ON  "
    "dbo.Rd_Style.cRdCode = R.cRdCode LEFT OUTER JOIN dbo.Customer ON R.cCusCode = "
    "dbo.Customer.cCusCode LEFT OUTER JOIN  dbo.VouchType ON R.cVouchType = "
    "dbo.VouchType.cVouchType ON dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN  dbo.Person "
    "ON R.cPersonCode = dbo.Person.cPersonCode ON CU_G.cGroupCode = I.cGroupCode AND CU_G.iNumber "
    "=";
constexpr const char* kPositionWhereA = " WHERE (ISNULL(IP.cSource, '') = '') ";
constexpr const char* kPositionSelectBNames =
    " '19' AS VouchType, '货位调整单' AS cVouchName, NULL AS cBusType, IP.cSource,  NULL AS "
    "cBusCode, R.cVouchCode AS cCode, NULL AS cRdName, NULL AS cCusName, NULL AS cVenName, "
    "dbo.Person.cPersonName, dbo.Department.cDepName, ";
constexpr const char* kPositionFromB =
    " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN  "
    "dbo.AdjustPVouch R INNER JOIN dbo.AdjustPVouchs Rs ON R.ID = Rs.ID INNER JOIN dbo.InvPosition "
    "IP ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN  dbo.Inventory I ON IP.cInvCode = I.cInvCode   ON "
    "dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN  dbo.Person ON R.cPersonCode = "
    "dbo.Person.cPersonCode ON CU_G.cGroupCode = I.cGroupCode AND CU_G.iNumber =";
constexpr const char* kPositionWhereB = " WHERE IP.cSource = '货位调整'";
constexpr const char* kPositionSelectCNames =
    " '18' AS cVouchType, '盘点单' AS cVouchName, NULL AS cBusType, IP.cSource,  NULL AS cBusCode, "
    "R.cCVCode AS cCode, NULL AS cRdName, NULL AS cCusName,NULL AS cVenName, "
    "dbo.Person.cPersonName, dbo.Department.cDepName, ";
constexpr const char* kPositionFromC =
    " FROM dbo.ComputationUnit CU_G RIGHT OUTER JOIN dbo.Department RIGHT OUTER JOIN  "
    "dbo.CheckVouch R INNER JOIN dbo.CheckVouchs Rs ON R.ID = Rs.ID INNER JOIN dbo.InvPosition IP "
    "ON Rs.AutoID = IP.RdsID LEFT OUTER JOIN  dbo.Inventory I ON IP.cInvCode = I.cInvCode   ON "
    "dbo.Department.cDepCode = R.cDepCode LEFT OUTER JOIN  dbo.Person ON R.cPersonCode = "
    "dbo.Person.cPersonCode ON CU_G.cGroupCode = I.cGroupCode AND CU_G.iNumber =";
constexpr const char* kPositionWhereC = " WHERE IP.cSource = '盘点' ";

// The summary statements, around their variable parts.
constexpr const char* kUnitName =
    " CASE WHEN I.iGroupType = 0 THEN NULL  WHEN I.iGrouptype = 2 THEN CU_A.cComUnitName  WHEN "
    "I.iGrouptype = 1 THEN CU_G.cComUnitName END ";
constexpr const char* kS2Select =
    " SELECT W.cWhCode, MAX(W.cWhName) AS cWhName, Pos.cPosCode, MAX(Pos.cPosName) AS cPosName, "
    "I.cInvCode, MAX(I.cInvAddCode) AS cInvAddCode, MAX(I.cInvName) AS cInvName, MAX(I.cInvStd) AS "
    "cInvStd, MAX(IC.cInvCName) AS cInvCName, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
constexpr const char* kS2AfterUnitName =
    ") AS cInvA_Unit,MAX(I.iTopSum) AS iTopSum, MAX(I.iSafeNum) AS iSafeNum, MAX(iLowSum) AS "
    "iLowSum, IP.cBatch, SUM( CASE WHEN ";
constexpr const char* kS2AfterBefore1 =
    " THEN (CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0) ELSE -ISNULL(IP.iQuantity,0) END) "
    "ELSE 0 END) AS iBeginQtty,  SUM( CASE WHEN ";
constexpr const char* kS2AfterBefore2 =
    " THEN (CASE WHEN IP.bRdFlag = 1 THEN 1 ELSE -1 END) * (CASE WHEN I.iGroupType = 0 THEN 0 WHEN "
    "I.iGroupType = 2 THEN IsNull(IP.iNum,0) WHEN I.iGRoupType = 1 THEN "
    "IP.iQuantity/CU_G.iChangRate END) ELSE 0 END) AS iBeginNum  ";
constexpr const char* kS2From =
    " FROM Inventory I INNER JOIN InvPosition IP ON I.cInvCode = IP.cInvCode LEFT OUTER JOIN "
    "ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND CU_G.iNumber = ";
constexpr const char* kS2AfterAssUnit =
    " LEFT OUTER JOIN ComputationUnit CU_A ON I.cAssComUnitCode = CU_A.cComunitCode LEFT OUTER "
    "JOIN Warehouse W ON IP.cWhCode = W.cWhCode LEFT OUTER JOIN Position Pos ON IP.cPosCode = "
    "Pos.cPosCode LEFT OUTER JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode LEFT OUTER JOIN "
    "ComputationUnit CU_M ON I.cComUnitCode = CU_M.cComunitCode  WHERE (1=1) ";
constexpr const char* kS2GroupBy = " GROUP BY W.cWhCode, I.cInvCode, Pos.cPosCode, IP.cBatch";
constexpr const char* kS1Select =
    " SELECT DISTINCT I.cInvCode,Rs.cBatch, MAX(I.cInvName) AS cInvName, MAX(I.cInvAddCode) AS "
    "cInvAddCode, MAX(I.cInvStd) AS cInvStd, MAX(CU_M.cComUnitName) AS cInvM_Unit, MAX(";
constexpr const char* kS1AfterUnitName =
    ") AS cInvA_Unit,  MAX(IC.cInvCCode) AS cInvCCode, MAX(IC.cInvCName) AS cInvCName, "
    "AVG(I.iSafeNum) AS iSafeNum, AVG(I.iTopSum) AS iTopSum, AVG(I.iLowSum) AS iLowSum,  SUM( CASE "
    "WHEN R.bISSTQc = 1 Or ";
constexpr const char* kS1AfterBefore1 =
    " THEN (CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0) ELSE -ISNULL(Rs.iQuantity,0) END) "
    "ELSE 0 END) AS iBeginQtty,  SUM( CASE WHEN R.bISSTQc = 1 Or ";
constexpr const char* kS1AfterBefore2 =
    " THEN (CASE WHEN R.bRdFlag = 1 THEN 1 ELSE -1 END) * (CASE WHEN I.iGroupType = 0 THEN 0 WHEN "
    "I.iGroupType = 2 THEN IsNull(Rs.iNum,0) WHEN I.iGRoupType = 1 THEN "
    "Rs.iQuantity/CU_G.iChangRate END) ELSE 0 END) AS iBeginNum  ";
constexpr const char* kS1From =
    " FROM Inventory I LEFT OUTER JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND "
    "CU_G.iNumber = ";
constexpr const char* kS1AfterAssUnit =
    " INNER JOIN RdRecords Rs ON I.cInvCode = Rs.cInvCode INNER JOIN RdRecord R ON Rs.ID = R.ID "
    "LEFT OUTER JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode LEFT OUTER JOIN Warehouse W "
    "ON R.cWhCode = W.cWhCode LEFT OUTER JOIN ComputationUnit CU_M ON I.cComUnitCode = "
    "CU_M.cComunitCode LEFT OUTER JOIN ComputationUnit CU_A ON I.cAssComUnitCode = "
    "CU_A.cComunitCode  WHERE (I.bInvBatch=1) AND (R.dDate>='";
constexpr const char* kS1AfterStart =
    "' Or R.bIsSTQc = 1)  and (not (R.cBusType = '假退料'and R.cVouchType = 11)) ";
constexpr const char* kS1GroupBy = " GROUP BY I.cInvCode,Rs.cBatch ";

struct StockDetailKeys {
  std::string ass_unit = "2";
  std::string start_period_date = "2024-01-01";
  std::string where = "(1=1)";
  std::string date_cond;
  std::string inv_code = "I001";
  bool by_batch = false;
  std::string batch;
  std::string auth_dep;
};

StockDetailKeys Keys(void (*set)(StockDetailKeys&)) {
  StockDetailKeys keys;
  set(keys);
  return keys;
}

std::string StockDetail(const StockDetailKeys& k) {
  std::string s = kStockSelect;
  s += kStockFromBeforeAssUnit + k.ass_unit + kStockJoinsAfterAssUnit;
  s += kStockWhereBeforeStart + k.start_period_date + kStockAfterStart;
  if (!k.where.empty()) s += " AND " + k.where;
  if (!k.date_cond.empty()) s += " AND " + k.date_cond;
  s += kStockBeforeInvCode + k.inv_code + "'";
  if (k.by_batch) s += " AND Rs.cBatch = '" + k.batch + "'";
  if (!k.auth_dep.empty()) {
    s += " AND (R.cDepCode IN (" + k.auth_dep + ") OR ISNULL(R.cDepCode,'') = '')";
  }
  return s + " ORDER BY R.dDate,R.ID ";
}

std::string PositionDetail(const std::string& ass_unit, const std::string& date_cond,
                           const std::string& batch) {
  std::string cols;
  for (int i = 1; i <= 16; ++i) {
    cols += "R.cDefine" + std::to_string(i) + ", Rs.cDefine" + std::to_string(i + 21) + ",";
  }
  for (int i = 1; i <= 10; ++i) cols += "IP.cFree" + std::to_string(i) + ", ";
  std::string filter;
  if (!date_cond.empty()) filter += " AND " + date_cond;
  filter += " AND IP.cWhCode='01' AND IP.cInvCode='I001' AND IP.cPosCode='P1'";
  filter += " AND ISNULL(IP.cBatch,'')= '" + batch + "'";
  const std::string head = kPositionSelectStart;
  const std::string tail = cols + kPositionSelectTail;
  return head + kPositionSelectANames + tail + kPositionFromA + ass_unit + kPositionWhereA +
         filter + " UNION " + head + kPositionSelectBNames + tail + kPositionFromB + ass_unit +
         kPositionWhereB + filter + " UNION " + head + kPositionSelectCNames + tail +
         kPositionFromC + ass_unit + kPositionWhereC + filter + " ORDER BY IP.dDate,IP.AutoId ";
}

std::string Numbered(const char* prefix, int from, int to) {
  std::string columns;
  for (int i = from; i <= to; ++i) columns += std::string(", ") + prefix + std::to_string(i);
  return columns;
}

class LedgerStatementTest : public TsqlBridgeSqliteTest {
 protected:
  void SetUp() override {
    TsqlBridgeSqliteTest::SetUp();
    const std::string header_defines = Numbered("cDefine", 1, 16);
    const std::string line_defines = Numbered("cDefine", 22, 37);
    const std::string frees = Numbered("cFree", 1, 10);
    Exec(
        "CREATE TABLE Inventory(cInvCode TEXT COLLATE NOCASE, iGroupType INTEGER,"
        " cGroupCode TEXT, cInvCCode TEXT, cInvAddCode TEXT, cInvName TEXT, cInvStd TEXT,"
        " iTopSum REAL, iSafeNum REAL, iLowSum REAL, cAssComUnitCode TEXT, cComUnitCode TEXT,"
        " bInvBatch INTEGER, iId INTEGER);"
        "CREATE TABLE ComputationUnit(cComunitCode TEXT, cGroupCode TEXT, iNumber INTEGER,"
        " iChangRate REAL, cComUnitName TEXT);"
        "CREATE TABLE InventoryClass(cInvCCode TEXT, cInvCName TEXT);"
        "CREATE TABLE Position(cPosCode TEXT, cPosName TEXT);"
        "CREATE TABLE Vendor(cVenCode TEXT, cVenName TEXT, cVenAbbName TEXT);"
        "CREATE TABLE Customer(cCusCode TEXT, cCusName TEXT, cCusAbbName TEXT);"
        "CREATE TABLE Person(cPersonCode TEXT, cPersonName TEXT);"
        "CREATE TABLE Department(cDepCode TEXT, cDepName TEXT);"
        "CREATE TABLE Warehouse(cWhCode TEXT, cWhName TEXT);"
        "CREATE TABLE VouchType(cVouchType TEXT, cVouchName TEXT);"
        "CREATE TABLE Rd_Style(cRdCode TEXT, cRdName TEXT);"
        "CREATE TABLE RdRecord(ID INTEGER, bRdFlag INTEGER, cVouchType TEXT, cBusType TEXT,"
        " cBusCode TEXT, cSource TEXT, cCode TEXT, cWhCode TEXT, dDate TEXT, dVeriDate TEXT,"
        " cDepCode TEXT, cPersonCode TEXT, cCusCode TEXT, cVenCode TEXT, cRdCode TEXT,"
        " cHandler TEXT, cMaker TEXT, cMemo TEXT, bIsSTQc INTEGER, bPuFirst INTEGER" +
        header_defines +
        ");"
        "CREATE TABLE RdRecords(AutoID INTEGER, ID INTEGER, cInvCode TEXT, cBatch TEXT,"
        " dVDate TEXT, iQuantity REAL, iNum REAL, cCheckPersonCode TEXT, dCheckDate TEXT,"
        " cCheckCode TEXT, cRejectCode TEXT" +
        line_defines + frees +
        ");"
        "CREATE TABLE AdjustPVouch(ID INTEGER, cVouchCode TEXT, cDepCode TEXT,"
        " cPersonCode TEXT" +
        header_defines +
        ");"
        "CREATE TABLE AdjustPVouchs(AutoID INTEGER, ID INTEGER" +
        line_defines + frees +
        ");"
        "CREATE TABLE CheckVouch(ID INTEGER, cCVCode TEXT, cDepCode TEXT, cPersonCode TEXT" +
        header_defines +
        ");"
        "CREATE TABLE CheckVouchs(AutoID INTEGER, ID INTEGER" +
        line_defines + frees +
        ");"
        "CREATE TABLE InvPosition(AutoId INTEGER, RdID INTEGER, RdsID INTEGER, bRdFlag INTEGER,"
        " cWhCode TEXT, cPosCode TEXT, cInvCode TEXT, cBatch TEXT, dVDate TEXT, cMemo TEXT,"
        " cHandler TEXT, dDate TEXT, iQuantity REAL, iNum REAL, cSource TEXT" +
        frees + ");");
    Exec(
        // I001 converts with unit group G1: unit 1 at 2, unit 2 at 10. I003 has no lines.
        "INSERT INTO Inventory VALUES ('I001', 1, 'G1', '01', 'A-1', 'Bolt', 'M6', 100, 10, 5,"
        " NULL, 'U0', 1, 1), ('I003', 0, NULL, '01', 'A-3', 'Nut', NULL, NULL, NULL, NULL, NULL,"
        " 'U0', 0, 3);"
        "INSERT INTO ComputationUnit VALUES ('U0', 'G1', 0, 1, 'piece'), ('U1', 'G1', 1, 2, "
        "'pair'),"
        " ('U2', 'G1', 2, 10, 'box');"
        "INSERT INTO InventoryClass VALUES ('01', 'Fasteners');"
        "INSERT INTO Position VALUES ('P1', 'Shelf 1'), ('P2', 'Shelf 2');"
        "INSERT INTO Vendor VALUES ('V1', 'Vendor One', 'VenA'), ('V2', 'Vendor Two', 'VenB');"
        "INSERT INTO Customer VALUES ('C1', 'Customer One', 'CustA'),"
        " ('C2', 'Customer Two', 'CustB');"
        "INSERT INTO Person VALUES ('E1', 'Zhang');"
        "INSERT INTO Department VALUES ('D1', 'Sales');"
        "INSERT INTO Warehouse VALUES ('01', 'Main');"
        "INSERT INTO VouchType VALUES ('01', '采购入库单'), ('32', '销售出库单');"
        "INSERT INTO Rd_Style VALUES ('11', '采购入库');"
        "INSERT INTO RdRecord(ID, bRdFlag, cVouchType, cBusType, cBusCode, cCode, cWhCode, dDate,"
        " dVeriDate, cDepCode, cPersonCode, cCusCode, cVenCode, cRdCode, cHandler, cMaker,"
        " bIsSTQc, bPuFirst) VALUES"
        " (1, 1, '01', '普通采购', 'B01', '0001', '01', '2024-01-05', '2024-01-06', 'D1', 'E1',"
        "  NULL, 'V1', '11', 'H', 'M', 0, NULL),"
        // Unknown department and warehouse, no person, a customer.
        " (2, 0, '32', NULL, NULL, '0002', '02', '2024-01-03', NULL, 'D9', NULL, 'C1', NULL,"
        "  NULL, NULL, 'M2', 0, 0),"
        // A notional material return of type 11: never in the ledger.
        " (3, 1, '11', '假退料', NULL, '0003', '01', '2024-01-04', NULL, NULL, NULL, NULL,"
        "  NULL, NULL, NULL, NULL, 0, NULL),"
        " (4, 1, '01', NULL, NULL, '0004', '01', '2024-01-04', NULL, NULL, NULL, NULL, NULL,"
        "  NULL, NULL, NULL, 0, 1),"
        // Before the stock start: only the opening-balance document counts.
        " (5, 1, '01', NULL, NULL, '0005', '01', '2023-12-01', NULL, NULL, NULL, NULL, NULL,"
        "  NULL, NULL, NULL, 0, NULL),"
        " (6, 1, '01', NULL, NULL, '0006', '01', '2023-12-01', NULL, NULL, NULL, NULL, NULL,"
        "  NULL, NULL, NULL, 1, NULL),"
        // A document without lines.
        " (7, 0, '32', NULL, NULL, '0007', '01', '2024-01-10', NULL, 'D1', NULL, NULL, NULL,"
        "  NULL, NULL, NULL, 0, NULL);"
        "INSERT INTO RdRecords(AutoID, ID, cInvCode, cBatch, dVDate, iQuantity, iNum,"
        " cCheckPersonCode) VALUES"
        " (10, 1, 'I001', 'L1', '2025-06-30', 5, NULL, 'E1'),"
        // An inventory that is not in the inventory table.
        " (11, 1, 'I002', NULL, NULL, 1, NULL, NULL),"
        " (20, 2, 'I001', NULL, NULL, 2, NULL, NULL),"
        " (30, 3, 'I001', NULL, NULL, 1, NULL, NULL),"
        " (40, 4, 'I001', NULL, NULL, 1, NULL, NULL),"
        " (50, 5, 'I001', NULL, NULL, 1, NULL, NULL),"
        " (60, 6, 'I001', NULL, NULL, 7, NULL, NULL);"
        "INSERT INTO AdjustPVouch(ID, cVouchCode, cDepCode, cPersonCode) VALUES"
        " (5, 'TZ01', 'D1', 'E1');"
        "INSERT INTO AdjustPVouchs(AutoID, ID) VALUES (500, 5);"
        "INSERT INTO CheckVouch(ID, cCVCode, cDepCode, cPersonCode) VALUES"
        " (7, 'PD01', NULL, 'E2');"
        "INSERT INTO CheckVouchs(AutoID, ID) VALUES (700, 7);"
        "INSERT INTO InvPosition(AutoId, RdID, RdsID, bRdFlag, cWhCode, cPosCode, cInvCode,"
        " cBatch, dDate, iQuantity, cSource) VALUES"
        " (100, 1, 10, 1, '01', 'P1', 'I001', NULL, '2024-01-05', 5, NULL),"
        " (101, 2, 20, 0, '01', 'P1', 'I001', '', '2024-01-03', 2, ''),"
        // Empty source but no document line behind it.
        " (102, 9, 99, 1, '01', 'P1', 'I001', NULL, '2024-01-04', 4, NULL),"
        " (103, 5, 500, 1, '01', 'P1', 'I001', '', '2024-01-03', 1, '货位调整'),"
        " (104, 7, 700, 0, '01', 'P1', 'I001', NULL, '2024-01-04', 3, '盘点'),"
        // Another source, another position, another batch, before the range.
        " (105, 1, 10, 1, '01', 'P1', 'I001', NULL, '2024-01-05', 6, '其他'),"
        " (106, 1, 10, 1, '01', 'P2', 'I001', NULL, '2024-01-05', 8, NULL),"
        " (107, 1, 10, 1, '01', 'P1', 'I001', 'L9', '2024-01-05', 9, NULL),"
        " (108, 1, 10, 1, '01', 'P1', 'I001', NULL, '2023-12-31', 1, NULL);");
  }
};

TEST_F(LedgerStatementTest, StockDetailFromClauseIsLeftDeepAndKeepsEveryDocumentLine) {
  const std::string from = std::string(kStockFromBeforeAssUnit) + "2" + kStockJoinsAfterAssUnit;
  const std::string tsql =
      "SELECT R.ID, Rs.AutoID, C.cCusAbbName, V.cVenAbbName, I.cInvCode, CU_G.iChangRate,"
      " CheckPerson.cPersonName" +
      from + " WHERE (1=1)";
  EXPECT_EQ(TranslateTsqlToSqlite(from),
            " FROM RdRecord R LEFT JOIN Person P1 ON R.cPersonCode = P1.cPersonCode LEFT JOIN "
            "Department DP ON R.cDepCode = DP.cDepCode LEFT JOIN Warehouse W ON R.cWhCode = "
            "W.cWhCode LEFT JOIN RdRecords Rs ON R.ID = Rs.ID LEFT JOIN VouchType VT ON "
            "R.cVouchType = VT.cVouchType LEFT JOIN Rd_Style Rd ON R.cRdCode = Rd.cRdCode LEFT "
            "JOIN Customer C ON C.cCusCode = R.cCusCode LEFT JOIN Vendor V ON V.cVenCode = "
            "R.cVenCode LEFT JOIN Inventory I ON I.cInvCode = Rs.cInvCode LEFT JOIN "
            "ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND CU_G.iNumber =2 LEFT JOIN "
            "Person CheckPerson ON CheckPerson.cPersonCode = Rs.cCheckPersonCode ");
  // Every document line once, a document without lines once; vendors, customers and inventories
  // without documents never.
  EXPECT_EQ(Sorted(Run(tsql)), Sorted({
                                   {"1", "10", kNull, "VenA", "I001", "10.0", "Zhang"},
                                   {"1", "11", kNull, "VenA", kNull, kNull, kNull},
                                   {"2", "20", "CustA", kNull, "I001", "10.0", kNull},
                                   {"3", "30", kNull, kNull, "I001", "10.0", kNull},
                                   {"4", "40", kNull, kNull, "I001", "10.0", kNull},
                                   {"5", "50", kNull, kNull, "I001", "10.0", kNull},
                                   {"6", "60", kNull, kNull, "I001", "10.0", kNull},
                                   {"7", kNull, kNull, kNull, kNull, kNull, kNull},
                               }));
}

TEST_F(LedgerStatementTest, StockDetailStatementGivesTheDocumentLinesOfOneInventory) {
  const std::vector<std::string> columns = {"ID",      "AutoID",  "cVouchName", "cBusTypeCode",
                                            "ZY4",     "ZY5",     "ZY6",        "ZY3",
                                            "ZY2",     "cWhName", "iChangRate", "iInNum",
                                            "iInQtty", "iOutNum", "iOutQtty",   "cCheckPersonName"};
  const Row line60 = {"6",           "60",   "采购入库单", ",",   ",",   ",",   ",",   "",
                      "采购入库单,", "Main", "10.0",       "0.7", "7.0", kNull, kNull, kNull};
  const Row line20 = {"2",           "20",  "销售出库单", ",",   ",",   ",M2", ",",   "CustA",
                      "销售出库单,", kNull, "10.0",       kNull, kNull, "0.2", "2.0", kNull};
  const Row line10 = {"1",
                      "10",
                      "采购入库单",
                      "普通采购,B01",
                      "Sales,Zhang",
                      "H,M",
                      "L1,2025.06.30",
                      "VenA",
                      "采购入库单,采购入库",
                      "Main",
                      "10.0",
                      "0.5",
                      "5.0",
                      kNull,
                      kNull,
                      "Zhang"};
  struct Case {
    const char* what;
    StockDetailKeys keys;
    std::vector<Row> rows;
  } cases[] = {
      // Lines 30 (notional return), 40 (bPuFirst), 50 (before the start) and 11 (another
      // inventory) are left out; the opening-balance document 6 comes first by date.
      {"by inventory", Keys([](StockDetailKeys&) {}), {line60, line20, line10}},
      {"by batch",
       Keys([](StockDetailKeys& k) {
         k.by_batch = true;
         k.batch = "L1";
       }),
       {line10}},
      {"date range",
       Keys([](StockDetailKeys& k) {
         k.date_cond = "R.dDate >= '2024-01-04' AND R.dDate <= '2024-01-31'";
       }),
       {line10}},
      // Documents without department always pass the department rights.
      {"department rights",
       Keys([](StockDetailKeys& k) { k.auth_dep = "'D1'"; }),
       {line60, line10}},
      {"another inventory", Keys([](StockDetailKeys& k) { k.inv_code = "I003"; }), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(StockDetail(c.keys), columns), c.rows) << c.what;
}

TEST_F(LedgerStatementTest, PositionDetailUnionGivesThePositionRecordsInDateOrder) {
  const std::string tsql =
      PositionDetail("1", "IP.dDate >= '2024-01-01' AND IP.dDate <= '2024-01-31'", "");
  const std::string sqlite = TranslateTsqlToSqlite(tsql);
  EXPECT_NE(
      sqlite.find(" FROM RdRecord R INNER JOIN RdRecords Rs ON R.ID = Rs.ID INNER JOIN InvPosition "
                  "IP ON Rs.AutoID = IP.RdsID LEFT JOIN Inventory I ON IP.cInvCode = I.cInvCode "
                  "LEFT JOIN Vendor ON R.cVenCode = Vendor.cVenCode LEFT JOIN Rd_Style ON "
                  "Rd_Style.cRdCode = R.cRdCode LEFT JOIN Customer ON R.cCusCode = "
                  "Customer.cCusCode LEFT JOIN VouchType ON R.cVouchType = VouchType.cVouchType "
                  "LEFT JOIN Department ON Department.cDepCode = R.cDepCode LEFT JOIN Person ON "
                  "R.cPersonCode = Person.cPersonCode LEFT JOIN ComputationUnit CU_G ON "
                  "CU_G.cGroupCode = I.cGroupCode AND CU_G.iNumber =1 WHERE (ifnull(IP.cSource, "
                  "'') = '') "),
      std::string::npos)
      << sqlite;
  EXPECT_NE(sqlite.find(" FROM AdjustPVouch R INNER JOIN AdjustPVouchs Rs ON R.ID = Rs.ID INNER "
                        "JOIN InvPosition IP ON Rs.AutoID = IP.RdsID LEFT JOIN Inventory I ON "
                        "IP.cInvCode = I.cInvCode LEFT JOIN Department ON Department.cDepCode = "
                        "R.cDepCode LEFT JOIN Person ON R.cPersonCode = Person.cPersonCode LEFT "
                        "JOIN ComputationUnit CU_G ON CU_G.cGroupCode = I.cGroupCode AND "
                        "CU_G.iNumber =1 WHERE IP.cSource = '货位调整'"),
            std::string::npos)
      << sqlite;
  EXPECT_EQ(sqlite.find("RIGHT"), std::string::npos) << sqlite;

  const std::vector<std::string> columns = {
      "AutoId",   "ID",         "cVouchType", "cVouchName", "cCode",   "cVenName", "cPersonName",
      "cDepName", "iChangRate", "iInNum",     "iInQtty",    "iOutNum", "iOutQtty"};
  // 102 (no document line), 105 (another source), 106 (another position), 107 (another batch)
  // and 108 (before the range) are left out; 100 and 103 have batch NULL and '' alike.
  EXPECT_EQ(Run(tsql, columns), (std::vector<Row>{
                                    {"101", "2", "32", "销售出库单", "0002", kNull, kNull, kNull,
                                     "2.0", kNull, kNull, "1.0", "2.0"},
                                    {"103", "5", "19", "货位调整单", "TZ01", kNull, "Zhang",
                                     "Sales", "2.0", "0.5", "1.0", kNull, kNull},
                                    {"104", "7", "18", "盘点单", "PD01", kNull, kNull, kNull, "2.0",
                                     kNull, kNull, "1.5", "3.0"},
                                    {"100", "1", "01", "采购入库单", "0001", "Vendor One", "Zhang",
                                     "Sales", "2.0", "2.5", "5.0", kNull, kNull},
                                }));
}

// Summary statement S2 (position ledger) with the condition texts of one reading.
std::string PositionSummary(const std::string& before, const std::string& having) {
  return std::string(kS2Select) + kUnitName + kS2AfterUnitName + before + kS2AfterBefore1 + before +
         kS2AfterBefore2 + kS2From + "1" + kS2AfterAssUnit + " AND (1=1)" + kS2GroupBy +
         " HAVING " + having;
}

// Summary statement S1 (stock ledger by batch).
std::string BatchSummary(const std::string& before, const std::string& having) {
  return std::string(kS1Select) + kUnitName + kS1AfterUnitName + before + kS1AfterBefore1 + before +
         kS1AfterBefore2 + kS1From + "1" + kS1AfterAssUnit + "2024-01-01" + kS1AfterStart +
         " AND (1=1)" + kS1GroupBy + " HAVING " + having;
}

TEST_F(LedgerStatementTest, PositionSummaryGroupsThePositionRecords) {
  const std::vector<std::string> columns = {"cWhCode",  "cPosCode",   "cInvCode",
                                            "cInvName", "cInvM_Unit", "cInvA_Unit",
                                            "cBatch",   "iBeginQtty", "iBeginNum"};
  auto opening = [](const std::string& before) {
    return "SUM( CASE WHEN " + before +
           " THEN (CASE WHEN IP.bRdFlag = 1 THEN ISNULL(IP.iQuantity,0) ELSE "
           "-ISNULL(IP.iQuantity,0) END) ELSE 0 END)";
  };
  auto activity = [](const std::string& in_range) {
    return "SUM(CASE WHEN " + in_range + " THEN 1 ELSE 0 END)";
  };
  {
    // All inventories: every group has activity in January; the opening balance of the NULL
    // batch on P1 is record 108 of December (1, that is 0.5 pairs).
    const std::string before = "IP.dDate < '2024-01-01'";
    const std::string in_range = "IP.dDate >= '2024-01-01' AND IP.dDate <= '2024-01-31'";
    EXPECT_EQ(
        Sorted(Run(PositionSummary(before, opening(before) + ">0 OR " + activity(in_range) + "> 0"),
                   columns)),
        Sorted({
            {"01", "P1", "I001", "Bolt", "piece", "pair", kNull, "1.0", "0.5"},
            {"01", "P1", "I001", "Bolt", "piece", "pair", "", "0", "0"},
            {"01", "P1", "I001", "Bolt", "piece", "pair", "L9", "0", "0"},
            {"01", "P2", "I001", "Bolt", "piece", "pair", kNull, "0", "0"},
        }));
  }
  {
    // With activity from the 5th: the '' batch (3rd only) drops out; P1's NULL batch opens
    // with 108, 102 and 104: 1 + 4 - 3.
    const std::string before = "IP.dDate < '2024-01-05'";
    const std::string in_range = "IP.dDate >= '2024-01-05' AND IP.dDate <= '2024-01-31'";
    EXPECT_EQ(Sorted(Run(PositionSummary(before, activity(in_range) + ">0"), columns)),
              Sorted({
                  {"01", "P1", "I001", "Bolt", "piece", "pair", kNull, "2.0", "1.0"},
                  {"01", "P1", "I001", "Bolt", "piece", "pair", "L9", "0", "0"},
                  {"01", "P2", "I001", "Bolt", "piece", "pair", kNull, "0", "0"},
              }));
  }
}

TEST_F(LedgerStatementTest, BatchSummaryGroupsTheDocumentLines) {
  const std::vector<std::string> columns = {"cInvCode",   "cBatch",    "cInvName",   "cInvM_Unit",
                                            "cInvA_Unit", "cInvCName", "iBeginQtty", "iBeginNum"};
  const std::string before = "R.dDate < '2024-01-01'";
  const std::string in_range = "R.dDate >= '2024-01-01' AND R.dDate <= '2024-01-31'";
  const std::string opening =
      "SUM( CASE WHEN R.bISSTQc = 1 Or " + before +
      " THEN (CASE WHEN R.bRdFlag = 1 THEN ISNULL(Rs.iQuantity,0) ELSE -ISNULL(Rs.iQuantity,0) "
      "END) ELSE 0 END)";
  const std::string activity =
      "SUM(CASE WHEN R.bISSTQc = 0 And " + in_range + " THEN 1 ELSE 0 END)";
  const std::string receipts =
      "Sum(Case When R.bISSTQc = 0 And " + in_range + " And R.bRdFlag =1 then 1 else 0 end)  ";
  const std::string issues =
      "Sum(Case When R.bISSTQc = 0 And " + in_range + " And R.bRdFlag = 0 then 1 else 0 end) ";
  // Lines of I001 read: 10 (batch L1, receipt), 20 (issue), 40 (receipt) and the opening
  // document's 60 (7, that is 3.5 pairs); 30 (notional return) and 50 (before the start) not.
  const Row l1 = {"I001", "L1", "Bolt", "piece", "pair", "Fasteners", "0", "0"};
  const Row no_batch = {"I001", kNull, "Bolt", "piece", "pair", "Fasteners", "7.0", "3.5"};
  EXPECT_EQ(Sorted(Run(BatchSummary(before, opening + "<>0 OR " + activity + "> 0"), columns)),
            Sorted({l1, no_batch}));
  // Received but not issued: the NULL batch has the issue of line 20.
  EXPECT_EQ(Run(BatchSummary(before, receipts + " > 0 AND " + issues + " = 0 "), columns),
            std::vector<Row>{l1});
}

}  // namespace
}  // namespace q9::platform::db
