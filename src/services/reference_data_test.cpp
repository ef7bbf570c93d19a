#include "services/reference_data.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/recordset_test_support.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/dispatch_test_doubles.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using platform::Args;
using platform::ComError;
using platform::InvokeKind;
using platform::Variant;
using testing::RecordsetRows;
using Rows = std::vector<std::vector<std::string>>;
using testing::LoginOf;
using testing::ScriptedObject;
namespace db = platform::db;

std::shared_ptr<db::Recordset> OneColumn(const std::string& name, std::vector<std::string> cells) {
  return q9::testing::RecordsetOf({name}, std::vector<Variant>(cells.begin(), cells.end()));
}

class FetchReferenceDataTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedObject> server_ = std::make_shared<ScriptedObject>();
  std::shared_ptr<ScriptedObject> inner_ = std::make_shared<ScriptedObject>();
  platform::ScopedProgId registration_{kReferServerProgId, [this] { return server_; }};
  Variant gLogin_{LoginOf(inner_)};  // its OldLogin reads are the calls of inner_
  int32_t cur_page_ = 2;
  int32_t page_count_ = 0;
  Variant rs_{"rs untouched"};
  Variant rs_col_{"RsCol untouched"};
};

TEST_F(FetchReferenceDataTest, FullModeCallsTheServerInOrderWithItsArguments) {
  auto data = OneColumn("cWhCode", {"01", "02"});
  auto title = OneColumn("cFieldName", {"cWhCode"});
  server_->scripts["GetData"] = [&](Args& a) {
    a[1] = Variant("changed table");
    a[5] = Variant(int16_t{99});
    a[6] = Variant(int32_t{3});
    a[7] = Variant(int32_t{7});
    a[8] = Variant(data);
    return Variant(true);
  };
  server_->scripts["GetTitleFormat"] = [&](Args& a) {
    EXPECT_EQ(a[1], Variant("changed table"));  // the same local copy, by reference
    return Variant(title);
  };
  ReferenceRequest request{true, "Warehouse", "0", "仓", "cWhName", 10};
  ASSERT_TRUE(FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_));

  ASSERT_EQ(server_->Members(),
            (std::vector<std::string>{"SetRWAuth", "GetData", "GetTitleFormat"}));
  EXPECT_EQ((*server_->calls)[0].args,
            (std::vector<Variant>{Variant("Warehouse"), Variant("W"), Variant(false)}));
  EXPECT_EQ(
      (*server_->calls)[1].args,
      (std::vector<Variant>{Variant(inner_), Variant("Warehouse"), Variant("0"), Variant("仓"),
                            Variant("cWhName"), Variant(int16_t{10}), Variant(int32_t{2}),
                            Variant(int32_t{0}), Variant::Nothing(), Variant("")}));
  EXPECT_EQ((*server_->calls)[2].args[0], Variant(inner_));
  EXPECT_EQ(inner_->calls->size(), 2u);  // OldLogin is read anew for each call that passes it

  EXPECT_EQ(cur_page_, 3);
  EXPECT_EQ(page_count_, 7);
  EXPECT_EQ(RecordsetRows(rs_), (Rows{{"01"}, {"02"}}));
  EXPECT_EQ(RecordsetRows(rs_col_), (Rows{{"cWhCode"}}));
  // The server's own recordsets are closed; the clones stay open.
  EXPECT_EQ(data->State(), db::kStateClosed);
  EXPECT_EQ(title->State(), db::kStateClosed);
}

TEST_F(FetchReferenceDataTest, PlainModeUsesGetRefStrRstAndLeavesRsColAlone) {
  auto data = OneColumn("cPosCode", {"P1"});
  server_->scripts["GetRefStrRst"] = [&](Args& a) {
    a[2] = Variant(data);
    a[5] = Variant(int16_t{50});
    a[6] = Variant(int32_t{1});
    a[7] = Variant(int32_t{4});
    return Variant(true);
  };
  ReferenceRequest request{false, "Position", "ignored", "ignored", "ignored", 15};
  ASSERT_TRUE(FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_));
  ASSERT_EQ(server_->Members(), std::vector<std::string>{"GetRefStrRst"});
  EXPECT_EQ((*server_->calls)[0].args,
            (std::vector<Variant>{Variant(inner_), Variant("Position"), Variant::Nothing(),
                                  Variant(""), Variant(true), Variant(int16_t{15}),
                                  Variant(int32_t{2}), Variant(int32_t{0})}));
  EXPECT_EQ(inner_->calls->size(), 1u);
  EXPECT_EQ(cur_page_, 1);
  EXPECT_EQ(page_count_, 4);
  EXPECT_EQ(RecordsetRows(rs_), (Rows{{"P1"}}));
  EXPECT_EQ(rs_col_, Variant("RsCol untouched"));
  EXPECT_EQ(data->State(), db::kStateClosed);
}

// What the server leaves out or gets wrong: the outcome and what reached the caller.
TEST_F(FetchReferenceDataTest, MissingOrWrongAnswersOfTheServer) {
  struct Case {
    const char* name;
    bool full;
    const char* member;
    int error;         // 0: no error, false
    const char* cell;  // the one cell of rs; nullptr: rs untouched
    int32_t cur_page;
    std::function<Variant(Args&)> script;
  } cases[] = {
      {"full mode without data", true, "GetTitleFormat", 0, nullptr, 2,
       [](Args&) { return Variant(OneColumn("c", {})); }},
      {"full mode without title", true, "GetData", platform::kErrObjectNotSet, "x", 2,
       [](Args& a) { return a[8] = Variant(OneColumn("c", {"x"})), Variant(); }},
      {"plain mode without data", false, "GetRefStrRst", platform::kErrObjectNotSet, nullptr, 2,
       [](Args&) { return Variant(); }},
      {"a value that is no recordset", false, "GetRefStrRst", platform::kErrTypeMismatch, nullptr,
       2, [](Args& a) { return a[2] = Variant(std::make_shared<ScriptedObject>()), Variant(); }},
      // What the server wrote before failing stays with the caller.
      {"server error", true, "GetData", 5, nullptr, 5, [](Args& a) -> Variant {
         a[6] = Variant(int32_t{5});
         throw ComError(5, "VkReferS.VkReferServer", "参照服务出错");
       }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_->scripts = {{c.member, c.script}};
    cur_page_ = 2;
    rs_ = Variant("rs untouched");
    ReferenceRequest request{c.full, "Warehouse", "", "", "", 10};
    try {
      EXPECT_FALSE(FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_));
      EXPECT_EQ(c.error, 0);
    } catch (const ComError& e) {
      EXPECT_EQ(e.number(), c.error);
    }
    if (c.cell) {
      EXPECT_EQ(RecordsetRows(rs_), Rows{{c.cell}});
    } else {
      EXPECT_EQ(rs_, Variant("rs untouched"));
    }
    EXPECT_EQ(rs_col_, Variant("RsCol untouched"));
    EXPECT_EQ(cur_page_, c.cur_page);
  }
}

}  // namespace
}  // namespace q9::services
