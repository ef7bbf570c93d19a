#include "services/reference_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

#include "component/iclskczt.h"
#include "platform/db/recordset.h"
#include "platform/dispatch.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using component::IClsKCZT;
using platform::Args;
using platform::ComError;
using platform::InvokeKind;
using platform::Variant;
using testing::RecordsetRows;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

std::shared_ptr<db::Recordset> OneColumn(const std::string& name, std::vector<std::string> cells) {
  auto rows = std::make_shared<db::RowSet>(std::vector<std::string>{name});
  for (auto& c : cells) rows->Append(Variant(c));
  auto rs = std::make_shared<db::Recordset>();
  rs->OpenRows(rows, db::kLockReadOnly);
  return rs;
}

// One call the double saw: the member and a copy of its arguments as they came in.
struct Call {
  std::string member;
  std::vector<Variant> args;
};

// A reference server whose members a test scripts; it records every call.
class ScriptedServer : public platform::Object {
 public:
  using Script = std::function<Variant(Args&)>;
  std::map<std::string, Script> scripts;
  std::vector<Call> calls;

  Variant Invoke(std::string_view name, InvokeKind, Args& args) override {
    Call call{std::string(name), {}};
    for (size_t i = 0; i < args.size(); ++i) call.args.push_back(args[i]);
    calls.push_back(std::move(call));
    auto it = scripts.find(std::string(name));
    return it == scripts.end() ? Variant() : it->second(args);
  }
  std::string ClassName() const override { return "ScriptedServer"; }
};

// A gLogin whose OldLogin is a fixed object; counts the reads.
class CountingLogin : public platform::Object {
 public:
  platform::ObjectPtr inner = std::make_shared<ScriptedServer>();
  int reads = 0;
  Variant Invoke(std::string_view name, InvokeKind, Args&) override {
    if (!platform::SameMemberName(name, "OldLogin")) throw platform::MemberNotFound("Login");
    ++reads;
    return Variant(inner);
  }
  std::string ClassName() const override { return "CountingLogin"; }
};

class FetchReferenceDataTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedServer> server_ = std::make_shared<ScriptedServer>();
  std::shared_ptr<CountingLogin> login_ = std::make_shared<CountingLogin>();
  platform::ScopedProgId registration_{kReferServerProgId, [this] { return server_; }};
  Variant gLogin_{login_};
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

  ASSERT_EQ(server_->calls.size(), 3u);
  EXPECT_EQ(server_->calls[0].member, "SetRWAuth");
  EXPECT_EQ(server_->calls[0].args,
            (std::vector<Variant>{Variant("Warehouse"), Variant("W"), Variant(false)}));
  EXPECT_EQ(server_->calls[1].member, "GetData");
  EXPECT_EQ(server_->calls[1].args,
            (std::vector<Variant>{Variant(login_->inner), Variant("Warehouse"), Variant("0"),
                                  Variant("仓"), Variant("cWhName"), Variant(int16_t{10}),
                                  Variant(int32_t{2}), Variant(int32_t{0}), Variant::Nothing(),
                                  Variant("")}));
  EXPECT_EQ(server_->calls[2].member, "GetTitleFormat");
  EXPECT_EQ(server_->calls[2].args[0], Variant(login_->inner));
  EXPECT_EQ(login_->reads, 2);  // OldLogin is read anew for each call that passes it

  EXPECT_EQ(cur_page_, 3);
  EXPECT_EQ(page_count_, 7);
  EXPECT_EQ(RecordsetRows(rs_), (Rows{{"01"}, {"02"}}));
  EXPECT_EQ(RecordsetRows(rs_col_), (Rows{{"cWhCode"}}));
  // The server's own recordsets are closed; the clones stay open.
  EXPECT_EQ(data->State(), db::kStateClosed);
  EXPECT_EQ(title->State(), db::kStateClosed);
}

TEST_F(FetchReferenceDataTest, FullModeWithoutDataIsFalseWithoutError) {
  server_->scripts["GetTitleFormat"] = [](Args&) { return Variant(OneColumn("c", {})); };
  ReferenceRequest request{true, "Warehouse", "", "", "", 10};
  EXPECT_FALSE(FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_));
  EXPECT_EQ(rs_, Variant("rs untouched"));
  EXPECT_EQ(rs_col_, Variant("RsCol untouched"));
}

TEST_F(FetchReferenceDataTest, FullModeWithoutTitleFailsAfterSettingRs) {
  server_->scripts["GetData"] = [](Args& a) {
    a[8] = Variant(OneColumn("c", {"x"}));
    return Variant();
  };
  ReferenceRequest request{true, "Warehouse", "", "", "", 10};
  try {
    FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_);
    ADD_FAILURE() << "no error for a missing title";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), platform::kErrObjectNotSet);
  }
  EXPECT_EQ(RecordsetRows(rs_), (Rows{{"x"}}));
  EXPECT_EQ(rs_col_, Variant("RsCol untouched"));
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
  ASSERT_EQ(server_->calls.size(), 1u);
  EXPECT_EQ(server_->calls[0].member, "GetRefStrRst");
  EXPECT_EQ(server_->calls[0].args,
            (std::vector<Variant>{Variant(login_->inner), Variant("Position"), Variant::Nothing(),
                                  Variant(""), Variant(true), Variant(int16_t{15}),
                                  Variant(int32_t{2}), Variant(int32_t{0})}));
  EXPECT_EQ(login_->reads, 1);
  EXPECT_EQ(cur_page_, 1);
  EXPECT_EQ(page_count_, 4);
  EXPECT_EQ(RecordsetRows(rs_), (Rows{{"P1"}}));
  EXPECT_EQ(rs_col_, Variant("RsCol untouched"));
  EXPECT_EQ(data->State(), db::kStateClosed);
}

TEST_F(FetchReferenceDataTest, PlainModeWithoutDataFails) {
  ReferenceRequest request{false, "Position", "", "", "", 15};
  EXPECT_THROW(FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_),
               ComError);
  EXPECT_EQ(rs_, Variant("rs untouched"));
}

TEST_F(FetchReferenceDataTest, WhatTheServerWroteBeforeFailingStaysWithTheCaller) {
  server_->scripts["GetData"] = [](Args& a) -> Variant {
    a[6] = Variant(int32_t{5});
    a[7] = Variant(int32_t{9});
    throw ComError(5, "VkReferS.VkReferServer", "参照服务出错");
  };
  ReferenceRequest request{true, "Warehouse", "", "", "", 10};
  EXPECT_THROW(FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_),
               ComError);
  EXPECT_EQ(cur_page_, 5);
  EXPECT_EQ(page_count_, 9);
}

TEST_F(FetchReferenceDataTest, AValueThatIsNotARecordsetIsATypeMismatch) {
  server_->scripts["GetRefStrRst"] = [](Args& a) {
    a[2] = Variant(std::make_shared<ScriptedServer>());
    return Variant();
  };
  ReferenceRequest request{false, "Position", "", "", "", 15};
  try {
    FetchReferenceData(gLogin_, request, cur_page_, page_count_, rs_, rs_col_);
    ADD_FAILURE() << "accepted a non-recordset";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), platform::kErrTypeMismatch);
  }
}

// Through the component and the reference server substitute, on a real company database.
class GetRefDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::erp::RegisterErpSubstitutes();
    std::string sql;
    for (int i = 1; i <= 23; ++i) {
      char code[8];
      std::snprintf(code, sizeof code, "%03d", i);
      sql += "INSERT INTO Inventory VALUES ('" + std::string(code) + "', '" +
             (i % 2 ? "螺丝" : "螺母") + std::to_string(i) + "', 'M" + std::to_string(i) + "');";
    }
    db_.Exec(sql);
    ASSERT_TRUE(component_.Init(db_.CallerLogin()));
  }

  testing::ServicesDatabase db_;
  IClsKCZT component_;
};

TEST_F(GetRefDataTest, FullModePagesThroughInventoriesWithTheirTitle) {
  int32_t cur_page = 2;
  int32_t page_count = 0;
  Variant rs;
  Variant rs_col;
  Variant err("untouched");
  ASSERT_TRUE(component_.GetRefData(true, "Inventory", "0", "螺母", "cInvName DESC", 4, cur_page,
                                    page_count, rs, rs_col, err))
      << err.ConcatText();
  EXPECT_EQ(err, Variant("untouched"));
  // Eleven 螺母 (the even codes), four to a page, by name descending: 螺母8, 螺母6, 螺母4,
  // 螺母22, | 螺母20, 螺母2, 螺母18, 螺母16, | ...
  EXPECT_EQ(page_count, 3);
  EXPECT_EQ(cur_page, 2);
  EXPECT_EQ(RecordsetRows(rs), (Rows{{"020", "螺母20", "M20"},
                                     {"002", "螺母2", "M2"},
                                     {"018", "螺母18", "M18"},
                                     {"016", "螺母16", "M16"}}));
  EXPECT_EQ(RecordsetRows(rs_col).size(), 3u);
}

TEST_F(GetRefDataTest, MessagesBeginWithOneBlank) {
  int32_t cur_page = 1;
  int32_t page_count = 0;
  Variant rs("untouched");
  Variant rs_col;
  Variant err;
  EXPECT_FALSE(component_.GetRefData(true, "Nonsense", "", "", "", 10, cur_page, page_count, rs,
                                     rs_col, err));
  EXPECT_EQ(err.ConcatText().rfind(" 参照表 'Nonsense' 不存在", 0), 0u) << err.ConcatText();
  EXPECT_EQ(rs, Variant("untouched"));

  EXPECT_FALSE(component_.GetRefData(true, "Inventory", "", "", "cNoSuchColumn", 10, cur_page,
                                     page_count, rs, rs_col, err));
  EXPECT_EQ(err.ConcatText().rfind(" 参照表 Inventory 没有列 'cNoSuchColumn'", 0), 0u)
      << err.ConcatText();

  platform::UnregisterProgId(kReferServerProgId);
  EXPECT_FALSE(component_.GetRefData(false, "Inventory", "", "", "", 10, cur_page, page_count, rs,
                                     rs_col, err));
  EXPECT_EQ(err, Variant(" ActiveX component can't create object: VkReferS.VkReferServer"));
  platform::erp::RegisterErpSubstitutes();
}

}  // namespace
}  // namespace q9::services
