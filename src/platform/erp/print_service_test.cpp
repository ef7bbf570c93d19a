#include "platform/erp/print_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

// Each export writes the whole recordset, whatever the caller's record, and leaves it there.
TEST_F(PrintServiceTest, CsvAndHtmlWriteEveryRecordQuotedOrEscaped) {
  struct Case {
    const char* command;
    std::vector<std::string> parts;  // the whole file for CSV, lines of the table for HTML
  } cases[] = {{"csv:out.csv",
                {"\xEF\xBB\xBF"
                 "cCode,cName,iQty\r\n"
                 "\"A,1\",\"say \"\"hi\"\" <b>&'\",3\r\n"
                 ",\"多行\n文本\",2.5\r\n"}},
               {"HTML:out.html",
                {"<meta charset=\"utf-8\">", "<tr><th>cCode</th><th>cName</th><th>iQty</th></tr>",
                 "<tr><td>A,1</td><td>say &quot;hi&quot; &lt;b&gt;&amp;&#39;</td><td>3</td></tr>",
                 "<tr><td></td><td>多行\n文本</td><td>2.5</td></tr>"}}};
  for (const Case& c : cases) {
    std::string command = c.command;
    size_t colon = command.find(':') + 1;
    std::filesystem::path out = scratch_.dir() / command.substr(colon);
    auto rs = Sample();
    rs->MoveNext();
    std::string error = "kept";
    EXPECT_EQ(Execute(command.substr(0, colon) + out.string(), Variant(rs), error), Variant(true));
    EXPECT_EQ(error, "kept");
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    std::string text = FileText(out);
    if (c.parts.size() == 1) {
      EXPECT_EQ(text, c.parts[0]);
    }
    for (const std::string& part : c.parts) EXPECT_NE(text.find(part), std::string::npos) << text;
  }
}

TEST_F(PrintServiceTest, UnknownCommandsAndBadRecordsetsWriteNothing) {
  auto Files = [&] {
    auto it = std::filesystem::directory_iterator(scratch_.dir());
    return std::distance(it, std::filesystem::directory_iterator());
  };
  auto files_before = Files();
  std::string path = (scratch_.dir() / "x.csv").string();
  struct Case {
    std::string command;
    Variant param;
    int number;  // 0: no error, Execute answers false with the error text
  } cases[] = {{"fax:0123", Variant(Sample()), 0},
               {"csv:", Variant(Sample()), 0},
               {"print", Variant(Sample()), 0},
               {"csv:" + path, Variant("text"), kErrTypeMismatch},
               {"csv:" + path, Variant::Nothing(), kErrObjectNotSet},
               {"csv:" + path, Variant(std::make_shared<db::Recordset>()), kErrObjectClosed},
               {"csv:" + (scratch_.dir() / "no" / "dir.csv").string(), Variant(Sample()), 75}};
  for (const Case& c : cases) {
    std::string error = "kept";
    Variant result;
    EXPECT_EQ(q9::testing::ErrorNumberOf([&] { result = Execute(c.command, c.param, error); }),
              c.number)
        << c.command;
    if (c.number == 0) {
      EXPECT_EQ(result, Variant(false));
      EXPECT_EQ(error, "未知的打印命令 '" + c.command + "'；可用的命令: csv:<文件>, html:<文件>");
    } else {
      EXPECT_EQ(error, "kept") << c.command;
    }
  }
  EXPECT_EQ(Files(), files_before);
}

}  // namespace
}  // namespace q9::platform::erp
