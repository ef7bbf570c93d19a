// q9strep end to end on a generated demo company: every command's JSON against what the
// component itself returns for the same call, the stock card against the component's own
// opening balances, the condition round trip, the table layout, and the bad-input paths.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/demo_company.h"
#include "cli/output.h"
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

// Rows of a query run straight on a database file, every value as text ("" for NULL).
std::vector<std::vector<std::string>> Query(const std::string& db_path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::vector<std::string>> rows;
  EXPECT_EQ(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
    auto& row = rows.emplace_back();
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* t = sqlite3_column_text(stmt, c);
      row.push_back(t ? reinterpret_cast<const char*>(t) : "");
    }
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

class DemoCompanyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir();
    BinaryResult r = RunQ9strep({"demo", "--dir", DemoDir(), "--lines", "2000", "--seed", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    platform::erp::RegisterErpSubstitutes();
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string DemoDir() { return dir_->File("demo"); }
  static std::string Connection() { return DemoConnectionString(DemoDir()); }
  static std::string CompanyDb() { return DemoFilesIn(DemoDir()).company_db; }

  BinaryResult Q9(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", Connection()});
    return RunQ9strep(args, scratch_.path().string());
  }
  json Q9Json(std::vector<std::string> args) {
    args.insert(args.begin(), {"--format", "json"});
    BinaryResult r = Q9(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.status == 0 ? json::parse(r.out) : json();
  }
  // The condition document the options make, as the condition command prints it.
  std::string Condition(const std::vector<std::string>& options) {
    std::vector<std::string> args = {"condition"};
    args.insert(args.end(), options.begin(), options.end());
    BinaryResult r = RunQ9strep(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }
  // A component initialised for the demo user, as a front end holds it.
  std::unique_ptr<component::IClsKCZT> Component() {
    auto k = std::make_unique<component::IClsKCZT>();
    EXPECT_TRUE(
        k->Init(Variant(platform::erp::MakeCallerLogin(Connection(), "demo", "001", 2026))));
    return k;
  }

  static testing::TempDir* dir_;
  testing::TempDir scratch_;
};

testing::TempDir* DemoCompanyTest::dir_ = nullptr;

size_t Column(const json& table, const std::string& name) {
  const json& columns = table["columns"];
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c] == name) return c;
  }
  ADD_FAILURE() << "no column " << name;
  return 0;
}

double Number(const json& v) { return v.is_null() ? 0.0 : v.get<double>(); }

TEST_F(DemoCompanyTest, LedgerJsonIsWhatOpenXAndOpenPageReturn) {
  struct Case {
    const char* kind;
    int16_t iSelectTz;
    std::vector<std::string> options;
    std::vector<std::string> rows;  // --row / --all-rows; empty: the first row
  } cases[] = {
      {"batch", 1, {}, {}},
      {"inventory", 0, {"--from", "2025-07-01", "--to", "2025-12-31"}, {"--row", "3"}},
      {"inventory", 0, {"--audit-dates", "--standard", "active", "--class", "01"}, {"--all-rows"}},
      {"position",
       2,
       {"--from", "2026-01-01", "--standard", "active", "--class", "0101"},
       {"--all-rows"}},
      {"batch", 1, {"--free", "1=", "--standard", "all", "--audited-only"}, {"--row", "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    std::vector<std::string> args = {"ledger", "--kind", c.kind};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), c.rows.begin(), c.rows.end());
    json got = Q9Json(args);
    ASSERT_TRUE(got.is_object());

    std::string xml = Condition(c.options);
    auto k = Component();
    Variant rs1, msg;
    ASSERT_TRUE(k->OpenX(xml, rs1, c.iSelectTz, &msg)) << msg.ConcatText();
    ExpectSameRows(got["summary"], rs1);

    std::vector<int> rows;
    if (c.rows.empty()) rows = {1};
    if (c.rows.size() == 2) rows = {std::stoi(c.rows[1])};
    if (c.rows == std::vector<std::string>{"--all-rows"}) {
      for (int r = 1; r <= platform::db::AsRecordset(rs1, "Rs1")->RecordCount(); ++r) {
        rows.push_back(r);
      }
    }
    ASSERT_EQ(got["details"].size(), rows.size());
    size_t opening_qtty = Column(got["summary"], "iBeginQtty");
    size_t opening_num = Column(got["summary"], "iBeginNum");
    for (size_t i = 0; i < rows.size(); ++i) {
      const json& d = got["details"][i];
      EXPECT_EQ(d["row"], rows[i]);
      Variant rs2, page_msg, position(int32_t{rows[i]});
      ASSERT_TRUE(k->OpenPage(xml, rs1, rs2, c.iSelectTz, &page_msg, &position))
          << page_msg.ConcatText();
      ExpectSameRows(d, rs2, {"iBalQtty", "iBalNum"});
      // The card starts from the summary row's opening balance and ends on its last line.
      const json& summary_row = got["summary"]["rows"][rows[i] - 1];
      EXPECT_EQ(Number(d["opening"]["iBalQtty"]), Number(summary_row[opening_qtty]));
      EXPECT_EQ(Number(d["opening"]["iBalNum"]), Number(summary_row[opening_num]));
      size_t bal = Column(d, "iBalQtty");
      double last =
          d["rows"].empty() ? Number(d["opening"]["iBalQtty"]) : Number(d["rows"].back()[bal]);
      EXPECT_EQ(Number(d["closing"]["iBalQtty"]), last);
    }
  }
}

TEST_F(DemoCompanyTest, TheStockCardClosesOnTheNextPeriodsOpening) {
  // The balance after the last line of January is the component's opening balance of February,
  // for every inventory whose January lines the detail shows in full (purchase documents
  // flagged bPuFirst count in the summary's sums but are left out of the detail).
  json january = Q9Json({"ledger", "--kind", "inventory", "--from", "2026-01-01", "--to",
                         "2026-01-31", "--standard", "all", "--all-rows"});
  json february = Q9Json({"ledger", "--kind", "inventory", "--from", "2026-02-01", "--to",
                          "2026-02-28", "--standard", "all", "--summary-only"});
  std::set<std::string> partial;
  for (const auto& row : Query(CompanyDb(),
                               "SELECT DISTINCT Rs.cInvCode FROM RdRecords Rs JOIN RdRecord R ON "
                               "R.ID = Rs.ID WHERE R.bPuFirst = 1 AND R.dDate BETWEEN '2026-01-01' "
                               "AND '2026-01-31'")) {
    partial.insert(row[0]);
  }
  std::map<std::string, std::pair<double, double>> next_opening;
  const json& fs = february["summary"];
  for (const json& row : fs["rows"]) {
    next_opening[row[Column(fs, "cInvCode")]] = {Number(row[Column(fs, "iBeginQtty")]),
                                                 Number(row[Column(fs, "iBeginNum")])};
  }
  const json& js = january["summary"];
  size_t checked = 0;
  for (const json& d : january["details"]) {
    std::string code = js["rows"][d["row"].get<int>() - 1][Column(js, "cInvCode")];
    if (partial.count(code)) continue;
    auto [qtty, num] = next_opening[code];  // absent from February: nothing left, 0
    EXPECT_NEAR(Number(d["closing"]["iBalQtty"]), qtty, 1e-9) << code;
    EXPECT_NEAR(Number(d["closing"]["iBalNum"]), num, 1e-6) << code;
    ++checked;
  }
  EXPECT_GT(checked, 10u);
}

TEST_F(DemoCompanyTest, AConditionDocumentGivesTheSameLedgerAsTheOptionsThatMadeIt) {
  std::vector<std::string> option_sets[] = {
      {},
      {"--from", "2025-03-01", "--to", "2025-09-30", "--audit-dates", "--standard", "active"},
      {"--class", "01:02", "--free", "2=", "--standard", "in-not-out"},
      {"--warehouse", "01,02", "--batch", "", "--audited-only", "--assunit", "2"},
  };
  const char* kinds[] = {"inventory", "batch", "position"};
  for (const auto& options : option_sets) {
    for (const char* kind : kinds) {
      bool stock_only =
          std::find(options.begin(), options.end(), "--audited-only") != options.end();
      if (stock_only && std::string(kind) == "position") continue;
      std::string file = scratch_.File(std::string(kind) + ".xml");
      std::ofstream(file) << Condition(options);
      std::vector<std::string> by_options = {"--format", "json", "ledger", "--kind", kind};
      by_options.insert(by_options.end(), options.begin(), options.end());
      BinaryResult a = Q9(by_options);
      BinaryResult b = Q9({"--format", "json", "ledger", "--kind", kind, "--condition", file});
      EXPECT_EQ(a.status, b.status) << kind << a.err << b.err;
      EXPECT_EQ(a.out, b.out) << kind;
      EXPECT_EQ(a.err, b.err) << kind;
    }
  }
}

// The text of `line` from display column `col` on.
std::string FromDisplayColumn(const std::string& line, int col) {
  for (size_t i = 0; i <= line.size(); ++i) {
    if (DisplayWidth(line.substr(0, i)) == col) return line.substr(i);
    if (DisplayWidth(line.substr(0, i)) > col) break;
  }
  return "<no character boundary at column " + std::to_string(col) + ">";
}

TEST_F(DemoCompanyTest, TheTableLinesUpTheColumnsAfterChineseNames) {
  json data = Q9Json({"ledger", "--kind", "batch", "--summary-only"});
  BinaryResult r = Q9({"ledger", "--kind", "batch", "--summary-only"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  // "Stock ledger by batch: N rows", a blank line, the header, the dashes, the rows.
  const json& rows = data["summary"]["rows"];
  ASSERT_EQ(lines.size(), 4 + rows.size());
  const std::string& header = lines[2];
  size_t byte = header.find("cInvAddCode");
  ASSERT_NE(byte, std::string::npos);
  int col = DisplayWidth(header.substr(0, byte));  // the header is ASCII, so bytes = columns
  size_t name = Column(data["summary"], "cInvName");
  size_t add_code = Column(data["summary"], "cInvAddCode");
  bool some_chinese = false;
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string& line = lines[4 + i];
    std::string inv_name = rows[i][name].is_null() ? "" : rows[i][name].get<std::string>();
    some_chinese |= DisplayWidth(inv_name) != static_cast<int>(inv_name.size());
    std::string expected = rows[i][add_code].is_null() ? "" : rows[i][add_code].get<std::string>();
    EXPECT_EQ(FromDisplayColumn(line, col).substr(0, expected.size()), expected) << line;
  }
  EXPECT_TRUE(some_chinese);
}

TEST_F(DemoCompanyTest, BadInputEndsWithOneLineAndItsStatus) {
  std::string missing_element = scratch_.File("partial.xml");
  std::ofstream(missing_element) << "<condition><ddate isverdate=\"false\" value1=\"\" "
                                    "value2=\"\"/></condition>";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string start;  // what the line on standard error begins with
  } cases[] = {
      {{"ledger", "--inventory", "ZZZ9"}, 1, "q9strep: 没有符合条件的数据！"},
      {{"ledger", "--row", "100000"}, 2, "q9strep: --row 100000: the summary has "},
      {{"ledger", "--condition", missing_element}, 3, "q9strep: error 91: "},
  };
  for (const Case& c : cases) {
    BinaryResult r = Q9(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << r.err;
    EXPECT_EQ(r.out, "") << c.args[1];
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind(c.start, 0), 0u) << r.err;
  }
}

TEST_F(DemoCompanyTest, ReadingCommandsWriteNothingToTheDatabase) {
  std::string before = ReadFile(CompanyDb());
  for (std::vector<std::string> args :
       {std::vector<std::string>{"ledger", "--kind", "batch", "--all-rows"},
        {"ledger", "--kind", "position", "--row", "2"},
        {"periods"},
        {"ledger", "--inventory", "ZZZ9"},
        {"ledger", "--row", "100000"}}) {
    Q9(args);
  }
  EXPECT_TRUE(ReadFile(CompanyDb()) == before);
}

TEST_F(DemoCompanyTest, DemoLeavesAnExistingCompanyAloneUnlessForced) {
  std::string before = ReadFile(CompanyDb());
  BinaryResult again = RunQ9strep({"demo", "--dir", DemoDir(), "--lines", "300"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("already"), std::string::npos) << again.out;
  EXPECT_TRUE(ReadFile(CompanyDb()) == before);

  std::string other = scratch_.File("other");
  BinaryResult fresh = RunQ9strep({"--format", "json", "demo", "--dir", other, "--lines", "300"});
  ASSERT_EQ(fresh.status, 0) << fresh.err;
  json j = json::parse(fresh.out);
  EXPECT_EQ(j["created"], true);
  EXPECT_EQ(j["lines"], 300);
  EXPECT_TRUE(DemoCompanyExists(other));
  BinaryResult forced = RunQ9strep({"demo", "--dir", other, "--lines", "400", "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(Query(DemoFilesIn(other).company_db, "SELECT COUNT(*) FROM RdRecords")[0][0], "400");
}

TEST_F(DemoCompanyTest, WithoutDbTheDemoCompanyIsCreatedOnFirstUse) {
  BinaryResult first =
      RunQ9strep({"ledger", "--kind", "batch", "--summary-only"}, scratch_.path().string());
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "q9strep: creating the demo company in demo-data/ (first use)\n");
  EXPECT_TRUE(DemoCompanyExists(scratch_.File("demo-data")));
  BinaryResult second =
      RunQ9strep({"ledger", "--kind", "batch", "--summary-only"}, scratch_.path().string());
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(second.out, first.out);
}

}  // namespace
}  // namespace q9::cli
