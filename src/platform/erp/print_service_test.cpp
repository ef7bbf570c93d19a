#include "platform/erp/print_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/db/recordset.h"
#include "platform/db/recordset_test_support.h"
#include "platform/erp/caller_login.h"
#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/services_fixture.h"

namespace q9::platform::erp {
namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A recordset of three fields and two records, one with texts that need quoting or escaping.
std::shared_ptr<db::Recordset> Sample() {
  return q9::testing::RecordsetOf({"cCode", "cName", "iQty"},
                                  {Variant("A,1"), Variant("say \"hi\" <b>&'"), Variant(int32_t{3}),
                                   Variant::Null(), Variant("多行\n文本"), Variant(2.5)});
}

class PrintServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PutPropertyRef(service_, "vklogin", Variant(MakeCallerLogin("cs", "demo", "001", 2024)));
  }

  // Runs Execute; returns its result, and the error text in `error`.
  Variant Execute(const std::string& command, const Variant& param, std::string& error) {
    Variant err(error);
    Args args;
    args.Val(Variant(command)).Val(param).Val(Variant()).Ref(&err);
    Variant result = CallMethod(service_, "Execute", args);
    error = err.ConcatText();
    return result;
  }

  testing::ServicesDatabase scratch_;
  Variant service_ = Variant(CreatePrintService());
};

TEST_F(PrintServiceTest, CsvWritesEveryRecordQuotedWhereNeeded) {
  auto rs = Sample();
  rs->MoveNext();  // the export must not depend on, nor move, the caller's record
  std::filesystem::path out = scratch_.dir() / "out.csv";
  std::string error = "kept";
  EXPECT_EQ(Execute("csv:" + out.string(), Variant(rs), error), Variant(true));
  EXPECT_EQ(error, "kept");
  EXPECT_EQ(FileText(out),
            "\xEF\xBB\xBF"
            "cCode,cName,iQty\r\n"
            "\"A,1\",\"say \"\"hi\"\" <b>&'\",3\r\n"
            ",\"多行\n文本\",2.5\r\n");
  EXPECT_EQ(rs->AbsolutePosition(), 2);
}

TEST_F(PrintServiceTest, HtmlWritesAnEscapedTableWithTheUserAndAccount) {
  std::filesystem::path out = scratch_.dir() / "out.html";
  std::string error;
  EXPECT_EQ(Execute("HTML:" + out.string(), Variant(Sample()), error), Variant(true));
  std::string html = FileText(out);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("<tr><th>cCode</th><th>cName</th><th>iQty</th></tr>"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>A,1</td><td>say &quot;hi&quot; &lt;b&gt;&amp;&#39;</td>"
                      "<td>3</td></tr>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<tr><td></td><td>多行\n文本</td><td>2.5</td></tr>"), std::string::npos);
}

std::vector<std::string> Files(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(PrintServiceTest, AnUnknownCommandWritesTheErrorTextAndNothingElse) {
  std::vector<std::string> before = Files(scratch_.dir());
  for (const char* command : {"fax:0123", "csv:", "csv", "print"}) {
    std::string error;
    EXPECT_EQ(Execute(command, Variant(Sample()), error), Variant(false)) << command;
    EXPECT_EQ(error,
              std::string("未知的打印命令 '") + command + "'；可用的命令: csv:<文件>, html:<文件>");
  }
  EXPECT_EQ(Files(scratch_.dir()), before);
}

TEST_F(PrintServiceTest, FailuresAreErrors) {
  std::string path = (scratch_.dir() / "x.csv").string();
  struct Case {
    const char* what;
    std::string command;
    Variant param;
    int number;
  } cases[] = {{"not a recordset", "csv:" + path, Variant("text"), kErrTypeMismatch},
               {"no recordset", "csv:" + path, Variant::Nothing(), kErrObjectNotSet},
               {"closed recordset", "csv:" + path, Variant(std::make_shared<db::Recordset>()),
                kErrObjectClosed},
               {"unwritable path", "csv:" + (scratch_.dir() / "no" / "such" / "dir.csv").string(),
                Variant(Sample()), 75}};
  for (const Case& c : cases) {
    std::string error = "kept";
    EXPECT_EQ(q9::testing::ErrorNumberOf([&] { Execute(c.command, c.param, error); }), c.number)
        << c.what;
    EXPECT_EQ(error, "kept") << c.what;
  }
}

TEST(PrintServiceWithoutLoginTest, ExecuteNeedsVklogin) {
  Variant service(CreatePrintService());
  Variant err;
  Args args;
  args.Val(Variant("csv:/tmp/never.csv")).Val(Variant()).Val(Variant()).Ref(&err);
  auto e = q9::testing::ErrorOf([&] { CallMethod(service, "Execute", args); });
  ASSERT_TRUE(e) << "ran without vklogin";
  EXPECT_EQ(e->number(), kErrObjectNotSet);
  EXPECT_EQ(e->description(), "打印服务的 vklogin 尚未设置");
}

}  // namespace
}  // namespace q9::platform::erp
