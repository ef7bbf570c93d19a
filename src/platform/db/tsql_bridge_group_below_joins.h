// Rule "group below unique-key joins" of the T-SQL bridge, applied to a statement already in
// SQLite's dialect. In a grouped SELECT, a LEFT JOIN to a table D whose condition equates every
// column of one of D's unique keys (with a column of another table or a literal) adds at most one
// D row to each row and drops none. When D's columns are used only inside MAX/MIN (of D's columns
// alone), and nowhere in the WHERE, HAVING, GROUP BY or another join's condition, the other
// tables can be grouped first and D joined once per group:
//
//   SELECT k, MAX(D.n) AS n, SUM(L.q) AS q FROM I JOIN L ON ... LEFT JOIN D ON I.d = D.k
//   WHERE w GROUP BY I.k HAVING h
//   -> SELECT grouped.g1 AS k, +(D.n) AS n, grouped.a1 AS q FROM (SELECT I.k AS g1, I.d AS j1,
//      SUM(L.q) AS a1 FROM I JOIN L ON ... WHERE w GROUP BY I.k HAVING h) AS grouped
//      LEFT JOIN D ON grouped.j1 = D.k
//
// Every group then joins exactly the D row its lines joined, which needs the join's columns to be
// the same on all rows of a group: each is a grouping column, or a column of a table whose unique
// key (never NULL in the result, compared as the key compares) is grouped. A D whose columns are
// used nowhere is dropped. The equalities must find at most one D row: the same affinity on
// both sides, and a collation no coarser than the key's. Anything the rule does not recognise
// leaves the statement as it is.
#pragma once

#include <string>
#include <string_view>

#include "platform/db/tsql_bridge_schema_facts.h"

namespace q9::platform::db {

// `sql` with the rule applied, or `sql` itself where a precondition does not hold.
std::string GroupBelowUniqueKeyJoins(std::string_view sql, const SchemaFacts& facts);

}  // namespace q9::platform::db
