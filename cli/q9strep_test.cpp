// q9strep as a user runs it, end to end: help, exit statuses and one-line messages, what it
// refuses to touch, and every command's output against what the component itself returns for
// the same call, on a small login company and on a generated demo company.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "cli/demo_company.h"
#include "component/iclskczt.h"
#include "platform/db/recordset.h"
#include "support/ledger_rows.h"
#include "support/login_fixture.h"
#include "support/odbc_drivers.h"
#include "support/recordset_json.h"
#include "support/run_binary.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace q9::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using platform::Variant;
using testing::BinaryResult;
using testing::ExpectSameRows;
using testing::FileBytes;
using Args = std::vector<std::string>;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Join(const Args& args) {
  std::string s;
  for (const std::string& a : args) s += a + " ";
  return s;
}

double Number(const json& v) { return v.is_null() ? 0.0 : v.get<double>(); }

size_t Column(const json& table, const std::string& name) {
  for (size_t c = 0; c < table["columns"].size(); ++c) {
    if (table["columns"][c] == name) return c;
  }
  ADD_FAILURE() << "no column " << name;
  return 0;
}

// One generated demo company for the whole suite (read by every test; only format save writes,
// to a query definition no other test reads), a small login company and a scratch directory
// per test, which is the working directory of every run, so a demo company created by mistake
// would show.
class Q9strepTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    demo_ = new testing::TempDir();
    BinaryResult r =
        testing::RunQ9strep({"demo", "--dir", DemoDir(), "--lines", "2000", "--seed", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() { delete demo_; }
  static std::string DemoDir() { return demo_->File("demo"); }
  static std::string Demo() { return DemoConnectionString(DemoDir()); }
  static std::string CompanyDb() { return DemoFilesIn(DemoDir()).company_db; }

  BinaryResult Run(const Args& args) { return testing::RunQ9strep(args, scratch_.path().string()); }
  // On the demo company, or on the database `db` names.
  BinaryResult Q9(Args args, const std::string& db = Demo()) {
    args.insert(args.begin(), {"--db", db});
    return Run(args);
  }
  json Json(Args args, const std::string& db = Demo()) {
    args.insert(args.begin(), {"--format", "json"});
    BinaryResult r = Q9(args, db);
    EXPECT_EQ(r.status, 0) << Join(args) << r.err;
    EXPECT_EQ(r.err, "") << Join(args);
    return r.status == 0 ? json::parse(r.out) : json();
  }
  // A run that fails: nothing on standard output, one line on standard error, which it returns.
  std::string Fails(const BinaryResult& r, int status, const std::string& what) {
    EXPECT_EQ(r.status, status) << what << r.err;
    EXPECT_EQ(r.out, "") << what;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << r.err;
    return r.err;
  }
  std::unique_ptr<component::IClsKCZT> Component(const std::string& db = Demo()) {
    return testing::InitComponent(db);
  }
  bool DemoDataCreated() const { return fs::exists(scratch_.path() / "demo-data"); }

  static testing::TempDir* demo_;
  testing::TempDir scratch_;
  testing::LoginFixture small_;
};

testing::TempDir* Q9strepTest::demo_ = nullptr;

std::string WithDir(std::string text, const std::string& dir) {
  for (size_t p; (p = text.find("DIR")) != std::string::npos;) text.replace(p, 3, dir);
  return text;
}

// Arguments written as one text: blanks separate them, '' is an empty one, DIR the scratch
// directory, HUGE a value of 300 characters.
Args Split(const std::string& text, const std::string& dir) {
  Args args;
  std::istringstream in(text);
  for (std::string a; in >> a;) {
    if (a == "''") a.clear();
    if (size_t p = a.find("HUGE"); p != std::string::npos) a.replace(p, 4, std::string(300, '0'));
    args.push_back(WithDir(a, dir));
  }
  return args;
}

TEST_F(Q9strepTest, HelpVersionAndTheFormatDocument) {
  for (std::string command :
       {"", "demo ", "ledger ", "condition ", "periods ", "captions ", "format ", "format get ",
        "format save ", "ref ", "task ", "print "}) {
    BinaryResult r = Run(Split(command + "--help", ""));
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find("Usage: q9strep " + command + "[OPTIONS]"), std::string::npos) << r.out;
    EXPECT_EQ(Run(Split("help " + command, "")).out, r.out) << command;
  }
  EXPECT_EQ(Run({"--version"}).out, "q9strep 1.0\n");
  std::string save = Run({"format", "save", "--help"}).out;
  EXPECT_NE(save.find("<format><col1 visible=\"true\" width=\"80\"><queryid value=\"5\"/></col1>"),
            std::string::npos)
      << save;
  EXPECT_EQ(Run({"print", "--help"}).out.find("--param"), std::string::npos);
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepTest, UsageErrorsExitTwoWithOneLineNamingTheOptionAndWhatIsAllowed) {
  std::string dir = scratch_.path().string();
  WriteFile(scratch_.File("broken.xml"), "<condition><ddate value1='x'></condition>");
  WriteFile(scratch_.File("taken.csv"), "mine");
  WriteFile(scratch_.File("empty.xml"), "");
  WriteFile(scratch_.File("huge.xml"),
            "<condition><x><invclass value1='" + std::string(300, 'a') + "'/></x></condition>");
  fs::create_symlink(scratch_.File("taken.csv"), scratch_.File("link.csv"));
  // The arguments; the line after "q9strep: " ("" where CLI11 words it).
  // clang-format off
  std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"ledger --kind warehouse", ""},
      {"ledger --row 2 --all-rows", ""},
      {"ledger --audit-dates --document-dates", ""},
      {"ledger --condition empty.xml", ""},
      {"format save missing.xml", "format save missing.xml: no such file"},
      {"help nonsense", "help nonsense: no such command"},
      {"ledger --row 0", "--row 0: expected a row number from 1 to 2147483647"},
      {"ref Warehouse --page 0", "--page 0: expected a page from 1 to 2147483647"},
      {"ref Warehouse --page-size 1e3", "--page-size 1e3: expected a number from 1 to 32767"},
      {"task ST01 --lock 40000", "--lock 40000: expected a lock number from -32768 to 32767"},
      {"demo --lines 0", "--lines 0: expected a number of lines from 1 to 10000000"},
      {"--year '' periods", "--year \"\": expected a year from 1900 to 9999"},
      {"--db '' periods", "--db: needs a connection string"},
      {"ledger --assunit two", "--assunit two: expected a unit number from 1 to 99"},
      {"ledger --free 1=a:b:c", "--free 1=a:b:c: expected I=FROM[:TO] with I from 1 to 10"},
      {"condition --define 0=1", "--define 0=1: expected I=FROM[:TO] with I from 1 to 16"},
      {"ledger --inventory a:b:c", "--inventory a:b:c: expected FROM or FROM:TO (one colon)"},
      {"ledger --class HUGE", "--class: a value of 300 characters; at most 255"},
      {"ledger --condition broken.xml", "--condition broken.xml: not an XML document (Start-end tags mismatch at byte 31)"},
      {"ledger --condition huge.xml", "--condition huge.xml: invclass/@value1 is longer than 255 characters"},
      {"ledger --from 2026/03/01", "--from 2026/03/01: not a date (expected YYYY-MM-DD)"},
      {"ledger --from 2026-02-30", "--from 2026-02-30: not a date (expected YYYY-MM-DD)"},
      {"ledger --periods 3:1", "--periods 3:1: period 3 is after period 1"},
      {"ledger --period 3:4", "--period 3:4: expected a period number (3) or YYYY-MM (2026-03)"},
      {"ledger --periods 2025-01:2026-02", "--periods 2025-01:2026-02: expected FIRST:LAST, each a period number (1) or YYYY-MM of one year"},
      {"ledger --period 3 --to 2026-01-01", "--period sets the dates; --from and --to cannot be given with it"},
      {"--year 2026 ledger --period 2025-03", "--period 2025-03: the login year is 2026 (--year)"},
      {"--trace-sql DIR/no/t.jsonl periods", "--trace-sql DIR/no/t.jsonl: cannot be written (No such file or directory)"},
      {"ledger --condition DIR", "--condition DIR: is a directory, not a file"},
      {"ledger --condition /dev/null", "--condition /dev/null: is a device or socket, not a file"},
      {"ledger --condition broken.xml --warehouse 01", "--condition uses the document as it is; --warehouse cannot be given with it"},
      {"ledger --kind batch --batch B1:B3", "--batch B1:B3: the stock ledger matches one batch; a range works with --kind position"},
      {"ledger --position A01", "--position applies to --kind position only"},
      {"ledger --kind position --audited-only", "--audited-only applies to the stock ledger (--kind inventory or batch)"},
      {"ref Warehouse --plain --keyword x", "--filter, --keyword and --order are not used with --plain"},
      {"print csv:taken.csv", "print taken.csv: a file is already there (--force replaces it)"},
      {"print HTML:link.csv", "print link.csv: a symbolic link is already there (--force replaces it)"},
      {"print csv:DIR --force", "print DIR: is a directory; name a file"},
  };
  // clang-format on
  for (const auto& [text, message] : cases) {
    std::string line = Fails(Run(Split(text, dir)), 2, text);
    EXPECT_EQ(line.rfind("q9strep: ", 0), 0u) << line;
    if (!message.empty()) {
      EXPECT_EQ(line, "q9strep: " + WithDir(message, dir) + "\n") << text;
    }
  }
  setenv("Q9STREP_TRACE_SQL", dir.c_str(), 1);
  EXPECT_EQ(Fails(Run({"periods"}), 2, "env"),
            "q9strep: Q9STREP_TRACE_SQL " + dir + ": is a directory, not a file\n");
  unsetenv("Q9STREP_TRACE_SQL");
  EXPECT_EQ(FileBytes(scratch_.File("taken.csv")), "mine");
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepTest, WithoutDbTheDemoCompanyIsCreatedOnlyWhereNothingOfItsNamesIsThere) {
  fs::path data = scratch_.path() / "demo-data";
  // clang-format off
  struct Case {
    std::function<void()> make;
    std::string there;
  } cases[] = {
      {[&] { fs::create_directory(data), WriteFile((data / "company.db").string(), "x"); }, "demo-data/company.db is a file, demo-data/system.db is missing"},
      {[&] { fs::create_directory(data), WriteFile((data / "system.db").string(), "y"); }, "demo-data/company.db is missing, demo-data/system.db is a file"},
      {[&] { WriteFile(data.string(), "z"); }, "demo-data is a file, not a directory"},
  };
  // clang-format on
  auto snapshot = [&] {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(scratch_.path()))
      files[e.path()] = e.is_directory() ? "(directory)" : FileBytes(e.path());
    return files;
  };
  for (const Case& c : cases) {
    fs::remove_all(data);
    c.make();
    std::map<std::string, std::string> before = snapshot();
    for (Args args : {Args{"ledger"}, {"periods"}, {"print", "csv:out.csv"}}) {
      EXPECT_EQ(Fails(Run(args), 2, c.there),
                "q9strep: no demo company to read: " + c.there +
                    "; nothing was changed (name a database with --db, or move these away and "
                    "run q9strep demo)\n");
    }
    std::string demo = Fails(Run({"demo", "--dir", "demo-data"}), 2, c.there);
    EXPECT_EQ(demo.rfind("q9strep: demo --dir demo-data: " + c.there + "; nothing was changed", 0),
              0u)
        << demo;
    EXPECT_EQ(snapshot(), before) << c.there;
  }
  EXPECT_EQ(
      Fails(Run({"demo", "--dir", "demo-data", "--force"}), 2, "force on a file"),
      "q9strep: demo --dir demo-data: demo-data is a file, not a directory; nothing was changed\n");
  fs::remove_all(data);
  BinaryResult first = Run({"ledger", "--kind", "batch", "--summary-only"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "q9strep: creating the demo company in demo-data/ (first use)\n");
  BinaryResult second = Run({"ledger", "--kind", "batch", "--summary-only"});
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(second.out, first.out);
}

TEST_F(Q9strepTest, FailuresEndWithOneLineAndTheirStatus) {
  const std::string small = small_.ConnectionString(), demo = Demo(),
                    nowhere = scratch_.File("nowhere.db"), partial = scratch_.File("partial.xml");
  WriteFile(partial, "<condition><ddate isverdate=\"false\" value1=\"\" value2=\"\"/></condition>");
  WriteFile(scratch_.File("empty.xml"), "");
  const std::string init = "q9strep: 初始化失败！ (",
                    none = "q9strep: account 001 has no accounting periods in 2030 (--year)\n";
  struct Case {
    Args args;
    int status;
    std::string start, part = "";
  } cases[] = {
      // clang-format off
      {{"--db", "Provider=SQLite;Data Source=" + nowhere + ";System Database=" + small_.system_db(), "periods"}, 1, init, "the company database '" + nowhere + "' does not exist"},
      {{"--db", small, "--user", "nobody", "periods"}, 1, init, "用户 nobody 不存在"},
      {{"--db", small, "--account", "999", "captions", "define"}, 1, init, "账套 999 不存在"},
      {{"--db", "Provider=Nonsense;Data Source=x", "ledger"}, 1, init, "unknown provider 'Nonsense'"},
      {{"--db", "Provider=SQLite;Data Source=/tmp;System Database=" + small_.system_db(), "periods"}, 1, init, "Data Source /tmp is a directory, not a database file"},
      {{"--db", small, "--year", "2030", "periods"}, 1, none},
      {{"--db", small, "--year", "2030", "print", "csv:" + scratch_.File("p.csv")}, 1, none},
      {{"--db", small, "--year", "2030", "ledger", "--period", "1"}, 2, "q9strep: --period 1: account 001 has no accounting periods in 2030 (--year)\n"},
      {{"--db", demo, "ledger", "--inventory", "ZZZ9"}, 1, "q9strep: 没有符合条件的数据！"},
      {{"--db", demo, "ledger", "--row", "100000"}, 2, "q9strep: --row 100000: the summary has "},
      {{"--db", demo, "ledger", "--condition", partial}, 3, "q9strep: error 91: "},
      {{"--db", demo, "format", "get", "NOSUCH"}, 1, "q9strep: format get NOSUCH: the stock module has no report query of that name\n"},
      {{"--db", demo, "format", "save", scratch_.File("empty.xml")}, 1, "q9strep: 信息不完整！\n"},
      {{"--db", demo, "--user", "clerk", "task", "ST0306"}, 1, "q9strep: 对不起,您没有该项权限!\n"},
      {{"--db", demo, "task", "ST9999"}, 1, "q9strep: 指定功能号不存在(仅发生在功能释放时)\n"},
      {{"--db", demo, "ref", "NoSuchTable"}, 1, "q9strep: ", "NoSuchTable"},
      {{"--db", demo, "print", "fax:123"}, 1, "q9strep: ", "fax:123"},
      // clang-format on
  };
  for (const Case& c : cases) {
    std::string line = Fails(Run(c.args), c.status, Join(c.args));
    EXPECT_TRUE(line.starts_with(c.start) && line.find(c.part) != std::string::npos) << line;
  }
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepTest, PeriodsShowWhatGetPeriodDayReturnsAndAYearWithoutThemIsOneMessage) {
  std::string trace = scratch_.File("trace.jsonl");
  json j = Json({"--trace-sql", trace, "periods"}, small_.ConnectionString());
  std::string statement =
      "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '001' AND iYear "
      "= 2026";
  EXPECT_NE(FileBytes(trace).find(",\"sql\":" + json(statement).dump() + "}\n"), std::string::npos);
  Variant rs, msg;
  ASSERT_TRUE(Component(small_.ConnectionString())->GetPeriodDay(rs, msg));
  ExpectSameRows(j, rs);
  // The small company's 2026 runs from the 26th of the month before to the 25th.
  EXPECT_EQ(j["rows"].size(), 12u);
  EXPECT_NE(std::find(j["rows"].begin(), j["rows"].end(), json{12, "2026-11-26", "2026-12-25"}),
            j["rows"].end());

  BinaryResult by_period =
      Q9({"condition", "--periods", "2026-02:2026-03"}, small_.ConnectionString());
  EXPECT_NE(by_period.out.find("value1=\"2026-01-26\" value2=\"2026-03-25\""), std::string::npos)
      << by_period.out << by_period.err;
}

TEST_F(Q9strepTest, ConditionPrintsTheDocumentTheOptionsMake) {
  BinaryResult r = Run(Split(
      "condition --from 2026-01-05 --to 2026-02-01 --audit-dates --warehouse 01,03 --class 01:03 "
      "--inventory :0102 --spec M8\"x\" --assunit 2 --standard in-not-out --batch B7 --position "
      "A01:A05 --audited-only --free 3=red:blue --free 1= --define 15=2026-01-01:2026-02-01",
      ""));
  ASSERT_EQ(r.status, 0) << r.err;
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(r.out.c_str()));
  std::string got;
  for (const char* e :
       {"ddate", "warehouse", "invclass", "inventory", "invstd", "assunit", "standard", "batch",
        "includeaudit", "position", "free1", "free2", "free3", "invdefine15"}) {
    for (pugi::xml_attribute a : doc.document_element().child(e).attributes()) {
      got += std::string(e) + "@" + a.name() + "=" + a.value() + " ";
    }
  }
  EXPECT_EQ(
      got,
      "ddate@isverdate=true ddate@value1=2026-01-05 ddate@value2=2026-02-01 "
      "warehouse@value1=01,03 invclass@value1=01 invclass@value2=03 inventory@value1= "
      "inventory@value2=0102 invstd@value1=M8\"x\" assunit@value1=2 standard@value1=入库未出库 "
      "batch@value1=B7 batch@value2= includeaudit@value=0 position@value1=A01 "
      "position@value2=A05 free1@check=1 free1@value1= free1@value2= free2@check=0 "
      "free2@value1= free2@value2= free3@check=1 free3@value1=red free3@value2=blue "
      "invdefine15@value1=2026-01-01 invdefine15@value2=2026-02-01 ");
}

TEST_F(Q9strepTest, LedgerJsonIsWhatOpenXAndOpenPageReturnWithCaptions) {
  // clang-format off
  struct Case {
    int16_t iSelectTz;
    std::string options, rows;  // --row / --all-rows; empty: the first row
  } cases[] = {
      {1, "", ""},
      {0, "--from 2025-07-01 --to 2025-12-31", "--row 3"},
      {0, "--audit-dates --standard active --class 01", "--all-rows"},
      {2, "--from 2026-01-01 --standard active --class 0101", "--all-rows"},
      {1, "--free 1= --standard all --audited-only", "--row 2"},
      {1, "--period 2026-02 --warehouse 01,02 --assunit 2", ""},
  };
  // clang-format on
  const char* kinds[] = {"inventory", "batch", "position"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string kind = kinds[c.iSelectTz];
    json got = Json(Split("ledger --kind " + kind + " " + c.options + " " + c.rows, ""));
    std::string xml = Run(Split("condition " + c.options, "")).out, file = scratch_.File("c.xml");
    WriteFile(file, xml);  // the document the options make gives the same ledger
    EXPECT_EQ(Json(Split("ledger --kind " + kind + " --condition " + file + " " + c.rows, "")),
              got);
    auto k = Component();
    Variant rs1, msg;
    ASSERT_TRUE(k->OpenX(xml, rs1, c.iSelectTz, &msg)) << msg.ConcatText();
    ExpectSameRows(got["summary"], rs1);
    EXPECT_EQ(got["summary"]["captions"][Column(got["summary"], "cInvCode")], "存货编码");
    bool all = c.rows == "--all-rows";
    std::vector<int> rows = {c.rows.empty() || all ? 1 : std::atoi(c.rows.c_str() + 6)};
    while (all && rows.back() < platform::db::AsRecordset(rs1, "Rs1")->RecordCount()) {
      rows.push_back(rows.back() + 1);
    }
    ASSERT_EQ(got["details"].size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const json& d = got["details"][i];
      EXPECT_EQ(d["row"], rows[i]);
      Variant rs2, page_msg, position(int32_t{rows[i]});
      ASSERT_TRUE(k->OpenPage(xml, rs1, rs2, c.iSelectTz, &page_msg, &position))
          << page_msg.ConcatText();
      ExpectSameRows(d, rs2, {"iBalQtty", "iBalNum"});
      EXPECT_EQ(d["captions"][Column(d, "dDate")], "日期");
      // The card opens with the summary row's balances (its running sums have their own tests).
      const json& summary = got["summary"];
      for (auto [bal, begin] : {std::pair{"iBalQtty", "iBeginQtty"}, {"iBalNum", "iBeginNum"}}) {
        EXPECT_EQ(Number(d["opening"][bal]),
                  Number(summary["rows"][rows[i] - 1][Column(summary, begin)]));
      }
    }
  }
}

TEST_F(Q9strepTest, TablesUseTheSavedFormatsCaptions) {
  std::vector<std::string> lines;
  std::istringstream in(Q9({"ledger", "--kind", "batch", "--row", "2"}).out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  json data = Json({"ledger", "--kind", "batch", "--row", "2"});
  const json& rows = data["summary"]["rows"];
  // "Stock ledger by batch: N rows", a blank line, the header, the dashes, the rows.
  ASSERT_GT(lines.size(), 4 + rows.size());
  EXPECT_EQ(lines[2].rfind("存货编码   批号 ", 0), 0u) << lines[2];
  // The detail: the saved format's shown columns in its order (批次台账), then the balances.
  json format = Json({"format", "get", "批次台账"});
  std::string heading;
  for (const json& row : format["rows"]) {
    if (row[Column(format, "Visible")] != 0)
      heading += row[Column(format, "FldCaption")].get<std::string>() + " ";
  }
  EXPECT_EQ(std::regex_replace(lines[4 + rows.size() + 3], std::regex(" +"), " ") + " ",
            heading + "结存数量 结存件数 ");
  BinaryResult raw = Q9({"ledger", "--kind", "batch", "--row", "2", "--raw-names"});
  EXPECT_NE(raw.out.find("\ncInvCode   cBatch"), std::string::npos) << raw.out.substr(0, 300);
  EXPECT_NE(raw.out.find("\ndDate       dVeriDate   cCode"), std::string::npos);
  BinaryResult csv = Q9({"--format", "csv", "ledger", "--kind", "batch", "--summary-only"});
  EXPECT_EQ(csv.out.rfind("\xEF\xBB\xBF存货编码,批号,存货名称,", 0), 0u) << csv.out.substr(0, 80);
}

TEST_F(Q9strepTest, ControlCharactersInTheDataReachTheTerminalEscaped) {
  testing::TempDir copy;
  DemoFiles files = DemoFilesIn(copy.path().string());
  fs::copy_file(CompanyDb(), files.company_db);
  fs::copy_file(DemoFilesIn(DemoDir()).system_db, files.system_db);
  std::string code =
      testing::SqliteRows(files.company_db, "SELECT MIN(cInvCode) FROM RdRecords")[0][0];
  testing::ExecSqlite(files.company_db,
                      "UPDATE Inventory SET cInvName = 'Red' || char(27) || '[31m' "
                      "|| char(155) || 'X' WHERE cInvCode = '" +
                          code + "'");
  BinaryResult r =
      Q9({"ledger", "--inventory", code + ":" + code}, DemoConnectionString(copy.path().string()));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_NE(r.out.find("Red\\x1b[31m\\x9bX  "), std::string::npos) << r.out;  // in the summary
  EXPECT_NE(r.out.find("(Red\\x1b[31m\\x9bX)"), std::string::npos) << r.out;  // in the heading
}

TEST_F(Q9strepTest, OnlyDemoAndFormatSaveWriteAFileOfTheCompany) {
  DemoFiles files = DemoFilesIn(DemoDir());
  std::string company = FileBytes(files.company_db), system = FileBytes(files.system_db);
  for (std::string args :
       {"ledger --kind batch --all-rows", "periods", "captions free",
        "--trace-sql DIR/t.jsonl ledger --kind position --row 2", "ledger --inventory ZZZ9",
        "ledger --row 100000", "ref Inventory", "print csv:DIR/p.csv"}) {
    Q9(Split(args, scratch_.path().string()));
  }
  for (const std::string& file : {files.company_db, files.system_db}) {
    EXPECT_EQ(Fails(Q9({"--trace-sql", file, "periods"}), 2, file),
              "q9strep: --trace-sql " + file + ": is the database file " + file +
                  "; name another file\n");
    EXPECT_EQ(Fails(Q9({"print", "csv:" + file, "--force"}), 2, file),
              "q9strep: print " + file + ": is the database file; name another file\n");
  }
  EXPECT_TRUE(FileBytes(files.company_db) == company);
  EXPECT_TRUE(FileBytes(files.system_db) == system);
}

TEST_F(Q9strepTest, DemoSaysWhatItWritesAndLeavesACompanyAloneUnlessForced) {
  std::string before = FileBytes(CompanyDb());
  BinaryResult again = Run({"demo", "--dir", DemoDir(), "--lines", "300"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("already"), std::string::npos) << again.out;
  EXPECT_TRUE(FileBytes(CompanyDb()) == before);
  std::string other = scratch_.File("other");
  BinaryResult one = Run({"demo", "--dir", other, "--lines", "1"});
  EXPECT_EQ(one.out.substr(0, one.out.find('\n')),
            "Demo company written to " + other +
                "/ (company.db, system.db): 200 document lines "
                "(the fewest the demo company has), seed 20261206.");
  auto lines = [&] {
    return testing::SqliteRows(DemoFilesIn(other).company_db, "SELECT COUNT(*) FROM RdRecords");
  };
  EXPECT_EQ(lines()[0][0], "200");
  BinaryResult forced =
      Run({"--format", "json", "demo", "--dir", other, "--lines", "400", "--force"});
  EXPECT_EQ(json::parse(forced.out)["lines"], 400);
  EXPECT_EQ(lines()[0][0], "400");
  // A server that is not there: the driver's words, never the password.
  std::string line = Fails(Run({"demo", "--server", "Provider=Nonsense;Data Source=x"}), 3, "");
  EXPECT_NE(line.find("Nonsense"), std::string::npos) << line;
  if (!testing::FreeTdsDriverInstalled()) GTEST_SKIP() << "FreeTDS (tdsodbc) is not installed";
  testing::UseTestOdbcDrivers();  // the child process inherits the test-local driver set-up
  line = Fails(
      Run({"demo", "--server",
           "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(testing::ClosedLocalPort()) +
               ";Database=q9demo;UID=sa;PWD=S3cret-Pwd;Connect Timeout=2"}),
      3, "");
  EXPECT_NE(line.find("[FreeTDS]"), std::string::npos) << line;
  EXPECT_EQ(line.find("S3cret-Pwd"), std::string::npos) << line;
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepTest, CaptionsAreWhatTheFourCaptionMethodsReturn) {
  auto k = Component();
  using Method = bool (component::IClsKCZT::*)(Variant&, Variant*);
  for (auto [kind, method] :
       {std::pair<const char*, Method>{"define", &component::IClsKCZT::GetDefineName},
        {"free", &component::IClsKCZT::GetFreeName},
        {"hdefine", &component::IClsKCZT::GetHDefineName},
        {"bdefine", &component::IClsKCZT::GetBDefineName}}) {
    Variant rs;
    ASSERT_TRUE(((*k).*method)(rs, nullptr)) << kind;
    ExpectSameRows(Json({"captions", kind}), rs);
  }
}

TEST_F(Q9strepTest, FormatGetShowsTheSavedFormatAndSaveWritesIt) {
  json got = Json({"format", "get", "库存台账"});
  Variant rs, id;
  std::string msg;
  ASSERT_TRUE(Component()->GetQueryFormat("库存台账", rs, &msg, &id)) << msg;
  ExpectSameRows(got, rs);
  EXPECT_EQ(got["queryid"], 1);
  EXPECT_EQ(got["rows"].size(), 11u);  // the rows at positions 100 and 101 are not the format's
  // 空白格式 (definition 5) has no saved format yet; the query id may sit inside col1.
  std::string file = scratch_.File("format.xml");
  // clang-format off
  for (auto [xml, width1, visible1, visible2] : {
           std::tuple{"<format><col1 visible=\"true\" width=\"80\"><queryid value=\"5\"/></col1><col2 visible=\"0\" width=\"120.5\"/></format>", "80", -1, 0},
           std::tuple{"<format><col1 visible=\"false\" width=\"95\"><queryid value=\"5\"/></col1><col2 visible=\"1\" width=\"60\"/></format>", "95", 0, -1}}) {
    // clang-format on
    WriteFile(file, xml);
    EXPECT_EQ(Q9({"format", "save", file}).out, "saved\n");
    json saved = Json({"format", "get", "空白格式"});
    ASSERT_EQ(saved["rows"].size(), 2u);
    EXPECT_EQ(saved["rows"][0][Column(saved, "Width")], width1);
    EXPECT_EQ(saved["rows"][0][Column(saved, "Visible")], visible1);
    EXPECT_EQ(saved["rows"][1][Column(saved, "Visible")], visible2);
    EXPECT_EQ(saved["rows"][1][Column(saved, "ORDEREx")], 2);
  }
}

TEST_F(Q9strepTest, RefShowsAPageOfTheReferenceServersData) {
  json got =
      Json({"ref", "Inventory", "--page-size", "7", "--page", "2", "--order", "cInvName DESC"});
  int32_t page = 2, pages = 0;
  Variant rs, titles, msg;
  ASSERT_TRUE(Component()->GetRefData(true, "Inventory", "", "", "cInvName DESC", 7, page, pages,
                                      rs, titles, msg));
  ExpectSameRows(got, rs);
  ExpectSameRows(got["titles"], titles);
  EXPECT_EQ(got["page"], page);
  EXPECT_EQ(got["pages"], pages);
  json filtered = Json({"ref", "Inventory", "--filter", "0101", "--page-size", "100"});
  ASSERT_GT(filtered["rows"].size(), 0u);
  for (const json& row : filtered["rows"])
    EXPECT_EQ(row[0].get<std::string>().rfind("0101", 0), 0u);
  json plain = Json({"ref", "Warehouse", "--plain"});
  EXPECT_EQ(plain["rows"].size(), 8u);  // the demo company's eight warehouses
  EXPECT_FALSE(plain.contains("titles"));
  EXPECT_NE(Q9({"ref", "Warehouse", "--page-size", "3"}).out.find("\npage 1 of 3\n"),
            std::string::npos);
}

TEST_F(Q9strepTest, TaskTellsGrantedOrTheRefusal) {
  EXPECT_EQ(Q9({"task", "ST0301"}).out, "granted\n");
  EXPECT_EQ(Q9({"--format", "json", "task", "ST0306"}).out, "{\"result\":true}\n");
  // ST0305 is held by auditor under lock 1: the login component's text, then the request to
  // try again later.
  std::string busy = Fails(Q9({"task", "ST0305", "--lock", "1"}), 1, "");
  EXPECT_NE(busy.find("auditor"), std::string::npos) << busy;
  EXPECT_EQ(busy.substr(busy.size() - std::string("，请稍后再试\n").size()), "，请稍后再试\n");
}

TEST_F(Q9strepTest, PrintWritesANewFileInTheToolsCsvConventionAndSaysWhere) {
  std::string csv = scratch_.File("ledger.csv");
  BinaryResult r = Q9({"print", "csv:" + csv, "--kind", "batch", "--class", "01"});
  ASSERT_EQ(r.status, 0) << r.err;
  size_t records =
      Json(Split("ledger --kind batch --class 01 --summary-only", ""))["summary"]["rows"].size();
  EXPECT_EQ(r.out, "Written to " + csv + ": " + std::to_string(records) + " records\n");
  // One CSV convention: the print service's file is what --format csv prints for the same data.
  EXPECT_EQ(
      FileBytes(csv),
      Q9(Split("--format csv ledger --kind batch --class 01 --summary-only --raw-names", "")).out);
  // --force replaces a symbolic link itself, never the file it points to.
  std::string victim = scratch_.File("victim.txt"), link = scratch_.File("link.html");
  WriteFile(victim, "keep");
  fs::create_symlink(victim, link);
  ASSERT_EQ(Q9({"print", "html:" + link, "--kind", "position", "--row", "1", "--force"}).status, 0);
  EXPECT_EQ(FileBytes(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_NE(FileBytes(link).find("<table"), std::string::npos);
  // ledger.csv, victim.txt, link.html and no temporary file
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator{}), 3);
}

}  // namespace
}  // namespace q9::cli
