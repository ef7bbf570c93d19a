// Rule "re-group below unique-key joins" of the T-SQL bridge, applied to a statement already in
// SQLite's dialect. In a grouped SELECT, a LEFT JOIN to a table D on equalities covering every
// column of one of D's unique keys (same affinity on both sides, a collation no coarser than the
// key's) adds at most one D row to each row and drops none. When D's columns appear only as
// grouping columns or inside MAX/MIN of D's own columns, and nowhere in the WHERE, HAVING or
// another join's condition, the other tables are grouped first by the join's columns in place of
// D's, D joins those groups and they are grouped again:
//
//   SELECT W.w, MAX(W.n) AS n, I.k, SUM(L.q) AS q FROM I JOIN L ON ... LEFT JOIN W ON L.w = W.w
//   WHERE c GROUP BY W.w, I.k HAVING SUM(L.q) > 0
//   -> SELECT W.w AS w, MAX(W.n) AS n, grouped.g2 AS k, SUM(grouped.a1) AS q FROM (SELECT
//      L.w AS g1, I.k AS g2, SUM(L.q) AS a1, SUM(L.q) AS a2 FROM I JOIN L ON ... WHERE c GROUP BY
//      L.w, I.k) AS grouped LEFT JOIN W ON grouped.g1 COLLATE NOCASE = W.w GROUP BY W.w,
//      grouped.g2 HAVING SUM(grouped.a2) > 0
//
// All rows of an inner group join the same D row (their join columns are equal under a grouping
// collation no coarser than the comparison's), so each outer group is the union of inner groups
// and every aggregate is re-aggregated from its partials: SUM of SUMs, TOTAL of TOTALs, MAX of
// MAX and MIN of MIN (under the argument's collation), COUNT as the SUM of COUNTs. AVG, DISTINCT
// aggregates, an aggregate mixing D's columns with others, bare columns that are not grouped,
// subqueries, ORDER BY and LIMIT leave the statement as it is. The inner grouping follows the
// index of a joined table that leads with most of its terms, so SQLite need not sort the rows
// before grouping them; only the groups are sorted. Sums of real numbers are added in another
// order and may differ in the last bits.
//
// With `group_below`, tables whose columns are only inside MAX/MIN (rule "group below unique-key
// joins") join the inner groups in the same pass; where no grouped table can move, the statement
// is the one of that rule (with `group_below`) or unchanged.
#pragma once

#include <string>
#include <string_view>

#include "platform/db/tsql_bridge_schema_facts.h"

namespace q9::platform::db {

// `sql` with the rule applied, or as described above where a precondition does not hold.
std::string RegroupBelowUniqueKeyJoins(std::string_view sql, const SchemaFacts& facts,
                                       bool group_below);

}  // namespace q9::platform::db
