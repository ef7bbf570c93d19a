#include "ledger/client_recordset.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace q9::ledger {
namespace {

using platform::db::Connection;

class ClientRecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ExecSqlite(db_,
                        "CREATE TABLE Inventory (cInvCode TEXT, iQuantity REAL);"
                        "INSERT INTO Inventory VALUES ('B2', 5.5), ('A1', 2);");
    conn_.Open("Provider=SQLite;Data Source=" + db_);
  }
  testing::TempDir dir_;
  std::string db_ = dir_.File("company.db");
  Connection conn_;
};

TEST_F(ClientRecordsetTest, HandsOutAReadOnlyClientCloneOnTheFirstRow) {
  auto rs = OpenClientClone("SELECT cInvCode, iQuantity FROM Inventory ORDER BY cInvCode", conn_);
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(rs->State(), platform::db::kStateOpen);
  EXPECT_EQ(rs->cursor_location(), platform::db::kUseClient);
  EXPECT_EQ(rs->lock_type(), platform::db::kLockReadOnly);
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(rs->Field("cInvCode"), platform::Variant("A1"));
  rs->MoveNext();
  EXPECT_EQ(rs->Field("iQuantity"), platform::Variant(5.5));
  // No rows: still an open clone, at both ends.
  auto none = OpenClientClone("SELECT cInvCode FROM Inventory WHERE cInvCode = 'none'", conn_);
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->Eof() && none->Bof());
}

}  // namespace
}  // namespace q9::ledger
