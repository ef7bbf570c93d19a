// The demo company: the generator's records, the files the writer makes of them, the SQL Server
// script beside them, and the copy onto a server through the ODBC engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include "demo/generator.h"
#include "demo/schema.h"
#include "demo/server_writer.h"
#include "platform/error.h"
#include "support/odbc_drivers.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace q9::demo {
namespace {

const bool kOdbcDrivers = testing::RegisterTestOdbcDrivers();

using testing::SqliteRows;

// Each row of a statement on `db` as one text, values joined by '|'.
std::vector<std::string> Lines(const std::string& db, const std::string& sql,
                               const testing::AttachedDbs& attached = {}) {
  std::vector<std::string> out;
  for (const auto& row : SqliteRows(db, sql, attached)) {
    std::string& line = out.emplace_back(row.empty() ? "" : row[0]);
    for (size_t i = 1; i < row.size(); ++i) line += "|" + row[i];
  }
  return out;
}

// Every row of every table, each value quoted as SQL (text in quotes, reals in full).
std::vector<std::string> Dump(const std::string& db) {
  std::vector<std::string> out;
  for (const auto& t : Lines(db,
                             "SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                             "NOT LIKE 'sqlite%'")) {
    std::string quoted = Lines(db,
                               "SELECT group_concat('quote(' || name || ')', '||''|''||') FROM "
                               "pragma_table_info('" +
                                   t + "')")[0];
    for (const std::string& row : Lines(db, "SELECT " + quoted + " FROM " + t + " ORDER BY rowid"))
      out.push_back(t + ": " + row);
  }
  return out;
}

// ", cDefine1, cDefine2, ..., cDefine16" for ("cDefine", 1, 16).
std::string Range(const std::string& prefix, int from, int to) {
  std::string out;
  for (int i = from; i <= to; ++i) out += ", " + prefix + std::to_string(i);
  return out;
}

// The default company (c.db, c_s.db) and the smallest one (small.db, small_s.db), written once
// for the suite; One reads them with the system database attached as VKSystem.
class WrittenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir;
    company_ = new DemoCompany(GenerateCompany(DemoOptions{}));
    WriteCompany(*company_, dir_->File("c.db"), dir_->File("c_s.db"),
                 [](double f) { fractions_.push_back(f); });
    WriteCompany(GenerateCompany({20261206, kMinimumLines}), dir_->File("small.db"),
                 dir_->File("small_s.db"));
  }
  static void TearDownTestSuite() {
    delete company_;
    delete dir_;
  }
  static std::string One(const std::string& sql, const std::string& db = "c") {
    auto rows = Lines(dir_->File(db + ".db"), sql, {{dir_->File(db + "_s.db"), "VKSystem"}});
    return rows.empty() ? "<no row>" : rows.front();
  }
  static inline testing::TempDir* dir_ = nullptr;
  static inline DemoCompany* company_ = nullptr;
  static inline std::vector<double> fractions_;
};

TEST(GeneratorTest, RowCountsScaleWithLines) {
  // Asked lines, lines made, inventories.
  for (auto [lines, made, inventories] : {std::tuple<int64_t, size_t, size_t>{10, 200, 40},
                                          {400, 400, 40},
                                          {4000, 4000, 200},
                                          {12000, 12000, 600}}) {
    DemoCompany c = GenerateCompany({3, lines});
    EXPECT_EQ(c.rd_lines.size(), made) << lines;
    EXPECT_EQ(c.inventories.size(), inventories) << lines;
    EXPECT_TRUE(c.rd_records.size() > made / 6 && c.rd_records.size() < made / 2) << lines;
    EXPECT_GT(c.inv_positions.size(), made / 2) << lines;
    EXPECT_TRUE(c.adjust_vouchers.size() >= made / 250 && c.check_vouchers.size() >= made / 600)
        << lines;
  }
}

// The cases the ledgers treat specially: each occurs at every size.
TEST_F(WrittenTest, SpecialCasesArePresentAtEverySize) {
  auto any = [](const std::string& columns) { return "coalesce(NULL" + columns + ") IS NOT NULL"; };
  const std::string cases[] = {
      "RdRecord WHERE bISSTQc = 1 AND dDate = '2024-12-31' AND bRdFlag = 1",
      "Warehouse W HAVING count(*) = sum((SELECT count(*) FROM RdRecord R WHERE bISSTQc = 1 AND "
      "R.cWhCode = W.cWhCode) = 1)",  // one opening document per warehouse
      "RdRecord WHERE bISSTQc = 0 AND dDate < '2025-01-01'",
      "RdRecord WHERE dVeriDate IS NULL AND cHandler IS NULL",
      "RdRecord WHERE dVeriDate IS NULL AND cHandler = ''",
      "RdRecord WHERE dVeriDate >= dDate AND cHandler <> ''",
      "RdRecord WHERE cVouchType = '11' AND cBusType = '假退料'",
      "RdRecord WHERE cVouchType = '11' AND cBusType IS NULL",
      "RdRecord WHERE bPuFirst = 1",
      "(SELECT DISTINCT cDepCode FROM RdRecord WHERE ifnull(cDepCode, '') = '') HAVING count(*) = "
      "2",
      "RdRecord WHERE dDate >= '2026-01-01'",
      "RdRecord WHERE " + any(Range("cDefine", 1, 16)),
      "RdRecord A JOIN RdRecord B ON B.ID = A.ID + 1 WHERE B.dDate < A.dDate",  // entered late
      "RdRecords JOIN Inventory USING (cInvCode) WHERE bInvBatch = 1 AND cBatch IS NULL",
      "RdRecords JOIN Inventory USING (cInvCode) WHERE bInvBatch = 1 AND cBatch = ''",
      "RdRecords WHERE cBatch <> '' AND dVDate IS NOT NULL",
      "RdRecords JOIN RdRecord USING (ID) WHERE iQuantity < 0 AND cBusType = '假退料'",
      "(SELECT DISTINCT iGroupType FROM RdRecords JOIN Inventory USING (cInvCode)) "
      "HAVING count(*) = 3",
      "RdRecords WHERE cFree1 IS NOT NULL OR cFree3 IS NOT NULL",
      "RdRecords WHERE " + any(Range("cDefine", 22, 37)),
      "(SELECT DISTINCT cSource FROM InvPosition WHERE ifnull(cSource, '') = '') HAVING count(*) = "
      "2",
      "InvPosition WHERE cSource = '货位调整'",
      "InvPosition WHERE cSource = '盘点'",
      "InvPosition WHERE cSource NOT IN ('', '货位调整', '盘点')",
      "InvPosition WHERE ifnull(cSource, '') = '' AND RdsID NOT IN (SELECT AutoID FROM RdRecords)",
      "(SELECT DISTINCT cBatch FROM InvPosition WHERE ifnull(cBatch, '') = '') HAVING count(*) = 2",
      // Inventories and units: type 1 groups with and without unit 3.
      "(SELECT DISTINCT EXISTS (SELECT 1 FROM ComputationUnit U WHERE U.cGroupCode = I.cGroupCode "
      "AND iNumber = 3) FROM Inventory I WHERE iGroupType = 1) HAVING count(*) = 2",
      "Inventory WHERE " + any(Range("cInvDefine", 1, 16)),
      // Users: demo unrestricted with every task; clerk restricted in every kind and asking for a
      // task another user holds; auditor restricted in some kinds.
      "VKSystem.VA_Function HAVING count(*) = (SELECT count(*) FROM VKSystem.VA_TaskRight WHERE "
      "cUser_Id = 'demo') AND NOT EXISTS (SELECT 1 FROM VKSystem.VA_DataRight WHERE cUser_Id = "
      "'demo')",
      "(SELECT DISTINCT cKind FROM VKSystem.VA_DataRight WHERE cUser_Id = 'clerk') "
      "HAVING count(*) = 5",
      "VKSystem.VA_DataRight WHERE cUser_Id = 'auditor'",
      "VKSystem.VA_TaskLock L JOIN VKSystem.VA_TaskRight T USING (cFuncId) WHERE T.cUser_Id = "
      "'clerk' AND L.cUser_Id <> 'clerk'",
      // Captions: of every define and free item, some set, some NULL, some ''.
      "(SELECT cClass FROM UserDef WHERE cClass IN ('存货', '单据头') GROUP BY cClass HAVING "
      "count(cItemName) < count(*) AND sum(cItemName = '') > 0 AND sum(cItemName <> '') > 0) "
      "HAVING count(*) = 2",
      "(SELECT cClass, substr(cItem, 1, 2) AS kind, count(DISTINCT n) AS c, min(n), max(n) FROM "
      "(SELECT cClass, cItem, CAST(ltrim(cItem, '自定义项由') AS INTEGER) AS n FROM UserDef) WHERE "
      "cClass IN ('存货', '单据头') GROUP BY 1, 2 HAVING min(n) = 1 AND max(n) = c AND c = "
      "CASE kind WHEN '自由' THEN 10 ELSE 16 END) HAVING count(*) = 3",
      // A stock query format with saved columns (below 100) and designer rows (100 on).
      "Rpt_GlbDEF G WHERE SystemID = 'ST' AND EXISTS (SELECT 1 FROM Rpt_FldDef F WHERE F.ID = "
      "G.ID AND ORDEREx < 100) AND EXISTS (SELECT 1 FROM Rpt_FldDef F WHERE F.ID = G.ID AND "
      "ORDEREx >= 100)",
      // Rarer ones, at the default size: floating units without iNum, free item 1 NULL and ''.
      "RdRecords JOIN Inventory USING (cInvCode) WHERE iGroupType = 2 AND iNum IS NULL",
      "RdRecords JOIN Inventory USING (cInvCode) WHERE bFree1 = 1 AND cFree1 IS NULL",
      "RdRecords JOIN Inventory USING (cInvCode) WHERE bFree1 = 1 AND cFree1 = ''",
  };
  for (const std::string& from : cases) {
    EXPECT_GT(std::atoi(One("SELECT count(*) FROM " + from).c_str()), 0) << from;
    if (&from >= &cases[std::size(cases) - 3]) continue;  // the rarer ones
    EXPECT_GT(std::atoi(One("SELECT count(*) FROM " + from, "small").c_str()), 0)
        << "200: " << from;
  }
}

// Rows that must refer to each other, and quantities that must add up: each query counts faults.
TEST_F(WrittenTest, RowsReferToEachOther) {
  const std::string kPositioned =
      " JOIN RdRecord R USING (ID) JOIN Warehouse W ON W.cWhCode = R.cWhCode WHERE W.bWhPos = 1 "
      "AND ifnull(R.cBusType, '') <> '假退料'";
  const std::string faults[] = {
      "Inventory I WHERE cInvCCode NOT IN (SELECT cInvCCode FROM InventoryClass) OR cComUnitCode "
      "NOT IN (SELECT cComunitCode FROM ComputationUnit) OR iGroupType IS NOT (SELECT iGroupType "
      "FROM ComputationGroup G WHERE G.cGroupCode = I.cGroupCode) OR iGroupType = 2 AND "
      "ifnull(cAssComUnitCode, '') NOT IN (SELECT cComunitCode FROM ComputationUnit) OR iId <> "
      "(SELECT count(*) FROM Inventory J WHERE J.cInvCode <= I.cInvCode)",
      // Fixed rates: unit 1 the main unit, unit 2 a larger one.
      "Inventory I WHERE iGroupType = 1 AND (SELECT group_concat(iChangRate > 1) FROM (SELECT "
      "iChangRate FROM ComputationUnit U WHERE U.cGroupCode = I.cGroupCode AND iNumber IN (1, 2) "
      "ORDER BY iNumber)) IS NOT '0,1'",
      "RdRecord WHERE cWhCode NOT IN (SELECT cWhCode FROM Warehouse) OR cVouchType NOT IN (SELECT "
      "cVouchType FROM VouchType) OR ifnull(cRdCode, '') NOT IN (SELECT cRdCode FROM Rd_Style) OR "
      "nullif(cDepCode, '') NOT IN (SELECT cDepCode FROM Department) OR cPersonCode NOT IN "
      "(SELECT cPersonCode FROM Person) OR cVenCode NOT IN (SELECT cVenCode FROM Vendor) OR "
      "cCusCode NOT IN (SELECT cCusCode FROM Customer) OR cMaker IS NULL OR dDate > '2026-06-30' "
      "OR (dVeriDate IS NULL) <> (ifnull(cHandler, '') = '')",
      "RdRecords WHERE cInvCode NOT IN (SELECT cInvCode FROM Inventory) OR ID NOT IN (SELECT ID "
      "FROM RdRecord)",
      // Position records: on a leaf of their warehouse, in quarters.
      "InvPosition IP WHERE NOT EXISTS (SELECT 1 FROM Position P WHERE P.cPosCode = IP.cPosCode "
      "AND P.cWhCode = IP.cWhCode AND P.bPosEnd = 1) OR iQuantity * 4 <> round(iQuantity * 4)",
      "RdRecords WHERE iQuantity * 4 <> round(iQuantity * 4)",
      // A line in a warehouse with positions has records that add up to it; no other line has any.
      "RdRecords Rs" + kPositioned +
          " AND Rs.iQuantity || '/1' IS NOT (SELECT total(iQuantity) || '/' || min(RdID = Rs.ID "
          "AND IP.bRdFlag = R.bRdFlag AND IP.dDate = R.dDate AND IP.cWhCode = R.cWhCode AND "
          "IP.cInvCode = Rs.cInvCode AND IP.cBatch IS Rs.cBatch AND IP.cFree1 IS Rs.cFree1 AND "
          "IP.cFree2 IS Rs.cFree2 AND IP.cFree3 IS Rs.cFree3) FROM InvPosition IP WHERE "
          "ifnull(cSource, '') = '' AND RdsID = Rs.AutoID)",
      "InvPosition IP JOIN RdRecords Rs ON Rs.AutoID = IP.RdsID JOIN RdRecord R ON R.ID = Rs.ID "
      "JOIN Warehouse W ON W.cWhCode = R.cWhCode WHERE ifnull(IP.cSource, '') = '' AND "
      "(W.bWhPos = 0 OR R.cBusType = '假退料')",
      // About one line in seven split over two positions.
      "(SELECT count(*) AS n FROM RdRecords Rs" + kPositioned +
          ") WHERE n < (SELECT count(*) "
          "FROM RdRecords) / 3 OR n / 20 >= (SELECT count(*) FROM (SELECT RdsID FROM InvPosition "
          "WHERE "
          "ifnull(cSource, '') = '' GROUP BY RdsID HAVING count(*) > 1))",
      // An adjustment line: an issue from cBPosCode and a receipt to cAPosCode.
      "AdjustPVouchs A WHERE cBPosCode = cAPosCode OR (SELECT count(*) || sum(bRdFlag) || "
      "min(RdID = A.ID AND IP.iQuantity = A.iQuantity AND IP.cInvCode = A.cInvCode AND IP.cBatch "
      "IS A.cBatch AND cPosCode = CASE bRdFlag WHEN 1 THEN cAPosCode ELSE cBPosCode END) FROM "
      "InvPosition IP WHERE cSource = '货位调整' AND RdsID = A.AutoID) IS NOT '211'",
      // A stocktake line: one record of the difference, none without a difference.
      "CheckVouchs K WHERE (SELECT count(*) || total(iQuantity = abs(iCVCQuantity - iCVQuantity) "
      "AND bRdFlag = (iCVCQuantity > iCVQuantity) AND cPosCode = K.cPosition) FROM InvPosition "
      "WHERE cSource = '盘点' AND RdsID = K.AutoID) <> iif(iCVCQuantity <> iCVQuantity, '11.0', "
      "'00.0')",
  };
  for (const std::string& from : faults)
    EXPECT_EQ(One("SELECT count(*) FROM " + from), "0") << from;
}

TEST_F(WrittenTest, HoldsWhatTheStatementsRead) {
  auto types = [](const std::string& table, const std::string& columns) {
    return "SELECT group_concat(type) FROM pragma_table_info('" + table + "') WHERE name IN (" +
           columns + ")";
  };
  const std::pair<std::string, std::string> checks[] = {
      // Types the engine maps: DATE to dates, BIT to Booleans; widths are text.
      {types("RdRecord", "'dDate', 'bISSTQc', 'cVouchType'"), "TEXT,DATE,BIT"},
      {types("RdRecords", "'iQuantity', 'cDefine26', 'cDefine34', 'cDefine36'"),
       "REAL,REAL,INTEGER,DATE"},
      {types("Rpt_FldDef", "'Width', 'Visible'"), "TEXT,INTEGER"},
      {types("Inventory", "'bInvBatch', 'cInvDefine15'"), "BIT,DATE"},
      // Dates are 'YYYY-MM-DD' text, flags integers, quantities reals.
      {"SELECT count(*) FROM RdRecord WHERE typeof(dDate) <> 'text' OR typeof(bRdFlag) <> "
       "'integer' OR dDate NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'",
       "0"},
      {"SELECT count(*) FROM RdRecords WHERE typeof(iQuantity) <> 'real'", "0"},
      // R.cVouchType = 11 compares a text column with a number; codes ignore letter case.
      {"SELECT count(*) > 0 AND count(*) = (SELECT count(*) FROM RdRecord WHERE cVouchType = "
       "'11') FROM RdRecord WHERE cVouchType = 11",
       "1"},
      {"SELECT count(*) > 0 AND count(*) = (SELECT count(*) FROM InvPosition WHERE cPosCode IN "
       "('01a01')) FROM InvPosition WHERE cPosCode = '01A01'",
       "1"},
      // The demo account: calendar months of 2024 to 2026, leap years included.
      {"SELECT dSTStartDate FROM VKSystem.VA_Account WHERE cAcc_ID = '001'", "2025-01-01"},
      {"SELECT count(*), min(dBegin), max(dEnd), sum(dBegin LIKE '%-01') FROM VKSystem.VA_Period "
       "WHERE cAcc_ID = '001'",
       "36|2024-01-01|2026-12-31|36"},
      {"SELECT group_concat(dEnd) FROM VKSystem.VA_Period WHERE cAcc_ID = '001' AND iId = 2",
       "2024-02-29,2025-02-28,2026-02-28"},
  };
  for (const auto& [sql, expected] : checks) EXPECT_EQ(One(sql), expected) << sql;
  // The detail lookups are driven by indexes.
  const std::pair<const char*, const char*> lookups[] = {
      {"RdRecords WHERE cInvCode = '0101' AND cBatch = 'x'", "IX_RdRecords_Inventory"},
      {"RdRecords WHERE ID = 5", "IX_RdRecords_ID"},
      {"RdRecord WHERE ID = 3", "INTEGER PRIMARY KEY"},
      {"InvPosition WHERE cWhCode = '01' AND cInvCode = 'x' AND cPosCode = '01A01'",
       "IX_InvPosition_Key"},
      {"InvPosition WHERE RdsID = 7", "IX_InvPosition_RdsID"},
      {"AdjustPVouchs WHERE ID = 1", "IX_AdjustPVouchs_ID"},
      {"CheckVouchs WHERE ID = 1", "IX_CheckVouchs_ID"},
  };
  for (const auto& [where, index] : lookups) {
    std::string plan = One(std::string("EXPLAIN QUERY PLAN SELECT * FROM ") + where);
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
      {"(\\w+) NVARCHAR\\((\\d+)\\) COLLATE Chinese_PRC_CI_AS", "$1 TEXT CHECK (length($1) <= $2)"},
      {"VKSystem\\.dbo\\.", ""},
      {" INT\\b", " INTEGER"},
      {" FLOAT\\b", " REAL"},
      {" DATETIME\\b", " DATE"},
      {"N''", "''"}};
  for (const auto& [from, to] : kBack) sqlite = std::regex_replace(sqlite, std::regex(from), to);
  const std::string back = dir_->File("script.db");
  ASSERT_NO_FATAL_FAILURE(testing::ExecSqlite(back, sqlite));
  const testing::AttachedDbs files = {{dir_->File("c.db"), "c"}, {dir_->File("c_s.db"), "s"}};
  auto tables =
      SqliteRows(back,
                 "SELECT name, 'c' FROM c.sqlite_master WHERE type = 'table' AND name NOT "
                 "LIKE 'sqlite%' UNION ALL SELECT name, 's' FROM s.sqlite_master WHERE "
                 "type = 'table'",
                 files);
  EXPECT_EQ(tables.size(), 29u);
  for (const auto& row : tables) {
    const std::string &t = row[0], &db = row[1];
    std::string drop = " DROP TABLE " + std::string(db == "s" ? "VKSystem." : "") + "dbo." + t;
    EXPECT_NE(script.find(drop + ";\n"), std::string::npos) << t;
    // SQL Server's key columns are NOT NULL; SQLite's need not be.
    auto declared = [&](const std::string& in) {
      return SqliteRows(
          back,
          "SELECT name, type, \"notnull\" OR pk > 0, dflt_value, pk FROM pragma_table_info('" + t +
              "', '" + in +
              "') UNION ALL SELECT l.name, l.\"unique\", l.origin, group_concat(i.name), "
              "0 FROM pragma_index_list('" +
              t + "', '" + in + "') l, pragma_index_info(l.name, '" + in + "') i GROUP BY l.name",
          files);
    };
    EXPECT_EQ(declared("main"), declared(db)) << t;
    SqliteRows(back, "INSERT INTO main." + t + " SELECT * FROM " + db + "." + t, files);
  }
}

TEST_F(WrittenTest, WritesEveryRowAndReportsProgress) {
  EXPECT_TRUE(!fractions_.empty() && std::is_sorted(fractions_.begin(), fractions_.end()) &&
              fractions_.front() > 0 && fractions_.back() == 1.0);
  const DemoCompany& c = *company_;
  EXPECT_EQ(One("SELECT (SELECT count(*) FROM RdRecords), (SELECT count(*) FROM InvPosition), "
                "(SELECT count(*) FROM VKSystem.VA_DataRight)"),
            std::to_string(c.rd_lines.size()) + "|" + std::to_string(c.inv_positions.size()) + "|" +
                std::to_string(c.data_rights.size()));
  // A line read back: NULLs, reals and sparse define columns land where they belong.
  auto line = std::find_if(c.rd_lines.begin(), c.rd_lines.end(), [](const RdRecordsRow& l) {
    return l.cDefine.Get(26).index() != 0 && l.cBatch && l.cFree.Text(1);
  });
  ASSERT_NE(line, c.rd_lines.end());
  EXPECT_EQ(One("SELECT ID, cInvCode, cBatch, cFree1, cFree4, typeof(cDefine26), cDefine22 IS "
                "NULL OR cDefine22 LIKE 'L%' FROM RdRecords WHERE AutoID = " +
                std::to_string(line->AutoID)),
            std::to_string(line->ID) + "|" + line->cInvCode + "|" + *line->cBatch + "|" +
                *line->cFree.Text(1) + "|NULL|real|1");
}

TEST(WriterTest, SameSeedSameFilesOtherSeedOtherFilesAndExistingFilesReplaced) {
  testing::TempDir dir;
  WriteCompany(GenerateCompany({11, 4000}), dir.File("a.db"), dir.File("as.db"));
  WriteCompany(GenerateCompany({12, 4000}), dir.File("b.db"), dir.File("bs.db"));
  std::vector<std::string> a = Dump(dir.File("a.db"));
  EXPECT_NE(Dump(dir.File("b.db")), a);  // another seed, another company
  // Written batch by batch as the documents are made: the same files.
  std::vector<double> fractions;
  WriteGeneratedCompany({11, 4000}, dir.File("b.db"), dir.File("bs.db"),
                        [&](double f) { fractions.push_back(f); });
  EXPECT_TRUE(fractions.size() > 1 && std::is_sorted(fractions.begin(), fractions.end()) &&
              fractions.front() > 0 && fractions.back() == 1.0);
  EXPECT_GT(a.size(), 8000u);
  EXPECT_EQ(a, Dump(dir.File("b.db")));
  EXPECT_EQ(Dump(dir.File("as.db")), Dump(dir.File("bs.db")));
  std::string missing = dir.File("no/such/dir/c.db");
  try {
    WriteCompany(GenerateCompany({2, 200}), missing, dir.File("s2.db"));
    ADD_FAILURE() << "no error";
  } catch (const platform::ComError& e) {
    EXPECT_EQ(e.description(), "无法创建数据库文件 " + missing + ": unable to open database file");
  }
}

// Through the SQLite ODBC driver, standing in for a server.
TEST_F(WrittenTest, CopiesEveryRowThroughTheOdbcEngineUnchanged) {
  if (!testing::SqliteOdbcDriverInstalled()) GTEST_SKIP() << "the SQLite ODBC driver is missing";
  std::string target = dir_->File("target.db"), target_system = dir_->File("target_sys.db");
  testing::ExecSqlite(target, std::string(kCompanySchema));
  testing::ExecSqlite(target_system, std::string(kSystemSchema));
  platform::db::Connection conn;
  conn.Open(testing::SqliteOdbcConnectionString(target, target_system));
  ASSERT_EQ(conn.EngineName(), "ODBC");
  double last = 0;
  CopyCompanyTables(dir_->File("c.db"), dir_->File("c_s.db"), conn, [&](double f) {
    EXPECT_GT(f, last);
    last = f;
  });
  EXPECT_EQ(last, 1.0);
  conn.Close();
  // Hundreds of rows a table: the INSERTs of 200 rows each are split and joined.
  std::vector<std::string> expected = Dump(dir_->File("c.db"));
  ASSERT_GT(expected.size(), 10000u);
  EXPECT_EQ(Dump(target), expected);
  EXPECT_EQ(Dump(target_system), Dump(dir_->File("c_s.db")));
}

TEST(ServerWriterTest, ScriptsRunBatchByBatch) {
  if (!testing::SqliteOdbcDriverInstalled()) GTEST_SKIP() << "the SQLite ODBC driver is missing";
  testing::TempDir dir;
  testing::ExecSqlite(dir.File("s.db"), "CREATE TABLE T(x INTEGER);");
  platform::db::Connection conn;
  conn.Open(testing::SqliteOdbcConnectionString(dir.File("s.db")));
  RunSqlScript(conn,
               "-- a heading\nINSERT INTO T VALUES (1)\ngo\n  GO  \r\n-- comments only\nGO\n"
               "UPDATE T SET x = x + 1\nGO\nINSERT INTO T VALUES (10)");
  EXPECT_EQ(Lines(dir.File("s.db"), "SELECT x FROM T ORDER BY x"),
            (std::vector<std::string>{"2", "10"}));
  try {
    RunSqlScript(conn,
                 "DELETE FROM T\nGO\n-- next\nINSERT INTO Missing VALUES (2)\nGO\n"
                 "INSERT INTO T VALUES (3)\n");
    ADD_FAILURE() << "a failing batch passed";
  } catch (const platform::ComError& e) {
    EXPECT_EQ(e.source(), "ODBC");
    EXPECT_TRUE(e.description().rfind("batch 'INSERT INTO Missing VALUES (2)': ", 0) == 0 &&
                e.description().find("no such table: Missing") != std::string::npos)
        << e.description();
  }
  // The batches before the failing one ran, the ones after it did not.
  EXPECT_EQ(Lines(dir.File("s.db"), "SELECT count(*) FROM T"), std::vector<std::string>{"0"});
}

}  // namespace
}  // namespace q9::demo
