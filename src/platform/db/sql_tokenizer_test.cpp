#include "platform/db/sql_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace q9::platform::db {
namespace {

using K = SqlTokenKind;
using Expected = std::vector<std::pair<K, std::string>>;

Expected Kinds(std::string_view sql) {
  Expected result;
  for (const SqlToken& t : TokenizeSql(sql)) result.emplace_back(t.kind, std::string(t.text));
  return result;
}

TEST(SqlTokenizerTest, SplitsIntoKindedTokens) {
  struct Case {
    const char* sql;
    Expected tokens;
  } cases[] = {
      {"SELECT R.ID",
       {{K::kWord, "SELECT"},
        {K::kWhitespace, " "},
        {K::kWord, "R"},
        {K::kOperator, "."},
        {K::kWord, "ID"}}},
      {"'it''s'+N'中文'", {{K::kString, "'it''s'"}, {K::kOperator, "+"}, {K::kString, "N'中文'"}}},
      {"[ORDER EX]]x].\"a\"\"b\"",
       {{K::kBracketedName, "[ORDER EX]]x]"}, {K::kOperator, "."}, {K::kQuotedName, "\"a\"\"b\""}}},
      {"0.0 12 .5 1e3 2.5E-2 0x1F",
       {{K::kNumber, "0.0"},
        {K::kWhitespace, " "},
        {K::kNumber, "12"},
        {K::kWhitespace, " "},
        {K::kNumber, ".5"},
        {K::kWhitespace, " "},
        {K::kNumber, "1e3"},
        {K::kWhitespace, " "},
        {K::kNumber, "2.5E-2"},
        {K::kWhitespace, " "},
        {K::kNumber, "0x1F"}}},
      {"a<>b<=c>=d!=e||f<g",
       {{K::kWord, "a"},
        {K::kOperator, "<>"},
        {K::kWord, "b"},
        {K::kOperator, "<="},
        {K::kWord, "c"},
        {K::kOperator, ">="},
        {K::kWord, "d"},
        {K::kOperator, "!="},
        {K::kWord, "e"},
        {K::kOperator, "||"},
        {K::kWord, "f"},
        {K::kOperator, "<"},
        {K::kWord, "g"}}},
      {"x -- note 'not a string'\r\n/* a /* nested */ still */y",
       {{K::kWord, "x"},
        {K::kWhitespace, " "},
        {K::kComment, "-- note 'not a string'"},
        {K::kWhitespace, "\r\n"},
        {K::kComment, "/* a /* nested */ still */"},
        {K::kWord, "y"}}},
      {"@v #t cDefine22 货位 VKSystem..VA_Period",
       {{K::kWord, "@v"},
        {K::kWhitespace, " "},
        {K::kWord, "#t"},
        {K::kWhitespace, " "},
        {K::kWord, "cDefine22"},
        {K::kWhitespace, " "},
        {K::kWord, "货位"},
        {K::kWhitespace, " "},
        {K::kWord, "VKSystem"},
        {K::kOperator, "."},
        {K::kOperator, "."},
        {K::kWord, "VA_Period"}}},
      // A word that merely ends in N is not a national string prefix.
      {"IN'x'", {{K::kWord, "IN"}, {K::kString, "'x'"}}},
      {"'假退料'and", {{K::kString, "'假退料'"}, {K::kWord, "and"}}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Kinds(c.sql), c.tokens) << c.sql;
}

TEST(SqlTokenizerTest, TokensCoverTheTextWithOffsets) {
  const std::string sql =
      " SELECT ISNULL(R.cBusType,'') + ',' -- x\n FROM [dbo].RdRecord R WHERE R.cCode = N'0'";
  std::string joined;
  for (const SqlToken& t : TokenizeSql(sql)) {
    EXPECT_EQ(t.offset, joined.size());
    EXPECT_EQ(sql.substr(t.offset, t.text.size()), t.text);
    joined.append(t.text);
  }
  EXPECT_EQ(joined, sql);
}

TEST(SqlTokenizerTest, UnterminatedTokensAreErrorsNamingThem) {
  struct Case {
    const char* sql;
    const char* message;
  } cases[] = {
      {"SELECT 'abc", "unterminated string literal starting at byte 8"},
      {"SELECT 'it''", "unterminated string literal starting at byte 8"},
      {"SELECT N'abc", "unterminated string literal starting at byte 8"},
      {"SELECT [abc", "unterminated bracketed name starting at byte 8"},
      {"SELECT [a]]", "unterminated bracketed name starting at byte 8"},
      {"SELECT \"abc", "unterminated quoted name starting at byte 8"},
      {"SELECT /* a /* b */", "unterminated block comment starting at byte 8"},
  };
  for (const Case& c : cases) {
    try {
      TokenizeSql(c.sql);
      ADD_FAILURE() << "accepted " << c.sql;
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), kErrProvider) << c.sql;
      EXPECT_EQ(e.source(), kTsqlBridgeSource) << c.sql;
      EXPECT_EQ(e.description(), c.message) << c.sql;
    }
  }
}

}  // namespace
}  // namespace q9::platform::db
