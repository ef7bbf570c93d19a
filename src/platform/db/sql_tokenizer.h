// Lexical analysis of SQL text in the SQL Server (T-SQL) dialect the component writes.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace q9::platform::db {

// Source of the errors that the tokenizer and the T-SQL bridge raise.
inline constexpr const char* kTsqlBridgeSource = "T-SQL bridge";

enum class SqlTokenKind {
  kWord,           // keyword or plain identifier: letters, digits, _, @, #, $ and non-ASCII bytes
  kBracketedName,  // [name], "]]" inside stands for one "]"
  kQuotedName,     // "name", '""' inside stands for one '"'
  kString,         // 'text' or N'text', "''" inside stands for one quote
  kNumber,         // 12, 0.5, .5, 1e3, 0x1F
  kOperator,    // punctuation; <> <= >= != !< !> || are single tokens, anything else one character
  kWhitespace,  // a run of blanks, tabs and line breaks
  kComment,     // -- up to the end of the line (without the line break), or /* */ (nesting)
};

struct SqlToken {
  SqlTokenKind kind;
  std::string_view
      text;            // points into the tokenized text (or, in derived token lists, at constants)
  std::size_t offset;  // byte offset of the token in the tokenized text
};

// Splits `sql` into tokens that cover it without gaps: concatenating their texts gives `sql`
// back. The tokens refer to `sql`, which must outlive them.
// Throws ComError (kErrProvider, source "T-SQL bridge") for an unterminated string literal,
// bracketed or quoted name or block comment; the description names it and its position
// (1-based byte offset).
std::vector<SqlToken> TokenizeSql(std::string_view sql);

}  // namespace q9::platform::db
