// ledger_bench: the ledger report's speed on a large demo company, as ratios measured in one run
// (absolute times on a shared machine are noise, ratios of interleaved runs much less so):
//   - OpenX and OpenPage of each ledger kind against the engine running the very statement the
//     component ran, directly through sqlite3 on a second connection with the same settings,
//     reading every column of every row (what materializing costs the engine);
//   - OpenX and OpenPage against a plain scan of the lines the ledger reads;
//   - Clone over recordsets of very different sizes;
//   - the memory of a materialized recordset against the raw size of its values;
//   - the T-SQL bridge's translation time.
// Prints markdown tables (see BENCHMARKS.md). Never run by the test suite.
#include <sqlite3.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/company_cache.h"
#include "component/iclskczt.h"
#include "platform/db/connection_string.h"
#include "platform/db/recordset.h"
#include "platform/db/sqlite_engine.h"
#include "platform/db/statement_gate.h"
#include "platform/db/tsql_bridge.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "support/reference_ledger.h"

namespace q9::bench {
namespace {

using platform::Variant;
using platform::db::Recordset;
using platform::db::RowSet;

// The speed rules of the bridge, measured one by one: none, each of the two text-only rules
// alone, both, with the rule that needs the schema's unique keys, and all of them (the engine's
// default: the re-grouping rule too). The last two are row-checked against the component.
constexpr unsigned kRuleSets[] = {
    0,
    platform::db::kRuleDistinctOverGroupBy,
    platform::db::kRuleLeftJoinsAhead,
    platform::db::kTextBridgeRules,
    platform::db::kTextBridgeRules | platform::db::kRuleGroupBelowUniqueKeyJoins,
    platform::db::kAllBridgeRules};
constexpr const char* kKindNames[] = {"stock by inventory", "stock by batch", "position"};
constexpr const char* kLineScan =
    "SELECT SUM(Rs.iQuantity) FROM RdRecords Rs JOIN RdRecord R ON Rs.ID = R.ID";
constexpr const char* kPositionScan = "SELECT SUM(IP.iQuantity) FROM InvPosition IP";

struct Options {
  std::vector<int64_t> lines;
  uint64_t seed = 20261206;
  std::string data_dir;
  int repeat = 5;
  int page_repeat = 20;
  std::string from = "2026-01-01";
  std::string to = "2026-03-31";
  bool plans = false;
};

// CPU time of this thread: on a machine shared with other work, wall-clock time mostly measures
// the other work. Everything measured here (component, SQLite, the direct runs) runs on this
// thread.
double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <typename F>
double Seconds(F&& f) {
  double start = ThreadCpuSeconds();
  f();
  return ThreadCpuSeconds() - start;
}

class Samples {
 public:
  void Add(double v) { v_.push_back(v); }
  bool empty() const { return v_.empty(); }
  double Median() const {
    std::vector<double> s = v_;
    std::sort(s.begin(), s.end());
    size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
  }
  double Min() const { return *std::min_element(v_.begin(), v_.end()); }
  double Max() const { return *std::max_element(v_.begin(), v_.end()); }

 private:
  std::vector<double> v_;
};

// What the engine does for a statement when nothing else is in the way: prepare, step every
// row, read every column value as its storage class gives it.
struct DirectResult {
  size_t rows = 0;
  double checksum = 0;
};

DirectResult RunDirect(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
      SQLITE_OK) {
    throw platform::db::SqliteError(db, "direct run");
  }
  DirectResult out;
  int columns = sqlite3_column_count(stmt);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    ++out.rows;
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          out.checksum += static_cast<double>(sqlite3_column_int64(stmt, c));
          break;
        case SQLITE_FLOAT:
          out.checksum += sqlite3_column_double(stmt, c);
          break;
        case SQLITE_NULL:
          break;
        default:
          sqlite3_column_text(stmt, c);
          out.checksum += sqlite3_column_bytes(stmt, c);
      }
    }
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw platform::db::SqliteError(db, "direct run");
  return out;
}

std::vector<std::string> QueryPlan(sqlite3* db, const std::string& sql) {
  std::string explain = "EXPLAIN QUERY PLAN " + sql;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, explain.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw platform::db::SqliteError(db, "explain");
  }
  // Rows: id, parent, notused, detail; indent by depth.
  std::vector<std::pair<int, int>> depth_of;  // id -> depth
  std::vector<std::string> lines;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    int id = sqlite3_column_int(stmt, 0);
    int parent = sqlite3_column_int(stmt, 1);
    int depth = 0;
    for (const auto& [i, d] : depth_of) {
      if (i == parent) depth = d + 1;
    }
    depth_of.emplace_back(id, depth);
    lines.push_back(std::string(static_cast<size_t>(depth) * 2, ' ') +
                    reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
  }
  sqlite3_finalize(stmt);
  return lines;
}

// The fastest statement a person would write on this schema for the rows of one summary: the
// lines are aggregated first by their own codes, walking the covering index in its order, and
// the dimensions (inventory, class, units, warehouse, position) are joined once per group. The
// position ledger groups by the warehouse and position of the joined tables, which are NULL when
// a record's code has no row there: the records are grouped by their own codes, and only the
// groups whose warehouse or position is missing are grouped again. `from`/`to` are the query
// range, `start` the stock module's first date, `aux_unit` the unit number shown as auxiliary.
// The auxiliary quantity of a unit-group inventory is the sum of the quantities divided once by
// the rate (the component divides each line, so the two agree to rounding), and it is NULL, as
// the component's, when the unit is missing and every line belongs to the opening balance.
std::string BestSql(int kind, const std::string& from, const std::string& to,
                    const std::string& start, int aux_unit) {
  const std::string f = "'" + from + "'";
  const std::string t = "'" + to + "'";
  const std::string unit = std::to_string(aux_unit);
  if (kind == 2) {
    const std::string opening = "IP.dDate < " + f;
    const std::string sign = "(CASE WHEN IP.bRdFlag = 1 THEN 1 ELSE -1 END)";
    const std::string g =
        "SELECT IP.cWhCode AS wh, IP.cInvCode AS inv, IP.cPosCode AS pos, IP.cBatch AS batch, "
        "SUM(CASE WHEN " +
        opening + " THEN " + sign +
        " * ifnull(IP.iQuantity, 0) ELSE 0 END) AS q, "
        "SUM(CASE WHEN " +
        opening + " THEN " + sign +
        " * ifnull(IP.iNum, 0) ELSE 0 END) AS n, "
        "SUM(CASE WHEN " +
        opening + " THEN " + sign +
        " * IP.iQuantity ELSE 0 END) AS gq, "
        "SUM(CASE WHEN " +
        opening +
        " THEN 0 ELSE 1 END) AS later, "
        "SUM(CASE WHEN IP.dDate >= " +
        f + " AND IP.dDate <= " + t +
        " THEN 1 ELSE 0 END) AS moved "
        "FROM InvPosition IP GROUP BY IP.cInvCode, IP.cWhCode, IP.cPosCode, IP.cBatch";
    const std::string j =
        "SELECT W.cWhCode AS cWhCode, W.cWhName AS cWhName, Pos.cPosCode AS cPosCode, "
        "Pos.cPosName AS cPosName, G.inv, G.batch, G.q, G.n, G.gq, G.later, G.moved "
        "FROM G LEFT JOIN Warehouse W ON G.wh = W.cWhCode LEFT JOIN Position Pos ON G.pos = "
        "Pos.cPosCode";
    auto columns = [&](const std::string& q, const std::string& n, const std::string& gq,
                       const std::string& later, const std::string& wh_name,
                       const std::string& pos_name) {
      return "SELECT J.cWhCode, " + wh_name + ", J.cPosCode, " + pos_name +
             ", I.cInvCode, I.cInvAddCode, I.cInvName, I.cInvStd, IC.cInvCName, "
             "CU_M.cComUnitName, CASE WHEN I.iGroupType = 0 THEN NULL WHEN I.iGroupType = 2 "
             "THEN CU_A.cComUnitName WHEN I.iGroupType = 1 THEN CU_G.cComUnitName END, "
             "I.iTopSum, I.iSafeNum, I.iLowSum, J.batch, " +
             q + ", CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN " + n +
             " WHEN I.iGroupType = 1 THEN CASE WHEN CU_G.iChangRate IS NULL THEN CASE WHEN " +
             later + " > 0 THEN 0 END ELSE " + gq +
             " / CU_G.iChangRate END END "
             "FROM J INNER JOIN Inventory I ON J.inv = I.cInvCode "
             "LEFT JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND CU_G.iNumber "
             "= " +
             unit +
             " LEFT JOIN ComputationUnit CU_A ON I.cAssComUnitCode = CU_A.cComunitCode "
             "LEFT JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode "
             "LEFT JOIN ComputationUnit CU_M ON I.cComUnitCode = CU_M.cComunitCode ";
    };
    return "WITH G AS (" + g + "), J AS (" + j + ") " +
           columns("J.q", "J.n", "J.gq", "J.later", "J.cWhName", "J.cPosName") +
           "WHERE J.cWhCode IS NOT NULL AND J.cPosCode IS NOT NULL AND (J.q > 0 OR J.moved > 0) "
           "UNION ALL " +
           columns("SUM(J.q)", "SUM(J.n)", "SUM(J.gq)", "SUM(J.later)", "MAX(J.cWhName)",
                   "MAX(J.cPosName)") +
           "WHERE J.cWhCode IS NULL OR J.cPosCode IS NULL "
           "GROUP BY J.cWhCode, I.cInvCode, J.cPosCode, J.batch "
           "HAVING SUM(J.q) > 0 OR SUM(J.moved) > 0";
  }
  const bool by_batch = kind == 1;
  const std::string opening = "(R.bISSTQc = 1 OR R.dDate < " + f + ")";
  const std::string sign = "(CASE WHEN R.bRdFlag = 1 THEN 1 ELSE -1 END)";
  const std::string lines =
      std::string("SELECT ") +
      (by_batch ? "B.cInvCode AS inv, Rs.cBatch AS batch, " : "Rs.cInvCode AS inv, ") +
      "SUM(CASE WHEN " + opening + " THEN " + sign +
      " * ifnull(Rs.iQuantity, 0) ELSE 0 END) AS q, "
      "SUM(CASE WHEN " +
      opening + " THEN " + sign +
      " * ifnull(Rs.iNum, 0) ELSE 0 END) AS n, "
      "SUM(CASE WHEN " +
      opening + " THEN " + sign +
      " * Rs.iQuantity ELSE 0 END) AS gq, "
      "SUM(CASE WHEN " +
      opening +
      " THEN 0 ELSE 1 END) AS later, "
      "SUM(CASE WHEN R.bISSTQc = 0 AND R.dDate >= " +
      f + " AND R.dDate <= " + t +
      " THEN 1 ELSE 0 END) AS moved "
      "FROM " +
      (by_batch ? "Inventory B INNER JOIN RdRecords Rs ON B.cInvCode = Rs.cInvCode "
                  "AND B.bInvBatch = 1 "
                : "RdRecords Rs ") +
      "INNER JOIN RdRecord R ON Rs.ID = R.ID WHERE (R.dDate >= '" + start +
      "' OR R.bISSTQc = 1) AND NOT (R.cBusType = '假退料' AND R.cVouchType = 11) GROUP BY " +
      (by_batch ? "B.cInvCode, Rs.cBatch" : "Rs.cInvCode");
  return "WITH L AS (" + lines + ") SELECT I.cInvCode, " + (by_batch ? "L.batch, " : "") +
         "I.cInvName, I.cInvAddCode, I.cInvStd, CU_M.cComUnitName, CASE WHEN I.iGroupType = 0 "
         "THEN NULL WHEN I.iGroupType = 2 THEN CU_A.cComUnitName WHEN I.iGroupType = 1 THEN "
         "CU_G.cComUnitName END, IC.cInvCCode, IC.cInvCName, I.iSafeNum, I.iTopSum, I.iLowSum, "
         "L.q, CASE WHEN I.iGroupType = 0 THEN 0 WHEN I.iGroupType = 2 THEN L.n WHEN "
         "I.iGroupType = 1 THEN CASE WHEN CU_G.iChangRate IS NULL THEN CASE WHEN L.later > 0 "
         "THEN 0 END ELSE L.gq / CU_G.iChangRate END END "
         "FROM L INNER JOIN Inventory I ON L.inv = I.cInvCode "
         "LEFT JOIN ComputationUnit CU_G ON I.cGroupCode = CU_G.cGroupCode AND CU_G.iNumber = " +
         unit +
         " LEFT JOIN InventoryClass IC ON I.cInvCCode = IC.cInvCCode "
         "LEFT JOIN ComputationUnit CU_M ON I.cComUnitCode = CU_M.cComunitCode "
         "LEFT JOIN ComputationUnit CU_A ON I.cAssComUnitCode = CU_A.cComunitCode "
         "WHERE L.q <> 0 OR L.moved > 0";
}

// One value as both sides are compared: NULL, a number, or a text.
struct Cell {
  int kind = 0;  // 0 NULL, 1 number, 2 text
  double number = 0;
  std::string text;
  bool operator<(const Cell& o) const {
    if (kind != o.kind) return kind < o.kind;
    return kind == 1 ? number < o.number : text < o.text;
  }
};
using Table = std::vector<std::vector<Cell>>;

bool SameCell(const Cell& a, const Cell& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == 2) return a.text == b.text;
  if (a.kind == 1) {
    double scale = std::max({1.0, std::fabs(a.number), std::fabs(b.number)});
    return std::fabs(a.number - b.number) <= 1e-9 * scale;
  }
  return true;
}

Table RowsOf(const RowSet& rows) {
  Table out(rows.row_count());
  for (size_t r = 0; r < rows.row_count(); ++r) {
    for (size_t c = 0; c < rows.column_count(); ++c) {
      const Variant v = rows.Value(r, c);
      Cell cell;
      if (v.type() == platform::VarType::String) {
        cell.kind = 2;
        cell.text = v.string_ref();
      } else if (v.type() != platform::VarType::Null && v.type() != platform::VarType::Empty) {
        cell.kind = 1;
        cell.number = v.ToDouble();
      }
      out[r].push_back(std::move(cell));
    }
  }
  return out;
}

Table RowsOf(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw platform::db::SqliteError(db, "best statement");
  }
  Table out;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    out.emplace_back();
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      Cell cell;
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_NULL:
          break;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
          cell.kind = 1;
          cell.number = sqlite3_column_double(stmt, c);
          break;
        default:
          cell.kind = 2;
          cell.text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
      }
      out.back().push_back(std::move(cell));
    }
  }
  sqlite3_finalize(stmt);
  return out;
}

// Throws unless `best` holds the component's rows: the same number of rows and columns and,
// both sorted, every value the same (numbers to 1e-9 relative, for the sums added up in
// another order).
void CheckSameRows(Table component, Table best, const char* kind) {
  auto fail = [kind](const std::string& what) {
    throw std::runtime_error(std::string("the best statement for the ") + kind +
                             " summary differs from the component: " + what);
  };
  if (component.size() != best.size()) {
    fail(std::to_string(best.size()) + " rows against " + std::to_string(component.size()));
  }
  std::sort(component.begin(), component.end());
  std::sort(best.begin(), best.end());
  for (size_t r = 0; r < component.size(); ++r) {
    if (component[r].size() != best[r].size()) fail("row " + std::to_string(r) + " width");
    for (size_t c = 0; c < component[r].size(); ++c) {
      if (!SameCell(component[r][c], best[r][c])) {
        fail("sorted row " + std::to_string(r) + ", column " + std::to_string(c + 1));
      }
    }
  }
}

// The raw size of the values a recordset holds: 8 bytes for a number or a date (what the engine
// hands over), 1 for a Boolean or a Null, the UTF-8 bytes of a text.
size_t RawBytes(const RowSet& rows) {
  size_t bytes = 0;
  for (size_t r = 0; r < rows.row_count(); ++r) {
    for (size_t c = 0; c < rows.column_count(); ++c) {
      const Variant v = rows.Value(r, c);
      switch (v.type()) {
        case platform::VarType::String:
          bytes += v.string_ref().size();
          break;
        case platform::VarType::I2:
        case platform::VarType::I4:
        case platform::VarType::R8:
        case platform::VarType::Date:
          bytes += 8;
          break;
        default:
          bytes += 1;
      }
    }
  }
  return bytes;
}

// Nanoseconds per Clone of `rs`.
double CloneNanos(const Recordset& rs) {
  constexpr int kClones = 200000;
  size_t keep = 0;
  double s = Seconds([&] {
    for (int i = 0; i < kClones; ++i) keep += rs.Clone()->RecordCount() > 0 ? 1 : 0;
  });
  if (keep == 0) std::printf(" ");
  return s * 1e9 / kClones;
}

// The engine's translation of `tsql`: every rule, with the schema's keys.
double TranslateMicros(const std::string& tsql, const platform::db::SchemaFacts& facts) {
  constexpr int kRounds = 200;
  size_t keep = 0;
  double s = Seconds([&] {
    for (int i = 0; i < kRounds; ++i) {
      keep +=
          platform::db::TranslateTsqlToSqlite(tsql, platform::db::kAllBridgeRules, &facts).size();
    }
  });
  if (keep == 0) std::printf(" ");
  return s * 1e6 / kRounds;
}

double ScalarDouble(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    throw platform::db::SqliteError(db, sql);
  }
  double v = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_double(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  return v;
}

// The last statement the component runs in `call` (the ledger statement: the rights lists are
// read before it).
std::string LastStatement(const std::function<void()>& call) {
  std::string last;
  {
    platform::db::ScopedStatementHook hook(
        [&last](std::string_view sql, uint64_t) { last = std::string(sql); });
    call();
  }
  return last;
}

// A typical row for OpenPage: of rows spread evenly over the summary, the one whose detail has
// the median number of lines among those with any line (the middle row when none has one).
int32_t TypicalRow(component::IClsKCZT& k, const std::string& xml, int16_t iSelectTz, Variant& rs1,
                   size_t summary_rows) {
  constexpr size_t kSamples = 41;
  std::vector<std::pair<int32_t, int32_t>> lines_at;  // (detail lines, position)
  for (size_t i = 0; i < kSamples && i < summary_rows; ++i) {
    Variant position(static_cast<int32_t>(1 + i * summary_rows / std::min(kSamples, summary_rows)));
    Variant rs2;
    Variant msg;
    if (!k.OpenPage(xml, rs1, rs2, iSelectTz, &msg, &position)) {
      throw std::runtime_error("OpenPage failed: " + msg.ConcatText());
    }
    int32_t lines = platform::db::AsRecordset(rs2, "Rs2")->RecordCount();
    if (lines > 0) lines_at.emplace_back(lines, position.ToI4());
  }
  if (lines_at.empty()) return static_cast<int32_t>((summary_rows + 1) / 2);
  std::sort(lines_at.begin(), lines_at.end());
  return lines_at[lines_at.size() / 2].second;
}

struct KindFigures {
  int kind = 0;
  size_t summary_rows = 0;
  size_t detail_rows = 0;
  int32_t page_position = 0;
  Samples openx, openx_engine, best, scan, page, page_engine;
  Samples openx_over_engine, openx_over_best, openx_over_scan, page_over_engine;
  std::string best_sql;
  // The engine's time for the summary translated with the bridge's speed rules as kRuleSets.
  Samples by_rules[std::size(kRuleSets)];
  Samples grouped_over_best;
  double translate_summary_us = 0, translate_detail_us = 0;
  double clone_summary_ns = 0, clone_detail_ns = 0;
  size_t summary_bytes = 0, summary_raw = 0, detail_bytes = 0, detail_raw = 0;
  // SQLite's heap while the engine runs the summary: its peak above the level before, and the
  // connection's page cache after it.
  int64_t sqlite_peak = 0, page_cache = 0;
  std::vector<std::string> summary_plan, detail_plan, best_plan, grouped_plan;
  std::string grouped_sql;
};

struct SizeFigures {
  int64_t lines = 0;
  int64_t position_records = 0;
  bool generated = false;
  double generate_seconds = 0;
  double file_mib = 0;
  std::vector<KindFigures> kinds;
};

std::string Ms(double seconds) {
  char b[32];
  std::snprintf(b, sizeof b,
                seconds < 0.01 ? "%.2f"
                : seconds < 1  ? "%.1f"
                               : "%.0f",
                seconds * 1e3);
  return b;
}

std::string Fixed(double v, int digits) {
  char b[32];
  std::snprintf(b, sizeof b, "%.*f", digits, v);
  return b;
}

std::string Spread(const Samples& s, int digits) {
  return Fixed(s.Median(), digits) + " (" + Fixed(s.Min(), digits) + "–" + Fixed(s.Max(), digits) +
         ")";
}

KindFigures MeasureKind(int kind, component::IClsKCZT& k, sqlite3* engine_db,
                        const Options& options) {
  KindFigures f;
  f.kind = kind;
  testing::LedgerQuery query;
  query.kind = static_cast<testing::LedgerKind>(kind);
  query.from = options.from;
  query.to = options.to;
  const std::string xml = testing::ConditionDocument(query);
  const int16_t iSelectTz = static_cast<int16_t>(kind);
  const char* scan_sql = kind == 2 ? kPositionScan : kLineScan;

  // A first run of each warms the caches and captures the statements.
  Variant rs1;
  Variant msg;
  const std::string summary_tsql = LastStatement([&] {
    if (!k.OpenX(xml, rs1, iSelectTz, &msg)) {
      throw std::runtime_error("OpenX returned no rows: " + msg.ConcatText());
    }
  });
  // The engine's own translation: every rule, with the schema's keys.
  const platform::db::SchemaFacts facts = platform::db::ReadSchemaFacts(engine_db);
  auto translate = [&](const std::string& tsql) {
    return platform::db::TranslateTsqlToSqlite(tsql, platform::db::kAllBridgeRules, &facts);
  };
  const std::string summary_sql = translate(summary_tsql);
  auto summary = platform::db::AsRecordset(rs1, "Rs1");
  f.summary_rows = static_cast<size_t>(summary->RecordCount());
  f.page_position = TypicalRow(k, xml, iSelectTz, rs1, f.summary_rows);
  Variant position(f.page_position);
  Variant rs2;
  const std::string detail_tsql = LastStatement([&] {
    if (!k.OpenPage(xml, rs1, rs2, iSelectTz, &msg, &position)) {
      throw std::runtime_error("OpenPage failed: " + msg.ConcatText());
    }
  });
  const std::string detail_sql = translate(detail_tsql);
  auto detail = platform::db::AsRecordset(rs2, "Rs2");
  f.detail_rows = static_cast<size_t>(detail->RecordCount());
  RunDirect(engine_db, summary_sql);
  RunDirect(engine_db, detail_sql);
  ScalarDouble(engine_db, scan_sql);

  std::vector<std::string> rule_sql;
  for (unsigned rules : kRuleSets) {
    rule_sql.push_back(platform::db::TranslateTsqlToSqlite(summary_tsql, rules, &facts));
    if (RunDirect(engine_db, rule_sql.back()).rows != f.summary_rows) {
      throw std::runtime_error("the summary translated with rules " + std::to_string(rules) +
                               " returned another row count");
    }
  }
  // The best hand-written statement must give the component's rows before it is timed.
  const size_t start_at = summary_tsql.find("R.dDate>='");
  const std::string start =
      start_at == std::string::npos ? "" : summary_tsql.substr(start_at + 10, 10);
  f.best_sql = BestSql(kind, options.from, options.to, start, query.aux_unit);
  CheckSameRows(RowsOf(*summary->rows()), RowsOf(engine_db, f.best_sql), kKindNames[kind]);
  // So must the summary grouped, and re-grouped, below its unique-key joins (numbers to 1e-9
  // relative: the re-grouped sums add partial sums, in another order).
  for (size_t r = std::size(kRuleSets) - 2; r < std::size(kRuleSets); ++r) {
    CheckSameRows(RowsOf(*summary->rows()), RowsOf(engine_db, rule_sql[r]), kKindNames[kind]);
  }
  RunDirect(engine_db, f.best_sql);

  if (RunDirect(engine_db, summary_sql).rows != f.summary_rows ||
      RunDirect(engine_db, detail_sql).rows != f.detail_rows) {
    throw std::runtime_error("the direct runs returned other row counts than the component");
  }

  for (int i = 0; i < options.repeat; ++i) {
    double scan = Seconds([&] { ScalarDouble(engine_db, scan_sql); });
    Variant out;
    double comp = Seconds([&] { k.OpenX(xml, out, iSelectTz, &msg); });
    double eng = Seconds([&] { RunDirect(engine_db, summary_sql); });
    double best = Seconds([&] { RunDirect(engine_db, f.best_sql); });
    double grouped = 0;
    for (size_t r = 0; r < std::size(kRuleSets); ++r) {
      grouped = Seconds([&] { RunDirect(engine_db, rule_sql[r]); });
      f.by_rules[r].Add(grouped);
    }
    f.grouped_over_best.Add(grouped / best);
    f.best.Add(best);
    f.openx_over_best.Add(comp / best);
    f.scan.Add(scan);
    f.openx.Add(comp);
    f.openx_engine.Add(eng);
    f.openx_over_engine.Add(comp / eng);
    f.openx_over_scan.Add(comp / scan);
  }
  for (int i = 0; i < options.page_repeat; ++i) {
    Variant out;
    Variant pos(f.page_position);
    double comp = Seconds([&] { k.OpenPage(xml, rs1, out, iSelectTz, &msg, &pos); });
    double eng = Seconds([&] { RunDirect(engine_db, detail_sql); });
    f.page.Add(comp);
    f.page_engine.Add(eng);
    f.page_over_engine.Add(comp / eng);
  }

  {
    sqlite3_int64 before = 0, high = 0;
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &before, &high, 1);
    RunDirect(engine_db, summary_sql);
    sqlite3_int64 now = 0;
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &high, 0);
    int cache = 0, unused = 0;
    sqlite3_db_status(engine_db, SQLITE_DBSTATUS_CACHE_USED, &cache, &unused, 0);
    f.sqlite_peak = high - before;
    f.page_cache = cache;
  }
  f.translate_summary_us = TranslateMicros(summary_tsql, facts);
  f.translate_detail_us = TranslateMicros(detail_tsql, facts);
  f.clone_summary_ns = CloneNanos(*summary);
  f.clone_detail_ns = CloneNanos(*detail);
  f.summary_bytes = summary->rows()->ApproximateBytes();
  f.summary_raw = RawBytes(*summary->rows());
  f.detail_bytes = detail->rows()->ApproximateBytes();
  f.detail_raw = RawBytes(*detail->rows());
  if (options.plans) {
    f.summary_plan = QueryPlan(engine_db, summary_sql);
    f.detail_plan = QueryPlan(engine_db, detail_sql);
    f.best_plan = QueryPlan(engine_db, f.best_sql);
    f.grouped_sql = rule_sql.back();
    f.grouped_plan = QueryPlan(engine_db, f.grouped_sql);
  }
  return f;
}

SizeFigures MeasureSize(int64_t lines, const Options& options) {
  SizeFigures s;
  s.lines = lines;
  std::fprintf(stderr, "[%lld lines] preparing the company...\n", static_cast<long long>(lines));
  CachedCompany company = EnsureCompany(options.data_dir, lines, options.seed);
  s.generated = company.generated;
  s.generate_seconds = company.generate_seconds;
  s.file_mib = static_cast<double>(std::filesystem::file_size(company.company_db)) / (1 << 20);

  component::ScopedApartment apartment(std::make_shared<component::Apartment>());
  component::IClsKCZT k;
  std::string init_msg;
  if (!k.Init(
          Variant(platform::erp::MakeCallerLogin(company.connection_string, "demo", "001", 2026)),
          &init_msg)) {
    throw std::runtime_error("Init failed: " + init_msg);
  }
  auto engine = platform::db::SqliteEngine::Open(
      platform::db::ConnectionString::Parse(company.connection_string));
  s.position_records =
      static_cast<int64_t>(ScalarDouble(engine->handle(), "SELECT COUNT(*) FROM InvPosition"));
  for (int kind = 0; kind < 3; ++kind) {
    std::fprintf(stderr, "[%lld lines] %s...\n", static_cast<long long>(lines), kKindNames[kind]);
    s.kinds.push_back(MeasureKind(kind, k, engine->handle(), options));
  }
  return s;
}

const char* Verdict(bool met) { return met ? "met" : "NOT met"; }

void PrintSize(const SizeFigures& s, const Options& options) {
  std::printf("\n### %lld document lines, %lld position records\n\n",
              static_cast<long long>(s.lines), static_cast<long long>(s.position_records));
  std::printf(
      "Company database %.0f MiB%s. Query %s to %s, user demo (unrestricted); OpenX %d "
      "runs, OpenPage %d runs; CPU time of the benchmark thread in ms, ratios as median (min–max) "
      "of the interleaved runs.\n\n",
      s.file_mib,
      s.generated ? (" (generated in " + Fixed(s.generate_seconds, 0) + " s)").c_str()
                  : " (cached)",
      options.from.c_str(), options.to.c_str(), options.repeat, options.page_repeat);
  std::printf(
      "| kind | rows | OpenX | engine | best SQL | OpenX/best SQL (≤ 1.2) | OpenX/engine (≤ 1.10) "
      "| scan (reference) | OpenX/scan |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const KindFigures& f : s.kinds) {
    std::printf("| %s | %zu | %s | %s | %s | %s %s | %s %s | %s | %s |\n", kKindNames[f.kind],
                f.summary_rows, Ms(f.openx.Median()).c_str(), Ms(f.openx_engine.Median()).c_str(),
                Ms(f.best.Median()).c_str(), Spread(f.openx_over_best, 3).c_str(),
                Verdict(f.openx_over_best.Median() <= 1.2), Spread(f.openx_over_engine, 3).c_str(),
                Verdict(f.openx_over_engine.Median() <= 1.10), Ms(f.scan.Median()).c_str(),
                Fixed(f.openx_over_scan.Median(), 1).c_str());
  }
  std::printf(
      "\n| kind | engine, no speed rule | DISTINCT over GROUP BY only | LEFT JOINs ahead only | "
      "both | both + group below unique-key joins | that + re-group below unique-key joins | "
      "best SQL | that / best SQL |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const KindFigures& f : s.kinds) {
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", kKindNames[f.kind],
                Ms(f.by_rules[0].Median()).c_str(), Ms(f.by_rules[1].Median()).c_str(),
                Ms(f.by_rules[2].Median()).c_str(), Ms(f.by_rules[3].Median()).c_str(),
                Ms(f.by_rules[4].Median()).c_str(), Ms(f.by_rules[5].Median()).c_str(),
                Ms(f.best.Median()).c_str(), Spread(f.grouped_over_best, 3).c_str());
  }
  std::printf(
      "\n| kind | row | lines | OpenPage | engine | component's own µs | "
      "OpenPage/engine (≤ 1.10) | scan/OpenPage (≥ 100) |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const KindFigures& f : s.kinds) {
    double scan_over_page = f.scan.Median() / f.page.Median();
    std::printf("| %s | %d | %zu | %s | %s | %.0f | %s %s | %.0f %s |\n", kKindNames[f.kind],
                f.page_position, f.detail_rows, Ms(f.page.Median()).c_str(),
                Ms(f.page_engine.Median()).c_str(),
                (f.page.Median() - f.page_engine.Median()) * 1e6,
                Spread(f.page_over_engine, 3).c_str(), Verdict(f.page_over_engine.Median() <= 1.10),
                scan_over_page, Verdict(scan_over_page >= 100));
  }
  std::printf(
      "\n| kind | translate summary µs | translate detail µs | Clone ns (summary, "
      "detail) | summary bytes / raw | detail bytes / raw | SQLite heap peak above its level, "
      "page cache (KiB) |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (const KindFigures& f : s.kinds) {
    std::printf(
        "| %s | %.0f (%.3f%% of OpenX) | %.0f (%.2f%% of OpenPage) | %.0f, %.0f | "
        "%zu / %zu = %.2f | %zu / %zu = %.2f | %lld, %lld |\n",
        kKindNames[f.kind], f.translate_summary_us, f.translate_summary_us / 1e4 / f.openx.Median(),
        f.translate_detail_us, f.translate_detail_us / 1e4 / f.page.Median(), f.clone_summary_ns,
        f.clone_detail_ns, f.summary_bytes, f.summary_raw,
        static_cast<double>(f.summary_bytes) / static_cast<double>(f.summary_raw), f.detail_bytes,
        f.detail_raw, static_cast<double>(f.detail_bytes) / static_cast<double>(f.detail_raw),
        static_cast<long long>(f.sqlite_peak / 1024), static_cast<long long>(f.page_cache / 1024));
  }
  if (options.plans) {
    for (const KindFigures& f : s.kinds) {
      std::printf("\nBest hand-written statement for the %s summary:\n```\n%s\n```\n",
                  kKindNames[f.kind], f.best_sql.c_str());
      std::printf("Its plan:\n```\n");
      for (const auto& l : f.best_plan) std::printf("%s\n", l.c_str());
      std::printf("```\n");
      std::printf("\nPlan of the %s summary:\n```\n", kKindNames[f.kind]);
      for (const auto& l : f.summary_plan) std::printf("%s\n", l.c_str());
      std::printf(
          "```\nThe %s summary grouped and re-grouped below its unique-key joins:\n```\n%s\n```\n",
          kKindNames[f.kind], f.grouped_sql.c_str());
      std::printf("Its plan:\n```\n");
      for (const auto& l : f.grouped_plan) std::printf("%s\n", l.c_str());
      std::printf("```\nPlan of the %s detail:\n```\n", kKindNames[f.kind]);
      for (const auto& l : f.detail_plan) std::printf("%s\n", l.c_str());
      std::printf("```\n");
    }
  }
  std::fflush(stdout);
}

void PrintGrowth(const std::vector<SizeFigures>& sizes) {
  if (sizes.size() < 2) return;
  std::printf("\n### Growth with the number of lines (medians, ms)\n\n");
  std::printf(
      "| lines | kind | OpenX | engine | best SQL | OpenX/best SQL | scan | OpenPage | detail "
      "lines |\n");
  std::printf("|---:|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const SizeFigures& s : sizes) {
    for (const KindFigures& f : s.kinds) {
      std::printf("| %lld | %s | %s | %s | %s | %.3f | %s | %s | %zu |\n",
                  static_cast<long long>(s.lines), kKindNames[f.kind], Ms(f.openx.Median()).c_str(),
                  Ms(f.openx_engine.Median()).c_str(), Ms(f.best.Median()).c_str(),
                  f.openx_over_best.Median(), Ms(f.scan.Median()).c_str(),
                  Ms(f.page.Median()).c_str(), f.detail_rows);
    }
  }
}

std::vector<int64_t> ParseLines(const std::string& text) {
  std::vector<int64_t> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (!item.empty()) out.push_back(std::stoll(item));
  }
  return out;
}

}  // namespace
}  // namespace q9::bench

int main(int argc, char** argv) {
  using namespace q9::bench;
  Options options;
  const char* env_lines = std::getenv("BENCH_LINES");
  const char* env_data = std::getenv("BENCH_DATA_DIR");
  std::string lines_text = env_lines && *env_lines ? env_lines : "1000000";
  options.data_dir = env_data && *env_data ? env_data : "build/bench-data";

  CLI::App app{"Ledger report benchmark on a generated demo company"};
  app.add_option("--lines", lines_text,
                 "document lines, one size or a comma-separated list (default $BENCH_LINES or "
                 "1000000)");
  app.add_option("--seed", options.seed, "generator seed");
  app.add_option("--data", options.data_dir,
                 "directory caching the generated companies (default $BENCH_DATA_DIR or "
                 "build/bench-data)");
  app.add_option("--repeat", options.repeat, "OpenX runs per kind")->check(CLI::PositiveNumber);
  app.add_option("--page-repeat", options.page_repeat, "OpenPage runs per kind")
      ->check(CLI::PositiveNumber);
  app.add_option("--from", options.from, "first date of the query");
  app.add_option("--to", options.to, "last date of the query");
  app.add_flag("--plans", options.plans, "print the query plans");
  CLI11_PARSE(app, argc, argv);

  try {
    options.lines = ParseLines(lines_text);
    q9::platform::erp::RegisterErpSubstitutes();
    std::vector<SizeFigures> sizes;
    for (int64_t lines : options.lines) {
      sizes.push_back(MeasureSize(lines, options));
      PrintSize(sizes.back(), options);
    }
    PrintGrowth(sizes);
  } catch (const q9::platform::ComError& e) {
    std::fprintf(stderr, "ledger_bench: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ledger_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
