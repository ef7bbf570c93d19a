// The report support services end to end on the demo company: IClsKCZT initialised with a
// caller's login, the ERP substitutes behind it, statements through the T-SQL bridge on the
// SQLite files the demo writer produced. Expectations come from the generated records, worked
// out in C++ here, never by the component's statements.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "support/demo_engine.h"
#include "support/ledger_rows.h"
#include "support/odbc_drivers.h"
#include "support/services_fixture.h"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

std::string Lower(std::string s) {
  for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

// Codes in the order the server sorts them: ASCII letter case ignored.
std::vector<std::string> Sorted(std::vector<std::string> codes) {
  std::sort(codes.begin(), codes.end(),
            [](const auto& a, const auto& b) { return Lower(a) < Lower(b); });
  return codes;
}

std::vector<std::string> FirstColumn(const Variant& rs) {
  std::vector<std::string> values;
  for (const auto& row : RecordsetRows(rs)) values.push_back(row[0]);
  return values;
}

const bool kOdbcDrivers = RegisterTestOdbcDrivers();

// Each test runs on the embedded engine, through the ODBC engine with the SQLite ODBC driver, and
// on SQL Server when Q9STREP_TEST_MSSQL names one (filled afresh for every component, so a test
// that saves starts from the generated rows as the file copies do).
class ServicesOnDemoTest : public ::testing::TestWithParam<DemoEngine> {
 protected:
  void SetUp() override {
    if (auto reason = DemoEngineUnavailable(GetParam())) GTEST_SKIP() << *reason;
    Demo().CopyTo(copy_);
  }
  static const DemoFiles& Demo() {
    static const DemoFiles files(demo::kMinimumLines);
    return files;
  }

  // A component initialised for `user` on this test's copy of the demo files.
  std::unique_ptr<IClsKCZT> Component(const std::string& user = "demo") {
    connection_ = Demo().Connection(GetParam(), &copy_);
    return InitComponent(connection_, user);
  }

  // The format rows of definition `id` below 100 as (ORDEREx, FldName, Width, Visible).
  static Rows ExpectedFormat(int64_t id) {
    std::map<int64_t, std::vector<std::string>> fields;
    for (const auto& f : Demo().company.report_fields) {
      if (f.ID == id && f.ORDEREx < 100) {
        fields[f.ORDEREx] = {std::to_string(f.ORDEREx), f.FldName, f.Width.value_or("NULL"),
                             f.Visible ? std::to_string(*f.Visible) : "NULL"};
      }
    }
    Rows rows;
    for (auto& [order, row] : fields) rows.push_back(std::move(row));
    return rows;
  }

  static Rows FormatColumns(const Variant& rs) {
    return RecordsetRows(rs, {"ORDEREx", "FldName", "Width", "Visible"});
  }

  TempDir copy_;
  std::string connection_;
};

TEST_P(ServicesOnDemoTest, CaptionsOfEveryKind) {
  auto component = Component();
  auto expected = [&](const std::string& cls, const std::string& prefix) {
    std::map<std::string, std::vector<std::string>> rows;  // by folded cID
    for (const auto& d : Demo().company.user_defs) {
      if (d.cClass == cls && d.cItem.rfind(prefix, 0) == 0) {
        rows[Lower(d.cID)] = {d.cID, d.cItemName && !d.cItemName->empty() ? *d.cItemName : d.cItem};
      }
    }
    Rows out;
    for (auto& [id, row] : rows) out.push_back(std::move(row));
    return out;
  };
  using Method = bool (IClsKCZT::*)(Variant&, Variant*);
  const std::pair<Method, Rows> cases[] = {
      {&IClsKCZT::GetDefineName, expected("存货", "自定义项")},
      {&IClsKCZT::GetFreeName, expected("存货", "自由项")},
      {&IClsKCZT::GetHDefineName, expected("单据头", "自定义项")},
      {&IClsKCZT::GetBDefineName, expected("单据头", "自定义项")},
  };
  for (const auto& [method, rows] : cases) {
    ASSERT_FALSE(rows.empty());
    Variant rs;
    Variant msg;
    ASSERT_TRUE(((*component).*method)(rs, &msg)) << msg.ConcatText();
    EXPECT_EQ(RecordsetRows(rs), rows);
  }
}

TEST_P(ServicesOnDemoTest, QueryFormatsSavedAndReadBack) {
  auto component = Component();
  std::set<std::string> names;
  for (const auto& d : Demo().company.report_definitions) {
    if (d.SystemID != "ST") continue;
    ASSERT_TRUE(names.insert(d.Name).second) << d.Name;
    Variant rs;
    Variant id;
    std::string msg;
    ASSERT_TRUE(component->GetQueryFormat(d.Name, rs, &msg, &id)) << d.Name << ": " << msg;
    EXPECT_EQ(id.ToText(), std::to_string(d.ID)) << d.Name;
    EXPECT_EQ(FormatColumns(rs), ExpectedFormat(d.ID)) << d.Name;
  }
  ASSERT_FALSE(names.empty());
  Variant rs;
  std::string msg;
  EXPECT_FALSE(component->GetQueryFormat("没有这个格式", rs, &msg));
  EXPECT_EQ(msg,
            "Either BOF or EOF is True, or the current record has been deleted. Requested "
            "operation requires a current record.");

  // Definition 3 with every column one wider and shown, plus one new column at the end.
  Rows before = ExpectedFormat(3);
  ASSERT_FALSE(before.empty());
  std::string xml = "<queryid value=\"3\">";
  Rows after;
  for (size_t k = 1; k <= before.size() + 1; ++k) {
    int width = k <= before.size() ? std::stoi(before[k - 1][2]) + 1 : 55;
    xml +=
        "<col" + std::to_string(k) + " visible=\"true\" width=\"" + std::to_string(width) + "\"/>";
    after.push_back({std::to_string(k), k <= before.size() ? before[k - 1][1] : "",
                     std::to_string(width), "-1"});
  }
  xml += "</queryid>";
  {
    // A fault at the last write leaves the definition as the generator wrote it, on every engine.
    db::FailNthStatement fault(2 * (before.size() + 1), "写入失败");
    EXPECT_FALSE(component->SaveFormat(xml, msg));
    EXPECT_EQ(msg, "写入失败");
  }
  ASSERT_TRUE(component->GetQueryFormat("货位台账", rs));
  EXPECT_EQ(FormatColumns(rs), before);
  msg = "untouched";
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  EXPECT_EQ(msg, "untouched");
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  ASSERT_TRUE(component->GetQueryFormat("货位台账", rs));
  EXPECT_EQ(FormatColumns(rs), after);
  // Other definitions, and the rows at 100 and above, are untouched.
  db::Connection conn;
  conn.Open(connection_);
  EXPECT_EQ(RecordsetRows(Variant(
                conn.Execute("SELECT COUNT(*) FROM Rpt_FldDef WHERE ID = 1 AND ORDEREx >= 100"))),
            Rows{{"2"}});
  ASSERT_TRUE(component->GetQueryFormat("库存台账", rs));
  EXPECT_EQ(FormatColumns(rs), ExpectedFormat(1));
}

TEST_P(ServicesOnDemoTest, PagingThroughWarehousesInventoriesAndPositions) {
  auto component = Component();
  std::vector<std::string> warehouses;
  for (const auto& w : Demo().company.warehouses) warehouses.push_back(w.cWhCode);
  // Full mode, three to a page, walked page by page.
  std::vector<std::string> seen;
  int32_t page_count = 0;
  for (int32_t page = 1; page == 1 || page <= page_count; ++page) {
    int32_t cur = page;
    Variant rs, rs_col, err;
    ASSERT_TRUE(
        component->GetRefData(true, "Warehouse", "", "", "", 3, cur, page_count, rs, rs_col, err))
        << err.ConcatText();
    EXPECT_EQ(cur, page);
    for (const auto& code : FirstColumn(rs)) seen.push_back(code);
    EXPECT_EQ(RecordsetRows(rs_col),
              (Rows{{"cWhCode", "仓库编码", "80"}, {"cWhName", "仓库名称", "160"}}));
  }
  EXPECT_EQ(page_count, static_cast<int32_t>((warehouses.size() + 2) / 3));
  EXPECT_EQ(seen, Sorted(warehouses));

  // Inventories whose code or name holds a word of the first inventory's name.
  std::string word =
      Lower(Demo().company.inventories.front().cInvName.substr(0, 6));  // 2 characters
  std::vector<std::string> expected;
  for (const auto& inv : Demo().company.inventories) {
    if (Lower(inv.cInvCode).find(word) != std::string::npos ||
        Lower(inv.cInvName).find(word) != std::string::npos) {
      expected.push_back(inv.cInvCode);
    }
  }
  ASSERT_FALSE(expected.empty());
  ASSERT_LT(expected.size(), Demo().company.inventories.size()) << "the word selects everything";
  int32_t cur = 1;
  Variant rs, rs_col, err;
  ASSERT_TRUE(component->GetRefData(true, "Inventory", "", word, "", 10000, cur, page_count, rs,
                                    rs_col, err))
      << err.ConcatText();
  EXPECT_EQ(FirstColumn(rs), Sorted(expected)) << word;
  EXPECT_EQ(page_count, 1);

  // Positions in plain mode: the server's default page of twenty, the title left alone.
  std::vector<std::string> positions;
  for (const auto& p : Demo().company.positions) positions.push_back(p.cPosCode);
  positions = Sorted(positions);
  ASSERT_GT(positions.size(), 20u);
  cur = 1;
  Variant untouched("untouched");
  ASSERT_TRUE(
      component->GetRefData(false, "Position", "", "", "", 0, cur, page_count, rs, untouched, err))
      << err.ConcatText();
  EXPECT_EQ(page_count, static_cast<int32_t>((positions.size() + 19) / 20));
  EXPECT_EQ(FirstColumn(rs), std::vector<std::string>(positions.begin(), positions.begin() + 20));
  EXPECT_EQ(untouched, Variant("untouched"));
}

TEST_P(ServicesOnDemoTest, TaskRightsOfTwoUsers) {
  auto demo_user = Component();
  for (const auto& f : Demo().company.functions) {
    Variant msg("untouched");
    EXPECT_TRUE(demo_user->GetTaskAuth(f.cFuncId, 0, &msg)) << f.cFuncId;
    EXPECT_EQ(msg, Variant("untouched"));
  }
  Variant msg;
  EXPECT_FALSE(demo_user->GetTaskAuth("ST9999", 0, &msg));
  EXPECT_EQ(msg, Variant("指定功能号不存在(仅发生在功能释放时)"));

  auto clerk = Component("clerk");
  std::set<std::string> granted;
  for (const auto& r : Demo().company.task_rights) {
    if (r.cUser_Id == "clerk") granted.insert(r.cFuncId);
  }
  for (const auto& f : Demo().company.functions) {
    if (granted.count(f.cFuncId)) continue;
    EXPECT_FALSE(clerk->GetTaskAuth(f.cFuncId, 0, &msg)) << f.cFuncId;
    EXPECT_EQ(msg, Variant("对不起,您没有该项权限!"));
  }
  ASSERT_FALSE(Demo().company.task_locks.empty());
  const auto& lock = Demo().company.task_locks.front();
  ASSERT_TRUE(granted.count(lock.cFuncId));
  EXPECT_FALSE(clerk->GetTaskAuth(lock.cFuncId, static_cast<int16_t>(lock.iLockNum), &msg));
  const std::string suffix = "，请稍后再试";
  std::string text = msg.ConcatText();
  ASSERT_GT(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  EXPECT_NE(text.find(lock.cUser_Id), std::string::npos) << text;
  EXPECT_TRUE(clerk->GetTaskAuth(lock.cFuncId, static_cast<int16_t>(lock.iLockNum + 1), &msg));
}

INSTANTIATE_TEST_SUITE_P(Engines, ServicesOnDemoTest,
                         ::testing::Values(DemoEngine::kEmbedded, DemoEngine::kSqliteOdbc,
                                           DemoEngine::kSqlServer),
                         [](const auto& info) { return DemoEngineName(info.param); });

}  // namespace
}  // namespace q9::testing
