// What a format save may never do: write rows for a definition that does not exist, give a
// position a second row, or fail because another process saves at the same time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "component/iclskczt.h"
#include "platform/db/statement_gate.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "services/format_save.h"
#include "support/services_fixture.h"

namespace q9::services {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// A format document of `count` columns for definition `id`, each `width` wide.
std::string Columns(const std::string& id, int count, int width) {
  std::string xml = "<queryid value=\"" + id + "\">";
  for (int k = 1; k <= count; ++k) {
    xml +=
        "<col" + std::to_string(k) + " visible=\"true\" width=\"" + std::to_string(width) + "\"/>";
  }
  return xml + "</queryid>";
}

class FormatSaveGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::erp::RegisterErpSubstitutes();
    ASSERT_TRUE(component_.Init(db_.CallerLogin()));
    db_.Exec(R"sql(
      INSERT INTO Rpt_GlbDEF VALUES (12, 'ST', '库存台账'), (2147483647, 'ST', '最后一个');
      INSERT INTO Rpt_FldDef VALUES (12, 1, 50, 0, 'dDate', '日期');
      INSERT INTO Rpt_FldDef VALUES (12, 100, 9, 0, 'x100', '第一百');
    )sql");
  }

  Rows Table() {
    return db_.Rows(
        "SELECT ID, ORDEREx, Width, Visible FROM Rpt_FldDef ORDER BY ID, ORDEREx, rowid");
  }

  bool Save(const std::string& xml, std::string& msg, std::vector<std::string>* statements) {
    platform::db::ScopedStatementHook hook(
        [&](std::string_view sql, uint64_t) { statements->emplace_back(sql); });
    return component_.SaveFormat(xml, msg);
  }

  testing::ServicesDatabase db_;
  component::IClsKCZT component_;
};

TEST_F(FormatSaveGuardTest, PositionsFrom100OnKeepOneRowEach) {
  std::string msg;
  std::vector<std::string> statements;
  ASSERT_TRUE(Save(Columns("12", 101, 7), msg, &statements)) << msg;
  ASSERT_TRUE(Save(Columns("12", 101, 8), msg, &statements)) << msg;
  EXPECT_EQ(db_.Rows("SELECT COUNT(*), COUNT(DISTINCT ORDEREx), MIN(Width), MAX(Width) FROM "
                     "Rpt_FldDef WHERE ID = 12"),
            (Rows{{"101", "101", "8", "8"}}));
  // The row that was at 100 is the one updated there; below 100 the texts are unchanged.
  EXPECT_EQ(db_.Rows("SELECT cFieldName, Visible FROM Rpt_FldDef WHERE ID = 12 AND ORDEREx = 100"),
            (Rows{{"x100", "-1"}}));
  auto has = [&](const std::string& s) {
    return std::find(statements.begin(), statements.end(), s) != statements.end();
  };
  EXPECT_TRUE(
      has("SELECT * FROM Rpt_FldDef WHERE ORDEREX=99  And [ORDEREx] <  100 AND ID = 12 "
          "ORDER BY [ORDEREx]"));
  EXPECT_TRUE(has("SELECT * FROM Rpt_FldDef WHERE ORDEREX=100 AND ID = 12"));
  EXPECT_TRUE(
      has(" UPDATE Rpt_FldDef SET Visible=-1,Width='8', ORDEREx = 101 WHERE ORDEREX =101 "
          "And ID = 12"));
}

TEST_F(FormatSaveGuardTest, ADefinitionThatDoesNotExistIsRefusedAndNothingWritten) {
  Rows before = Table();
  struct Case {
    const char* id;
    size_t statements;  // the lookup of the definition, when the id can name one
  } cases[] = {
      {"99", 1}, {"0", 1}, {"2147483648", 0}, {"4294967308", 0}, {"99999999999999999999", 0},
  };
  for (const Case& c : cases) {
    std::string msg;
    std::vector<std::string> statements;
    EXPECT_FALSE(Save(Columns(c.id, 2, 5), msg, &statements)) << c.id;
    EXPECT_EQ(msg, std::string("Invalid procedure call or argument: 查询号 ") + c.id +
                       " 没有查询定义（Rpt_GlbDEF 中没有此 ID），格式未保存");
    EXPECT_EQ(statements.size(), c.statements) << c.id;
    if (c.statements == 1) {
      EXPECT_EQ(statements[0], std::string("SELECT ID FROM Rpt_GlbDEF WHERE ID = ") + c.id);
    }
  }
  EXPECT_EQ(Table(), before);
  // The largest id and leading zeros still name their definitions.
  std::string msg;
  std::vector<std::string> statements;
  EXPECT_TRUE(Save(Columns("2147483647", 1, 5), msg, &statements)) << msg;
  EXPECT_TRUE(Save(Columns("00012", 1, 6), msg, &statements)) << msg;
  EXPECT_EQ(db_.Rows("SELECT ID, Width FROM Rpt_FldDef WHERE ORDEREx = 1 ORDER BY ID"),
            (Rows{{"12", "6"}, {"2147483647", "5"}}));
}

TEST(FormatSaveConcurrencyTest, SavesFromSeveralProcessesAtOnceAllSucceed) {
  // No connection is open when the processes start: none may share one.
  testing::ServicesDatabase db_;
  db_.Exec("INSERT INTO Rpt_GlbDEF VALUES (12, 'ST', '库存台账')");
  constexpr int kProcesses = 4;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      close(go[1]);
      char c;
      bool ok = read(go[0], &c, 1) == 1;
      try {
        platform::db::Connection conn;
        conn.Open(db_.connection_string());
        for (int round = 0; ok && round < 5; ++round) {
          SaveFormatDocument(Columns("12", 30, 10 * p + round), conn);
        }
      } catch (const platform::ComError& e) {
        std::fprintf(stderr, "save %d: %s\n", p, e.description().c_str());
        ok = false;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  close(go[0]);
  ASSERT_EQ(write(go[1], "gggg", kProcesses), kProcesses);
  close(go[1]);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // One row per position, all from one save (each save is one transaction).
  EXPECT_EQ(db_.Rows("SELECT COUNT(*), COUNT(DISTINCT ORDEREx), COUNT(DISTINCT Width) FROM "
                     "Rpt_FldDef WHERE ID = 12 AND ORDEREx < 100"),
            (Rows{{"30", "30", "1"}}));
}

}  // namespace
}  // namespace q9::services
