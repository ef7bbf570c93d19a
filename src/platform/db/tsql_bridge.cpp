#include "platform/db/tsql_bridge.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/sql_tokenizer.h"
#include "platform/db/tsql_bridge_group_below_joins.h"
#include "platform/db/tsql_bridge_regroup_below_joins.h"
#include "platform/error.h"

namespace q9::platform::db {
namespace {

using Kind = SqlTokenKind;
using Tokens = std::vector<SqlToken>;
using Keywords = std::initializer_list<std::string_view>;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// Keeps every recursion of the bridge shallow; SQLite itself joins at most 64 tables.
constexpr int kMaxParenDepth = 100;
constexpr int kMaxTablesPerFrom = 64;

const Keywords kPassThroughFunctions = {"SUM",  "COUNT",  "AVG",     "MIN",   "MAX",
                                        "ABS",  "UPPER",  "LOWER",   "LTRIM", "RTRIM",
                                        "CAST", "NULLIF", "COALESCE"};
// Keywords that may stand right before an opening parenthesis.
const Keywords kKeywordsBeforeParen = {
    "AND",    "OR",        "NOT",      "ON",     "WHEN", "THEN", "ELSE",   "SELECT",
    "WHERE",  "AS",        "IN",       "EXISTS", "BY",   "CASE", "LIKE",   "BETWEEN",
    "IS",     "ALL",       "DISTINCT", "HAVING", "ANY",  "SOME", "VALUES", "UNION",
    "EXCEPT", "INTERSECT", "SET",      "JOIN",   "FROM"};
const Keywords kTableHints = {"NOLOCK",         "READUNCOMMITTED", "UPDLOCK", "HOLDLOCK",
                              "ROWLOCK",        "PAGLOCK",         "TABLOCK", "TABLOCKX",
                              "NOWAIT",         "READPAST",        "XLOCK",   "READCOMMITTED",
                              "REPEATABLEREAD", "SERIALIZABLE",    "INDEX"};
const Keywords kOperators = {"(", ")", ",",  ".",  "+",  "-",  "*", "/", "%", "=",
                             "<", ">", "<=", ">=", "<>", "!=", "&", "|", "^", "~"};
const Keywords kJoinWords = {"JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "OUTER"};
const Keywords kClauseEnds = {"WHERE", "GROUP", "ORDER", "HAVING", "UNION", "EXCEPT", "INTERSECT"};
const Keywords kConditionEnds = {"JOIN",  "INNER",  "LEFT",  "RIGHT",  "FULL",
                                 "CROSS", "OUTER",  "ON",    "WHERE",  "GROUP",
                                 "ORDER", "HAVING", "UNION", "EXCEPT", "INTERSECT"};
// Words that cannot be a table name or alias.
const Keywords kReserved = {"ON",    "JOIN",   "INNER",     "LEFT",   "RIGHT", "FULL",
                            "CROSS", "OUTER",  "WHERE",     "GROUP",  "ORDER", "HAVING",
                            "UNION", "EXCEPT", "INTERSECT", "WITH",   "AS",    "OPTION",
                            "FOR",   "SELECT", "FROM",      "USING",  "APPLY", "NATURAL",
                            "LIMIT", "WINDOW", "INTO",      "VALUES", "SET"};
// Functions as they stand after the word-level rewrites, for finding the extent of an operand.
const Keywords kFunctionsAfterRewrite = {
    "IFNULL", "SUBSTR", "LENGTH", "RTRIM", "STRFTIME", "SUM",  "COUNT",  "AVG",     "MIN",
    "MAX",    "ABS",    "UPPER",  "LOWER", "LTRIM",    "CAST", "NULLIF", "COALESCE"};

[[noreturn]] void Fail(const std::string& construct, std::size_t offset) {
  throw ProviderError(kTsqlBridgeSource, "cannot translate " + construct + " to SQLite (at byte " +
                                             std::to_string(offset + 1) + ")");
}

char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (UpperChar(text[i]) != upper[i]) return false;
  }
  return true;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperChar(c);
  return upper;
}

bool IsTrivia(const SqlToken& t) { return t.kind == Kind::kWhitespace || t.kind == Kind::kComment; }
bool IsWord(const SqlToken& t, std::string_view upper) {
  return t.kind == Kind::kWord && EqualsUpper(t.text, upper);
}
bool IsWordIn(const SqlToken& t, Keywords upper_words) {
  if (t.kind != Kind::kWord) return false;
  for (std::string_view w : upper_words) {
    if (EqualsUpper(t.text, w)) return true;
  }
  return false;
}
bool IsOp(const SqlToken& t, std::string_view op) {
  return t.kind == Kind::kOperator && t.text == op;
}
bool IsOpIn(const SqlToken& t, Keywords ops) {
  if (t.kind != Kind::kOperator) return false;
  for (std::string_view op : ops) {
    if (t.text == op) return true;
  }
  return false;
}
bool IsName(const SqlToken& t) {
  return t.kind == Kind::kWord || t.kind == Kind::kBracketedName || t.kind == Kind::kQuotedName;
}
bool IsPlainName(const SqlToken& t) { return IsName(t) && !IsWordIn(t, kReserved); }

// First significant (non-blank, non-comment) token at or after `i`, or `end`.
std::size_t NextSig(const Tokens& t, std::size_t i, std::size_t end) {
  while (i < end && IsTrivia(t[i])) ++i;
  return i;
}
// Last significant token before `i` and not before `begin`, or kNone.
std::size_t PrevSig(const Tokens& t, std::size_t i, std::size_t begin) {
  while (i > begin) {
    --i;
    if (!IsTrivia(t[i])) return i;
  }
  return kNone;
}

std::vector<std::size_t> MatchParens(const Tokens& t) {
  std::vector<std::size_t> match(t.size(), kNone);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (IsOp(t[i], "(")) {
      if (open.size() >= kMaxParenDepth) {
        Fail("parentheses nested deeper than " + std::to_string(kMaxParenDepth), t[i].offset);
      }
      open.push_back(i);
    } else if (IsOp(t[i], ")")) {
      if (open.empty()) Fail("unbalanced parenthesis: ')' without '('", t[i].offset);
      match[i] = open.back();
      match[open.back()] = i;
      open.pop_back();
    }
  }
  if (!open.empty()) Fail("unbalanced parenthesis: '(' without ')'", t[open.back()].offset);
  return match;
}

std::string SignificantText(const Tokens& t, std::size_t begin, std::size_t end) {
  std::string text;
  for (std::size_t i = begin; i < end; ++i) {
    if (IsTrivia(t[i])) continue;
    if (!text.empty() && t[i].kind == Kind::kWord && t[i - 1].kind == Kind::kWhitespace) {
      text += ' ';
    }
    text.append(t[i].text);
  }
  return text;
}

// Pass 1: checks and the word-level rewrites (functions, dbo, db..table).
class WordRewriter {
 public:
  // Texts the rewrites make up (translated LIKE patterns) are kept in `made`, which the tokens
  // out of Run point into.
  WordRewriter(const Tokens& in, std::deque<std::string>& made)
      : in_(in), match_(MatchParens(in)), made_(made) {}

  Tokens Run() {
    out_.reserve(in_.size() + 32);
    Rewrite(0, in_.size());
    return std::move(out_);
  }

 private:
  struct Range {
    std::size_t begin;
    std::size_t end;
  };

  void Rewrite(std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      const SqlToken& t = in_[i];
      if (std::size_t name = AfterDboQualifier(i, end); name != kNone) {
        i = name - 1;
        continue;
      }
      switch (t.kind) {
        case Kind::kWord:
          i = RewriteWord(i, end);
          break;
        case Kind::kOperator:
          i = RewriteOperator(i, end);
          break;
        case Kind::kComment:
          if (t.text.starts_with("/*") && t.text.find("/*", 2) != std::string_view::npos) {
            Fail("a nested block comment", t.offset);
          }
          out_.push_back(t);
          break;
        case Kind::kBracketedName:
          if (t.text.find("]]") != std::string_view::npos) {
            Fail("the bracketed name " + std::string(t.text) + " (with ']]')", t.offset);
          }
          out_.push_back(t);
          break;
        case Kind::kQuotedName:
          if (t.text.find(']') != std::string_view::npos) {
            Fail("the quoted name " + std::string(t.text) + " (with ']')", t.offset);
          }
          out_.push_back(t);
          break;
        case Kind::kNumber:
          if (t.text.size() > 1 && (t.text[1] == 'x' || t.text[1] == 'X')) {
            Fail("the binary literal " + std::string(t.text), t.offset);
          }
          out_.push_back(t);
          break;
        case Kind::kString:
        case Kind::kWhitespace:
          out_.push_back(t);
          break;
      }
    }
  }

  // `dbo.` (any case, also `[dbo].`) before a name: the index of that name, else kNone.
  std::size_t AfterDboQualifier(std::size_t i, std::size_t end) const {
    const SqlToken& t = in_[i];
    if (!IsWord(t, "DBO") && !(t.kind == Kind::kBracketedName && EqualsUpper(t.text, "[DBO]"))) {
      return kNone;
    }
    std::size_t dot = NextSig(in_, i + 1, end);
    if (dot >= end || !IsOp(in_[dot], ".")) return kNone;
    std::size_t name = NextSig(in_, dot + 1, end);
    if (name >= end || !IsName(in_[name])) return kNone;
    return name;
  }

  std::size_t RewriteOperator(std::size_t i, std::size_t end) {
    const SqlToken& t = in_[i];
    if (t.text == ";") {
      if (NextSig(in_, i + 1, in_.size()) != in_.size()) Fail("more than one statement", t.offset);
      out_.push_back(t);
      return i;
    }
    if (!IsOpIn(t, kOperators)) Fail("the operator '" + std::string(t.text) + "'", t.offset);
    out_.push_back(t);
    // db..table names the default schema of database db.
    if (t.text == "." && i + 1 < end && IsOp(in_[i + 1], ".")) return i + 1;
    return i;
  }

  std::size_t RewriteWord(std::size_t i, std::size_t end) {
    const SqlToken& t = in_[i];
    if (t.text[0] == '@') Fail("the variable " + std::string(t.text), t.offset);
    if (t.text[0] == '#') Fail("the temporary table " + std::string(t.text), t.offset);
    const std::size_t prev = PrevSig(in_, i, 0);
    if (IsWord(t, "TOP") && prev != kNone && IsWordIn(in_[prev], {"SELECT", "DISTINCT", "ALL"})) {
      Fail("TOP", t.offset);
    }
    if (IsWord(t, "APPLY")) {
      Fail((prev != kNone ? Upper(in_[prev].text) + " " : std::string()) + "APPLY", t.offset);
    }
    if (IsWord(t, "USING")) Fail("JOIN ... USING", t.offset);
    const std::size_t next = NextSig(in_, i + 1, end);
    if (next < end && IsOp(in_[next], "(")) {
      RewriteCall(i, next);
      return match_[next];
    }
    out_.push_back(t);
    if (IsWord(t, "LIKE") && next < end && in_[next].kind == Kind::kString &&
        in_[next].text.find('[') != std::string_view::npos) {
      return RewriteBracketPattern(next, end);
    }
    return i;
  }

  // Rule "bracket escapes of a LIKE pattern": SQL Server writes a wildcard or bracket that stands
  // for itself as a one-character set ([%], [_], [[]; any [c] means c). SQLite has no sets, so
  // the pattern is written with '\' escapes and ESCAPE '\' follows it. Preconditions: the
  // pattern is one literal with no operand after it (no ESCAPE of its own, no '+'), and every
  // set holds exactly one character other than '^' (a real character class is refused).
  std::size_t RewriteBracketPattern(std::size_t literal, std::size_t end) {
    const SqlToken& t = in_[literal];
    const std::size_t after = NextSig(in_, literal + 1, end);
    if (after < end && (IsWord(in_[after], "ESCAPE") || IsOpIn(in_[after], {"+", "||"}) ||
                        IsWord(in_[after], "COLLATE"))) {
      Fail("the LIKE pattern " + std::string(t.text) + " with [ ] followed by " +
               std::string(in_[after].text),
           in_[after].offset);
    }
    // The pattern's characters, its doubled quotes undone.
    std::string raw;
    const std::string_view body = t.text.substr(t.text.find('\'') + 1, std::string_view::npos);
    for (std::size_t k = 0; k + 1 < body.size(); ++k) {
      raw += body[k];
      if (body[k] == '\'') ++k;
    }
    std::string pattern = "'";
    auto put = [&pattern](char c) {
      pattern += c;
      if (c == '\'') pattern += '\'';
    };
    for (std::size_t k = 0; k < raw.size(); ++k) {
      if (raw[k] != '[') {
        if (raw[k] == '\\') pattern += '\\';
        put(raw[k]);
        continue;
      }
      const std::size_t close = raw.find(']', k + 1);
      const std::string_view set = close == std::string::npos
                                       ? std::string_view()
                                       : std::string_view(raw).substr(k + 1, close - k - 1);
      if (set == "^" || Utf8Length(set) == 0) {
        Fail("the LIKE pattern " + std::string(t.text) +
                 " with a character class [ ] (SQL Server only)",
             t.offset);
      }
      if (set[0] == '%' || set[0] == '_' || set[0] == '\\') pattern += '\\';
      for (char c : set) put(c);
      k = close;
    }
    pattern += '\'';
    const std::string& kept = made_.emplace_back(std::move(pattern));
    // Blanks and comments between LIKE and its pattern stay where they were.
    for (std::size_t k = PrevSig(in_, literal, 0) + 1; k < literal; ++k) out_.push_back(in_[k]);
    Emit(Kind::kString, kept, t.offset);
    Emit(Kind::kWhitespace, " ", t.offset);
    Emit(Kind::kWord, "ESCAPE", t.offset);
    Emit(Kind::kWhitespace, " ", t.offset);
    Emit(Kind::kString, "'\\'", t.offset);
    return literal;
  }

  // The width in bytes of `s` when it is exactly one UTF-8 character, else 0.
  static std::size_t Utf8Length(std::string_view s) {
    if (s.empty()) return 0;
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t n = lead < 0x80           ? 1
                          : (lead >> 5) == 0x6  ? 2
                          : (lead >> 4) == 0xe  ? 3
                          : (lead >> 3) == 0x1e ? 4
                                                : 0;
    if (n != s.size()) return 0;
    // A lead byte followed by something other than continuation bytes is not one character:
    // '[\xde_]' is two, and its '_' must not slip out of the set as a wildcard.
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[k]) >> 6) != 0x2) return 0;
    }
    return n;
  }

  std::vector<Range> Arguments(std::size_t open) const {
    const std::size_t close = match_[open];
    std::vector<Range> args;
    std::size_t start = open + 1;
    for (std::size_t j = open + 1; j < close; ++j) {
      if (IsOp(in_[j], "(")) {
        j = match_[j];
      } else if (IsOp(in_[j], ",")) {
        args.push_back({start, j});
        start = j + 1;
      }
    }
    args.push_back({start, close});
    if (args.size() == 1 && NextSig(in_, start, close) == close) args.clear();
    return args;
  }

  void RequireArguments(const std::vector<Range>& args, std::size_t count, const SqlToken& name) {
    if (args.size() != count) {
      Fail(Upper(name.text) + " with " + std::to_string(args.size()) + " arguments", name.offset);
    }
  }

  void Emit(Kind kind, std::string_view text, std::size_t offset) {
    out_.push_back({kind, text, offset});
  }

  void RewriteCall(std::size_t name, std::size_t open) {
    const SqlToken& t = in_[name];
    const std::size_t close = match_[open];
    const std::size_t at = t.offset;
    if (IsWord(t, "ISNULL")) {
      RequireArguments(Arguments(open), 2, t);
      Emit(Kind::kWord, "ifnull", at);
      Rewrite(name + 1, close + 1);
      return;
    }
    if (IsWord(t, "LEFT")) {
      const std::vector<Range> args = Arguments(open);
      RequireArguments(args, 2, t);
      Emit(Kind::kWord, "substr", at);
      Emit(Kind::kOperator, "(", at);
      Rewrite(args[0].begin, args[0].end);
      Emit(Kind::kOperator, ",", at);
      Emit(Kind::kWhitespace, " ", at);
      Emit(Kind::kNumber, "1", at);
      Emit(Kind::kOperator, ",", at);
      Rewrite(args[1].begin, args[1].end);
      Emit(Kind::kOperator, ")", in_[close].offset);
      return;
    }
    if (IsWord(t, "LEN")) {
      const std::vector<Range> args = Arguments(open);
      RequireArguments(args, 1, t);
      Emit(Kind::kWord, "length", at);
      Emit(Kind::kOperator, "(", at);
      Emit(Kind::kWord, "rtrim", at);
      Emit(Kind::kOperator, "(", at);
      Rewrite(args[0].begin, args[0].end);
      Emit(Kind::kOperator, ")", in_[close].offset);
      Emit(Kind::kOperator, ")", in_[close].offset);
      return;
    }
    if (IsWord(t, "CONVERT")) {
      RewriteConvert(name, open);
      return;
    }
    const std::size_t prev = PrevSig(in_, name, 0);
    if (IsWordIn(t, kPassThroughFunctions) || IsWordIn(t, kKeywordsBeforeParen) ||
        (prev != kNone && IsWordIn(in_[prev], {"INTO", "AS"}))) {
      out_.push_back(t);
      Rewrite(name + 1, close + 1);
      return;
    }
    const std::size_t inner = NextSig(in_, open + 1, close);
    const std::string inner_text = inner < close ? std::string(in_[inner].text) : std::string();
    if (IsWord(t, "WITH")) Fail("the table hint WITH (" + inner_text + ")", at);
    if (inner < close && IsWordIn(in_[inner], kTableHints)) {
      Fail("the table hint (" + inner_text + ")", in_[inner].offset);
    }
    Fail("the function " + std::string(t.text) + "(...)", at);
  }

  // CONVERT(VARCHAR(n), d, 102): yyyy.mm.dd.
  void RewriteConvert(std::size_t name, std::size_t open) {
    const SqlToken& t = in_[name];
    const std::vector<Range> args = Arguments(open);
    if (args.size() == 2) Fail("CONVERT without a style", t.offset);
    RequireArguments(args, 3, t);
    const Range type = args[0];
    const std::string type_text = SignificantText(in_, type.begin, type.end);
    std::size_t j = NextSig(in_, type.begin, type.end);
    bool supported = j < type.end && IsWordIn(in_[j], {"VARCHAR", "NVARCHAR"});
    bool too_short = false;
    if (supported) {
      std::size_t k = NextSig(in_, j + 1, type.end);
      if (k < type.end) {
        const std::size_t length = NextSig(in_, k + 1, type.end);
        supported = IsOp(in_[k], "(") && NextSig(in_, match_[k] + 1, type.end) == type.end &&
                    length < match_[k] && NextSig(in_, length + 1, type.end) == match_[k];
        if (supported && in_[length].kind == Kind::kNumber) {
          const std::string_view digits = in_[length].text;
          supported = digits.find_first_not_of("0123456789") == std::string_view::npos;
          too_short = supported && digits.size() < 3 && std::stoi(std::string(digits)) < 10;
        } else if (supported) {
          supported = IsWord(in_[length], "MAX");
        }
      }
    }
    if (!supported) Fail("CONVERT to " + type_text, t.offset);
    const Range style = args[2];
    const std::size_t s = NextSig(in_, style.begin, style.end);
    if (in_[s].kind != Kind::kNumber || in_[s].text != "102" ||
        NextSig(in_, s + 1, style.end) != style.end) {
      Fail("CONVERT style " + SignificantText(in_, style.begin, style.end), in_[s].offset);
    }
    if (too_short) Fail("CONVERT to " + type_text + " (shorter than the date)", t.offset);
    Emit(Kind::kWord, "strftime", t.offset);
    Emit(Kind::kOperator, "(", t.offset);
    Emit(Kind::kString, "'%Y.%m.%d'", t.offset);
    Emit(Kind::kOperator, ",", t.offset);
    Rewrite(args[1].begin, args[1].end);
    Emit(Kind::kOperator, ")", in_[match_[open]].offset);
  }

  const Tokens& in_;
  std::vector<std::size_t> match_;
  std::deque<std::string>& made_;
  Tokens out_;
};

// Pass 2: `+` next to text becomes `||`.
class ConcatenationRewriter {
 public:
  explicit ConcatenationRewriter(Tokens& t) : t_(t), match_(MatchParens(t)) {}

  void Run() {
    const std::size_t n = t_.size();
    std::vector<bool> text_plus(n, false);
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
      if (!IsOp(t_[i], "+")) continue;
      const std::size_t p = PrevSig(t_, i, 0);
      const std::size_t q = NextSig(t_, i + 1, n);
      if (p == kNone || q == n) Fail("a '+' without two operands", t_[i].offset);
      if (EndsTextOperand(p) || StartsTextOperand(q)) {
        if (IsUnaryPosition(p)) Fail("unary '+' before text", t_[i].offset);
        text_plus[i] = true;
        any = true;
      }
    }
    if (!any) return;
    auto arithmetic = [&](std::size_t k) {
      return k != kNone && k < n &&
             (IsOpIn(t_[k], {"*", "/", "%", "-"}) || (IsOp(t_[k], "+") && !text_plus[k]));
    };
    for (std::size_t i = 0; i < n; ++i) {
      if (!text_plus[i]) continue;
      const std::size_t p = PrevSig(t_, i, 0);
      const std::size_t q = NextSig(t_, i + 1, n);
      if (t_[p].kind == Kind::kNumber || t_[q].kind == Kind::kNumber) {
        Fail("'+' between text and a number", t_[i].offset);
      }
      const std::size_t left = OperandBegin(p);
      const std::size_t right = OperandEnd(q);
      if (arithmetic(PrevSig(t_, left, 0)) || arithmetic(NextSig(t_, right + 1, n))) {
        Fail("'+' of text mixed with arithmetic", t_[i].offset);
      }
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (text_plus[i]) t_[i].text = "||";
    }
  }

 private:
  // `ifnull(` at word/open whose last argument is a single string literal.
  bool IfnullWithTextDefault(std::size_t word, std::size_t open) const {
    if (!IsWord(t_[word], "IFNULL") || !IsOp(t_[open], "(")) return false;
    const std::size_t last = PrevSig(t_, match_[open], open + 1);
    if (last == kNone || t_[last].kind != Kind::kString) return false;
    const std::size_t before = PrevSig(t_, last, open + 1);
    return before != kNone && IsOp(t_[before], ",");
  }

  bool EndsTextOperand(std::size_t p) const {
    if (t_[p].kind == Kind::kString) return true;
    if (!IsOp(t_[p], ")")) return false;
    const std::size_t word = PrevSig(t_, match_[p], 0);
    return word != kNone && IfnullWithTextDefault(word, match_[p]);
  }

  bool StartsTextOperand(std::size_t q) const {
    if (t_[q].kind == Kind::kString) return true;
    const std::size_t open = NextSig(t_, q + 1, t_.size());
    return open < t_.size() && IfnullWithTextDefault(q, open);
  }

  bool IsUnaryPosition(std::size_t p) const {
    return (t_[p].kind == Kind::kOperator && !IsOp(t_[p], ")")) ||
           IsWordIn(t_[p], {"SELECT", "WHEN",   "THEN",    "ELSE", "AND",      "OR",  "NOT",
                            "WHERE",  "ON",     "IN",      "BY",   "DISTINCT", "ALL", "LIKE",
                            "IS",     "HAVING", "BETWEEN", "CASE", "RETURN",   "SET"});
  }

  std::size_t OperandBegin(std::size_t p) const {
    if (IsOp(t_[p], ")")) {
      const std::size_t open = match_[p];
      const std::size_t word = PrevSig(t_, open, 0);
      return word != kNone && IsWordIn(t_[word], kFunctionsAfterRewrite) ? word : open;
    }
    if (!IsName(t_[p])) return p;
    for (;;) {
      const std::size_t dot = PrevSig(t_, p, 0);
      if (dot == kNone || !IsOp(t_[dot], ".")) return p;
      const std::size_t name = PrevSig(t_, dot, 0);
      if (name == kNone || !IsName(t_[name])) return p;
      p = name;
    }
  }

  std::size_t OperandEnd(std::size_t q) const {
    const std::size_t n = t_.size();
    if (IsOp(t_[q], "(")) return match_[q];
    if (!IsName(t_[q])) return q;
    for (;;) {
      const std::size_t dot = NextSig(t_, q + 1, n);
      if (dot == n || !IsOp(t_[dot], ".")) break;
      const std::size_t name = NextSig(t_, dot + 1, n);
      if (name == n || !IsName(t_[name])) break;
      q = name;
    }
    const std::size_t open = NextSig(t_, q + 1, n);
    return open < n && IsOp(t_[open], "(") ? match_[open] : q;
  }

  Tokens& t_;
  std::vector<std::size_t> match_;
};

// Pass 3, rule "OR of equalities to IN": `c = v1 OR c = v2 OR ...` on one column c becomes
// `c IN (v1, v2, ...)`. SQLite parses each OR as one more level of its expression tree, which
// it allows 1000 deep, so a list of a thousand warehouses would fail; IN is a single node with
// the same rows (IN compares with c's affinity and collation, as = does). Preconditions: at
// least two terms; every term is exactly a column name (plain, bracketed or qualified), '=', and
// one literal, the column the same in every term (letter case aside) and the literals all text
// or all numbers; the chain is the whole content of a pair of parentheses, or the whole
// condition after WHERE, ON, HAVING or WHEN up to the end of that condition (a closing
// parenthesis, THEN, a join, a clause keyword or the end), so that no AND or NOT binds to one
// of its terms.
class OrChainRewriter {
 public:
  explicit OrChainRewriter(const Tokens& t) : t_(t), match_(MatchParens(t)) {}

  Tokens Run() {
    Tokens out;
    out.reserve(t_.size());
    const std::size_t n = t_.size();
    for (std::size_t i = 0; i < n; ++i) {
      Chain chain;
      if (!IsTrivia(t_[i]) && StartsCondition(i) && ReadChain(i, chain) &&
          EndsCondition(i, chain)) {
        for (std::size_t k = chain.column_begin; k < chain.column_end; ++k) {
          if (!IsTrivia(t_[k])) out.push_back(t_[k]);
        }
        const std::size_t at = t_[i].offset;
        out.push_back({Kind::kWhitespace, " ", at});
        out.push_back({Kind::kWord, "IN", at});
        out.push_back({Kind::kWhitespace, " ", at});
        out.push_back({Kind::kOperator, "(", at});
        for (std::size_t v = 0; v < chain.values.size(); ++v) {
          if (v > 0) {
            out.push_back({Kind::kOperator, ",", at});
            out.push_back({Kind::kWhitespace, " ", at});
          }
          out.push_back(t_[chain.values[v]]);
        }
        out.push_back({Kind::kOperator, ")", at});
        i = chain.values.back();
        continue;
      }
      out.push_back(t_[i]);
    }
    return out;
  }

 private:
  struct Chain {
    std::size_t column_begin = 0;
    std::size_t column_end = 0;
    std::vector<std::size_t> values;  // the literal of each term
  };

  bool StartsCondition(std::size_t i) const {
    const std::size_t p = PrevSig(t_, i, 0);
    return p != kNone && (IsOp(t_[p], "(") || IsWordIn(t_[p], {"WHERE", "ON", "HAVING", "WHEN"}));
  }

  bool EndsCondition(std::size_t begin, const Chain& chain) const {
    const std::size_t n = t_.size();
    const std::size_t p = PrevSig(t_, begin, 0);
    const std::size_t q = NextSig(t_, chain.values.back() + 1, n);
    if (IsOp(t_[p], "(")) return q < n && match_[p] == q;
    return q == n || IsOpIn(t_[q], {")", ";"}) || IsWordIn(t_[q], kConditionEnds) ||
           IsWord(t_[q], "THEN");
  }

  // The column name starting at `i`: the index after its last token, or kNone.
  std::size_t ColumnEnd(std::size_t i) const {
    const std::size_t n = t_.size();
    if (i >= n || !IsName(t_[i]) || (t_[i].kind == Kind::kWord && IsWordIn(t_[i], kReserved))) {
      return kNone;
    }
    for (;;) {
      const std::size_t dot = NextSig(t_, i + 1, n);
      if (dot == n || !IsOp(t_[dot], ".")) return i + 1;
      const std::size_t name = NextSig(t_, dot + 1, n);
      if (name == n || !IsName(t_[name])) return kNone;
      i = name;
    }
  }

  std::string ColumnKey(std::size_t begin, std::size_t end) const {
    std::string key;
    for (std::size_t k = begin; k < end; ++k) {
      if (!IsTrivia(t_[k])) key += Upper(t_[k].text);
    }
    return key;
  }

  bool ReadChain(std::size_t i, Chain& chain) const {
    const std::size_t n = t_.size();
    std::string key;
    Kind literal_kind = Kind::kString;
    for (;;) {
      const std::size_t column_end = ColumnEnd(i);
      if (column_end == kNone || IsWord(t_[i], "NOT") || IsWord(t_[i], "NULL")) return false;
      const std::size_t eq = NextSig(t_, column_end, n);
      if (eq == n || !IsOp(t_[eq], "=")) return false;
      const std::size_t value = NextSig(t_, eq + 1, n);
      if (value == n || (t_[value].kind != Kind::kString && t_[value].kind != Kind::kNumber)) {
        return false;
      }
      if (chain.values.empty()) {
        chain.column_begin = i;
        chain.column_end = column_end;
        key = ColumnKey(i, column_end);
        literal_kind = t_[value].kind;
      } else if (ColumnKey(i, column_end) != key || t_[value].kind != literal_kind) {
        return false;
      }
      chain.values.push_back(value);
      const std::size_t next = NextSig(t_, value + 1, n);
      if (next == n || !IsWord(t_[next], "OR")) return chain.values.size() >= 2;
      i = NextSig(t_, next + 1, n);
    }
  }

  const Tokens& t_;
  std::vector<std::size_t> match_;
};

enum class JoinType { kInner, kLeft, kRight, kFull };

struct FromNode {
  enum class Type { kTable, kDerived, kJoin };
  Type type = Type::kTable;
  std::size_t first = 0;  // table: first token of the name; derived table: its "("
  std::size_t last = 0;   // table: last token of the name; derived table: its ")"
  std::size_t as = kNone;
  std::size_t alias = kNone;
  JoinType join = JoinType::kInner;
  std::size_t keyword = 0;  // join: its first keyword
  int left = -1;
  int right = -1;
  std::size_t condition_begin = 0;
  std::size_t condition_end = 0;
};

// Parses one FROM clause (the tokens after FROM) into join trees, with SQL Server's rule that
// each ON closes the innermost join still waiting for one.
class FromParser {
 public:
  FromParser(const Tokens& t, const std::vector<std::size_t>& match, std::size_t begin,
             std::size_t end)
      : t_(t), match_(match), pos_(begin), end_(end), last_(begin - 1) {}

  std::vector<int> ParseList() {
    std::vector<int> roots;
    for (;;) {
      roots.push_back(ParseJoined());
      const std::size_t s = NextSig(t_, pos_, end_);
      if (s < end_ && IsOp(t_[s], ",")) {
        pos_ = s + 1;
        last_ = s;
        continue;
      }
      break;
    }
    stop_ = NextSig(t_, pos_, end_);
    if (stop_ < end_) {
      const SqlToken& t = t_[stop_];
      if (!IsWordIn(t, kClauseEnds) && !IsOp(t, ")") && !IsOp(t, ";")) Unexpected(stop_);
    }
    return roots;
  }

  std::vector<FromNode>& nodes() { return nodes_; }
  std::size_t stop() const { return stop_; }
  std::size_t last() const { return last_; }

 private:
  [[noreturn]] void Unexpected(std::size_t i) const {
    if (IsWord(t_[i], "ON")) Fail("an ON without a JOIN", t_[i].offset);
    Fail("'" + std::string(t_[i].text) + "' in a FROM clause", t_[i].offset);
  }

  int ParseJoined() {
    int node = ParsePrimary();
    for (;;) {
      const std::size_t s = NextSig(t_, pos_, end_);
      if (s >= end_ || !IsWordIn(t_[s], kJoinWords)) return node;
      FromNode join;
      join.type = FromNode::Type::kJoin;
      join.keyword = s;
      join.join = ParseJoinType(s);
      join.left = node;
      join.right = ParseJoined();
      const std::size_t on = NextSig(t_, pos_, end_);
      if (on >= end_ || !IsWord(t_[on], "ON")) {
        const std::string name = IsWord(t_[s], "JOIN") ? "JOIN" : Upper(t_[s].text) + " JOIN";
        Fail("a " + name + " without its ON", t_[s].offset);
      }
      pos_ = on + 1;
      last_ = on;
      ParseCondition(join, on);
      nodes_.push_back(join);
      node = static_cast<int>(nodes_.size() - 1);
    }
  }

  JoinType ParseJoinType(std::size_t s) {
    const SqlToken& t = t_[s];
    if (IsWord(t, "JOIN")) {
      pos_ = s + 1;
      last_ = s;
      return JoinType::kInner;
    }
    if (IsWord(t, "CROSS")) Fail("CROSS JOIN", t.offset);
    if (IsWord(t, "OUTER")) Fail("OUTER without LEFT, RIGHT or FULL", t.offset);
    JoinType type = IsWord(t, "INNER")   ? JoinType::kInner
                    : IsWord(t, "LEFT")  ? JoinType::kLeft
                    : IsWord(t, "RIGHT") ? JoinType::kRight
                                         : JoinType::kFull;
    std::size_t n = NextSig(t_, s + 1, end_);
    if (type != JoinType::kInner && n < end_ && IsWord(t_[n], "OUTER")) {
      n = NextSig(t_, n + 1, end_);
    }
    if (n >= end_ || !IsWord(t_[n], "JOIN")) {
      Fail(Upper(t.text) + (n < end_ ? " " + std::string(t_[n].text) : std::string()) +
               " (a join hint or an incomplete join)",
           t.offset);
    }
    pos_ = n + 1;
    last_ = n;
    return type;
  }

  void ParseCondition(FromNode& join, std::size_t on) {
    const std::size_t first = NextSig(t_, pos_, end_);
    std::size_t last = kNone;
    for (std::size_t i = first; i < end_; ++i) {
      const SqlToken& t = t_[i];
      if (IsTrivia(t)) continue;
      if (IsOp(t, "(")) {
        i = match_[i];
        last = i;
        continue;
      }
      if (IsOp(t, ")") || IsOp(t, ",") || IsOp(t, ";") || IsWordIn(t, kConditionEnds)) break;
      last = i;
    }
    if (last == kNone) Fail("an ON without a condition", t_[on].offset);
    join.condition_begin = first;
    join.condition_end = last + 1;
    pos_ = last + 1;
    last_ = last;
  }

  int ParsePrimary() {
    const std::size_t s = NextSig(t_, pos_, end_);
    if (s >= end_) {
      Fail("a FROM clause or JOIN without its table", last_ < t_.size() ? t_[last_].offset : 0);
    }
    const SqlToken& t = t_[s];
    if (IsOp(t, "(")) {
      const std::size_t close = match_[s];
      const std::size_t inner = NextSig(t_, s + 1, close);
      if (inner < close && IsWord(t_[inner], "SELECT")) {
        FromNode derived;
        derived.type = FromNode::Type::kDerived;
        derived.first = s;
        derived.last = close;
        pos_ = close + 1;
        last_ = close;
        return AddTable(derived);
      }
      const std::size_t saved_end = end_;
      end_ = close;
      pos_ = s + 1;
      const int node = ParseJoined();
      const std::size_t rest = NextSig(t_, pos_, end_);
      if (rest != close) Unexpected(rest);
      end_ = saved_end;
      pos_ = close + 1;
      last_ = close;
      return node;
    }
    if (!IsPlainName(t)) Fail("'" + std::string(t.text) + "' where a table belongs", t.offset);
    FromNode table;
    table.first = s;
    table.last = s;
    for (;;) {
      const std::size_t dot = NextSig(t_, table.last + 1, end_);
      if (dot >= end_ || !IsOp(t_[dot], ".")) break;
      const std::size_t name = NextSig(t_, dot + 1, end_);
      if (name >= end_ || !IsName(t_[name])) break;
      table.last = name;
    }
    pos_ = table.last + 1;
    last_ = table.last;
    return AddTable(table);
  }

  int AddTable(FromNode node) {
    if (++tables_ > kMaxTablesPerFrom) {
      Fail("more than " + std::to_string(kMaxTablesPerFrom) + " tables in one FROM clause",
           t_[node.first].offset);
    }
    std::size_t n = NextSig(t_, pos_, end_);
    if (n < end_ && IsWord(t_[n], "AS")) {
      const std::size_t alias = NextSig(t_, n + 1, end_);
      if (alias >= end_ || !IsPlainName(t_[alias])) Fail("an AS without its alias", t_[n].offset);
      node.as = n;
      node.alias = alias;
    } else if (n < end_ && IsPlainName(t_[n])) {
      node.alias = n;
    }
    if (node.alias != kNone) {
      pos_ = node.alias + 1;
      last_ = node.alias;
    }
    nodes_.push_back(node);
    return static_cast<int>(nodes_.size() - 1);
  }

  const Tokens& t_;
  const std::vector<std::size_t>& match_;
  std::size_t pos_;
  std::size_t end_;
  std::size_t last_;
  std::size_t stop_ = 0;
  int tables_ = 0;
  std::vector<FromNode> nodes_;
};

// Pass 4: writes the statement, each FROM clause as a left-deep tree without RIGHT joins.
class Renderer {
 public:
  Renderer(const Tokens& t, unsigned rules) : t_(t), match_(MatchParens(t)), rules_(rules) {}

  std::string Run(std::size_t size_hint) {
    RejectUpdateFrom();
    std::string out;
    out.reserve(size_hint + size_hint / 8 + 16);
    RenderRange(0, t_.size(), out);
    return out;
  }

 private:
  void RejectUpdateFrom() const {
    const std::size_t first = NextSig(t_, 0, t_.size());
    if (first == t_.size() || !IsWord(t_[first], "UPDATE")) return;
    for (std::size_t i = first; i < t_.size(); ++i) {
      if (IsOp(t_[i], "("))
        i = match_[i];
      else if (IsWord(t_[i], "FROM"))
        Fail("UPDATE ... FROM", t_[i].offset);
    }
  }

  void AppendToken(const SqlToken& t, std::string& out) const {
    if (t.kind == Kind::kString && t.text[0] != '\'') {
      // N'...' loses its N; right after another literal it would then run into it ('a'N'b' is
      // two literals, 'a''b' one), so a blank keeps them apart.
      if (!out.empty() && out.back() == '\'') out += ' ';
      out.append(t.text.substr(1));
    } else if (t.kind == Kind::kQuotedName) {
      out += '[';
      const std::string_view inner = t.text.substr(1, t.text.size() - 2);
      for (std::size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '"') ++i;  // "" stands for one "
      }
      out += ']';
    } else {
      out.append(t.text);
    }
  }

  void RenderRange(std::size_t begin, std::size_t end, std::string& out) const {
    for (std::size_t i = begin; i < end; ++i) {
      if ((rules_ & kRuleDistinctOverGroupBy) && IsWord(t_[i], "SELECT") && DistinctIsNoOp(i)) {
        // SELECT DISTINCT -> SELECT: the DISTINCT and the blank after it go.
        AppendToken(t_[i], out);
        const std::size_t distinct = NextSig(t_, i + 1, end);
        AppendRange(i + 1, distinct, out);
        i = distinct + 1 < end && t_[distinct + 1].kind == Kind::kWhitespace ? distinct + 1
                                                                             : distinct;
      } else if (IsWord(t_[i], "FROM")) {
        out.append(t_[i].text);
        i = RenderFrom(i, end, out) - 1;
      } else {
        AppendToken(t_[i], out);
      }
    }
  }

  void AppendRange(std::size_t begin, std::size_t end, std::string& out) const {
    for (std::size_t i = begin; i < end; ++i) AppendToken(t_[i], out);
  }

  // The end of the SELECT that starts at `select`: the ')' closing its parentheses, a set
  // operator, ';' or the end of the statement.
  std::size_t SelectEnd(std::size_t select) const {
    for (std::size_t i = select + 1; i < t_.size(); ++i) {
      if (IsOp(t_[i], "(")) {
        i = match_[i];
      } else if (IsOp(t_[i], ")") || IsOp(t_[i], ";") ||
                 IsWordIn(t_[i], {"UNION", "EXCEPT", "INTERSECT"})) {
        return i;
      }
    }
    return t_.size();
  }

  // The first token at `begin` or after, before `end` and outside parentheses, that is one of
  // `words`; `end` when there is none.
  std::size_t FindWord(std::size_t begin, std::size_t end, Keywords words) const {
    for (std::size_t i = begin; i < end; ++i) {
      if (IsOp(t_[i], "(")) {
        i = match_[i];
      } else if (IsWordIn(t_[i], words)) {
        return i;
      }
    }
    return end;
  }

  // The comma-separated items of [begin, end), each as its first and past-the-last token.
  std::vector<std::pair<std::size_t, std::size_t>> Items(std::size_t begin, std::size_t end) const {
    std::vector<std::pair<std::size_t, std::size_t>> items;
    std::size_t start = begin;
    for (std::size_t i = begin; i <= end; ++i) {
      if (i == end || IsOp(t_[i], ",")) {
        items.emplace_back(start, i);
        start = i + 1;
      } else if (IsOp(t_[i], "(")) {
        i = match_[i];
      }
    }
    return items;
  }

  // The significant tokens of [begin, end) as one text, names upper-cased (they compare without
  // regard to case).
  std::string Signature(std::size_t begin, std::size_t end) const {
    std::string sig;
    for (std::size_t i = NextSig(t_, begin, end); i < end; i = NextSig(t_, i + 1, end)) {
      sig += t_[i].kind == Kind::kWord ? Upper(t_[i].text) : std::string(t_[i].text);
      sig += '\x1f';
    }
    return sig;
  }

  // True when [begin, end) is exactly a column: a name, or names joined by dots.
  bool IsColumn(std::size_t begin, std::size_t end) const {
    bool want_name = true;
    std::size_t count = 0;
    for (std::size_t i = NextSig(t_, begin, end); i < end; i = NextSig(t_, i + 1, end)) {
      if (want_name ? !IsPlainName(t_[i]) : !IsOp(t_[i], ".")) return false;
      want_name = !want_name;
      ++count;
    }
    return count > 0 && !want_name;
  }

  // Rule "DISTINCT over GROUP BY": in SELECT DISTINCT ... GROUP BY g1, ..., gn every output row
  // is one group, and when every gi is a column that the select list also returns as it is, two
  // groups differ in a returned column under the same comparison (collation, NULLs equal) that
  // DISTINCT uses, so no two rows are equal and DISTINCT removes nothing. SQLite would still
  // keep a temporary b-tree of every row to find duplicates. Preconditions: the SELECT has
  // DISTINCT and a GROUP BY of its own; every grouping term is a column (plain or qualified
  // name); for each, a select item is that column written the same way (letter case aside),
  // alone or with AS and an alias; no alias of the select list is the name of a term written
  // unqualified (GROUP BY could then mean the aliased expression).
  bool DistinctIsNoOp(std::size_t select) const {
    const std::size_t end = SelectEnd(select);
    const std::size_t distinct = NextSig(t_, select + 1, end);
    if (distinct >= end || !IsWord(t_[distinct], "DISTINCT")) return false;
    const std::size_t from = FindWord(distinct + 1, end, {"FROM"});
    const std::size_t group = FindWord(from, end, {"GROUP"});
    if (from >= end || group >= end) return false;
    const std::size_t by = NextSig(t_, group + 1, end);
    if (by >= end || !IsWord(t_[by], "BY")) return false;
    const std::size_t terms_end = FindWord(by + 1, end, {"HAVING", "ORDER"});
    std::vector<std::string> expressions;
    std::vector<std::string> aliases;
    for (const auto& [b, e] : Items(distinct + 1, from)) {
      const std::size_t as = FindWord(b, e, {"AS"});
      expressions.push_back(Signature(b, as));
      if (as < e) aliases.push_back(Signature(as + 1, e));
    }
    for (const auto& [b, e] : Items(by + 1, terms_end)) {
      if (!IsColumn(b, e)) return false;
      const std::string term = Signature(b, e);
      if (std::find(expressions.begin(), expressions.end(), term) == expressions.end() ||
          std::find(aliases.begin(), aliases.end(), term) != aliases.end()) {
        return false;
      }
    }
    return true;
  }

  // True when the SELECT whose FROM clause starts at `from` has a GROUP BY of its own.
  bool Groups(std::size_t from) const {
    for (std::size_t i = from + 1; i < t_.size(); ++i) {
      if (IsOp(t_[i], "(")) {
        i = match_[i];
      } else if (IsOp(t_[i], ")") || IsOp(t_[i], ";") ||
                 IsWordIn(t_[i], {"UNION", "EXCEPT", "INTERSECT"})) {
        return false;
      } else if (IsWord(t_[i], "GROUP")) {
        return true;
      }
    }
    return false;
  }

  // Rule "LEFT JOINs ahead": in a chain of joins, T LEFT JOIN B ON p is moved ahead of a join
  // (INNER or LEFT) of C ON q when p names no table of C and q names no table of B. The rows
  // are the same: the B rows that p finds for a row depend only on the tables before C, and
  // SQLite applies an inner join's ON like a WHERE term wherever it stands. For the stock
  // summaries it lets SQLite look the class and the units up once per inventory instead of
  // once per document line. Preconditions: the SELECT has a GROUP BY (its rows come in group
  // order, whatever the join order) and no SELECT * (whose columns follow the join order);
  // every table of the chain has a name or alias the conditions can qualify with; p and q
  // consist only of columns qualified by tables at or before their join (see NamesOnly),
  // literals and operators; the chain has no FULL JOIN between the two.
  void LeftJoinsAhead(std::vector<FromNode>& nodes, int& root) const {
    std::vector<int> steps;
    int base = root;
    while (nodes[base].type == FromNode::Type::kJoin) {
      steps.push_back(base);
      base = nodes[base].left;
    }
    std::reverse(steps.begin(), steps.end());
    std::vector<std::string> base_names;
    if (!TableNames(nodes, base, base_names)) return;
    std::vector<std::vector<std::string>> names(steps.size());
    for (std::size_t k = 0; k < steps.size(); ++k) {
      if (!TableNames(nodes, nodes[steps[k]].right, names[k])) return;
    }
    // Names in scope at the join at `position` (the base and every join before it) plus `own`.
    auto scope = [&](std::size_t position, const std::vector<std::string>& own) {
      std::vector<std::string> in = base_names;
      for (std::size_t k = 0; k < position; ++k)
        in.insert(in.end(), names[k].begin(), names[k].end());
      in.insert(in.end(), own.begin(), own.end());
      return in;
    };
    auto condition_within = [&](std::size_t k, const std::vector<std::string>& in) {
      const FromNode& step = nodes[steps[k]];
      return NamesOnly(step.condition_begin, step.condition_end, in);
    };
    // Each LEFT JOIN goes just ahead of the first INNER JOIN it can pass (past the LEFT JOINs
    // between), so the LEFT JOINs keep their order among themselves.
    bool moved = false;
    for (std::size_t k = 1; k < steps.size(); ++k) {
      if (nodes[steps[k]].join != JoinType::kLeft) continue;
      std::size_t target = k;
      for (std::size_t j = k; j > 0; --j) {
        const FromNode& before = nodes[steps[j - 1]];
        if (before.join == JoinType::kFull || !condition_within(k, scope(j - 1, names[k])) ||
            !condition_within(j - 1, scope(j - 1, names[j - 1]))) {
          break;
        }
        if (before.join == JoinType::kInner) target = j - 1;
      }
      if (target == k) continue;
      std::rotate(steps.begin() + static_cast<std::ptrdiff_t>(target),
                  steps.begin() + static_cast<std::ptrdiff_t>(k),
                  steps.begin() + static_cast<std::ptrdiff_t>(k + 1));
      std::rotate(names.begin() + static_cast<std::ptrdiff_t>(target),
                  names.begin() + static_cast<std::ptrdiff_t>(k),
                  names.begin() + static_cast<std::ptrdiff_t>(k + 1));
      moved = true;
    }
    if (!moved) return;
    int chain = base;
    for (int step : steps) {
      nodes[step].left = chain;
      chain = step;
    }
    root = chain;
  }

  // The bare * of the select list of the SELECT whose FROM starts at `from`, or kNone.
  std::size_t SelectStar(std::size_t from) const {
    for (std::size_t i = from; i > 0;) {
      --i;
      const SqlToken& t = t_[i];
      if (IsOp(t, ")")) {
        i = match_[i];
      } else if (IsOp(t, "(") || IsWord(t, "SELECT")) {
        return kNone;
      } else if (IsOp(t, "*")) {
        const std::size_t p = PrevSig(t_, i, 0);
        if (p != kNone && (IsWordIn(t_[p], {"SELECT", "DISTINCT", "ALL"}) || IsOp(t_[p], ","))) {
          return i;
        }
      }
    }
    return kNone;
  }

  std::size_t RenderFrom(std::size_t from, std::size_t end, std::string& out) const {
    const std::size_t prev = PrevSig(t_, from, 0);
    if (prev != kNone && IsWord(t_[prev], "DISTINCT")) {
      Fail("IS [NOT] DISTINCT FROM", t_[from].offset);
    }
    FromParser parser(t_, match_, from + 1, end);
    std::vector<int> roots = parser.ParseList();
    std::vector<FromNode>& nodes = parser.nodes();
    const bool grouped = roots.size() > 1;
    bool exchanged = false;
    for (int root : roots) Exchange(nodes, root, grouped, exchanged);
    if (exchanged) RejectSelectStar(from);
    for (int root : roots) Reassociate(nodes, root);
    if ((rules_ & kRuleLeftJoinsAhead) && Groups(parser.stop() - 1) && SelectStar(from) == kNone) {
      for (int& root : roots) LeftJoinsAhead(nodes, root);
    }
    out += ' ';
    for (std::size_t k = 0; k < roots.size(); ++k) {
      if (k > 0) out += ", ";
      RenderNode(nodes, roots[k], grouped, out);
    }
    for (std::size_t k = parser.last() + 1; k < parser.stop(); ++k) AppendToken(t_[k], out);
    return parser.stop();
  }

  // X RIGHT JOIN Y ON c is Y LEFT JOIN X ON c. `grouped`: the node is written inside a
  // parenthesised group.
  void Exchange(std::vector<FromNode>& nodes, int id, bool grouped, bool& exchanged) const {
    FromNode& node = nodes[id];
    if (node.type != FromNode::Type::kJoin) return;
    if (node.join == JoinType::kRight) {
      std::swap(node.left, node.right);
      node.join = JoinType::kLeft;
      exchanged = true;
    }
    if (node.join == JoinType::kFull) {
      if (nodes[node.right].type == FromNode::Type::kJoin) {
        Fail("FULL JOIN with a deferred ON", t_[node.keyword].offset);
      }
      if (grouped) Fail("FULL JOIN inside a nested join", t_[node.keyword].offset);
    }
    const int left = node.left;
    const int right = node.right;
    Exchange(nodes, left, grouped, exchanged);
    Exchange(nodes, right, true, exchanged);
  }

  // A LEFT JOIN (B LEFT JOIN C ON p) ON q has the rows of (A LEFT JOIN B ON q) LEFT JOIN C ON p
  // when q names no table of C and p cannot hold while B's columns are NULL (an A row without a
  // B row then finds no C row either). SQLite must materialize a join nested on the right of a
  // LEFT JOIN whole before joining it, which for the stock ledger detail meant every inventory
  // on every call; written flat, B and C are searched by index for each A row. The columns keep
  // their order.
  void Reassociate(std::vector<FromNode>& nodes, int id) const {
    if (nodes[id].type != FromNode::Type::kJoin) return;
    while (nodes[id].join == JoinType::kLeft) {
      FromNode& node = nodes[id];
      const int group_id = node.right;
      FromNode& group = nodes[group_id];
      if (group.type != FromNode::Type::kJoin || group.join != JoinType::kLeft) break;
      std::vector<std::string> outer_names;  // A and B
      std::vector<std::string> b_names;
      std::vector<std::string> inner_names;  // B and C
      if (!TableNames(nodes, node.left, outer_names) || !TableNames(nodes, group.left, b_names) ||
          !TableNames(nodes, group.right, inner_names)) {
        break;
      }
      outer_names.insert(outer_names.end(), b_names.begin(), b_names.end());
      inner_names.insert(inner_names.end(), b_names.begin(), b_names.end());
      if (!NamesOnly(node.condition_begin, node.condition_end, outer_names) ||
          !NamesOnly(group.condition_begin, group.condition_end, inner_names) ||
          !RejectsNulls(group.condition_begin, group.condition_end, b_names)) {
        break;
      }
      const int a = node.left;
      const int b = group.left;
      const int c = group.right;
      std::swap(node.condition_begin, group.condition_begin);
      std::swap(node.condition_end, group.condition_end);
      group.left = a;
      group.right = b;
      node.left = group_id;
      node.right = c;
    }
    const int left = nodes[id].left;
    const int right = nodes[id].right;
    Reassociate(nodes, left);
    Reassociate(nodes, right);
  }

  // The names by which conditions refer to the tables of a subtree (alias, else the table's own
  // name), upper-cased; false when one is quoted or a derived table has no alias.
  bool TableNames(const std::vector<FromNode>& nodes, int id, std::vector<std::string>& out) const {
    const FromNode& node = nodes[id];
    if (node.type == FromNode::Type::kJoin) {
      return TableNames(nodes, node.left, out) && TableNames(nodes, node.right, out);
    }
    std::size_t name = node.alias;
    if (name == kNone && node.type == FromNode::Type::kTable) name = node.last;
    if (name == kNone || t_[name].kind != Kind::kWord) return false;
    out.push_back(Upper(t_[name].text));
    return true;
  }

  static bool Contains(const std::vector<std::string>& names, std::string_view name) {
    for (const std::string& n : names) {
      if (EqualsUpper(name, n)) return true;
    }
    return false;
  }

  // True when every column in the condition is written qualified by one of `names` and the
  // condition holds nothing but such columns, literals, operators and plain SQL words.
  bool NamesOnly(std::size_t begin, std::size_t end, const std::vector<std::string>& names) const {
    static const Keywords kConditionWords = {"AND",  "OR",   "NOT",  "NULL", "IS",   "IN",
                                             "LIKE", "CASE", "WHEN", "THEN", "ELSE", "END"};
    for (std::size_t i = NextSig(t_, begin, end); i < end; i = NextSig(t_, i + 1, end)) {
      const SqlToken& t = t_[i];
      if (t.kind == Kind::kString || t.kind == Kind::kNumber) continue;
      if (t.kind == Kind::kOperator) {
        if (IsOp(t, ".")) return false;  // a dot not after a qualifier
        continue;
      }
      if (t.kind != Kind::kWord) return false;
      const std::size_t next = NextSig(t_, i + 1, end);
      if (next < end && IsOp(t_[next], ".")) {
        const std::size_t column = NextSig(t_, next + 1, end);
        if (!Contains(names, t.text) || column >= end || t_[column].kind != Kind::kWord) {
          return false;
        }
        const std::size_t after = NextSig(t_, column + 1, end);
        if (after < end && IsOp(t_[after], ".")) return false;
        i = column;
        continue;
      }
      if (IsWordIn(t, kConditionWords)) continue;
      if (next < end && IsOp(t_[next], "(") && IsWordIn(t, kFunctionsAfterRewrite)) continue;
      return false;  // an unqualified column or a construct not looked into
    }
    return true;
  }

  // True when one of the condition's AND-ed terms is a comparison of a column of `names` with a
  // column or a literal: NULL in that column makes the term, and so the condition, not true.
  bool RejectsNulls(std::size_t begin, std::size_t end,
                    const std::vector<std::string>& names) const {
    static const Keywords kComparisons = {"=", "<", ">", "<=", ">=", "<>", "!="};
    std::vector<std::size_t> term;
    auto check = [&]() {
      auto column_at = [&](std::size_t k) {
        return k + 2 < term.size() && t_[term[k]].kind == Kind::kWord &&
               IsOp(t_[term[k + 1]], ".") && t_[term[k + 2]].kind == Kind::kWord;
      };
      auto literal_at = [&](std::size_t k) {
        return k < term.size() &&
               (t_[term[k]].kind == Kind::kString || t_[term[k]].kind == Kind::kNumber);
      };
      bool ok = false;
      if (term.size() >= 4 && column_at(0) && IsOpIn(t_[term[3]], kComparisons)) {
        ok = (term.size() == 5 && literal_at(4)) || (term.size() == 7 && column_at(4));
        ok = ok && (Contains(names, t_[term[0]].text) ||
                    (term.size() == 7 && Contains(names, t_[term[4]].text)));
      } else if (term.size() == 5 && literal_at(0) && IsOpIn(t_[term[1]], kComparisons) &&
                 column_at(2)) {
        ok = Contains(names, t_[term[2]].text);
      }
      term.clear();
      return ok;
    };
    for (std::size_t i = NextSig(t_, begin, end); i < end; i = NextSig(t_, i + 1, end)) {
      if (IsWord(t_[i], "AND")) {
        if (check()) return true;
        continue;
      }
      if (IsOp(t_[i], "(")) {
        term.push_back(i);
        i = match_[i];
      }
      term.push_back(i);
    }
    return check();
  }

  // The exchange reorders the columns that SELECT * returns.
  void RejectSelectStar(std::size_t from) const {
    if (const std::size_t star = SelectStar(from); star != kNone) {
      Fail("SELECT * over a RIGHT JOIN (the exchanged operands would reorder its columns)",
           t_[star].offset);
    }
  }

  void RenderNode(const std::vector<FromNode>& nodes, int id, bool group, std::string& out) const {
    const FromNode& node = nodes[id];
    switch (node.type) {
      case FromNode::Type::kTable:
        for (std::size_t k = node.first; k <= node.last; ++k) {
          if (!IsTrivia(t_[k])) AppendToken(t_[k], out);
        }
        break;
      case FromNode::Type::kDerived:
        out += '(';
        RenderRange(node.first + 1, node.last, out);
        out += ')';
        break;
      case FromNode::Type::kJoin:
        if (group) out += '(';
        RenderNode(nodes, node.left, false, out);
        out += node.join == JoinType::kInner  ? " INNER JOIN "
               : node.join == JoinType::kLeft ? " LEFT JOIN "
                                              : " FULL JOIN ";
        RenderNode(nodes, node.right, true, out);
        out += " ON ";
        RenderRange(node.condition_begin, node.condition_end, out);
        if (group) out += ')';
        return;
    }
    if (node.as != kNone) {
      out += ' ';
      out.append(t_[node.as].text);
    }
    if (node.alias != kNone) {
      out += ' ';
      AppendToken(t_[node.alias], out);
    }
  }

  const Tokens& t_;
  std::vector<std::size_t> match_;
  unsigned rules_;
};

}  // namespace

constexpr std::string_view kGroup = "GROUP";

std::string TranslateTsqlToSqlite(std::string_view tsql) {
  return TranslateTsqlToSqlite(tsql, kAllBridgeRules);
}

std::string TranslateTsqlToSqlite(std::string_view tsql, unsigned rules) {
  const Tokens tokens = TokenizeSql(tsql);
  std::deque<std::string> made;
  Tokens rewritten = WordRewriter(tokens, made).Run();
  ConcatenationRewriter(rewritten).Run();
  const Tokens chained = OrChainRewriter(rewritten).Run();
  return Renderer(chained, rules).Run(tsql.size());
}

std::string TranslateTsqlToSqlite(std::string_view tsql, unsigned rules, const SchemaFacts* facts) {
  std::string sql = TranslateTsqlToSqlite(tsql, rules);
  // Both schema rules work on grouped SELECTs only; a statement without the word GROUP (the
  // details, the lookups) is not read again for them.
  auto word_char = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  };
  bool may_group = false;
  for (std::size_t i = 0; !may_group && i + kGroup.size() <= sql.size(); ++i) {
    may_group = (i == 0 || !word_char(sql[i - 1])) &&
                (i + kGroup.size() == sql.size() || !word_char(sql[i + kGroup.size()])) &&
                std::equal(kGroup.begin(), kGroup.end(), sql.begin() + static_cast<long>(i),
                           [](char g, char c) { return g == (c >= 'a' && c <= 'z' ? c - 32 : c); });
  }
  if (!may_group) return sql;
  if (facts && (rules & kRuleRegroupBelowUniqueKeyJoins)) {
    sql = RegroupBelowUniqueKeyJoins(sql, *facts, (rules & kRuleGroupBelowUniqueKeyJoins) != 0);
  } else if (facts && (rules & kRuleGroupBelowUniqueKeyJoins)) {
    sql = GroupBelowUniqueKeyJoins(sql, *facts);
  }
  return sql;
}

}  // namespace q9::platform::db
