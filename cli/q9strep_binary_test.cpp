// q9strep as a user runs it: help, exit statuses, one-line messages, and the commands that need
// no ledger data, on a small company (the login fixture).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <regex>

#include "component/iclskczt.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "support/login_fixture.h"
#include "support/recordset_json.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

namespace q9::cli {
namespace {

using nlohmann::json;
using testing::BinaryResult;
using testing::ExpectSameRows;
using testing::RunQ9strep;

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class Q9strepBinaryTest : public ::testing::Test {
 protected:
  // Runs in a directory of its own, so a demo company created by mistake would show.
  BinaryResult Run(std::vector<std::string> args) { return RunQ9strep(args, dir_.path().string()); }
  BinaryResult RunOnFixture(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", company_.ConnectionString()});
    return Run(args);
  }
  bool DemoDataCreated() const { return std::filesystem::exists(dir_.path() / "demo-data"); }

  testing::TempDir dir_;
  testing::LoginFixture company_;
};

TEST_F(Q9strepBinaryTest, EveryCommandHasHelp) {
  struct Case {
    std::vector<std::string> command;
    const char* usage;
  } cases[] = {
      {{}, "Usage: q9strep [OPTIONS] SUBCOMMAND"},
      {{"demo"}, "Usage: q9strep demo [OPTIONS]"},
      {{"ledger"}, "Usage: q9strep ledger [OPTIONS]"},
      {{"condition"}, "Usage: q9strep condition [OPTIONS]"},
      {{"periods"}, "Usage: q9strep periods [OPTIONS]"},
      {{"captions"}, "Usage: q9strep captions [OPTIONS] KIND"},
      {{"format"}, "Usage: q9strep format [OPTIONS] SUBCOMMAND"},
      {{"format", "get"}, "Usage: q9strep format get [OPTIONS] NAME"},
      {{"format", "save"}, "Usage: q9strep format save [OPTIONS] FILE"},
      {{"ref"}, "Usage: q9strep ref [OPTIONS] TABLE"},
      {{"task"}, "Usage: q9strep task [OPTIONS] FUNCTION_ID"},
      {{"print"}, "Usage: q9strep print [OPTIONS] COMMAND"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.command;
    args.push_back("--help");
    BinaryResult r = Run(args);
    EXPECT_EQ(r.status, 0) << c.usage;
    EXPECT_NE(r.out.find(c.usage), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "") << c.usage;
  }
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepBinaryTest, UsageErrorsExitTwoWithOneLine) {
  WriteFile(dir_.File("broken.xml"), "<condition><ddate value1='x'></condition>");
  WriteFile(dir_.File("empty.xml"), "");
  struct Case {
    std::vector<std::string> args;
    const char* message;  // the whole line on standard error, when the tool words it itself
  } cases[] = {
      {{}, nullptr},
      {{"nonsense"}, nullptr},
      {{"ledger", "--bogus"}, nullptr},
      {{"--format", "xml", "periods"}, nullptr},
      {{"ledger", "--kind", "warehouse"}, nullptr},
      {{"ledger", "--row", "0"}, nullptr},
      {{"ledger", "--row", "2", "--all-rows"}, nullptr},
      {{"ledger", "--summary-only", "--all-rows"}, nullptr},
      {{"ledger", "--audit-dates", "--document-dates"}, nullptr},
      {{"ledger", "--assunit", "two"}, nullptr},
      {{"captions"}, nullptr},
      {{"captions", "names"}, nullptr},
      {{"format"}, nullptr},
      {{"task"}, nullptr},
      {{"ref", "Warehouse", "--page-size", "0"}, nullptr},
      {{"demo", "--lines", "-5"}, nullptr},
      {{"ledger", "--free", "11=x"},
       "q9strep: --free 11=x: expected I=FROM[:TO] with I from 1 to 10\n"},
      {{"condition", "--define", "0=1"},
       "q9strep: --define 0=1: expected I=FROM[:TO] with I from 1 to 16\n"},
      {{"ledger", "--from", "2026-02-30"},
       "q9strep: --from 2026-02-30: not a date (expected YYYY-MM-DD)\n"},
      {{"ledger", "--standard", "most"},
       "q9strep: --standard most: expected one of all (所有存货), active (发生业务), inactive "
       "(未发生业务), in-not-out (入库未出库), out-not-in (出库未入库)\n"},
      {{"ledger", "--condition", "missing.xml"},
       "q9strep: --condition missing.xml: no such file\n"},
      {{"ledger", "--condition", "broken.xml"}, nullptr},
      {{"ledger", "--condition", "empty.xml"}, nullptr},
      {{"ledger", "--condition", "broken.xml", "--warehouse", "01"},
       "q9strep: --condition uses the document as it is; --warehouse cannot be given with it\n"},
      {{"ledger", "--kind", "batch", "--batch", "B1:B3"},
       "q9strep: --batch B1:B3: the stock ledger matches one batch; a range works with --kind "
       "position\n"},
      {{"ledger", "--position", "A01"}, "q9strep: --position applies to --kind position only\n"},
      {{"ledger", "--kind", "position", "--audited-only"},
       "q9strep: --audited-only applies to the stock ledger (--kind inventory or batch)\n"},
      {{"ref", "Warehouse", "--plain", "--keyword", "x"},
       "q9strep: --filter, --keyword and --order are not used with --plain\n"},
      {{"format", "save", "missing.xml"}, "q9strep: format save missing.xml: no such file\n"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    BinaryResult r = Run(c.args);
    EXPECT_EQ(r.status, 2) << shown << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(Lines(r.err), 1u) << shown << r.err;
    EXPECT_EQ(r.err.rfind("q9strep: ", 0), 0u) << shown << r.err;
    if (c.message) {
      EXPECT_EQ(r.err, c.message) << shown;
    }
  }
  BinaryResult broken = Run({"ledger", "--condition", "broken.xml"});
  EXPECT_NE(broken.err.find("q9strep: --condition broken.xml: not an XML document ("),
            std::string::npos)
      << broken.err;
  // Nothing ran against a database: no demo company was created for any of them.
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepBinaryTest, ADatabaseThatCannotBeOpenedExitsOneWithInitsMessageAndTheCause) {
  std::string missing = "Provider=SQLite;Data Source=" + dir_.File("nowhere.db") +
                        ";System Database=" + company_.system_db();
  struct Case {
    std::vector<std::string> args;
    std::string cause;
  } cases[] = {
      {{"--db", missing, "periods"},
       "the company database '" + dir_.File("nowhere.db") + "' does not exist"},
      {{"--db", company_.ConnectionString(), "--user", "nobody", "periods"}, "用户 nobody 不存在"},
      {{"--db", company_.ConnectionString(), "--account", "999", "captions", "define"},
       "账套 999 不存在"},
      {{"--db", "Provider=Nonsense;Data Source=x", "ledger"}, "unknown provider 'Nonsense'"},
  };
  for (const Case& c : cases) {
    BinaryResult r = Run(c.args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Lines(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("q9strep: 初始化失败！ (", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.cause), std::string::npos) << r.err;
  }
  EXPECT_FALSE(DemoDataCreated());
}

TEST_F(Q9strepBinaryTest, AnErrorTheComponentRaisesExitsThreeWithNumberAndDescription) {
  // PrintSrv has no error handler: the print service refusing a text where it prints a
  // recordset (type mismatch) reaches the caller as an error.
  BinaryResult r = RunOnFixture({"print", "csv:" + dir_.File("out.csv"), "--param", "text"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(std::regex_match(r.err, std::regex("q9strep: error 13: [^\n]+\n"))) << r.err;
}

// The component's own answer, for comparison with what the tool printed.
platform::Variant PeriodsOfTheComponent(const std::string& connection, int year) {
  platform::erp::RegisterErpSubstitutes();
  component::IClsKCZT k;
  EXPECT_TRUE(
      k.Init(platform::Variant(platform::erp::MakeCallerLogin(connection, "demo", "001", year))));
  platform::Variant rs, msg;
  EXPECT_TRUE(k.GetPeriodDay(rs, msg));
  return rs;
}

TEST_F(Q9strepBinaryTest, PeriodsShowWhatGetPeriodDayReturns) {
  BinaryResult r = RunOnFixture({"periods", "--format", "json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  json j = json::parse(r.out);
  ExpectSameRows(j, PeriodsOfTheComponent(company_.ConnectionString(), 2026));
  // The fixture's year 2026 runs from the 26th of the month before to the 25th.
  ASSERT_EQ(j["rows"].size(), 12u);
  std::map<int, std::pair<std::string, std::string>> by_month;
  for (const json& row : j["rows"]) by_month[row[0].get<int>()] = {row[1], row[2]};
  EXPECT_EQ(by_month[1], std::make_pair(std::string("2025-12-26"), std::string("2026-01-25")));
  EXPECT_EQ(by_month[12], std::make_pair(std::string("2026-11-26"), std::string("2026-12-25")));

  BinaryResult table = RunOnFixture({"periods", "--year", "2025"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_EQ(table.out.substr(0, table.out.find('\n', table.out.find('\n') + 1) + 1),
            "iMonth  dBegin      dEnd\n"
            "------  ----------  ----------\n");
  EXPECT_NE(table.out.find("     3  2025-03-01  2025-03-31\n"), std::string::npos) << table.out;

  BinaryResult csv = RunOnFixture({"--format", "csv", "periods"});
  ASSERT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out.rfind("iMonth,dBegin,dEnd\r\n", 0), 0u);
  EXPECT_EQ(Lines(csv.out), 13u);
}

TEST_F(Q9strepBinaryTest, AYearWithoutPeriodsIsEmptyNotAnError) {
  BinaryResult j = RunOnFixture({"periods", "--year", "2030", "--format", "json"});
  EXPECT_EQ(j.status, 0) << j.err;
  EXPECT_EQ(j.out, "{\"columns\":[],\"rows\":[]}\n");
  BinaryResult t = RunOnFixture({"periods", "--year", "2030"});
  EXPECT_EQ(t.status, 0);
  EXPECT_EQ(t.out, "(none)\n");
}

TEST_F(Q9strepBinaryTest, GlobalOptionsWorkAfterTheCommandToo) {
  BinaryResult before = RunOnFixture({"--format", "json", "--year", "2025", "periods"});
  BinaryResult after = RunOnFixture({"periods", "--year", "2025", "--format", "json"});
  ASSERT_EQ(before.status, 0) << before.err;
  EXPECT_EQ(before.out, after.out);
  EXPECT_EQ(json::parse(before.out)["rows"][0][1], "2025-01-01");
}

TEST_F(Q9strepBinaryTest, TraceSqlWritesTheStatementsAsJsonLines) {
  std::string trace = dir_.File("trace.jsonl");
  BinaryResult r = RunOnFixture({"--trace-sql", trace, "periods"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(trace);
  std::string line;
  bool found = false;
  while (std::getline(in, line)) {
    json j = json::parse(line);
    ASSERT_TRUE(j.contains("sql") && j.contains("engine_sql")) << line;
    found |= j["sql"] ==
             "SELECT iId AS iMonth, dBegin,dEnd FROM VKSystem..VA_Period WHERE cAcc_ID = '001' "
             "AND iYear = 2026";
  }
  EXPECT_TRUE(found);
}

TEST_F(Q9strepBinaryTest, ConditionPrintsTheDocumentTheOptionsMake) {
  BinaryResult r = Run({"condition",
                        "--from",
                        "2026-1-5",
                        "--to",
                        "2026-02-01",
                        "--audit-dates",
                        "--warehouse",
                        "01,03",
                        "--class",
                        "01:03",
                        "--inventory",
                        ":0102",
                        "--spec",
                        "M8 \"x\"",
                        "--assunit",
                        "2",
                        "--standard",
                        "in-not-out",
                        "--batch",
                        "B7",
                        "--position",
                        "A01:A05",
                        "--audited-only",
                        "--free",
                        "3=red:blue",
                        "--free",
                        "1=",
                        "--define",
                        "15=2026-01-01:2026-02-01"});
  ASSERT_EQ(r.status, 0) << r.err;
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(r.out.c_str()));
  auto attr = [&](const char* element, const char* name) {
    return std::string(doc.document_element().child(element).attribute(name).value());
  };
  struct Case {
    const char* element;
    const char* attribute;
    const char* value;
  } cases[] = {
      {"ddate", "isverdate", "true"},
      {"ddate", "value1", "2026-01-05"},
      {"ddate", "value2", "2026-02-01"},
      {"warehouse", "value1", "01,03"},
      {"invclass", "value1", "01"},
      {"invclass", "value2", "03"},
      {"inventory", "value1", ""},
      {"inventory", "value2", "0102"},
      {"invstd", "value1", "M8 \"x\""},
      {"assunit", "value1", "2"},
      {"standard", "value1", "入库未出库"},
      {"batch", "value1", "B7"},
      {"batch", "value2", ""},
      {"position", "value1", "A01"},
      {"position", "value2", "A05"},
      {"includeaudit", "value", "0"},
      {"free1", "check", "1"},
      {"free1", "value1", ""},
      {"free2", "check", "0"},
      {"free3", "check", "1"},
      {"free3", "value1", "red"},
      {"free3", "value2", "blue"},
      {"invdefine15", "value1", "2026-01-01"},
      {"invdefine15", "value2", "2026-02-01"},
      {"invdefine16", "value1", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(attr(c.element, c.attribute), c.value) << c.element << "/@" << c.attribute;
  }
  EXPECT_FALSE(DemoDataCreated());
}

}  // namespace
}  // namespace q9::cli
