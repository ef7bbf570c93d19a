// What a format save may never do: write rows for a definition that does not exist, give a
// position a second row, or fail because another process saves at the same time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "component/iclskczt.h"
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

TEST(FormatSaveGuardTest, OnlyDefinitionsThatExistGetRowsAndEachPositionOne) {
  platform::erp::RegisterErpSubstitutes();
  testing::ServicesDatabase db;
  component::IClsKCZT component;
  ASSERT_TRUE(component.Init(db.CallerLogin()));
  db.Exec(R"sql(INSERT INTO Rpt_GlbDEF VALUES (12, 'ST', '库存台账'), (2147483647, 'ST', '最后');
                INSERT INTO Rpt_FldDef VALUES (12, 100, 9, 0, 'x100', '第一百');)sql");
  std::string msg;
  for (int width : {7, 8}) ASSERT_TRUE(component.SaveFormat(Columns("12", 101, width), msg)) << msg;
  // From 100 on too one row per position; the row at 100 is the one updated there.
  EXPECT_EQ(db.Rows("SELECT COUNT(*), COUNT(DISTINCT ORDEREx), MIN(Width), MAX(Width), "
                    "MAX(cFieldName) FROM Rpt_FldDef WHERE ID = 12"),
            (Rows{{"101", "101", "8", "8", "x100"}}));
  const Rows before = db.Rows("SELECT * FROM Rpt_FldDef ORDER BY ID, ORDEREx");
  // No definition, or an id beyond 32 bits (2^32 + 12 would name 12 if it wrapped).
  for (const std::string id : {"99", "0", "4294967308", "99999999999999999999"}) {
    EXPECT_FALSE(component.SaveFormat(Columns(id, 2, 5), msg)) << id;
    EXPECT_EQ(msg, "Invalid procedure call or argument: 查询号 " + id +
                       " 没有查询定义（Rpt_GlbDEF 中没有此 ID），格式未保存");
  }
  EXPECT_EQ(db.Rows("SELECT * FROM Rpt_FldDef ORDER BY ID, ORDEREx"), before);
  // The largest id and leading zeros still name their definitions.
  EXPECT_TRUE(component.SaveFormat(Columns("2147483647", 1, 6), msg)) << msg;
  EXPECT_TRUE(component.SaveFormat(Columns("00012", 1, 6), msg)) << msg;
  EXPECT_EQ(db.Rows("SELECT ID, Width FROM Rpt_FldDef WHERE ORDEREx = 1 ORDER BY ID"),
            (Rows{{"12", "6"}, {"2147483647", "6"}}));
}

TEST(FormatSaveGuardTest, SavesFromSeveralProcessesAtOnceAllSucceed) {
  // No connection is open when the processes start: none may share one.
  testing::ServicesDatabase db;
  db.Exec("INSERT INTO Rpt_GlbDEF VALUES (12, 'ST', '库存台账')");
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  for (int p = 0; p < 4; ++p) {
    if (fork() != 0) continue;
    char c;
    bool ok = read(go[0], &c, 1) == 1;
    try {
      platform::db::Connection conn;
      conn.Open(db.connection_string());
      for (int round = 0; ok && round < 5; ++round) {
        SaveFormatDocument(Columns("12", 30, 10 * p + round), conn);
      }
    } catch (const platform::ComError& e) {
      std::fprintf(stderr, "save %d: %s\n", p, e.description().c_str());
      ok = false;
    }
    _exit(ok ? 0 : 1);
  }
  ASSERT_EQ(write(go[1], "gggg", 4), 4);
  for (int p = 0; p < 4; ++p) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int fd : go) close(fd);
  // One row per position, all from one save (each save is one transaction).
  EXPECT_EQ(db.Rows("SELECT COUNT(*), COUNT(DISTINCT ORDEREx), COUNT(DISTINCT Width) FROM "
                    "Rpt_FldDef WHERE ID = 12"),
            (Rows{{"30", "30", "1"}}));
}

}  // namespace
}  // namespace q9::services
