#include "platform/db/connection_string.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform::db {
namespace {

TEST(ConnectionStringTest, ParsesPairsWithQuotingAndAnyKeyCase) {
  auto cs = ConnectionString::Parse(
      " Provider = SQLite ;Data Source={C:\\a;b=c.db};Password='it''s';User ID=\"x\"\"y\";;");
  EXPECT_EQ(cs.Get("provider"), "SQLite");
  EXPECT_EQ(cs.Get("DATA SOURCE"), "C:\\a;b=c.db");
  EXPECT_EQ(cs.Get("Password"), "it's");
  EXPECT_EQ(cs.Get("User ID"), "x\"y");
  EXPECT_FALSE(cs.Get("Initial Catalog").has_value());
  EXPECT_EQ(ConnectionString::Parse("a={x}}y}").Get("a"), "x}y");
}

TEST(ConnectionStringTest, RedactedHidesEverySecret) {
  auto cs = ConnectionString::Parse("Server=h;UID=sa;PWD=s3cret;Password=other");
  std::string shown = cs.Redacted();
  EXPECT_EQ(shown.find("s3cret"), std::string::npos);
  EXPECT_EQ(shown.find("other"), std::string::npos);
  EXPECT_NE(shown.find("Server=h"), std::string::npos);
  EXPECT_EQ(ConnectionString::Parse(cs.ToString()).Get("PWD"), "s3cret");
  // A '}' in a braced value survives writing the string back.
  EXPECT_EQ(ConnectionString::Parse(ConnectionString::Parse("a={x}}y;z}").ToString()).Get("a"),
            "x}y;z");
}

TEST(ConnectionStringTest, MalformedTextIsBadArgument) {
  for (const char* bad : {"Provider", "=x", "a={unclosed", "a='x'y;", "a=1;junk"}) {
    EXPECT_EQ(q9::testing::ErrorNumberOf([&] { ConnectionString::Parse(bad); }), kErrBadArgument)
        << bad;
  }
}

}  // namespace
}  // namespace q9::platform::db
