#include "platform/db/sql_tokenizer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform::db {
namespace {

// Each token as a one-letter kind and its text, tokens joined by '|'; blanks are not shown.
std::string Kinds(std::string_view sql) {
  static const char kLetter[] = {'w', 'b', 'q', 's', 'n', 'o', ' ', 'c'};
  std::string out;
  for (const SqlToken& t : TokenizeSql(sql)) {
    const char kind = kLetter[static_cast<int>(t.kind)];
    if (kind == ' ') continue;
    out += (out.empty() ? "" : "|") + std::string(1, kind) + ":" + std::string(t.text);
  }
  return out;
}

TEST(SqlTokenizerTest, SplitsIntoKindedTokens) {
  struct Case {
    const char* sql;
    const char* tokens;
  } cases[] = {{"SELECT R.ID", "w:SELECT|w:R|o:.|w:ID"},
               {"'it''s'+N'中文'", "s:'it''s'|o:+|s:N'中文'"},
               {"[ORDER EX]]x].\"a\"\"b\"", "b:[ORDER EX]]x]|o:.|q:\"a\"\"b\""},
               {"0.0 12 .5 1e3 2.5E-2 0x1F", "n:0.0|n:12|n:.5|n:1e3|n:2.5E-2|n:0x1F"},
               {"a<>b<=c>=d!=e||f<g", "w:a|o:<>|w:b|o:<=|w:c|o:>=|w:d|o:!=|w:e|o:|||w:f|o:<|w:g"},
               {"x -- note 'not a string'\r\n/* a /* nested */ still */y",
                "w:x|c:-- note 'not a string'|c:/* a /* nested */ still */|w:y"},
               {"@v #t cDefine22 货位 VKSystem..VA_Period",
                "w:@v|w:#t|w:cDefine22|w:货位|w:VKSystem|o:.|o:.|w:VA_Period"},
               // A word that merely ends in N is not a national string prefix.
               {"IN'x'", "w:IN|s:'x'"},
               {"'假退料'and", "s:'假退料'|w:and"},
               {"", ""}};
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
  } cases[] = {{"SELECT 'it''", "unterminated string literal starting at byte 8"},
               {"SELECT N'abc", "unterminated string literal starting at byte 8"},
               {"SELECT [a]]", "unterminated bracketed name starting at byte 8"},
               {"SELECT \"abc", "unterminated quoted name starting at byte 8"},
               {"SELECT /* a /* b */", "unterminated block comment starting at byte 8"}};
  for (const Case& c : cases) {
    auto e = q9::testing::ErrorOf([&] { TokenizeSql(c.sql); });
    ASSERT_TRUE(e) << "accepted " << c.sql;
    EXPECT_EQ(e->number(), kErrProvider) << c.sql;
    EXPECT_EQ(e->source(), kTsqlBridgeSource) << c.sql;
    EXPECT_EQ(e->description(), c.message) << c.sql;
  }
}

}  // namespace
}  // namespace q9::platform::db
