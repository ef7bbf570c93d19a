// Rule "re-group below unique-key joins" of the T-SQL bridge, applied to a statement already in
// SQLite's dialect. In a grouped SELECT, a LEFT JOIN to a table D on equalities covering every
// column of one of D's unique keys (same affinity on both sides, a collation no coarser than the
// key's) adds at most one D row to each row and drops none. When D's columns appear only as
// grouping columns or inside MAX/MIN of D's own columns, and nowhere in the WHERE, HAVING or
// another join's condition, the other tables are grouped first by the join's columns in place of
// D's grouping columns, D joins those groups and they are grouped again (L indexed on k, w):
//
//   SELECT W.w, MAX(W.n) AS n, I.k, SUM(L.q) AS q FROM I JOIN L ON I.k = L.k
//   LEFT JOIN W ON L.w = W.w WHERE c GROUP BY W.w, I.k HAVING SUM(L.q) > 0
//   -> SELECT W.w AS w, +(W.n) AS n, grouped.g1 AS k, SUM(grouped.a1) AS q FROM (SELECT I.k AS
//      g1, L.w AS g2, SUM(L.q) AS a1 FROM I INNER JOIN L ON I.k = L.k WHERE c GROUP BY L.k, L.w)
//      AS grouped LEFT JOIN W ON grouped.g2 COLLATE NOCASE = W.w GROUP BY W.w, grouped.g1
//      HAVING SUM(grouped.a1) > 0
//
// The join's columns are grouped under a collation no coarser than the comparison's, so all rows
// of an inner group join the same D row, each outer group is a union of inner groups and every
// aggregate is re-aggregated from its partials: SUM of SUMs, TOTAL of TOTALs, MAX of MAX and MIN
// of MIN (under the argument's collation), COUNT as the SUM of COUNTs. MAX/MIN of tables with one
// row per group (a grouped unique key, never NULL, or a unique-key join on such a row) is that
// row's value, in both queries. AVG, DISTINCT aggregates, an aggregate mixing D's columns with
// others, bare columns that are not grouped, subqueries, ORDER BY and LIMIT leave the statement
// as it is. The inner grouping follows the index of a table that stays inside whose leading
// columns match most terms (a term equated on every row by an inner join's or the WHERE's
// equality, of the same affinity and collation, is grouped by the indexed column: the groups are
// the same), so SQLite need not sort the rows; only the groups are sorted. Sums of real numbers
// add partial sums, so they may differ from the statement's in the last bits.
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
