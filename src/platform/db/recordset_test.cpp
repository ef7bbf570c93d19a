#include "platform/db/recordset.h"

#include <gtest/gtest.h>

#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/temp_dir.h"

namespace q9::platform::db {
namespace {

using q9::testing::ErrorNumberOf;
using q9::testing::ErrorOf;

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ExecSqlite(db_, R"(
      CREATE TABLE T(id INTEGER, name TEXT COLLATE NOCASE, qty REAL, d DATE, flag BIT);
      INSERT INTO T VALUES (1, 'a', 1.5, '2024-01-02', 1), (2, NULL, 2, NULL, 0),
                           (3, 'c', -3.25, '2024-12-31', 1);)");
    conn_.Open("Provider=SQLite;Data Source=" + db_);
  }

  testing::TempDir dir_;
  std::string db_ = dir_.File("t.db");
  Connection conn_;
};

TEST_F(RecordsetTest, MaterializesTypedValues) {
  Recordset rs;
  rs.SetCursorLocation(kUseClient);
  rs.Open("SELECT id, name, qty, d, flag FROM T ORDER BY id", conn_, kOpenDynamic, kLockReadOnly);
  ASSERT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs.Field("id").type(), VarType::I4);
  EXPECT_EQ(rs.Field("NAME"), Variant("a"));
  EXPECT_EQ(rs.Field("qty"), Variant(1.5));
  EXPECT_EQ(rs.Field("d").ToDate().ToIsoDate(), "2024-01-02");
  EXPECT_EQ(rs.Field("flag"), Variant(true));
  rs.MoveNext();
  EXPECT_TRUE(rs.Field("name").is_null());
  EXPECT_TRUE(rs.Field("d").is_null());
  EXPECT_EQ(rs.Field(size_t{4}), Variant(false));
}

TEST_F(RecordsetTest, CursorMovesAndPositions) {
  Recordset rs;
  rs.Open("SELECT id FROM T ORDER BY id", conn_);
  EXPECT_FALSE(rs.Bof());
  EXPECT_EQ(rs.AbsolutePosition(), 1);
  rs.SetAbsolutePosition(3);
  EXPECT_EQ(rs.Field("id").ToI4(), 3);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.AbsolutePosition(), kPosEOF);
  EXPECT_EQ(ErrorNumberOf([&] { rs.Field("id"); }), kErrNoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { rs.MoveNext(); }), kErrNoCurrentRecord);
  rs.MoveFirst();
  rs.MovePrevious();
  EXPECT_TRUE(rs.Bof());
  for (int bad : {0, 4, -1}) {
    EXPECT_EQ(ErrorNumberOf([&] { rs.SetAbsolutePosition(bad); }), kErrBadArgument) << bad;
  }
  EXPECT_EQ(ErrorNumberOf([&] { rs.Field("nope"); }), kErrItemNotFound);
}

TEST_F(RecordsetTest, ClonesShareRowsKeepTheirOwnPositionAndOutliveTheOriginal) {
  auto rs = std::make_shared<Recordset>();
  rs->Open("SELECT id FROM T ORDER BY id", conn_, kOpenDynamic, kLockReadOnly);
  rs->SetAbsolutePosition(2);
  auto clone = rs->Clone();
  EXPECT_EQ(clone->rows(), rs->rows());
  EXPECT_EQ(clone->AbsolutePosition(), 1);
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  EXPECT_EQ(clone->lock_type(), kLockReadOnly);
  rs->Close();
  conn_.Close();
  rs.reset();
  clone->MoveLast();
  EXPECT_EQ(clone->Field("id").ToI4(), 3);
}

TEST_F(RecordsetTest, ClosedObjectsSay3704) {
  Recordset rs;
  EXPECT_EQ(ErrorNumberOf([&] { rs.Eof(); }), kErrObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { rs.Clone(); }), kErrObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { rs.Close(); }), kErrObjectClosed);
  EXPECT_EQ(rs.State(), 0);
  conn_.Close();
  EXPECT_EQ(ErrorNumberOf([&] { rs.Open("SELECT 1", conn_); }), kErrObjectClosed);
  EXPECT_EQ(ErrorNumberOf([&] { conn_.Close(); }), kErrObjectClosed);
}

TEST_F(RecordsetTest, LateBoundMembers) {
  auto rs = std::make_shared<Recordset>();
  rs->Open("SELECT id, name FROM T ORDER BY id", conn_);
  Variant v(std::static_pointer_cast<Object>(rs));
  EXPECT_EQ(GetProperty(v, "state").ToI4(), 1);
  EXPECT_EQ(GetProperty(v, "RecordCount").ToI4(), 3);
  PutProperty(v, "AbsolutePosition", Variant(int32_t{2}));
  Args field;
  field.Val(Variant("id"));
  EXPECT_EQ(GetProperty(v, "Fields", field).ToI4(), 2);
  Variant clone = CallMethod(v, "Clone");
  EXPECT_EQ(GetProperty(clone, "AbsolutePosition").ToI4(), 1);
  EXPECT_EQ(ErrorNumberOf([&] { CallMethod(v, "Requery"); }), kErrMemberNotFound);
}

// The engine runs queries and row writes only; SQLite's own statements and DDL never reach it.
TEST_F(RecordsetTest, StatementsOtherThanQueriesAndRowWritesAreRefused) {
  struct Case {
    const char* sql;
    const char* word;
    int byte;
  } cases[] = {{"DROP TABLE T", "DROP", 1},
               {"CREATE TABLE U (a INTEGER)", "CREATE", 1},
               {" -- note\n/* x */ (PRAGMA writable_schema = 1)", "PRAGMA", 19},
               {"ATTACH DATABASE 'x.db' AS X", "ATTACH", 1},
               {"'x'", "'", 1}};
  for (const Case& c : cases) {
    auto e = ErrorOf([&] { conn_.Execute(c.sql); });
    ASSERT_TRUE(e) << "ran " << c.sql;
    EXPECT_EQ(e->number(), kErrProvider);
    EXPECT_EQ(e->description(),
              std::string("the embedded engine runs SELECT, INSERT, UPDATE and DELETE statements "
                          "only, not one that begins with '") +
                  c.word + "' (at byte " + std::to_string(c.byte) + ")");
  }
  // The table is still there, and statements of the four kinds run, in any letter case.
  conn_.Execute(" insert INTO T (id) VALUES (4)");
  conn_.Execute("/* c */ Delete FROM T WHERE id = 4");
  Recordset rs;
  rs.Open("select id FROM T", conn_);
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(conn_.Run("-- nothing\n").rows, nullptr);
}

TEST(ConnectionOpenTest, MissingFilesAndUnknownProvidersAreClearErrors) {
  struct Case {
    std::string cs;
    std::string expected_text;
  } cases[] = {{"Provider=Jet;Data Source=x.mdb", "unknown provider 'Jet'"},
               {"Data Source=x.db", "names no provider"},
               {"Provider=SQLite", "names no database"}};
  for (const Case& c : cases) {
    Connection conn;
    auto e = ErrorOf([&] { conn.Open(c.cs); });
    ASSERT_TRUE(e) << c.cs;
    EXPECT_NE(e->description().find(c.expected_text), std::string::npos) << e->description();
    EXPECT_EQ(conn.State(), 0);
  }
}

}  // namespace
}  // namespace q9::platform::db
