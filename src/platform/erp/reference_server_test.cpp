#include "platform/erp/reference_server.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/services_fixture.h"

namespace q9::platform::erp {
namespace {

using testing::RecordsetFields;
using testing::RecordsetRows;
using Rows = std::vector<std::vector<std::string>>;

// The answer of one GetData call: what the server wrote back and the rows of its page.
struct Page {
  Variant page_size;
  Variant cur_page;
  Variant page_count;
  Variant data;
};

class ReferServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string sql;
    for (int i = 1; i <= 25; ++i) {
      char code[8];
      std::snprintf(code, sizeof code, "W%02d", i);
      sql += "INSERT INTO Warehouse VALUES ('" + std::string(code) + "', '仓库" +
             std::to_string(i) + "');";
    }
    db_.Exec(sql);
  }

  Page GetData(const std::string& table, const std::string& filter, const std::string& key_word,
               const std::string& order, int16_t page_size, int32_t cur_page,
               const Variant& login = Variant()) {
    Page p{Variant(page_size), Variant(cur_page), Variant(int32_t{-7}), Variant::Nothing()};
    Variant t(table), f(filter), k(key_word), o(order);
    Args args;
    args.Val(login.is_empty() ? login_ : login).Ref(&t).Ref(&f).Ref(&k).Ref(&o);
    args.Ref(&p.page_size).Ref(&p.cur_page).Ref(&p.page_count).Ref(&p.data).Val(Variant(""));
    EXPECT_EQ(server_->Invoke("GetData", InvokeKind::kMethod, args), Variant(true));
    return p;
  }

  Rows Codes(const Variant& data) {
    Rows rows = RecordsetRows(data);
    for (auto& r : rows) r.resize(1);
    return rows;
  }

  testing::ServicesDatabase db_;
  Variant login_ = db_.CallerLogin();
  ObjectPtr server_ = CreateReferServer();
};

TEST_F(ReferServerTest, PagesThroughTheTableAndWritesThePagingBack) {
  struct Case {
    int16_t page_size;
    int32_t cur_page;
    int16_t page_size_after;
    int32_t cur_page_after;
    int32_t page_count;
    const char* first;
    const char* last;
    size_t rows;
  } cases[] = {{10, 2, 10, 2, 3, "W11", "W20", 10},  {10, 3, 10, 3, 3, "W21", "W25", 5},
               {10, 0, 10, 1, 3, "W01", "W10", 10},  {10, 99, 10, 3, 3, "W21", "W25", 5},
               {0, 2, 20, 2, 2, "W21", "W25", 5},    {-3, 1, 20, 1, 2, "W01", "W20", 20},
               {10, -4, 10, 1, 3, "W01", "W10", 10}, {25, 1, 25, 1, 1, "W01", "W25", 25},
               {26, 1, 26, 1, 1, "W01", "W25", 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE("page size " + std::to_string(c.page_size) + ", page " +
                 std::to_string(c.cur_page));
    Page p = GetData("Warehouse", "", "", "", c.page_size, c.cur_page);
    EXPECT_EQ(p.page_size, Variant(c.page_size_after));
    EXPECT_EQ(p.cur_page, Variant(c.cur_page_after));
    EXPECT_EQ(p.page_count, Variant(c.page_count));
    Rows rows = RecordsetRows(p.data);
    ASSERT_EQ(rows.size(), c.rows);
    EXPECT_EQ(rows.front()[0], c.first);
    EXPECT_EQ(rows.back()[0], c.last);
  }
}

TEST_F(ReferServerTest, TheDataHasTheTableColumnsOnTheClient) {
  Page p = GetData("warehouse", "", "", "", 2, 1);
  EXPECT_EQ(RecordsetFields(p.data), (std::vector<std::string>{"cWhCode", "cWhName"}));
  EXPECT_EQ(RecordsetRows(p.data), (Rows{{"W01", "仓库1"}, {"W02", "仓库2"}}));
  EXPECT_EQ(db::AsRecordset(p.data, "data")->cursor_location(), db::kUseClient);
}

// Quotes, % and key words in code and name on the demo company are the end-to-end suites' part.
TEST_F(ReferServerTest, FilterIsACodePrefixAndKeyWordSearchesCodeAndName) {
  db_.Exec("INSERT INTO Warehouse VALUES ('a30', '原料仓'), ('A31', '成品仓'), ('B01', 'X_Y');");
  struct Case {
    const char* filter;
    const char* key_word;
    Rows codes;
  } cases[] = {{"a", "", {{"a30"}, {"A31"}}},
               {"", "_", {{"B01"}}},
               {"W", "仓库2", {{"W02"}, {"W20"}, {"W21"}, {"W22"}, {"W23"}, {"W24"}, {"W25"}}}};
  for (const Case& c : cases) {
    EXPECT_EQ(Codes(GetData("Warehouse", c.filter, c.key_word, "", 50, 1).data), c.codes)
        << "filter '" << c.filter << "', key word '" << c.key_word << "'";
  }
  // Nothing matches: one empty page.
  Page none = GetData("Warehouse", "Z", "", "", 10, 5);
  EXPECT_EQ(none.cur_page, Variant(int32_t{1}));
  EXPECT_EQ(none.page_count, Variant(int32_t{1}));
  EXPECT_EQ(RecordsetFields(none.data), (std::vector<std::string>{"cWhCode", "cWhName"}));
}

TEST_F(ReferServerTest, OrderAcceptsOnlyTheTableColumns) {
  db_.Exec(R"sql(
    DELETE FROM Warehouse;
    INSERT INTO Warehouse VALUES ('1', 'B');
    INSERT INTO Warehouse VALUES ('2', 'A');
    INSERT INTO Warehouse VALUES ('3', 'B');
  )sql");
  struct Case {
    const char* order;
    Rows codes;
  } cases[] = {{"", {{"1"}, {"2"}, {"3"}}},
               {"cWhName", {{"2"}, {"1"}, {"3"}}},
               {" CWHNAME desc ", {{"1"}, {"3"}, {"2"}}},
               {"cWhName DESC, cWhCode DESC", {{"3"}, {"1"}, {"2"}}},
               {"cWhCode desc", {{"3"}, {"2"}, {"1"}}}};
  for (const Case& c : cases) {
    EXPECT_EQ(Codes(GetData("Warehouse", "", "", c.order, 10, 1).data), c.codes) << c.order;
  }
  for (const char* bad :
       {"cWhName; DROP TABLE Warehouse", "cInvCode", "cWhName sideways", "cWhName,", "1"}) {
    auto e = q9::testing::ErrorOf([&] { GetData("Warehouse", "", "", bad, 10, 1); });
    ASSERT_TRUE(e) << "accepted order '" << bad << "'";
    EXPECT_EQ(e->number(), kErrInvalidCall) << bad;
    EXPECT_EQ(e->source(), kReferServerProgId);
    EXPECT_NE(e->description().find("排序"), std::string::npos) << e->description();
  }
  EXPECT_EQ(db_.Rows("SELECT COUNT(*) FROM Warehouse")[0][0], "3");
}

TEST_F(ReferServerTest, AnUnknownTableIsRefusedByEveryMember) {
  Variant t("Nonsense");
  Args auth;
  auth.Ref(&t).Val(Variant("W")).Val(Variant(false));
  auto e = q9::testing::ErrorOf([&] { server_->Invoke("SetRWAuth", InvokeKind::kMethod, auth); });
  ASSERT_TRUE(e) << "accepted table Nonsense";
  EXPECT_EQ(e->number(), kErrInvalidCall);
  EXPECT_EQ(e->description(),
            "参照表 'Nonsense' 不存在；可用的参照表: Warehouse, Inventory, InventoryClass, "
            "Position, Department, Person, Vendor, Customer");
  Args title;
  title.Val(login_).Ref(&t);
  EXPECT_THROW(server_->Invoke("GetTitleFormat", InvokeKind::kMethod, title), ComError);
  Variant ok("Warehouse");
  Args good;
  good.Ref(&ok).Val(Variant("W")).Val(Variant(false));
  EXPECT_EQ(server_->Invoke("SetRWAuth", InvokeKind::kMethod, good), Variant(true));
}

TEST_F(ReferServerTest, ALoginWithoutDatabaseFails) {
  const std::string missing = (db_.dir() / "missing.db").string();
  Variant login(MakeCallerLogin("Provider=SQLite;Data Source=" + missing, "demo", "001", 2024));
  EXPECT_THROW(GetData("Warehouse", "", "", "", 10, 1, login), ComError);
}

}  // namespace
}  // namespace q9::platform::erp
