// q9strep's report-service commands on a generated demo company: captions, query formats (load
// and save), reference data, task rights and printing, each against the component's own answer
// or against what the demo company holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/demo_company.h"
#include "component/iclskczt.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "support/recordset_json.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

namespace q9::cli {
namespace {

using nlohmann::json;
using platform::Variant;
using testing::BinaryResult;
using testing::ExpectSameRows;
using testing::RunQ9strep;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BinaryResult r = RunQ9strep({"demo", "--dir", dir_.File("demo"), "--lines", "1000"});
    ASSERT_EQ(r.status, 0) << r.err;
    platform::erp::RegisterErpSubstitutes();
  }
  std::string Connection() { return DemoConnectionString(dir_.File("demo")); }
  BinaryResult Q9(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", Connection()});
    return RunQ9strep(args, dir_.path().string());
  }
  json Q9Json(std::vector<std::string> args) {
    args.insert(args.begin(), {"--format", "json"});
    BinaryResult r = Q9(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json();
  }
  std::unique_ptr<component::IClsKCZT> Component(const std::string& user = "demo") {
    auto k = std::make_unique<component::IClsKCZT>();
    EXPECT_TRUE(k->Init(Variant(platform::erp::MakeCallerLogin(Connection(), user, "001", 2026))));
    return k;
  }
  // The one line on standard error of a command that ends with `status`.
  std::string FailureLine(std::vector<std::string> args, int status) {
    BinaryResult r = Q9(args);
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    return r.err;
  }

  testing::TempDir dir_;
};

TEST_F(ServicesTest, CaptionsAreWhatTheFourCaptionMethodsReturn) {
  auto k = Component();
  using Method = bool (component::IClsKCZT::*)(Variant&, Variant*);
  std::pair<const char*, Method> kinds[] = {
      {"define", &component::IClsKCZT::GetDefineName},
      {"free", &component::IClsKCZT::GetFreeName},
      {"hdefine", &component::IClsKCZT::GetHDefineName},
      {"bdefine", &component::IClsKCZT::GetBDefineName},
  };
  for (auto [kind, method] : kinds) {
    json got = Q9Json({"captions", kind});
    Variant rs;
    ASSERT_TRUE(((*k).*method)(rs, nullptr)) << kind;
    ExpectSameRows(got, rs);
  }
  // The demo company names inventory define 1 产地 and leaves 3 (NULL) and 4 ('') to their
  // system names; its free items 1 to 3 are 颜色, 尺码, 材质.
  json define = Q9Json({"captions", "define"});
  ASSERT_EQ(define["rows"].size(), 16u);
  EXPECT_EQ(define["rows"][0][1], "产地");
  EXPECT_EQ(define["rows"][2][1], "自定义项3");
  EXPECT_EQ(define["rows"][3][1], "自定义项4");
  json free = Q9Json({"captions", "free"});
  ASSERT_EQ(free["rows"].size(), 10u);
  EXPECT_EQ(free["rows"][2][1], "材质");
  EXPECT_EQ(Q9Json({"captions", "hdefine"}), Q9Json({"captions", "bdefine"}));
}

TEST_F(ServicesTest, FormatGetShowsTheSavedFormatAndItsQueryId) {
  json got = Q9Json({"format", "get", "库存台账"});
  auto k = Component();
  Variant rs, id;
  std::string msg;
  ASSERT_TRUE(k->GetQueryFormat("库存台账", rs, &msg, &id)) << msg;
  ExpectSameRows({{"columns", got["columns"]}, {"rows", got["rows"]}}, rs);
  // The stock module's 库存台账 is definition 1 with eleven columns below position 100.
  EXPECT_EQ(got["queryid"], 1);
  EXPECT_EQ(got["rows"].size(), 11u);

  std::string line = FailureLine({"format", "get", "没有这个查询"}, 1);
  EXPECT_EQ(line.rfind("q9strep: ", 0), 0u);
  EXPECT_GT(line.size(), std::string("q9strep: \n").size());
}

TEST_F(ServicesTest, FormatSaveWritesTheColumnsAndUpdatesThemTheSecondTime) {
  // Definition 5 (空白格式) has no saved format yet. The query id sits inside col1: every
  // direct child of the document element counts as a column.
  std::string file = dir_.File("format.xml");
  std::ofstream(file) << "<format><col1 visible=\"true\" width=\"80\"><queryid value=\"5\"/>"
                         "</col1><col2 visible=\"0\" width=\"120.5\"/></format>";
  BinaryResult saved = Q9({"format", "save", file});
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "saved\n");
  json got = Q9Json({"format", "get", "空白格式"});
  auto column = [&](const char* name) {
    for (size_t c = 0; c < got["columns"].size(); ++c) {
      if (got["columns"][c] == name) return c;
    }
    ADD_FAILURE() << name;
    return size_t{0};
  };
  ASSERT_EQ(got["rows"].size(), 2u);
  // Widths are saved as text, rounded half to even; shown is -1, hidden 0.
  EXPECT_EQ(got["rows"][0][column("Width")], "80");
  EXPECT_EQ(got["rows"][0][column("Visible")], -1);
  EXPECT_EQ(got["rows"][0][column("ORDEREx")], 1);
  EXPECT_EQ(got["rows"][1][column("Width")], "120");
  EXPECT_EQ(got["rows"][1][column("Visible")], 0);

  std::ofstream(file) << "<format><col1 visible=\"false\" width=\"95\"><queryid value=\"5\"/>"
                         "</col1><col2 visible=\"1\" width=\"60\"/></format>";
  ASSERT_EQ(Q9({"format", "save", file}).status, 0);
  got = Q9Json({"format", "get", "空白格式"});
  ASSERT_EQ(got["rows"].size(), 2u);
  EXPECT_EQ(got["rows"][0][column("Width")], "95");
  EXPECT_EQ(got["rows"][0][column("Visible")], 0);
  EXPECT_EQ(got["rows"][1][column("Visible")], -1);

  std::ofstream(dir_.File("empty.xml")) << "";
  EXPECT_EQ(FailureLine({"format", "save", dir_.File("empty.xml")}, 1), "q9strep: 信息不完整！\n");
}

TEST_F(ServicesTest, RefShowsAPageOfTheReferenceServersData) {
  json got =
      Q9Json({"ref", "Inventory", "--page-size", "7", "--page", "2", "--order", "cInvName DESC"});
  auto k = Component();
  int32_t page = 2, pages = 0;
  Variant rs, titles, msg;
  ASSERT_TRUE(
      k->GetRefData(true, "Inventory", "", "", "cInvName DESC", 7, page, pages, rs, titles, msg))
      << msg.ConcatText();
  ExpectSameRows({{"columns", got["columns"]}, {"rows", got["rows"]}}, rs);
  ExpectSameRows(got["titles"], titles);
  EXPECT_EQ(got["page"], page);
  EXPECT_EQ(got["pages"], pages);
  EXPECT_EQ(got["rows"].size(), 7u);

  json plain = Q9Json({"ref", "Warehouse", "--plain"});
  EXPECT_FALSE(plain.contains("titles"));
  EXPECT_EQ(plain["rows"].size(), 8u);  // the demo company's eight warehouses

  BinaryResult table = Q9({"ref", "Warehouse", "--page-size", "3"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("\npage 1 of 3\n"), std::string::npos) << table.out;

  std::string line = FailureLine({"ref", "NoSuchTable"}, 1);
  EXPECT_NE(line.find("NoSuchTable"), std::string::npos) << line;
}

TEST_F(ServicesTest, TaskTellsGrantedOrTheRefusal) {
  BinaryResult granted = Q9({"task", "ST0301"});
  EXPECT_EQ(granted.status, 0) << granted.err;
  EXPECT_EQ(granted.out, "granted\n");
  EXPECT_EQ(Q9({"--format", "json", "task", "ST0306"}).out, "{\"result\":true}\n");

  EXPECT_EQ(FailureLine({"--user", "clerk", "task", "ST0306"}, 1),
            "q9strep: 对不起,您没有该项权限!\n");
  EXPECT_EQ(FailureLine({"task", "ST9999"}, 1), "q9strep: 指定功能号不存在(仅发生在功能释放时)\n");
  // ST0305 is held by auditor under lock 1: the login component's text, then the request to
  // try again later.
  std::string busy = FailureLine({"task", "ST0305", "--lock", "1"}, 1);
  EXPECT_NE(busy.find("auditor"), std::string::npos) << busy;
  EXPECT_EQ(busy.substr(busy.size() - std::string("，请稍后再试\n").size()), "，请稍后再试\n");
}

TEST_F(ServicesTest, PrintHandsTheReportToThePrintService) {
  std::string csv = dir_.File("ledger.csv");
  BinaryResult r = Q9({"print", "csv:" + csv, "--kind", "batch", "--class", "01"});
  ASSERT_EQ(r.status, 0) << r.err;
  json summary = Q9Json({"ledger", "--kind", "batch", "--class", "01", "--summary-only"});
  std::string text = ReadFile(csv);
  // A byte-order mark, a header of field names, one CR LF ended line per summary row.
  ASSERT_EQ(text.rfind("\xEF\xBB\xBF"
                       "cInvCode,cBatch,cInvName,",
                       0),
            0u)
      << text.substr(0, 80);
  EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')),
            summary["summary"]["rows"].size() + 1);

  std::string html = dir_.File("detail.html");
  ASSERT_EQ(Q9({"print", "html:" + html, "--kind", "position", "--row", "1"}).status, 0);
  EXPECT_NE(ReadFile(html).find("<table"), std::string::npos);

  std::string unknown = FailureLine({"print", "fax:123"}, 1);
  EXPECT_NE(unknown.find("fax:123"), std::string::npos) << unknown;
  EXPECT_EQ(
      FailureLine({"print", "csv:" + csv, "--param", "text"}, 3).rfind("q9strep: error 13: ", 0),
      0u);
}

}  // namespace
}  // namespace q9::cli
