#include "platform/db/tsql_bridge_group_below_joins.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/db/sql_tokenizer.h"
#include "platform/db/tsql_bridge_regroup_below_joins.h"

namespace q9::platform::db {

char AffinityOfDeclaredType(const std::string& declared) {
  std::string t;
  for (char c : declared) t += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (t.find("INT") != std::string::npos) return 'I';
  if (t.find("CHAR") != std::string::npos || t.find("CLOB") != std::string::npos ||
      t.find("TEXT") != std::string::npos) {
    return 'T';
  }
  if (t.empty() || t.find("BLOB") != std::string::npos) return 'B';
  if (t.find("REAL") != std::string::npos || t.find("FLOA") != std::string::npos ||
      t.find("DOUB") != std::string::npos) {
    return 'R';
  }
  return 'N';
}

namespace {

using Kind = SqlTokenKind;

std::string Upper(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return s;
}

// Words that are never a column where the rule looks for columns.
const std::set<std::string> kKeywords = {"CASE",   "WHEN", "THEN",    "ELSE", "END",    "AND",
                                         "OR",     "NOT",  "IS",      "NULL", "IN",     "LIKE",
                                         "ESCAPE", "GLOB", "BETWEEN", "AS",   "CAST",   "INTEGER",
                                         "REAL",   "TEXT", "NUMERIC", "BLOB", "ISNULL", "NOTNULL"};
const std::set<std::string> kAggregates = {"SUM", "TOTAL", "COUNT", "MAX", "MIN", "AVG"};

constexpr const char* kGrouped = "grouped";

struct Column {
  int table = -1;     // index into the FROM chain
  std::string name;   // upper-case
  std::size_t begin;  // first significant token (index into the significant tokens)
  std::size_t end;    // past the last
};

struct Entry {
  std::string table;  // upper-case
  std::string alias;  // upper-case; the table's name without one
  bool left = false;
  std::size_t begin = 0;  // its join keyword (the table name for the first)
  std::size_t end = 0;
  std::size_t on_begin = 0, on_end = 0;  // its condition
};

struct Call {
  std::size_t name, open, close;  // significant token indexes
  bool aggregate;
};

struct Item {
  std::size_t begin, end;  // the expression
  std::string alias;       // the name the column has, written after AS
  std::vector<Column> columns;
  std::vector<Call> calls;
};

class Rewriter {
 public:
  // `below`: tables only aggregated with MAX/MIN move; `regroup`: grouped tables move too.
  Rewriter(std::string_view sql, const SchemaFacts& facts, bool below, bool regroup)
      : sql_(sql), facts_(facts), below_(below), regroup_(regroup) {}

  std::optional<std::string> Run() {
    // A vertical tab separates words for the tokenizer but is an unknown character to SQLite:
    // a statement holding one fails, and must still fail after the rewrite dropped its part.
    if (sql_.find('\v') != std::string_view::npos) return std::nullopt;
    const std::vector<SqlToken> all = TokenizeSql(sql_);
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
      // SQLite reads a number run into a word ("1AND") as one unknown token: left to fail.
      if (all[i].kind == Kind::kNumber && all[i + 1].kind == Kind::kWord) return std::nullopt;
    }
    for (const SqlToken& t : all) {
      if (t.kind == Kind::kComment || t.kind == Kind::kBracketedName ||
          t.kind == Kind::kQuotedName) {
        return std::nullopt;
      }
      if (t.kind != Kind::kWhitespace) s_.push_back(t);
    }
    if (s_.empty() || !Word(0, "SELECT")) return std::nullopt;
    match_.assign(s_.size(), 0);
    std::vector<std::size_t> stack;
    for (std::size_t i = 0; i < s_.size(); ++i) {
      if (Op(i, "(")) stack.push_back(i);
      if (Op(i, ")")) {
        if (stack.empty()) return std::nullopt;
        match_[stack.back()] = i;
        match_[i] = stack.back();
        stack.pop_back();
      }
      if (i > 0 && Word(i, "SELECT")) return std::nullopt;  // subqueries: not looked into
    }
    if (!stack.empty() || !Clauses() || !Chain()) return std::nullopt;
    return Rewrite();
  }

 private:
  bool Word(std::size_t i, std::string_view upper) const {
    return i < s_.size() && s_[i].kind == Kind::kWord && Upper(s_[i].text) == upper;
  }
  bool Op(std::size_t i, std::string_view op) const {
    return i < s_.size() && s_[i].kind == Kind::kOperator && s_[i].text == op;
  }
  bool PlainWord(std::size_t i) const {
    return i < s_.size() && s_[i].kind == Kind::kWord && !kKeywords.count(Upper(s_[i].text));
  }
  // The statement's text from significant token `b` to the end of significant token `e - 1`.
  std::string Text(std::size_t b, std::size_t e) const {
    if (b >= e) return "";
    const std::size_t from = s_[b].offset;
    const std::size_t to = s_[e - 1].offset + s_[e - 1].text.size();
    return std::string(sql_.substr(from, to - from));
  }

  // Finds the top-level clauses; only SELECT [DISTINCT] ... FROM ... [WHERE] GROUP BY [HAVING].
  bool Clauses() {
    std::size_t i = 1;
    if (Word(i, "DISTINCT")) distinct_ = i++;
    if (Word(i, "ALL")) return false;
    items_begin_ = i;
    std::size_t from = 0, where = 0, group = 0, having = 0;
    for (; i < s_.size(); ++i) {
      if (Op(i, "(")) {
        i = match_[i];
        continue;
      }
      if (s_[i].kind == Kind::kOperator && (s_[i].text == ";" || s_[i].text == ")")) return false;
      if (s_[i].kind != Kind::kWord) continue;
      const std::string w = Upper(s_[i].text);
      if (w == "FROM" && !from) {
        from = i;
      } else if (w == "WHERE" && from && !where && !group) {
        where = i;
      } else if (w == "GROUP" && from && !group && Word(i + 1, "BY")) {
        group = i;
      } else if (w == "HAVING" && group && !having) {
        having = i;
      } else if (w == "ORDER" || w == "LIMIT" || w == "UNION" || w == "EXCEPT" ||
                 w == "INTERSECT" || w == "WINDOW" || w == "FROM" || w == "WHERE" || w == "GROUP" ||
                 w == "HAVING" || w == "SELECT" || w == "VALUES") {
        return false;
      }
    }
    if (!from || !group) return false;
    from_ = from;
    from_end_ = where ? where : group;
    where_ = where;
    group_ = group;
    having_ = having;
    return true;
  }

  // The FROM clause as a chain: T [AS] [a] { (INNER JOIN | LEFT [OUTER] JOIN | JOIN) T [AS] [a]
  // ON c }, every table known.
  bool Chain() {
    std::size_t i = from_ + 1;
    bool first = true;
    while (i < from_end_) {
      Entry e;
      e.begin = i;
      if (!first) {
        if (Word(i, "LEFT")) {
          e.left = true;
          ++i;
          if (Word(i, "OUTER")) ++i;
        } else if (Word(i, "INNER")) {
          ++i;
        }
        if (!Word(i, "JOIN")) return false;
        ++i;
      }
      if (!PlainWord(i) || Op(i + 1, ".")) return false;
      e.table = Upper(s_[i].text);
      e.alias = e.table;
      ++i;
      if (Word(i, "AS")) ++i;
      static const std::set<std::string> kJoinWords = {"INNER", "LEFT",  "JOIN",  "ON",
                                                       "CROSS", "FULL",  "RIGHT", "NATURAL",
                                                       "USING", "OUTER", "WHERE", "GROUP"};
      if (i < from_end_ && PlainWord(i) && !kJoinWords.count(Upper(s_[i].text))) {
        e.alias = Upper(s_[i].text);
        ++i;
      }
      if (first) {
        if (i < from_end_ && !Word(i, "INNER") && !Word(i, "LEFT") && !Word(i, "JOIN")) {
          return false;
        }
      } else {
        if (!Word(i, "ON")) return false;
        e.on_begin = ++i;
        for (; i < from_end_; ++i) {
          if (Op(i, "(")) i = match_[i];
          if (Word(i, "INNER") || Word(i, "LEFT") || Word(i, "JOIN") || Word(i, "CROSS") ||
              Word(i, "FULL") || Word(i, "RIGHT") || Word(i, "NATURAL")) {
            break;
          }
        }
        e.on_end = i;
        if (e.on_begin == e.on_end) return false;
      }
      e.end = i;
      if (!facts_.tables.count(e.table) || Upper(kGrouped) == e.alias ||
          Upper(kGrouped) == e.table) {
        return false;
      }
      for (const Entry& other : chain_) {
        if (other.alias == e.alias) return false;
      }
      chain_.push_back(e);
      first = false;
    }
    return !chain_.empty();
  }

  const ColumnFacts* Facts(const Column& c) const {
    const TableFacts& t = facts_.tables.at(chain_[c.table].table);
    auto it = t.columns.find(c.name);
    return it == t.columns.end() ? nullptr : &it->second;
  }

  // The columns and calls of [b, e); false where a name is not a known column.
  bool Scan(std::size_t b, std::size_t e, std::vector<Column>& columns,
            std::vector<Call>* calls) const {
    for (std::size_t i = b; i < e; ++i) {
      if (s_[i].kind != Kind::kWord) continue;
      const std::string w = Upper(s_[i].text);
      if (Op(i + 1, "(")) {
        if (w == "GROUP_CONCAT" || w == "FILTER" || w == "OVER" || w == "COUNT_BIG") return false;
        if (calls) {
          bool scalar = false;
          for (std::size_t k = i + 2; k < match_[i + 1]; ++k) {
            if (Op(k, "(")) k = match_[k];
            if (Op(k, ",")) scalar = true;
          }
          const bool aggregate = kAggregates.count(w) && !scalar;
          if (aggregate && (Word(i + 2, "DISTINCT") || Word(match_[i + 1] + 1, "FILTER") ||
                            Word(match_[i + 1] + 1, "OVER"))) {
            return false;
          }
          calls->push_back({i, i + 1, match_[i + 1], aggregate});
        }
        continue;
      }
      if (Op(i + 1, ".")) {
        if (i + 2 >= e || s_[i + 2].kind != Kind::kWord || Op(i + 3, ".")) return false;
        int table = -1;
        for (std::size_t k = 0; k < chain_.size(); ++k) {
          if (chain_[k].alias == w) table = static_cast<int>(k);
        }
        if (table < 0) return false;
        Column c{table, Upper(s_[i + 2].text), i, i + 3};
        if (!Facts(c)) return false;
        columns.push_back(c);
        i += 2;
        continue;
      }
      if (i > 0 && (Op(i - 1, ".") || Word(i - 1, "AS") || Word(i - 1, "COLLATE"))) continue;
      int table = -1;
      for (std::size_t k = 0; k < chain_.size(); ++k) {
        const TableFacts& t = facts_.tables.at(chain_[k].table);
        if (t.columns.count(w)) {
          if (table >= 0) return false;  // ambiguous
          table = static_cast<int>(k);
        }
      }
      if (table < 0) {
        if (!kKeywords.count(w) && w != "NOCASE" && w != "BINARY" && w != "RTRIM" &&
            w != "DISTINCT") {
          return false;
        }
        continue;
      }
      if (kKeywords.count(w)) return false;
      columns.push_back({table, w, i, i + 1});
    }
    return true;
  }

  static bool Same(const Column& a, const Column& b) {
    return a.table == b.table && a.name == b.name;
  }

  // The operands of the AND-ed equalities of [b, e), each a column or a literal; false when any
  // conjunct is something else (`strict`) or, otherwise, only the equalities are returned.
  struct Operand {
    std::optional<Column> column;
    std::size_t literal = 0;  // its token when not a column
  };
  bool Equalities(std::size_t b, std::size_t e, bool strict,
                  std::vector<std::pair<Operand, Operand>>& out) const {
    std::size_t start = b;
    for (std::size_t i = b; i <= e; ++i) {
      if (i < e && Op(i, "(")) {
        i = match_[i];
        continue;
      }
      if (i < e && Word(i, "OR")) return !strict ? (out.clear(), true) : false;
      if (i < e && !Word(i, "AND")) continue;
      // A conjunct [start, i): operand = operand.
      std::optional<std::pair<Operand, Operand>> eq;
      for (std::size_t k = start; k < i; ++k) {
        if (Op(k, "=") || Op(k, "==")) {
          std::optional<Operand> l = ParseOperand(start, k), r = ParseOperand(k + 1, i);
          if (l && r) eq = std::make_pair(*l, *r);
          break;
        }
      }
      if (eq) {
        out.push_back(*eq);
      } else if (strict) {
        return false;
      }
      start = i + 1;
    }
    return true;
  }
  std::optional<Operand> ParseOperand(std::size_t b, std::size_t e) const {
    if (e == b + 1 && (s_[b].kind == Kind::kNumber || s_[b].kind == Kind::kString)) {
      return Operand{std::nullopt, b};
    }
    std::vector<Column> cols;
    if (!Scan(b, e, cols, nullptr) || cols.size() != 1 || cols[0].begin != b || cols[0].end != e) {
      return std::nullopt;
    }
    return Operand{cols[0], 0};
  }

  // Every column of the table at `t` that an AND-ed equality of an inner join's condition, of
  // the WHERE or of its own join's condition compares: none of its result rows holds NULL there.
  bool NeverNull(const Column& c) const {
    if (Facts(c)->not_null) return true;
    auto compared = [&](std::size_t b, std::size_t e) {
      std::vector<std::pair<Operand, Operand>> eqs;
      Equalities(b, e, false, eqs);
      for (const auto& [l, r] : eqs) {
        if ((l.column && Same(*l.column, c)) || (r.column && Same(*r.column, c))) return true;
      }
      return false;
    };
    if (where_ && compared(where_ + 1, group_)) return true;
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if ((!chain_[k].left || static_cast<int>(k) == c.table) &&
          compared(chain_[k].on_begin, chain_[k].on_end)) {
        return true;
      }
    }
    return false;
  }

  std::optional<std::string> Rewrite() {
    // The grouping terms: columns only.
    std::vector<Column> group_terms;
    const std::size_t terms_begin = group_ + 2;
    const std::size_t terms_end = having_ ? having_ : s_.size();
    {
      std::size_t start = terms_begin;
      for (std::size_t i = terms_begin; i <= terms_end; ++i) {
        if (i < terms_end && Op(i, "(")) i = match_[i];
        if (i < terms_end && !Op(i, ",")) continue;
        std::optional<Operand> o = ParseOperand(start, i);
        if (!o || !o->column) return std::nullopt;
        group_terms.push_back(*o->column);
        start = i + 1;
      }
    }
    // The select items: each a grouping column or an expression with an alias.
    std::vector<Item> items;
    std::vector<std::string> aliases;
    {
      std::size_t start = items_begin_;
      for (std::size_t i = items_begin_; i <= from_; ++i) {
        if (i < from_ && Op(i, "(")) i = match_[i];
        if (i < from_ && !Op(i, ",")) continue;
        Item item{start, i, "", {}, {}};
        if (i >= start + 3 && Word(i - 2, "AS") && s_[i - 1].kind == Kind::kWord) {
          item.end = i - 2;
          item.alias = std::string(s_[i - 1].text);
          aliases.push_back(Upper(item.alias));
        }
        if (!Scan(item.begin, item.end, item.columns, &item.calls)) return std::nullopt;
        if (item.alias.empty()) {
          std::optional<Operand> o = ParseOperand(item.begin, item.end);
          if (!o || !o->column) return std::nullopt;  // SQLite would name it by its text
          item.alias = Facts(*o->column)->name;
        }
        items.push_back(std::move(item));
        start = i + 1;
      }
    }
    // Where else columns appear: the WHERE, the HAVING and the join conditions.
    std::vector<Column> where_columns, having_columns;
    std::vector<Call> having_calls;
    if (where_ && !Scan(where_ + 1, group_, where_columns, nullptr)) return std::nullopt;
    if (having_ && !Scan(having_ + 1, s_.size(), having_columns, &having_calls)) {
      return std::nullopt;
    }
    std::vector<std::vector<Column>> on_columns(chain_.size());
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!Scan(chain_[k].on_begin, chain_[k].on_end, on_columns[k], nullptr)) {
        return std::nullopt;
      }
    }
    // An alias of the select list that a WHERE, GROUP BY or HAVING could mean instead of a
    // column: not looked into.
    for (std::size_t i = from_; i < s_.size(); ++i) {
      if (s_[i].kind == Kind::kWord && !Op(i - 1, ".") && !Op(i + 1, ".") &&
          std::find(aliases.begin(), aliases.end(), Upper(s_[i].text)) != aliases.end()) {
        bool in_chain_names = false;
        for (const Entry& e : chain_) {
          if (e.alias == Upper(s_[i].text) || e.table == Upper(s_[i].text)) in_chain_names = true;
        }
        if (!in_chain_names) return std::nullopt;
      }
    }

    auto is_term = [&](const Column& c) {
      return std::any_of(group_terms.begin(), group_terms.end(),
                         [&](const Column& g) { return Same(g, c); });
    };
    // Tables whose every column is the same on all rows of a group: a unique key grouped.
    std::vector<bool> determined(chain_.size(), false);
    for (std::size_t k = 0; k < chain_.size(); ++k) {
      for (const UniqueKeyFacts& key : facts_.tables.at(chain_[k].table).unique_keys) {
        bool all = true;
        for (std::size_t n = 0; n < key.columns.size() && all; ++n) {
          const Column c{static_cast<int>(k), key.columns[n], 0, 0};
          const ColumnFacts* f = Facts(c);
          all = f && is_term(c) && NeverNull(c) &&
                (f->collation == key.collations[n] || f->collation == "BINARY");
        }
        if (all) determined[k] = true;
      }
    }

    // The candidates and, for each, the columns of other tables its condition compares.
    std::vector<bool> moved(chain_.size(), false), grouped(chain_.size(), false);
    std::vector<std::vector<Column>> join_columns(chain_.size());
    std::vector<std::vector<std::pair<Column, std::string>>> comparisons(chain_.size());
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      moved[k] = chain_[k].left && KeyJoin(k, join_columns[k], comparisons[k]);
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (std::size_t k = 1; k < chain_.size(); ++k) {
        if (!moved[k]) continue;
        const int d = static_cast<int>(k);
        bool ok = true;
        auto names_d = [&](const std::vector<Column>& cs) {
          return std::any_of(cs.begin(), cs.end(), [&](const Column& c) { return c.table == d; });
        };
        grouped[k] = names_d(group_terms);
        ok =
            !names_d(where_columns) && !names_d(having_columns) && (grouped[k] ? regroup_ : below_);
        for (std::size_t o = 1; o < chain_.size() && ok; ++o) {
          if (o != k && names_d(on_columns[o])) ok = false;
        }
        // A table used nowhere else is dropped: its condition's columns do not matter.
        // A grouped table's join columns group the inner rows in its place.
        const bool used = grouped[k] || Used(k, items);
        for (const Column& j : join_columns[k]) {
          if (used && (moved[j.table] || !(grouped[k] || is_term(j) || determined[j.table]))) {
            ok = false;
          }
        }
        // A grouping column's group must find the same rows as each of its values.
        for (const auto& [column, collation] : comparisons[k]) {
          const std::string& own = Facts(column)->collation;
          if (used && (grouped[k] || is_term(column)) && !determined[column.table] &&
              own != collation && own != "BINARY") {
            ok = false;
          }
        }
        // In the select list, D's columns only inside MAX/MIN of moved tables' columns alone,
        // each call a whole item: where it stands after a literal or IN, its replacement by a
        // bare expression could make a statement SQLite refuses into one it runs.
        for (const Item& item : items) {
          if (!ok) break;
          for (const Column& c : item.columns) {
            if (c.table != d) continue;
            const Call* in = Enclosing(item.calls, c.begin);
            if (!in && grouped[k] && is_term(c)) continue;
            if (!in || in->name != item.begin || in->close + 1 != item.end) {
              ok = false;
              break;
            }
            const std::string f = Upper(s_[in->name].text);
            if (f != "MAX" && f != "MIN") ok = false;
            for (const Column& other : item.columns) {
              if (other.begin > in->open && other.end <= in->close && !moved[other.table]) {
                ok = false;
              }
            }
          }
        }
        if (!ok) {
          moved[k] = false;
          changed = true;
        }
      }
    }
    if (std::none_of(moved.begin(), moved.end(), [](bool m) { return m; })) return std::nullopt;
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (moved[k] && grouped[k]) {
        return Regroup(group_terms, items, having_columns, having_calls, moved, grouped, determined,
                       join_columns);
      }
    }

    // The inner SELECT: grouping columns, the moved joins' columns, the other aggregates.
    std::string inner;
    auto add = [&](const std::string& text, const std::string& name) {
      inner += inner.empty() ? "SELECT " : ", ";
      inner += text + " AS " + name;
    };
    for (std::size_t n = 0; n < group_terms.size(); ++n) {
      add(Text(group_terms[n].begin, group_terms[n].end), "g" + std::to_string(n + 1));
    }
    std::vector<Column> exposed;  // join columns that are not grouping terms
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!moved[k] || !Used(k, items)) continue;
      for (const Column& j : join_columns[k]) {
        if (is_term(j) || std::any_of(exposed.begin(), exposed.end(),
                                      [&](const Column& x) { return Same(x, j); })) {
          continue;
        }
        exposed.push_back(j);
        add(Text(j.begin, j.end), "j" + std::to_string(exposed.size()));
      }
    }
    auto outer_name = [&](const Column& c) -> std::string {
      for (std::size_t n = 0; n < group_terms.size(); ++n) {
        if (Same(group_terms[n], c)) return std::string(kGrouped) + ".g" + std::to_string(n + 1);
      }
      for (std::size_t n = 0; n < exposed.size(); ++n) {
        if (Same(exposed[n], c)) return std::string(kGrouped) + ".j" + std::to_string(n + 1);
      }
      return "";
    };
    const std::vector<bool> fixed = Fixed(determined);
    std::string outer_items;
    int aggregates = 0;
    for (const Item& item : items) {
      std::string text;
      bool replaced = false;  // the last piece stands for a call or a column
      std::size_t i = item.begin;
      while (i < item.end) {
        const Call* call = nullptr;
        for (const Call& c : item.calls) {
          if (c.name == i && c.aggregate) call = &c;
        }
        const Column* column = nullptr;
        for (const Column& c : item.columns) {
          if (c.begin == i) column = &c;
        }
        std::string piece;
        std::size_t next = i + 1;
        if (call) {
          bool names_moved = false;
          for (const Column& c : item.columns) {
            if (c.begin > call->open && c.end <= call->close && moved[c.table]) {
              names_moved = true;
            }
          }
          const std::string f = Upper(s_[call->name].text);
          bool one = f == "MAX" || f == "MIN";
          for (const Column& c : item.columns) {
            if (c.begin > call->open && c.end <= call->close) one = one && fixed[c.table];
          }
          if (names_moved) {
            piece = "+(" + Text(call->open + 1, call->close) + ")";
          } else {
            const std::string name = "a" + std::to_string(++aggregates);
            add(one ? "+(" + Text(call->open + 1, call->close) + ")"
                    : Text(call->name, call->close + 1),
                name);
            piece = std::string(kGrouped) + "." + name;
          }
          next = call->close + 1;
        } else if (column && !moved[column->table]) {
          piece = outer_name(*column);
          if (piece.empty()) return std::nullopt;  // a column outside aggregates, not grouped
          next = column->end;
        } else if (column) {
          return std::nullopt;
        } else {
          piece = Text(i, i + 1);
        }
        Append(text, piece, i > item.begin && Spaced(i), replaced);
        replaced = call || column;
        i = next;
      }
      outer_items += outer_items.empty() ? "" : ", ";
      outer_items += text + " AS " + item.alias;
    }
    if (aggregates == 0 && group_terms.empty()) return std::nullopt;
    inner += " FROM " + Text(chain_[0].begin, chain_[0].end);
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!moved[k]) inner += " " + Text(chain_[k].begin, chain_[k].end);
    }
    if (where_) inner += " " + Text(where_, group_);
    inner += " " + Text(group_, s_.size());

    std::string out = distinct_ ? "SELECT DISTINCT " : "SELECT ";
    out += outer_items + " FROM (" + inner + ") AS " + kGrouped;
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!moved[k] || !Used(k, items)) continue;  // a table used nowhere is dropped
      out += JoinText(k, outer_name);
    }
    return out;
  }

  // The LEFT JOIN at `k` onto the inner groups, its other tables' columns named by `outer_name`.
  std::string JoinText(std::size_t k,
                       const std::function<std::string(const Column&)>& outer_name) const {
    const Entry& e = chain_[k];
    std::size_t name = e.begin;
    while (!Word(name, "JOIN")) ++name;
    std::string out = " LEFT JOIN " + Text(name + 1, e.on_begin) + " ";
    std::vector<Column> cs;
    Scan(e.on_begin, e.on_end, cs, nullptr);
    for (std::size_t i = e.on_begin; i < e.on_end;) {
      const Column* column = nullptr;
      for (const Column& c : cs) {
        if (c.begin == i) column = &c;
      }
      if (i > e.on_begin && s_[i - 1].offset + s_[i - 1].text.size() < s_[i].offset) out += ' ';
      if (column && static_cast<std::size_t>(column->table) != k) {
        out += outer_name(*column);
        // On the left it chose the comparison's collation: it still does.
        if (Op(column->end, "=") || Op(column->end, "==")) {
          out += " COLLATE " + Facts(*column)->collation;
        }
        i = column->end;
      } else {
        out += Text(i, i + 1);
        ++i;
      }
    }
    return out;
  }

  // True when blanks stand before significant token `i`.
  bool Spaced(std::size_t i) const {
    return s_[i - 1].offset + s_[i - 1].text.size() < s_[i].offset;
  }
  // Appends `piece` after a blank where the statement had one, or where a name written in place
  // of a call (`after_replaced`, or `piece` itself) would otherwise run into the next word or
  // number ("MAX(x)0" -> "grouped.a1 0"); pieces of the statement stay as they were.
  static void Append(std::string& text, const std::string& piece, bool spaced,
                     bool after_replaced) {
    auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    if (!text.empty() && !piece.empty() &&
        (spaced || (after_replaced && word(text.back()) && word(piece[0])))) {
      text += ' ';
    }
    text += piece;
  }

  static bool Contains(const std::vector<Column>& columns, const Column& c) {
    return std::any_of(columns.begin(), columns.end(), [&](const Column& x) { return Same(x, c); });
  }

  // Tables with one row per group: a grouped unique key fixes it (`determined`), or a LEFT JOIN
  // on a unique key whose columns such a table holds. MAX/MIN over their columns alone is the
  // value of that row; it is written +(value), which, like MAX, carries no declared type.
  std::vector<bool> Fixed(const std::vector<bool>& determined) const {
    std::vector<bool> fixed = determined;
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      std::vector<Column> joins;
      std::vector<std::pair<Column, std::string>> collations;
      if (!fixed[k] && chain_[k].left && KeyJoin(k, joins, collations)) {
        fixed[k] = std::all_of(joins.begin(), joins.end(),
                               [&](const Column& j) { return fixed[j.table]; });
      }
    }
    return fixed;
  }

  // Whether `c` alone is a unique key of its table that is never NULL: a walk of that key's index
  // meets each value once, so SQLite can take the groups from it and from the index order of a
  // table joined inside that loop together, reading the key's row once per value.
  bool NeverNullKey(const Column& c) const {
    const ColumnFacts* f = Facts(c);
    if (!f || !f->not_null) return false;
    const TableFacts& t = facts_.tables.at(chain_[c.table].table);
    return std::any_of(t.unique_keys.begin(), t.unique_keys.end(), [&](const UniqueKeyFacts& k) {
      return k.columns.size() == 1 && k.columns[0] == c.name && k.collations[0] == f->collation;
    });
  }

  // `terms`, each with the column to group by in its place, led by those that match, in order,
  // the most leading columns of an index of a table that stays inside, so that SQLite can group
  // without sorting. A column that an equality of the WHERE or of an inner join equates with the
  // term on every row, of the same affinity and collation, groups the rows as the term does; the
  // term stays where it is a never-NULL key of its own (SQLite then walks its table first).
  std::vector<std::pair<Column, Column>> IndexOrder(const std::vector<Column>& terms,
                                                    const std::vector<bool>& moved) const {
    std::vector<std::pair<Operand, Operand>> eqs;
    if (where_) Equalities(where_ + 1, group_, false, eqs);
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!chain_[k].left) Equalities(chain_[k].on_begin, chain_[k].on_end, false, eqs);
    }
    auto match = [&](const Column& t, const Column& index_column) -> std::optional<Column> {
      if (Same(t, index_column)) return t;
      for (const auto& [l, r] : eqs) {
        for (auto [a, b] : {std::pair{l.column, r.column}, std::pair{r.column, l.column}}) {
          if (a && b && Same(*a, t) && Same(*b, index_column) &&
              Facts(t)->affinity == Facts(*b)->affinity &&
              Facts(t)->collation == Facts(*b)->collation) {
            return NeverNullKey(t) ? t : *b;
          }
        }
      }
      return std::nullopt;
    };
    std::vector<std::pair<Column, Column>> best;
    auto in = [](const std::vector<std::pair<Column, Column>>& v, const Column& c) {
      return std::any_of(v.begin(), v.end(), [&](const auto& x) { return Same(x.first, c); });
    };
    for (std::size_t k = 0; k < chain_.size(); ++k) {
      if (moved[k]) continue;
      for (const std::vector<std::string>& index : facts_.tables.at(chain_[k].table).indexes) {
        std::vector<std::pair<Column, Column>> lead;
        for (const std::string& name : index) {
          const Column index_column{static_cast<int>(k), name, 0, 0};
          std::optional<Column> by;
          for (const Column& t : terms) {
            if (!by && !in(lead, t) && (by = match(t, index_column))) lead.emplace_back(t, *by);
          }
          if (!by) break;
        }
        if (lead.size() > best.size()) best = lead;
      }
    }
    for (const Column& t : terms) {
      if (!in(best, t)) best.emplace_back(t, t);
    }
    return best;
  }

  // The re-grouping: the inner SELECT groups the tables that stay by their own grouping columns
  // and the grouped tables' join columns; the outer joins the moved tables to its groups and
  // groups again, each aggregate re-aggregated from its partials.
  std::optional<std::string> Regroup(const std::vector<Column>& terms,
                                     const std::vector<Item>& items,
                                     const std::vector<Column>& having_columns,
                                     const std::vector<Call>& having_calls,
                                     const std::vector<bool>& moved,
                                     const std::vector<bool>& grouped,
                                     const std::vector<bool>& determined,
                                     const std::vector<std::vector<Column>>& join_columns) const {
    std::vector<Column> inner_terms, exposed;
    for (const Column& g : terms) {
      if (!moved[g.table] && !Contains(inner_terms, g)) inner_terms.push_back(g);
    }
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      for (const Column& j : moved[k] && grouped[k] ? join_columns[k] : std::vector<Column>{}) {
        if (!Contains(inner_terms, j)) inner_terms.push_back(j);
      }
    }
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!moved[k] || grouped[k] || !Used(k, items)) continue;
      for (const Column& j : join_columns[k]) {
        if (!Contains(inner_terms, j) && !Contains(exposed, j)) exposed.push_back(j);
      }
    }
    if (inner_terms.empty()) return std::nullopt;
    // A moved table's column named like an inner column would be ambiguous outside.
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      for (const auto& [name, column] : facts_.tables.at(chain_[k].table).columns) {
        if (moved[k] && name.size() > 1 && (name[0] == 'A' || name[0] == 'G' || name[0] == 'J') &&
            name.find_first_not_of("0123456789", 1) == std::string::npos) {
          return std::nullopt;
        }
      }
    }
    const std::vector<std::pair<Column, Column>> order = IndexOrder(inner_terms, moved);
    std::string inner;
    auto add = [&](const std::string& text, const std::string& name) {
      inner += inner.empty() ? "SELECT " : ", ";
      inner += text + " AS " + name;
    };
    std::string inner_group;
    for (std::size_t n = 0; n < order.size(); ++n) {
      inner_terms[n] = order[n].first;
      add(Text(order[n].first.begin, order[n].first.end), "g" + std::to_string(n + 1));
      inner_group += (n ? ", " : " GROUP BY ") + Text(order[n].second.begin, order[n].second.end);
    }
    for (std::size_t n = 0; n < exposed.size(); ++n) {
      add(Text(exposed[n].begin, exposed[n].end), "j" + std::to_string(n + 1));
    }
    auto outer_name = [&](const Column& c) -> std::string {
      for (std::size_t n = 0; n < inner_terms.size(); ++n) {
        if (Same(inner_terms[n], c)) return std::string(kGrouped) + ".g" + std::to_string(n + 1);
      }
      for (std::size_t n = 0; n < exposed.size(); ++n) {
        if (Same(exposed[n], c)) return std::string(kGrouped) + ".j" + std::to_string(n + 1);
      }
      return "";
    };
    static const std::map<std::string, std::string> kOuter = {
        {"SUM", "SUM"}, {"TOTAL", "TOTAL"}, {"MAX", "MAX"}, {"MIN", "MIN"}, {"COUNT", "SUM"}};
    const std::vector<bool> fixed = Fixed(determined);
    std::map<std::string, std::string> partials;  // by their text: each computed once
    auto partial = [&](const std::string& text) {
      auto [it, added] = partials.emplace(text, "a" + std::to_string(partials.size() + 1));
      if (added) add(text, it->second);
      return std::string(kGrouped) + "." + it->second;
    };
    // The outer text of [b, e): aggregates of the moved tables as written, the others' partials
    // re-aggregated, grouping columns of the tables that stay by their inner names.
    auto outer = [&](std::size_t b, std::size_t e, const std::vector<Column>& columns,
                     const std::vector<Call>& calls) -> std::optional<std::string> {
      std::string text;
      bool replaced = false;
      for (std::size_t i = b; i < e;) {
        const Call* call = nullptr;
        for (const Call& c : calls) {
          if (c.name == i && c.aggregate) call = &c;
        }
        const Column* column = nullptr;
        for (const Column& c : columns) {
          if (c.begin == i) column = &c;
        }
        std::string piece;
        std::size_t next = i + 1;
        if (call) {
          bool names_moved = false, one = true;
          for (const Column& c : columns) {
            if (c.begin > call->open && c.end <= call->close) {
              names_moved = names_moved || moved[c.table];
              one = one && fixed[c.table];
            }
          }
          const std::string f = Upper(s_[call->name].text);
          std::string collate;
          if (f == "MAX" || f == "MIN") {
            // SQLite compares under the collation of a bare column (also behind +, CAST or
            // parentheses) or of a COLLATE; the partials have none of their own.
            std::optional<Operand> o = ParseOperand(call->open + 1, call->close);
            if (o && o->column && Facts(*o->column)->collation != "BINARY") {
              collate = " COLLATE " + Facts(*o->column)->collation;
            } else if (!o && (Op(call->open + 1, "+") || Op(call->open + 1, "(") ||
                              Word(call->open + 1, "CAST"))) {
              return std::nullopt;
            }
            for (std::size_t k = call->open; k < call->close; ++k) {
              if (Word(k, "COLLATE")) return std::nullopt;
            }
          }
          // MAX/MIN of tables whose grouped unique key fixes their row in each group: the value.
          one = one && (f == "MAX" || f == "MIN");
          if (names_moved) {
            piece = one ? "+(" + Text(call->open + 1, call->close) + ")"
                        : Text(call->name, call->close + 1);
          } else if (one) {
            piece = partial("+(" + Text(call->open + 1, call->close) + ")");
          } else if (kOuter.count(f)) {
            piece = kOuter.at(f) + "(" + partial(Text(call->name, call->close + 1)) + collate + ")";
          } else {
            return std::nullopt;  // AVG and the like: not re-aggregated from partials
          }
          next = call->close + 1;
        } else if (column) {
          if (!Contains(terms, *column)) return std::nullopt;  // a bare column not grouped
          piece = moved[column->table] ? Text(column->begin, column->end) : outer_name(*column);
          next = column->end;
        } else {
          piece = Text(i, i + 1);
        }
        Append(text, piece, i > b && Spaced(i), replaced);
        replaced = call || column;
        i = next;
      }
      return text;
    };
    std::string out = distinct_ ? "SELECT DISTINCT " : "SELECT ";
    for (std::size_t n = 0; n < items.size(); ++n) {
      std::optional<std::string> text =
          outer(items[n].begin, items[n].end, items[n].columns, items[n].calls);
      if (!text) return std::nullopt;
      out += (n ? ", " : "") + *text + " AS " + items[n].alias;
    }
    std::optional<std::string> having = std::string();
    if (having_) having = outer(having_ + 1, s_.size(), having_columns, having_calls);
    if (!having) return std::nullopt;
    inner += " FROM " + Text(chain_[0].begin, chain_[0].end);
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (!moved[k]) inner += " " + Text(chain_[k].begin, chain_[k].end);
    }
    if (where_) inner += " " + Text(where_, group_);
    out += " FROM (" + inner + inner_group + ") AS " + kGrouped;
    for (std::size_t k = 1; k < chain_.size(); ++k) {
      if (moved[k] && (grouped[k] || Used(k, items))) out += JoinText(k, outer_name);
    }
    for (std::size_t n = 0; n < terms.size(); ++n) {
      out += n ? ", " : " GROUP BY ";
      out += moved[terms[n].table] ? Text(terms[n].begin, terms[n].end) : outer_name(terms[n]);
    }
    if (having_) out += " HAVING " + *having;
    return out;
  }

  // True when the table at `k` is named anywhere but in its own join's condition.
  bool Used(std::size_t k, const std::vector<Item>& items) const {
    for (const auto& item : items) {
      for (const Column& c : item.columns) {
        if (static_cast<std::size_t>(c.table) == k) return true;
      }
    }
    return false;
  }

  static const Call* Enclosing(const std::vector<Call>& calls, std::size_t token) {
    const Call* best = nullptr;
    for (const Call& c : calls) {
      if (c.aggregate && c.open < token && token < c.close) best = &c;
    }
    return best;
  }

  // True when the condition of the LEFT JOIN at `k` is AND-ed equalities that compare every
  // column of a unique key of its table, each with a column of another table or a literal, so
  // that it finds at most one row; `joins` gets the other tables' columns.
  bool KeyJoin(std::size_t k, std::vector<Column>& joins,
               std::vector<std::pair<Column, std::string>>& collations) const {
    std::vector<std::pair<Operand, Operand>> eqs;
    if (!Equalities(chain_[k].on_begin, chain_[k].on_end, true, eqs) || eqs.empty()) return false;
    const int d = static_cast<int>(k);
    std::set<std::string> keyed;
    for (const auto& [l, r] : eqs) {
      const bool left_d = l.column && l.column->table == d;
      const bool right_d = r.column && r.column->table == d;
      if (left_d == right_d) return false;  // D with D, or no D column
      const Column& dc = left_d ? *l.column : *r.column;
      const Operand& other = left_d ? r : l;
      const ColumnFacts* df = Facts(dc);
      std::string collation =
          left_d || !other.column ? df->collation : Facts(*other.column)->collation;
      if (other.column) {
        if (Facts(*other.column)->affinity != df->affinity) return false;
        joins.push_back(*other.column);
        collations.emplace_back(*other.column, collation);
      } else {
        const bool text = s_[other.literal].kind == Kind::kString;
        if (text != (df->affinity == 'T')) return false;
        if (!text && df->affinity == 'B') return false;
      }
      // Only a key column compared under a collation no coarser than the key's counts.
      for (const UniqueKeyFacts& key : facts_.tables.at(chain_[k].table).unique_keys) {
        for (std::size_t n = 0; n < key.columns.size(); ++n) {
          if (key.columns[n] == dc.name &&
              (collation == key.collations[n] || collation == "BINARY")) {
            keyed.insert(dc.name);
          }
        }
      }
    }
    for (const UniqueKeyFacts& key : facts_.tables.at(chain_[k].table).unique_keys) {
      if (std::all_of(key.columns.begin(), key.columns.end(),
                      [&](const std::string& c) { return keyed.count(c) > 0; })) {
        return true;
      }
    }
    return false;
  }

  std::string_view sql_;
  const SchemaFacts& facts_;
  bool below_, regroup_;
  std::vector<SqlToken> s_;
  std::vector<std::size_t> match_;
  std::vector<Entry> chain_;
  std::size_t distinct_ = 0, items_begin_ = 1, from_ = 0, from_end_ = 0, where_ = 0, group_ = 0,
              having_ = 0;
};

}  // namespace

std::string GroupBelowUniqueKeyJoins(std::string_view sql, const SchemaFacts& facts) {
  std::optional<std::string> out = Rewriter(sql, facts, true, false).Run();
  return out ? *out : std::string(sql);
}

std::string RegroupBelowUniqueKeyJoins(std::string_view sql, const SchemaFacts& facts,
                                       bool group_below) {
  std::optional<std::string> out = Rewriter(sql, facts, group_below, true).Run();
  return out ? *out : std::string(sql);
}

}  // namespace q9::platform::db
