// The T-SQL bridge: turns the statements the component writes for SQL Server into native SQLite
// SQL, so that the embedded engine can run them unchanged in meaning. The output uses only
// SQLite's built-in functions, so it also runs in the plain `sqlite3` shell and through the
// SQLite ODBC driver.
//
// Rewrites (nothing inside string literals, bracketed or quoted names or comments is touched;
// whitespace is kept wherever nothing is rewritten):
// - ISNULL(a, b) -> ifnull(a, b); LEFT(x, n) -> substr(x, 1, n); LEN(x) -> length(rtrim(x))
//   (SQL Server's LEN ignores trailing blanks).
// - CONVERT(VARCHAR(n), d, 102) with n >= 10 (or VARCHAR without a length, or NVARCHAR)
//   -> strftime('%Y.%m.%d', d); NULL stays NULL.
// - Text concatenation: a `+` whose left or right operand is a string literal or an ISNULL call
//   whose second argument is a string literal becomes `||` (NULL operands still give NULL).
//   Every other `+` stays arithmetic: the bridge does not know column types, so a `+` between two
//   text columns with no literal on either side is NOT recognised (the component never writes
//   one).
// - dbo.table -> table, db.dbo.table -> db.table, dbo.table.column -> table.column (any letter
//   case, also [dbo]); db..table -> db.table (the database must be attached under that name).
// - N'text' -> 'text' (after a blank when it follows another literal, which it would otherwise
//   run into); "name" -> [name].
// - FROM clauses are parsed into join trees with SQL Server's deferred-ON rule (each ON closes
//   the innermost open join), every `X RIGHT [OUTER] JOIN Y ON c` becomes `Y LEFT JOIN X ON c`,
//   and the tree is written left-deep: a join whose right operand is itself a join is written as
//   a parenthesised group, except that A LEFT JOIN (B LEFT JOIN C ON p) ON q is written
//   A LEFT JOIN B ON q LEFT JOIN C ON p when every column in q and p is qualified, q names no
//   table of C and p has an AND-ed comparison of a column of B with a column or a literal (the
//   rows are the same; SQLite would materialize the whole group on every run). Join keywords
//   come out as "INNER JOIN" / "LEFT JOIN" / "FULL JOIN".
//   Comments inside a FROM clause are dropped unless they stand within a join condition.
// - LIKE 'pattern' with one-character sets, SQL Server's way of writing a wildcard or bracket
//   that stands for itself ('01[_]A%', '[%]', '[[]'), -> the same pattern with '\' escapes and
//   ESCAPE '\' after it ('01\_A%' ESCAPE '\'); a '\' of the pattern is then written '\\'.
// - c = v1 OR c = v2 OR ... (one column, literals of one kind, the whole content of parentheses
//   or of a WHERE, ON, HAVING or WHEN condition) -> c IN (v1, v2, ...): SQLite nests each OR
//   one level deeper and parses at most 1000 levels, so long code lists would fail.
// - Speed rules (BridgeRule; the rows stay the same, only SQLite's work changes):
//   "DISTINCT over GROUP BY": SELECT DISTINCT ... GROUP BY g1, ..., gn loses its DISTINCT when
//   every gi is a column the select list returns as it is (no alias named like an unqualified
//   gi); "LEFT JOINs ahead": in a grouped SELECT without SELECT *, a LEFT JOIN moves ahead of the
//   INNER JOINs (and the LEFT JOINs between) when neither its condition nor theirs names the
//   other's tables and every column in both is qualified; "group below unique-key joins" (off
//   by default, and only with the schema's unique keys handed over): see
//   tsql_bridge_group_below_joins.h; "re-group below unique-key joins" (the same):
//   tsql_bridge_regroup_below_joins.h.
// Statements may be SELECTs (also UNIONs, subqueries, derived tables), INSERT, UPDATE or DELETE.
//
// Anything the bridge cannot translate faithfully is an error, never a silently different
// statement: TOP, functions other than the ones above and SUM, COUNT, AVG, MIN, MAX, ABS, UPPER,
// LOWER, LTRIM, RTRIM, COALESCE, NULLIF and CAST (e.g. SUBSTRING, CHARINDEX, GETDATE, DATEADD,
// DATEDIFF), CONVERT with another type or style, CROSS/OUTER APPLY, CROSS JOIN, table hints
// (WITH (NOLOCK)), a FULL JOIN with a deferred ON or inside a nested join, SELECT * over a RIGHT
// JOIN (the exchange would reorder its columns), variables and temporary tables, a LIKE pattern
// literal with a character class ([a-c], [^x]: SQL Server only) or with [ ] and an ESCAPE, '+' or
// COLLATE after it, `+` mixing text with a number or with
// other arithmetic, unbalanced parentheses, unterminated literals, names or comments, nested
// block comments, a JOIN without its ON or an ON without a JOIN, UPDATE ... FROM, and more than
// one statement.
//
// Known differences that remain (the schema is expected to avoid them): SQL Server compares text
// ignoring trailing blanks (and, under the ERP's collations, case; the SQLite schema declares
// text keys COLLATE NOCASE); integer AVG truncates on SQL Server.
#pragma once

#include <string>
#include <string_view>

#include "platform/db/sql_tokenizer.h"  // kTsqlBridgeSource
#include "platform/db/tsql_bridge_schema_facts.h"

namespace q9::platform::db {

// Rewrites that only change how fast SQLite runs a statement, never its rows; each applies only
// where its preconditions hold on the statement (see tsql_bridge.cpp). All are on by default;
// the fuzz target and the benchmark turn them off to compare.
enum BridgeRule : unsigned {
  // SELECT DISTINCT over a GROUP BY whose every column the select list returns: no DISTINCT.
  kRuleDistinctOverGroupBy = 1,
  // In a grouped SELECT, a LEFT JOIN goes ahead of the joins its condition does not name.
  kRuleLeftJoinsAhead = 2,
  // In a grouped SELECT, LEFT JOINs on a unique key whose columns are only aggregated with
  // MAX/MIN join once per group, after the grouping (tsql_bridge_group_below_joins.h). It needs
  // the schema's unique keys: it applies only where they are handed to the translation.
  kRuleGroupBelowUniqueKeyJoins = 4,
  // In a grouped SELECT, LEFT JOINs on a unique key whose columns are grouped join the groups of
  // the other tables, formed by the join's columns, and the groups are grouped again
  // (tsql_bridge_regroup_below_joins.h). It needs the schema's unique keys as well.
  kRuleRegroupBelowUniqueKeyJoins = 8,
  // The rules that work on the statement's text alone.
  kTextBridgeRules = kRuleDistinctOverGroupBy | kRuleLeftJoinsAhead,
  kAllBridgeRules =
      kTextBridgeRules | kRuleGroupBelowUniqueKeyJoins | kRuleRegroupBelowUniqueKeyJoins,
};

// Translates one statement in the component's SQL Server dialect into native SQLite SQL.
// Throws ComError with number kErrProvider and source kTsqlBridgeSource ("T-SQL bridge") whose
// description names the construct it cannot translate and its position (1-based byte offset).
std::string TranslateTsqlToSqlite(std::string_view tsql);
// The same with only the BridgeRule bits of `rules` applied.
std::string TranslateTsqlToSqlite(std::string_view tsql, unsigned rules);
// The same knowing the schema: the rules that need its unique keys apply only with `facts`
// (nullptr: the translation is the one above).
std::string TranslateTsqlToSqlite(std::string_view tsql, unsigned rules, const SchemaFacts* facts);

}  // namespace q9::platform::db
