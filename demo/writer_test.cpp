// The written databases: the schema the statements need, the SQL Server script beside it, the
// writer, and the copy onto a server through the ODBC engine.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <regex>

#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/server_writer.h"
#include "platform/error.h"
#include "support/odbc_drivers.h"
#include "support/temp_dir.h"

namespace q9::demo {
namespace {

using testing::TempDir;

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

class Db {
 public:
  explicit Db(const std::string& path) { EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK); }
  ~Db() { sqlite3_close(db_); }

  // SQLite's complaint about `sql`, "" when it ran.
  std::string Exec(const std::string& sql) const {
    char* error = nullptr;
    sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    return message;
  }
  std::string PrepareError(const std::string& sql) const {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
    sqlite3_finalize(st);
    return rc == SQLITE_OK ? "" : sqlite3_errmsg(db_);
  }
  // Every row, values joined by '|', NULL as "NULL".
  std::vector<std::string> Rows(const std::string& sql) const {
    std::vector<std::string> rows;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        row += (i ? "|" : "") + std::string(text ? text : "NULL");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(st);
    return rows;
  }
  std::string One(const std::string& sql) const {
    auto rows = Rows(sql);
    return rows.empty() ? "<no row>" : rows.front();
  }
  std::vector<std::string> Tables() const {
    return Rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'");
  }
  // Every row of every table, each value quoted as SQL (text in quotes, reals in full).
  std::vector<std::string> Dump() const {
    std::vector<std::string> out;
    for (const std::string& t : Tables()) {
      std::string values =
          One("SELECT group_concat('quote(\"' || name || '\")', '||''|''||') "
              "FROM pragma_table_info('" +
              t + "')");
      for (std::string& row : Rows("SELECT " + values + " FROM \"" + t + "\" ORDER BY rowid")) {
        out.push_back(t + ": " + row);
      }
    }
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

// ", cDefine1, cDefine2, ..., cDefine16" for ("cDefine", 1, 16).
std::string Range(const std::string& prefix, int from, int to) {
  std::string out;
  for (int i = from; i <= to; ++i) out += ", " + prefix + std::to_string(i);
  return out;
}

// The default company, written once for the suite.
class WrittenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    company_ = new DemoCompany(GenerateCompany(DemoOptions{}));
    WriteCompany(*company_, dir_->File("c.db"), dir_->File("s.db"),
                 [](double f) { fractions_.push_back(f); });
  }
  static void TearDownTestSuite() {
    delete company_;
    delete dir_;
  }
  static inline TempDir* dir_ = nullptr;
  static inline DemoCompany* company_ = nullptr;
  static inline std::vector<double> fractions_;
  Db company_db_{dir_->File("c.db")}, system_db_{dir_->File("s.db")};
};

// Every column the ledger, caption and format statements name; the bare ones must resolve to one
// table of each statement's join (SQLite refuses to prepare an unknown or ambiguous name).
TEST_F(WrittenTest, StatementsFindTheirColumns) {
  std::string frees = Range("cFree", 1, 10), head = Range("cDefine", 1, 16);
  std::string lines = Range("cDefine", 22, 37) + frees, inv_defines = Range("cInvDefine", 1, 16);
  const std::pair<std::string, std::string> cases[] = {
      {"RdRecord",
       "ID, cWhCode, dDate, dVeriDate, bRdFlag, cBusType, cBusCode, cCode, cHandler, "
       "cMaker, cMemo, cPersonCode, cDepCode, cVouchType, cRdCode, cCusCode, "
       "cVenCode, bISSTQc, bPuFirst, cSource" +
           head},
      {"RdRecords",
       "AutoID, ID, cInvCode, iQuantity, iNum, cBatch, dVDate, dCheckDate, "
       "cCheckCode, cCheckPersonCode, cRejectCode" +
           lines},
      {"InvPosition",
       "AutoId, RdID, RdsID, bRdFlag, cWhCode, cPosCode, cInvCode, cBatch, "
       "iQuantity, iNum, dVDate, cMemo, cHandler, dDate, cSource" +
           frees},
      {"AdjustPVouch", "ID, cVouchCode, cDepCode, cPersonCode, cMaker, dDate, dVeriDate" + head},
      {"AdjustPVouchs", "AutoID, ID, cInvCode, iQuantity, cBPosCode, cAPosCode" + lines},
      {"CheckVouch", "ID, cCVCode, cDepCode, cPersonCode, cMaker, dDate, dVeriDate" + head},
      {"CheckVouchs", "AutoID, ID, cInvCode, cPosition, iCVQuantity, iCVCQuantity" + lines},
      {"Inventory",
       "iId, cInvCode, cInvAddCode, cInvName, cInvStd, cInvCCode, cComUnitCode, "
       "cGroupCode, cAssComUnitCode, iGroupType, bInvBatch, iSafeNum, iTopSum, "
       "iLowSum" +
           inv_defines},
      {"ComputationUnit, InventoryClass, Warehouse, Position, Department, Person, Vendor, "
       "Customer, VouchType, Rd_Style",
       "cComunitCode, cComUnitName, iNumber, iChangRate, cInvCName, cWhName, cPosName, cDepName, "
       "cPersonName, cVenCode, cVenName, cVenAbbName, cCusCode, cCusName, cCusAbbName, "
       "cVouchName, cRdName"},
      {"UserDef", "cID, cItem, cItemName, cClass"},
      {"Rpt_GlbDEF", "ID, SystemID, Name"},
      {"Rpt_FldDef", "ID, ORDEREx, Width, Visible, FldName, FldCaption, FldType"},
      // The statements' joins, with the names they use without an alias.
      {"Inventory I, ComputationUnit CU_G, RdRecords Rs, RdRecord R, InventoryClass IC, "
       "Warehouse W, ComputationUnit CU_M, ComputationUnit CU_A",
       "1" + frees + inv_defines},
      {"Inventory I, InvPosition IP, ComputationUnit CU_G, ComputationUnit CU_A, Warehouse W, "
       "Position Pos, InventoryClass IC, ComputationUnit CU_M",
       "iLowSum" + frees + inv_defines},
      {"Inventory I, ComputationUnit CU_G, Vendor V, Customer C, RdRecord R, Person P1, "
       "Department DP, Warehouse W, RdRecords Rs, VouchType VT, Rd_Style Rd, Person CheckPerson",
       "dDate, dVeriDate" + frees + inv_defines},
  };
  for (const auto& [from, columns] : cases) {
    EXPECT_EQ(company_db_.PrepareError("SELECT " + columns + " FROM " + from), "") << from;
  }
}

TEST_F(WrittenTest, HoldsWhatTheStatementsRead) {
  ASSERT_EQ(company_db_.Exec("ATTACH '" + dir_->File("s.db") + "' AS VKSystem"), "");
  const std::pair<std::string, std::string> checks[] = {
      // Types the engine maps: DATE to dates, BIT to Booleans; widths are text.
      {"SELECT group_concat(type) FROM pragma_table_info('RdRecord') WHERE name IN ('dDate', "
       "'bISSTQc', 'cVouchType')",
       "TEXT,DATE,BIT"},
      {"SELECT group_concat(type) FROM pragma_table_info('RdRecords') WHERE name IN ('iQuantity',"
       " 'cDefine26', 'cDefine34', 'cDefine36')",
       "REAL,REAL,INTEGER,DATE"},
      {"SELECT group_concat(type) FROM pragma_table_info('Rpt_FldDef') WHERE name IN ('Width', "
       "'Visible')",
       "TEXT,INTEGER"},
      {"SELECT group_concat(type) FROM pragma_table_info('Inventory') WHERE name IN ('bInvBatch', "
       "'cInvDefine15')",
       "BIT,DATE"},
      // R.cVouchType = 11 compares a text column with a number; codes ignore letter case.
      {"SELECT count(*) > 0 AND count(*) = (SELECT count(*) FROM RdRecord WHERE cVouchType = "
       "'11') FROM RdRecord WHERE cVouchType = 11",
       "1"},
      {"SELECT count(*) FROM Position WHERE cPosCode = '01a01'", "1"},
      {"SELECT count(*) > 0 AND count(*) = (SELECT count(*) FROM InvPosition WHERE cPosCode IN "
       "('01a01')) FROM InvPosition WHERE cPosCode = '01A01'",
       "1"},
      // Dates are 'YYYY-MM-DD' text, flags integers, quantities reals.
      {"SELECT count(*) FROM RdRecord WHERE typeof(dDate) <> 'text' OR dDate NOT GLOB "
       "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' OR typeof(bRdFlag) <> 'integer'",
       "0"},
      {"SELECT count(*) FROM RdRecords WHERE typeof(iQuantity) <> 'real'", "0"},
      // The demo account: calendar months of 2024 to 2026, leap years included.
      {"SELECT dSTStartDate FROM VKSystem.VA_Account WHERE cAcc_ID = '001'", "2025-01-01"},
      {"SELECT count(*), min(dBegin), max(dEnd), sum(dBegin LIKE '%-01') FROM VKSystem.VA_Period "
       "WHERE cAcc_ID = '001'",
       "36|2024-01-01|2026-12-31|36"},
      {"SELECT group_concat(dEnd) FROM VKSystem.VA_Period WHERE cAcc_ID = '001' AND iId = 2",
       "2024-02-29,2025-02-28,2026-02-28"},
      // demo is unrestricted with every task; clerk restricted in every kind, asking for a task
      // that another user holds; auditor restricted in some kinds.
      {"SELECT cUser_Id, group_concat(cKind) FROM (SELECT DISTINCT cUser_Id, cKind FROM "
       "VKSystem.VA_DataRight ORDER BY 1, 2) GROUP BY 1",
       "auditor|user,WareHouse"},
      {"SELECT group_concat(cKind) FROM (SELECT DISTINCT cKind FROM VKSystem.VA_DataRight WHERE "
       "cUser_Id = 'clerk' ORDER BY 1)",
       "department,InvenTory,position,user,WareHouse"},
      {"SELECT (SELECT count(*) FROM VKSystem.VA_Function) = (SELECT count(*) FROM "
       "VKSystem.VA_TaskRight WHERE cUser_Id = 'demo'), L.cUser_Id <> 'clerk', L.cFuncId IN "
       "(SELECT cFuncId FROM VKSystem.VA_TaskRight WHERE cUser_Id = 'clerk') FROM "
       "VKSystem.VA_TaskLock L",
       "1|1|1"},
      // Captions of every define and free item, some set, some NULL, some ''.
      {"SELECT group_concat(c) FROM (SELECT cClass || ' ' || substr(cItem, 1, 3) || count(*) || "
       "(count(*) > count(cItemName)) || (sum(cItemName = '') > 0) AS c FROM UserDef WHERE cClass "
       "IN ('存货', '单据头') GROUP BY cClass, substr(cItem, 1, 3) ORDER BY 1)",
       "单据头 自定义1611,存货 自定义1611,存货 自由项1011"},
      // A stock query format with saved columns (below 100) and designer rows (100 on).
      {"SELECT count(*) > 0 FROM Rpt_GlbDEF G WHERE SystemID = 'ST' AND EXISTS (SELECT 1 FROM "
       "Rpt_FldDef WHERE ID = G.ID AND ORDEREx < 100) AND EXISTS (SELECT 1 FROM Rpt_FldDef WHERE "
       "ID = G.ID AND ORDEREx >= 100)",
       "1"},
      {"SELECT count(*) FROM Rpt_FldDef WHERE Visible NOT IN (-1, 0)", "0"},
  };
  for (const auto& [sql, expected] : checks) EXPECT_EQ(company_db_.One(sql), expected) << sql;
}

TEST_F(WrittenTest, DetailLookupsUseTheirIndexes) {
  const std::pair<const char*, const char*> lookups[] = {
      {"RdRecords WHERE cInvCode = '0101' AND cBatch = 'x'", "IX_RdRecords_Inventory"},
      {"RdRecords WHERE ID = 5", "IX_RdRecords_ID"},
      {"InvPosition WHERE cWhCode='01' AND cInvCode='x' AND cPosCode='01A01'",
       "IX_InvPosition_Key"},
      {"InvPosition WHERE RdsID = 7", "IX_InvPosition_RdsID"},
      {"AdjustPVouchs WHERE ID = 1", "IX_AdjustPVouchs_ID"},
      {"CheckVouchs WHERE ID = 1", "IX_CheckVouchs_ID"},
      {"RdRecord WHERE ID = 3", "INTEGER PRIMARY KEY"},
  };
  for (const auto& [where, index] : lookups) {
    std::string plan = company_db_.One(std::string("EXPLAIN QUERY PLAN SELECT * FROM ") + where);
    EXPECT_NE(plan.find(index), std::string::npos) << where << ": " << plan;
  }
}

// The SQL Server script read back as SQLite (its types mapped back, every text width a CHECK)
// declares the same tables, columns, keys, defaults and indexes as the files, and takes every
// row of them: no text is longer than its column.
TEST_F(WrittenTest, ServerScriptHoldsWhatTheFilesHold) {
  std::string script(kMssqlSchemaScript), sqlite;
  std::regex statement(R"(CREATE (TABLE|UNIQUE INDEX|INDEX) [^;]*;)");
  for (std::sregex_iterator it(script.begin(), script.end(), statement), end; it != end; ++it) {
    sqlite += it->str() + "\n";
  }
  const std::pair<const char*, const char*> kBack[] = {
      {R"((\w+) NVARCHAR\((\d+)\) COLLATE Chinese_PRC_CI_AS)", "$1 TEXT CHECK (length($1) <= $2)"},
      {R"(VKSystem\.dbo\.)", ""},
      {R"( INT\b)", " INTEGER"},
      {R"( FLOAT\b)", " REAL"},
      {R"( DATETIME\b)", " DATE"},
      {R"(N'')", "''"}};
  for (const auto& [from, to] : kBack) sqlite = std::regex_replace(sqlite, std::regex(from), to);
  Db read_back(dir_->File("script.db"));
  ASSERT_EQ(read_back.Exec(sqlite), "") << sqlite;
  ASSERT_EQ(read_back.Exec("ATTACH '" + dir_->File("c.db") + "' AS c; ATTACH '" +
                           dir_->File("s.db") + "' AS s"),
            "");
  std::vector<std::string> tables = company_db_.Tables(), system = system_db_.Tables();
  tables.insert(tables.end(), system.begin(), system.end());
  EXPECT_EQ(read_back.Tables().size(), tables.size());
  for (const std::string& t : tables) {
    std::string db = std::find(system.begin(), system.end(), t) != system.end() ? "s" : "c";
    EXPECT_NE(script.find(" DROP TABLE " + std::string(db == "s" ? "VKSystem." : "") + "dbo." + t +
                          ";\n"),
              std::string::npos)
        << t;
    // SQL Server's key columns are NOT NULL; SQLite's need not be.
    for (const std::string& q :
         {"SELECT name, type, \"notnull\" OR pk > 0, dflt_value, pk FROM pragma_table_info('" + t +
              "', '%s')",
          "SELECT l.name, l.\"unique\", l.origin, group_concat(i.name) FROM pragma_index_list('" +
              t +
              "', '%s') l, pragma_index_info(l.name, '%s') i GROUP BY l.name ORDER BY l.name"}) {
      auto in = [&q](const std::string& schema) {
        return std::regex_replace(q, std::regex("%s"), schema);
      };
      EXPECT_EQ(read_back.Rows(in("main")), read_back.Rows(in(db))) << t;
    }
    EXPECT_EQ(read_back.Exec("INSERT INTO main." + t + " SELECT * FROM " + db + "." + t), "") << t;
  }
}

TEST_F(WrittenTest, WritesEveryRowAndReportsProgress) {
  ASSERT_FALSE(fractions_.empty());
  EXPECT_TRUE(std::is_sorted(fractions_.begin(), fractions_.end()));
  EXPECT_GT(fractions_.front(), 0);
  EXPECT_EQ(fractions_.back(), 1.0);
  const DemoCompany& c = *company_;
  EXPECT_EQ(company_db_.One("SELECT (SELECT count(*) FROM RdRecords) || ' ' || (SELECT count(*) "
                            "FROM InvPosition) || ' ' || (SELECT count(*) FROM CheckVouchs)"),
            std::to_string(c.rd_lines.size()) + " " + std::to_string(c.inv_positions.size()) + " " +
                std::to_string(c.check_lines.size()));
  EXPECT_EQ(system_db_.One("SELECT count(*) FROM VA_DataRight"),
            std::to_string(c.data_rights.size()));
  // A line read back: NULLs, reals and sparse define columns land where they belong.
  auto line = std::find_if(c.rd_lines.begin(), c.rd_lines.end(), [](const RdRecordsRow& l) {
    return l.cDefine.Get(26).index() != 0 && l.cBatch && l.cFree.Text(1);
  });
  ASSERT_NE(line, c.rd_lines.end());
  EXPECT_EQ(company_db_.One("SELECT ID, cInvCode, cBatch, cFree1, cFree4, typeof(cDefine26), "
                            "cDefine22 IS NULL OR cDefine22 LIKE 'L%' FROM RdRecords WHERE "
                            "AutoID = " +
                            std::to_string(line->AutoID)),
            std::to_string(line->ID) + "|" + line->cInvCode + "|" + *line->cBatch + "|" +
                *line->cFree.Text(1) + "|NULL|real|1");
  EXPECT_EQ(system_db_.One("SELECT dBegin, dEnd FROM VA_Period WHERE cAcc_ID = '001' AND "
                           "iYear = 2026 AND iId = 2"),
            "2026-02-01|2026-02-28");
}

TEST(WriterTest, SameSeedSameFilesAndExistingFilesReplaced) {
  TempDir dir;
  WriteCompany(GenerateCompany({11, 400}), dir.File("a.db"), dir.File("as.db"));
  WriteCompany(GenerateCompany({12, 250}), dir.File("b.db"), dir.File("bs.db"));
  WriteCompany(GenerateCompany({11, 400}), dir.File("b.db"), dir.File("bs.db"));
  std::vector<std::string> a = Db(dir.File("a.db")).Dump();
  EXPECT_GT(a.size(), 1000u);
  EXPECT_EQ(a, Db(dir.File("b.db")).Dump());
  EXPECT_EQ(Db(dir.File("as.db")).Dump(), Db(dir.File("bs.db")).Dump());
  std::string missing = dir.File("no/such/dir/c.db");
  try {
    WriteCompany(GenerateCompany({2, 200}), missing, dir.File("s2.db"));
    ADD_FAILURE() << "no error";
  } catch (const platform::ComError& e) {
    EXPECT_EQ(e.description(), "无法创建数据库文件 " + missing + ": unable to open database file");
  }
  EXPECT_EQ(EmbeddedConnectionString("/data/co.db", "/data/sys.db"),
            "Provider=SQLite;Data Source=/data/co.db;System Database=/data/sys.db");
}

class ServerWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::SqliteOdbcDriverInstalled()) GTEST_SKIP() << "the SQLite ODBC driver is missing";
  }
  TempDir dir_;
};

TEST_F(ServerWriterTest, CopiesEveryRowThroughTheOdbcEngineUnchanged) {
  std::string source = dir_.File("source.db"), source_system = dir_.File("source_sys.db");
  WriteCompany(GenerateCompany({.seed = 7, .lines = 1000}), source, source_system);
  // The target: empty tables of the same schema, reached through the SQLite ODBC driver.
  std::string target = dir_.File("target.db"), target_system = dir_.File("target_sys.db");
  testing::ExecSqlite(target, std::string(kCompanySchema));
  testing::ExecSqlite(target_system, std::string(kSystemSchema));
  platform::db::Connection conn;
  conn.Open(testing::SqliteOdbcConnectionString(target, target_system));
  ASSERT_EQ(conn.EngineName(), "ODBC");
  double last = 0;
  CopyCompanyTables(source, source_system, conn, [&](double f) {
    EXPECT_GT(f, last);
    last = f;
  });
  EXPECT_EQ(last, 1.0);
  conn.Close();
  std::vector<std::string> expected = Db(source).Dump();
  // Several hundred rows a table: the INSERTs of 200 rows each are split and joined.
  ASSERT_GT(expected.size(), 2000u);
  EXPECT_EQ(Db(target).Dump(), expected);
  EXPECT_EQ(Db(target_system).Dump(), Db(source_system).Dump());
}

TEST_F(ServerWriterTest, ScriptsRunBatchByBatch) {
  std::string db = dir_.File("s.db");
  testing::ExecSqlite(db, "CREATE TABLE T(x INTEGER);");
  platform::db::Connection conn;
  conn.Open(testing::SqliteOdbcConnectionString(db));
  RunSqlScript(conn,
               "-- a heading\nINSERT INTO T VALUES (1)\ngo\n  GO  \r\n-- a batch of comments only\n"
               "GO\nUPDATE T SET x = x + 1\nGO\nINSERT INTO T VALUES (10)");
  auto rows = conn.Run("SELECT x FROM T ORDER BY x").rows;
  ASSERT_EQ(rows->row_count(), 2u);
  EXPECT_EQ(rows->Value(0, 0), platform::Variant(int32_t{2}));
  EXPECT_EQ(rows->Value(1, 0), platform::Variant(int32_t{10}));
  try {
    RunSqlScript(conn,
                 "DELETE FROM T\nGO\n-- next\nINSERT INTO Missing VALUES (2)\nGO\n"
                 "INSERT INTO T VALUES (3)\n");
    ADD_FAILURE() << "a failing batch passed";
  } catch (const platform::ComError& e) {
    EXPECT_EQ(e.source(), "ODBC");
    EXPECT_EQ(e.description().rfind("batch 'INSERT INTO Missing VALUES (2)': ", 0), 0u)
        << e.description();
    EXPECT_NE(e.description().find("no such table: Missing"), std::string::npos);
  }
  // The batches before the failing one ran, the ones after it did not.
  EXPECT_EQ(conn.Run("SELECT COUNT(*) FROM T").rows->Value(0, 0), platform::Variant(int32_t{0}));
}

}  // namespace
}  // namespace q9::demo
