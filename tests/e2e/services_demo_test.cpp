// The report support services end to end on the demo company: IClsKCZT initialised with a
// caller's login, the ERP substitutes behind it, statements through the T-SQL bridge on the
// SQLite files the demo writer produced. Expectations come from the generated records, worked
// out in C++ here, never by the component's statements.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "support/demo_engine.h"
#include "support/odbc_drivers.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

const bool kOdbcDrivers = RegisterTestOdbcDrivers();

// Each test runs on the embedded engine, through the ODBC engine with the SQLite ODBC driver, and
// on SQL Server when Q9STREP_TEST_MSSQL names one (filled afresh for every component, so a test
// that saves starts from the generated rows as the file copies do).
class ServicesOnDemoTest : public ::testing::TestWithParam<DemoEngine> {
 protected:
  void SetUp() override {
    if (auto reason = DemoEngineUnavailable(GetParam())) GTEST_SKIP() << *reason;
  }

  static void SetUpTestSuite() {
    platform::erp::RegisterErpSubstitutes();
    dir_ = new TempDir();
    company_ = new demo::DemoCompany(demo::GenerateCompany({20261206, demo::kMinimumLines}));
    demo::WriteCompany(*company_, dir_->File("company.db"), dir_->File("system.db"));
  }
  static void TearDownTestSuite() {
    delete company_;
    delete dir_;
  }

  // A component initialised for `user` on the demo files (or on copies in `copy_to`).
  std::unique_ptr<IClsKCZT> Component(const std::string& user, const TempDir* copy_to = nullptr) {
    std::string company_db = dir_->File("company.db");
    std::string system_db = dir_->File("system.db");
    if (copy_to) {
      std::filesystem::copy_file(company_db, copy_to->File("company.db"));
      std::filesystem::copy_file(system_db, copy_to->File("system.db"));
      company_db = copy_to->File("company.db");
      system_db = copy_to->File("system.db");
    }
    auto component = std::make_unique<IClsKCZT>();
    std::string msg;
    connection_ = DemoConnectionString(GetParam(), *company_, company_db, system_db);
    Variant login(platform::erp::MakeCallerLogin(connection_, user, demo::kDemoAccount,
                                                 demo::kDemoLoginYear));
    EXPECT_TRUE(component->Init(login, &msg)) << msg;
    return component;
  }

  // The format rows of definition `id` below 100 as (ORDEREx, FldName, Width, Visible).
  static Rows ExpectedFormat(int64_t id) {
    std::vector<demo::RptFldDefRow> fields;
    for (const auto& f : company_->report_fields) {
      if (f.ID == id && f.ORDEREx < 100) fields.push_back(f);
    }
    std::sort(fields.begin(), fields.end(),
              [](const auto& a, const auto& b) { return a.ORDEREx < b.ORDEREx; });
    Rows rows;
    for (const auto& f : fields) {
      rows.push_back({std::to_string(f.ORDEREx), f.FldName, f.Width.value_or("NULL"),
                      f.Visible ? std::to_string(*f.Visible) : "NULL"});
    }
    return rows;
  }

  static Rows FormatColumns(const Variant& rs) {
    auto cursor = db::AsRecordset(rs, "format")->Clone();
    Rows rows;
    for (; !cursor->Eof(); cursor->MoveNext()) {
      rows.push_back({cursor->Field("ORDEREx").ConcatText(), cursor->Field("FldName").ConcatText(),
                      cursor->Field("Width").ConcatText(), cursor->Field("Visible").ConcatText()});
    }
    return rows;
  }

  // The rows of a query on the database the last component was given, every cell as text.
  Rows QueryRows(const std::string& sql) const {
    db::Connection conn;
    conn.Open(connection_);
    return RecordsetRows(Variant(conn.Execute(sql)));
  }

  static TempDir* dir_;
  static demo::DemoCompany* company_;
  std::string connection_;
};

TempDir* ServicesOnDemoTest::dir_ = nullptr;
demo::DemoCompany* ServicesOnDemoTest::company_ = nullptr;

TEST_P(ServicesOnDemoTest, CaptionsOfEveryKind) {
  auto component = Component("demo");
  auto expected = [&](const std::string& cls, const std::string& prefix) {
    std::vector<demo::UserDefRow> defs;
    for (const auto& d : company_->user_defs) {
      if (d.cClass == cls && d.cItem.rfind(prefix, 0) == 0) defs.push_back(d);
    }
    std::sort(defs.begin(), defs.end(),
              [](const auto& a, const auto& b) { return Lower(a.cID) < Lower(b.cID); });
    Rows rows;
    for (const auto& d : defs) {
      rows.push_back({d.cID, d.cItemName && !d.cItemName->empty() ? *d.cItemName : d.cItem});
    }
    return rows;
  };
  using Method = bool (IClsKCZT::*)(Variant&, Variant*);
  struct Case {
    Method method;
    Rows rows;
  } cases[] = {
      {&IClsKCZT::GetDefineName, expected("存货", "自定义项")},
      {&IClsKCZT::GetFreeName, expected("存货", "自由项")},
      {&IClsKCZT::GetHDefineName, expected("单据头", "自定义项")},
      {&IClsKCZT::GetBDefineName, expected("单据头", "自定义项")},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.rows.empty());
    Variant rs;
    Variant msg;
    ASSERT_TRUE(((*component).*c.method)(rs, &msg)) << msg.ConcatText();
    EXPECT_EQ(RecordsetRows(rs), c.rows);
  }
}

TEST_P(ServicesOnDemoTest, QueryFormatsOfTheStockModule) {
  auto component = Component("demo");
  std::map<std::string, std::vector<int64_t>> ids_by_name;
  for (const auto& d : company_->report_definitions) {
    if (d.SystemID == "ST") ids_by_name[d.Name].push_back(d.ID);
  }
  ASSERT_FALSE(ids_by_name.empty());
  for (const auto& [name, ids] : ids_by_name) {
    ASSERT_EQ(ids.size(), 1u) << name;
    Variant rs;
    Variant id;
    std::string msg;
    ASSERT_TRUE(component->GetQueryFormat(name, rs, &msg, &id)) << name << ": " << msg;
    EXPECT_EQ(id.ToText(), std::to_string(ids[0])) << name;
    EXPECT_EQ(FormatColumns(rs), ExpectedFormat(ids[0])) << name;
  }
  Variant rs;
  std::string msg;
  EXPECT_FALSE(component->GetQueryFormat("没有这个格式", rs, &msg));
  EXPECT_EQ(msg,
            "Either BOF or EOF is True, or the current record has been deleted. Requested "
            "operation requires a current record.");
}

TEST_P(ServicesOnDemoTest, SavedFormatComesBackAndAFailedSaveChangesNothing) {
  TempDir copy;
  auto component = Component("demo", &copy);
  const int64_t id = 3;
  Rows before = ExpectedFormat(id);
  ASSERT_FALSE(before.empty());

  // Every column one wider and shown, plus one new column at the end.
  std::string xml = "<queryid value=\"" + std::to_string(id) + "\">";
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
    // A fault at the last write leaves the definition as the generator wrote it.
    db::FailNthStatement fault(2 * (before.size() + 1), "写入失败");
    std::string msg;
    EXPECT_FALSE(component->SaveFormat(xml, msg));
    EXPECT_EQ(msg, "写入失败");
  }
  Variant rs;
  ASSERT_TRUE(component->GetQueryFormat("货位台账", rs));
  EXPECT_EQ(FormatColumns(rs), before);

  std::string msg = "untouched";
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  EXPECT_EQ(msg, "untouched");
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  ASSERT_TRUE(component->GetQueryFormat("货位台账", rs));
  EXPECT_EQ(FormatColumns(rs), after);
  // Other definitions, and the rows at 100 and above, are untouched.
  EXPECT_EQ(QueryRows("SELECT COUNT(*) FROM Rpt_FldDef WHERE ID = 1 AND ORDEREx >= 100"),
            Rows{{"2"}});
  ASSERT_TRUE(component->GetQueryFormat("库存台账", rs));
  EXPECT_EQ(FormatColumns(rs), ExpectedFormat(1));
}

TEST_P(ServicesOnDemoTest, PagingThroughWarehousesInventoriesAndPositions) {
  auto component = Component("demo");
  std::vector<std::string> warehouses;
  for (const auto& w : company_->warehouses) warehouses.push_back(w.cWhCode);
  std::sort(warehouses.begin(), warehouses.end(),
            [](const auto& a, const auto& b) { return Lower(a) < Lower(b); });

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
    for (const auto& row : RecordsetRows(rs)) seen.push_back(row[0]);
    EXPECT_EQ(RecordsetRows(rs_col),
              (Rows{{"cWhCode", "仓库编码", "80"}, {"cWhName", "仓库名称", "160"}}));
  }
  EXPECT_EQ(page_count, static_cast<int32_t>((warehouses.size() + 2) / 3));
  EXPECT_EQ(seen, warehouses);

  // Inventories whose code or name holds a word of the first inventory's name.
  std::string word = company_->inventories.front().cInvName.substr(0, 6);  // two characters
  std::vector<std::string> expected;
  for (const auto& inv : company_->inventories) {
    if (Lower(inv.cInvCode).find(Lower(word)) != std::string::npos ||
        Lower(inv.cInvName).find(Lower(word)) != std::string::npos) {
      expected.push_back(inv.cInvCode);
    }
  }
  std::sort(expected.begin(), expected.end(),
            [](const auto& a, const auto& b) { return Lower(a) < Lower(b); });
  ASSERT_FALSE(expected.empty());
  ASSERT_LT(expected.size(), company_->inventories.size()) << "the word selects nothing";
  int32_t cur = 1;
  Variant rs, rs_col, err;
  ASSERT_TRUE(component->GetRefData(true, "Inventory", "", word, "", 10000, cur, page_count, rs,
                                    rs_col, err))
      << err.ConcatText();
  std::vector<std::string> codes;
  for (const auto& row : RecordsetRows(rs)) codes.push_back(row[0]);
  EXPECT_EQ(codes, expected) << word;
  EXPECT_EQ(page_count, 1);

  // Positions in plain mode: the server's default page of twenty, the title left alone.
  std::vector<std::string> positions;
  for (const auto& p : company_->positions) positions.push_back(p.cPosCode);
  std::sort(positions.begin(), positions.end(),
            [](const auto& a, const auto& b) { return Lower(a) < Lower(b); });
  ASSERT_GT(positions.size(), 20u);
  cur = 1;
  Variant untouched("untouched");
  ASSERT_TRUE(
      component->GetRefData(false, "Position", "", "", "", 0, cur, page_count, rs, untouched, err))
      << err.ConcatText();
  EXPECT_EQ(page_count, static_cast<int32_t>((positions.size() + 19) / 20));
  codes.clear();
  for (const auto& row : RecordsetRows(rs)) codes.push_back(row[0]);
  EXPECT_EQ(codes, std::vector<std::string>(positions.begin(), positions.begin() + 20));
  EXPECT_EQ(untouched, Variant("untouched"));
}

TEST_P(ServicesOnDemoTest, TaskRightsOfTwoUsers) {
  auto demo_user = Component("demo");
  for (const auto& f : company_->functions) {
    Variant msg("untouched");
    EXPECT_TRUE(demo_user->GetTaskAuth(f.cFuncId, 0, &msg)) << f.cFuncId;
    EXPECT_EQ(msg, Variant("untouched"));
  }
  Variant msg;
  EXPECT_FALSE(demo_user->GetTaskAuth("ST9999", 0, &msg));
  EXPECT_EQ(msg, Variant("指定功能号不存在(仅发生在功能释放时)"));

  auto clerk = Component("clerk");
  std::set<std::string> granted;
  for (const auto& r : company_->task_rights) {
    if (r.cUser_Id == "clerk") granted.insert(r.cFuncId);
  }
  for (const auto& f : company_->functions) {
    if (granted.count(f.cFuncId)) continue;
    EXPECT_FALSE(clerk->GetTaskAuth(f.cFuncId, 0, &msg)) << f.cFuncId;
    EXPECT_EQ(msg, Variant("对不起,您没有该项权限!"));
  }
  ASSERT_FALSE(company_->task_locks.empty());
  const auto& lock = company_->task_locks.front();
  ASSERT_TRUE(granted.count(lock.cFuncId));
  EXPECT_FALSE(clerk->GetTaskAuth(lock.cFuncId, static_cast<int16_t>(lock.iLockNum), &msg));
  std::string text = msg.ConcatText();
  const std::string suffix = "，请稍后再试";
  ASSERT_GT(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  EXPECT_NE(text.find(lock.cUser_Id), std::string::npos) << text;
  EXPECT_TRUE(clerk->GetTaskAuth(lock.cFuncId, static_cast<int16_t>(lock.iLockNum + 1), &msg));
}

TEST_P(ServicesOnDemoTest, PrintingTheWarehouseList) {
  auto component = Component("demo");
  int32_t cur = 1;
  int32_t page_count = 0;
  Variant rs, rs_col, err;
  ASSERT_TRUE(
      component->GetRefData(true, "Warehouse", "", "", "", 100, cur, page_count, rs, rs_col, err));
  std::vector<demo::WarehouseRow> warehouses = company_->warehouses;
  std::sort(warehouses.begin(), warehouses.end(),
            [](const auto& a, const auto& b) { return Lower(a.cWhCode) < Lower(b.cWhCode); });
  std::string expected =
      "\xEF\xBB\xBF"
      "cWhCode,cWhName\r\n";
  for (const auto& w : warehouses) {
    ASSERT_EQ(w.cWhName.find_first_of(",\"\r\n"), std::string::npos);
    expected += w.cWhCode + "," + w.cWhName + "\r\n";
  }

  TempDir out;
  Variant command("csv:" + out.File("warehouses.csv"));
  Variant ret;
  std::string error;
  EXPECT_EQ(component->PrintSrv(command, rs, ret, error), Variant());
  EXPECT_EQ(error, "");
  std::ifstream in(out.File("warehouses.csv"), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), expected);

  command = Variant("html:" + out.File("warehouses.html"));
  EXPECT_EQ(component->PrintSrv(command, rs, ret, error), Variant());
  std::ifstream html_in(out.File("warehouses.html"), std::ios::binary);
  std::stringstream html;
  html << html_in.rdbuf();
  EXPECT_NE(html.str().find("<caption>用户 demo，账套 001</caption>"), std::string::npos);
  EXPECT_NE(html.str().find("<td>" + warehouses.front().cWhName + "</td>"), std::string::npos);

  command = Variant("pdf:" + out.File("warehouses.pdf"));
  EXPECT_EQ(component->PrintSrv(command, rs, ret, error), Variant());
  EXPECT_EQ(error, "未知的打印命令 'pdf:" + out.File("warehouses.pdf") +
                       "'；可用的命令: csv:<文件>, html:<文件>");
}

INSTANTIATE_TEST_SUITE_P(Engines, ServicesOnDemoTest,
                         ::testing::Values(DemoEngine::kEmbedded, DemoEngine::kSqliteOdbc,
                                           DemoEngine::kSqlServer),
                         [](const auto& info) { return DemoEngineName(info.param); });

}  // namespace
}  // namespace q9::testing
