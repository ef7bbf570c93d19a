#include "platform/db/sql_tokenizer.h"

#include <string>

#include "platform/error.h"

namespace q9::platform::db {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '@' || c == '#' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordPart(char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

[[noreturn]] void Unterminated(const char* what, std::size_t offset) {
  throw ProviderError(kTsqlBridgeSource, std::string("unterminated ") + what +
                                             " starting at byte " + std::to_string(offset + 1));
}

// Index just past the closing `close` of a quoted token that starts at `start`; a doubled
// `close` inside stands for the character itself.
std::size_t EndOfQuoted(std::string_view sql, std::size_t start, char close, const char* what,
                        std::size_t token_start) {
  std::size_t i = start;
  for (;;) {
    std::size_t found = sql.find(close, i);
    if (found == std::string_view::npos) Unterminated(what, token_start);
    if (found + 1 < sql.size() && sql[found + 1] == close) {
      i = found + 2;
      continue;
    }
    return found + 1;
  }
}

std::size_t EndOfBlockComment(std::string_view sql, std::size_t start) {
  // T-SQL block comments nest.
  int depth = 0;
  std::size_t i = start;
  while (i + 1 < sql.size()) {
    if (sql[i] == '/' && sql[i + 1] == '*') {
      ++depth;
      i += 2;
    } else if (sql[i] == '*' && sql[i + 1] == '/') {
      i += 2;
      if (--depth == 0) return i;
    } else {
      ++i;
    }
  }
  Unterminated("block comment", start);
}

std::size_t EndOfNumber(std::string_view sql, std::size_t i) {
  const std::size_t n = sql.size();
  if (sql[i] == '0' && i + 1 < n && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
    i += 2;
    while (i < n && IsHexDigit(sql[i])) ++i;
    return i;
  }
  while (i < n && IsDigit(sql[i])) ++i;
  if (i < n && sql[i] == '.') {
    ++i;
    while (i < n && IsDigit(sql[i])) ++i;
  }
  if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
    if (j < n && IsDigit(sql[j])) {
      while (j < n && IsDigit(sql[j])) ++j;
      i = j;
    }
  }
  return i;
}

std::size_t OperatorLength(std::string_view sql, std::size_t i) {
  if (i + 1 < sql.size()) {
    const char a = sql[i];
    const char b = sql[i + 1];
    if ((a == '<' && (b == '>' || b == '=')) || (a == '>' && b == '=') ||
        (a == '!' && (b == '=' || b == '<' || b == '>')) || (a == '|' && b == '|')) {
      return 2;
    }
  }
  return 1;
}

}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view sql) {
  std::vector<SqlToken> tokens;
  tokens.reserve(sql.size() / 2 + 1);
  const std::size_t n = sql.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = sql[i];
    const char next = i + 1 < n ? sql[i + 1] : '\0';
    std::size_t end;
    SqlTokenKind kind;
    if (IsBlank(c)) {
      end = i + 1;
      while (end < n && IsBlank(sql[end])) ++end;
      kind = SqlTokenKind::kWhitespace;
    } else if (c == '-' && next == '-') {
      end = sql.find('\n', i);
      if (end == std::string_view::npos) end = n;
      if (end > i && sql[end - 1] == '\r') --end;
      kind = SqlTokenKind::kComment;
    } else if (c == '/' && next == '*') {
      end = EndOfBlockComment(sql, i);
      kind = SqlTokenKind::kComment;
    } else if (c == '\'') {
      end = EndOfQuoted(sql, i + 1, '\'', "string literal", i);
      kind = SqlTokenKind::kString;
    } else if ((c == 'N' || c == 'n') && next == '\'') {
      end = EndOfQuoted(sql, i + 2, '\'', "string literal", i);
      kind = SqlTokenKind::kString;
    } else if (c == '[') {
      end = EndOfQuoted(sql, i + 1, ']', "bracketed name", i);
      kind = SqlTokenKind::kBracketedName;
    } else if (c == '"') {
      end = EndOfQuoted(sql, i + 1, '"', "quoted name", i);
      kind = SqlTokenKind::kQuotedName;
    } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
      end = EndOfNumber(sql, i);
      kind = SqlTokenKind::kNumber;
    } else if (IsWordStart(c)) {
      end = i + 1;
      while (end < n && IsWordPart(sql[end])) ++end;
      kind = SqlTokenKind::kWord;
    } else {
      end = i + OperatorLength(sql, i);
      kind = SqlTokenKind::kOperator;
    }
    tokens.push_back({kind, sql.substr(i, end - i), i});
    i = end;
  }
  return tokens;
}

}  // namespace q9::platform::db
