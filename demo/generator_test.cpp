#include "demo/generator.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/error.h"

namespace q9::demo {
namespace {

namespace fs = std::filesystem;

const DemoCompany& DefaultCompany() {
  static const DemoCompany company = GenerateCompany(DemoOptions{});
  return company;
}

// A directory of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / ("q9demo-" + std::to_string(::getpid()) + "-" +
                                         info->test_suite_name() + "-" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

class Db {
 public:
  explicit Db(const std::string& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  }
  ~Db() { sqlite3_close(db_); }

  // Every row of the result, each value as text ("NULL" for NULL), columns joined by '|'.
  std::vector<std::string> Rows(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << " in " << sql;
      return rows;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row += (i ? "|" : "") + (text ? std::string(reinterpret_cast<const char*>(text)) : "NULL");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
  }
  std::string One(const std::string& sql) const {
    auto rows = Rows(sql);
    return rows.empty() ? "<no row>" : rows.front();
  }
  // SQLite's verdict on a statement without running it: "" when it prepares.
  std::string PrepareError(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    sqlite3_finalize(stmt);
    return rc == SQLITE_OK ? "" : sqlite3_errmsg(db_);
  }
  // All rows of all tables, in storage order, with each value's type.
  std::string Dump() const {
    std::string dump;
    for (const auto& table :
         Rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
      dump += "## " + table + "\n";
      for (const auto& row : Rows("SELECT * FROM [" + table + "] ORDER BY rowid")) {
        dump += row + "\n";
      }
    }
    return dump + "## schema\n" +
           Rows("SELECT group_concat(sql, ';') FROM sqlite_master ORDER BY name").front();
  }

 private:
  sqlite3* db_ = nullptr;
};

struct Written {
  TempDir dir;
  std::string company = dir.File("company.db");
  std::string system = dir.File("system.db");
  explicit Written(const DemoCompany& c) { WriteCompany(c, company, system); }
};

TEST(GeneratorTest, SameSeedSameCompanyOtherSeedOtherCompany) {
  DemoOptions options{7, 600};
  DemoCompany a = GenerateCompany(options);
  DemoCompany b = GenerateCompany(options);
  EXPECT_TRUE(a == b);
  options.seed = 8;
  DemoCompany c = GenerateCompany(options);
  EXPECT_FALSE(a == c);
  EXPECT_FALSE(a.rd_lines == c.rd_lines);
  EXPECT_FALSE(a.inventories == c.inventories);
}

TEST(WriterTest, SameSeedSameDatabaseContent) {
  TempDir dir;
  DemoOptions options{11, 400};
  WriteCompany(GenerateCompany(options), dir.File("a.db"), dir.File("as.db"));
  WriteCompany(GenerateCompany(options), dir.File("b.db"), dir.File("bs.db"));
  options.seed = 12;
  WriteCompany(GenerateCompany(options), dir.File("c.db"), dir.File("cs.db"));
  std::string a = Db(dir.File("a.db")).Dump();
  EXPECT_GT(a.size(), 10000u);
  EXPECT_EQ(a, Db(dir.File("b.db")).Dump());
  EXPECT_EQ(Db(dir.File("as.db")).Dump(), Db(dir.File("bs.db")).Dump());
  EXPECT_NE(a, Db(dir.File("c.db")).Dump());
}

// The columns the ledger, caption and format statements name, table by table.
TEST(SchemaTest, EveryColumnTheStatementsNameExists) {
  Written w(GenerateCompany({1, 200}));
  Db db(w.company);
  auto range = [](const std::string& prefix, int from, int to) {
    std::vector<std::string> names;
    for (int i = from; i <= to; ++i) names.push_back(prefix + std::to_string(i));
    return names;
  };
  auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::map<std::string, std::vector<std::string>> required = {
      {"RdRecord", join(join({"ID",       "cWhCode",     "dDate",    "dVeriDate",  "bRdFlag",
                              "cBusType", "cBusCode",    "cCode",    "cHandler",   "cMaker",
                              "cMemo",    "cPersonCode", "cDepCode", "cVouchType", "cRdCode",
                              "cCusCode", "cVenCode",    "bISSTQc",  "bPuFirst",   "cSource"},
                             range("cDefine", 1, 16)),
                        {})},
      {"RdRecords", join(join({"AutoID", "ID", "cInvCode", "iQuantity", "iNum", "cBatch", "dVDate",
                               "dCheckDate", "cCheckCode", "cCheckPersonCode", "cRejectCode"},
                              range("cDefine", 22, 37)),
                         range("cFree", 1, 10))},
      {"InvPosition",
       join({"AutoId", "RdID", "RdsID", "bRdFlag", "cWhCode", "cPosCode", "cInvCode", "cBatch",
             "iQuantity", "iNum", "dVDate", "cMemo", "cHandler", "dDate", "cSource"},
            range("cFree", 1, 10))},
      {"AdjustPVouch",
       join({"ID", "cVouchCode", "cDepCode", "cPersonCode", "cMaker", "dDate", "dVeriDate"},
            range("cDefine", 1, 16))},
      {"AdjustPVouchs",
       join(join({"AutoID", "ID", "cInvCode", "iQuantity"}, range("cDefine", 22, 37)),
            range("cFree", 1, 10))},
      {"CheckVouch",
       join({"ID", "cCVCode", "cDepCode", "cPersonCode", "cMaker", "dDate", "dVeriDate"},
            range("cDefine", 1, 16))},
      {"CheckVouchs",
       join(join({"AutoID", "ID", "cInvCode"}, range("cDefine", 22, 37)), range("cFree", 1, 10))},
      {"Inventory", join({"iId", "cInvCode", "cInvAddCode", "cInvName", "cInvStd", "cInvCCode",
                          "cComUnitCode", "cGroupCode", "cAssComUnitCode", "iGroupType",
                          "bInvBatch", "iSafeNum", "iTopSum", "iLowSum"},
                         range("cInvDefine", 1, 16))},
      {"InventoryClass", {"cInvCCode", "cInvCName"}},
      {"ComputationUnit", {"cComunitCode", "cComUnitName", "cGroupCode", "iNumber", "iChangRate"}},
      {"Warehouse", {"cWhCode", "cWhName"}},
      {"Position", {"cPosCode", "cPosName"}},
      {"Department", {"cDepCode", "cDepName"}},
      {"Person", {"cPersonCode", "cPersonName"}},
      {"Vendor", {"cVenCode", "cVenName", "cVenAbbName"}},
      {"Customer", {"cCusCode", "cCusName", "cCusAbbName"}},
      {"VouchType", {"cVouchType", "cVouchName"}},
      {"Rd_Style", {"cRdCode", "cRdName"}},
      {"UserDef", {"cID", "cClass", "cItem", "cItemName"}},
      {"Rpt_GlbDEF", {"ID", "SystemID", "Name"}},
      {"Rpt_FldDef", {"ID", "ORDEREx", "Width", "Visible", "FldName", "FldCaption", "FldType"}},
  };
  for (const auto& [table, columns] : required) {
    std::set<std::string> have;
    for (const auto& row : db.Rows("SELECT name FROM pragma_table_info('" + table + "')")) {
      have.insert(row);
    }
    for (const auto& column : columns) {
      EXPECT_TRUE(have.count(column)) << table << "." << column;
    }
  }
  // Types the engine maps: DATE to dates, BIT to Booleans; widths are text.
  const std::map<std::string, std::string> types = {
      {"RdRecord.dDate", "DATE"},
      {"RdRecord.dVeriDate", "DATE"},
      {"RdRecord.bRdFlag", "BIT"},
      {"RdRecord.bISSTQc", "BIT"},
      {"RdRecord.cVouchType", "TEXT"},
      {"RdRecords.iQuantity", "REAL"},
      {"RdRecords.dVDate", "DATE"},
      {"InvPosition.dDate", "DATE"},
      {"InvPosition.iNum", "REAL"},
      {"Inventory.bInvBatch", "BIT"},
      {"ComputationUnit.iChangRate", "REAL"},
      {"Rpt_FldDef.Width", "TEXT"},
      {"Rpt_FldDef.Visible", "INTEGER"},
      {"Inventory.cInvDefine15", "DATE"},
  };
  for (const auto& [column, type] : types) {
    auto dot = column.find('.');
    EXPECT_EQ(db.One("SELECT type FROM pragma_table_info('" + column.substr(0, dot) +
                     "') WHERE name='" + column.substr(dot + 1) + "'"),
              type)
        << column;
  }
}

// Columns the statements name without alias must resolve to exactly one of the tables each
// statement joins; SQLite refuses to prepare an ambiguous or unknown name.
TEST(SchemaTest, BareColumnsResolveInEveryStatementsJoin) {
  Written w(GenerateCompany({1, 200}));
  Db db(w.company);
  std::string frees, defines;
  for (int i = 1; i <= 10; ++i) frees += ", cFree" + std::to_string(i);
  for (int i = 1; i <= 16; ++i) defines += ", cInvDefine" + std::to_string(i);
  struct Case {
    const char* statement;
    std::string from;
    std::string columns;
  };
  const Case cases[] = {
      {"stock summary",
       "Inventory I, ComputationUnit CU_G, RdRecords Rs, RdRecord R, "
       "InventoryClass IC, Warehouse W, ComputationUnit CU_M, ComputationUnit CU_A",
       "1" + frees + defines},
      {"position summary",
       "Inventory I, InvPosition IP, ComputationUnit CU_G, ComputationUnit CU_A, "
       "Warehouse W, Position Pos, InventoryClass IC, ComputationUnit CU_M",
       "iLowSum" + frees + defines},
      {"stock detail",
       "Inventory I, ComputationUnit CU_G, Vendor V, Customer C, RdRecord R, "
       "Person P1, Department DP, Warehouse W, RdRecords Rs, VouchType VT, "
       "Rd_Style Rd, Person CheckPerson",
       "dDate, dVeriDate" + frees + defines},
      {"captions", "UserDef", "cID, cItem, cItemName, cClass"},
      {"formats", "Rpt_FldDef", "ORDEREx, ID, Width, Visible"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db.PrepareError("SELECT " + c.columns + " FROM " + c.from), "") << c.statement;
  }
  // The position detail's three SELECTs name every column through an alias.
  for (const char* tables : {"RdRecord R, RdRecords Rs", "AdjustPVouch R, AdjustPVouchs Rs",
                             "CheckVouch R, CheckVouchs Rs"}) {
    std::string columns = "R.cDepCode, R.cMaker, R.dVeriDate";
    for (int i = 1; i <= 16; ++i) columns += ", R.cDefine" + std::to_string(i);
    for (int i = 22; i <= 37; ++i) columns += ", Rs.cDefine" + std::to_string(i);
    for (int i = 1; i <= 10; ++i) columns += ", Rs.cFree" + std::to_string(i);
    EXPECT_EQ(db.PrepareError("SELECT " + columns + " FROM " + std::string(tables)), "") << tables;
  }
}

TEST(SchemaTest, ComparisonsBehaveAsTheStatementsNeed) {
  Written w(DefaultCompany());
  Db db(w.company);
  // R.cVouchType = 11 compares a text column with a number.
  EXPECT_NE(db.One("SELECT count(*) FROM RdRecord WHERE cVouchType = 11"), "0");
  EXPECT_EQ(db.One("SELECT count(*) FROM RdRecord WHERE cVouchType = 11"),
            db.One("SELECT count(*) FROM RdRecord WHERE cVouchType = '11'"));
  // Codes compare without regard to letter case.
  EXPECT_EQ(db.One("SELECT count(*) FROM Position WHERE cPosCode = '01a01'"), "1");
  EXPECT_EQ(db.One("SELECT count(*) FROM InvPosition WHERE cPosCode IN ('01a01')"),
            db.One("SELECT count(*) FROM InvPosition WHERE cPosCode = '01A01'"));
  // Dates are 'YYYY-MM-DD' text, so comparing with a date literal compares dates.
  for (const char* check : {"SELECT count(*) FROM RdRecord WHERE typeof(dDate) <> 'text' OR "
                            "dDate NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'",
                            "SELECT count(*) FROM InvPosition WHERE dDate NOT GLOB "
                            "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'",
                            "SELECT count(*) FROM RdRecord WHERE typeof(bRdFlag) <> 'integer'",
                            "SELECT count(*) FROM RdRecords WHERE typeof(iQuantity) <> 'real'"}) {
    EXPECT_EQ(db.One(check), "0") << check;
  }
  // The detail lookups are driven by indexes.
  struct Lookup {
    const char* sql;
    const char* index;
  };
  const Lookup lookups[] = {
      {"SELECT * FROM RdRecords WHERE cInvCode = '0101' AND cBatch = 'x'",
       "IX_RdRecords_Inventory"},
      {"SELECT * FROM RdRecords WHERE ID = 5", "IX_RdRecords_ID"},
      {"SELECT * FROM InvPosition WHERE cWhCode='01' AND cInvCode='x' AND cPosCode='01A01'",
       "IX_InvPosition_Key"},
      {"SELECT * FROM InvPosition WHERE RdsID = 7", "IX_InvPosition_RdsID"},
      {"SELECT * FROM AdjustPVouchs WHERE ID = 1", "IX_AdjustPVouchs_ID"},
      {"SELECT * FROM CheckVouchs WHERE ID = 1", "IX_CheckVouchs_ID"},
  };
  for (const Lookup& l : lookups) {
    std::string plan;
    for (const auto& row : db.Rows(std::string("EXPLAIN QUERY PLAN ") + l.sql)) plan += row + "\n";
    EXPECT_NE(plan.find(l.index), std::string::npos) << l.sql << "\n" << plan;
  }
  EXPECT_NE(
      db.One("EXPLAIN QUERY PLAN SELECT * FROM RdRecord WHERE ID = 3").find("INTEGER PRIMARY KEY"),
      std::string::npos);
}

TEST(GeneratorTest, RowCountsScaleWithLines) {
  struct Case {
    int64_t lines;
    int64_t expected_lines;
    size_t expected_inventories;
  };
  const Case cases[] = {{10, 200, 40}, {400, 400, 40}, {4000, 4000, 200}, {12000, 12000, 600}};
  size_t previous_positions = 0, previous_adjustments = 0, previous_checks = 0;
  for (const Case& c : cases) {
    DemoCompany company = GenerateCompany({3, c.lines});
    EXPECT_EQ(company.rd_lines.size(), static_cast<size_t>(c.expected_lines)) << c.lines;
    EXPECT_EQ(company.inventories.size(), c.expected_inventories) << c.lines;
    EXPECT_GT(company.rd_records.size(), company.rd_lines.size() / 6) << c.lines;
    EXPECT_LT(company.rd_records.size(), company.rd_lines.size() / 2) << c.lines;
    EXPECT_GE(company.inv_positions.size(), previous_positions) << c.lines;
    EXPECT_GE(company.adjust_vouchers.size(), previous_adjustments) << c.lines;
    EXPECT_GE(company.check_vouchers.size(), previous_checks) << c.lines;
    previous_positions = company.inv_positions.size();
    previous_adjustments = company.adjust_vouchers.size();
    previous_checks = company.check_vouchers.size();
  }
  EXPECT_GT(previous_positions, 12000u / 2);
  EXPECT_GE(previous_adjustments, 12000u / 250);
  EXPECT_GE(previous_checks, 12000u / 600);
}

bool IsQuarter(double value) { return std::floor(value * 4) == value * 4; }

TEST(GeneratorTest, PositionRecordsAddUpToTheirLines) {
  const DemoCompany& c = DefaultCompany();
  std::map<std::string, std::string> warehouse_of_position;
  std::set<std::string> leaves;
  for (const auto& p : c.positions) {
    warehouse_of_position[p.cPosCode] = p.cWhCode;
    if (p.bPosEnd) leaves.insert(p.cPosCode);
  }
  std::set<std::string> positioned;
  for (const auto& w : c.warehouses) {
    if (w.bWhPos) positioned.insert(w.cWhCode);
  }
  std::map<int64_t, const RdRecordRow*> docs;
  for (const auto& r : c.rd_records) docs[r.ID] = &r;
  std::map<int64_t, std::vector<const InvPositionRow*>> by_line;
  std::map<int64_t, std::vector<const InvPositionRow*>> by_adjust_line, by_check_line;
  for (const auto& ip : c.inv_positions) {
    EXPECT_TRUE(leaves.count(ip.cPosCode)) << ip.AutoId;
    EXPECT_EQ(warehouse_of_position[ip.cPosCode], ip.cWhCode) << ip.AutoId;
    EXPECT_TRUE(IsQuarter(*ip.iQuantity)) << ip.AutoId;
    std::string source = ip.cSource.value_or("");
    if (source.empty()) by_line[*ip.RdsID].push_back(&ip);
    if (source == "货位调整") by_adjust_line[*ip.RdsID].push_back(&ip);
    if (source == "盘点") by_check_line[*ip.RdsID].push_back(&ip);
  }
  size_t split = 0, with_records = 0;
  for (const auto& line : c.rd_lines) {
    const RdRecordRow& doc = *docs.at(line.ID);
    EXPECT_TRUE(IsQuarter(*line.iQuantity)) << line.AutoID;
    const auto& records = by_line[line.AutoID];
    bool pseudo = doc.cBusType == "假退料";
    if (!positioned.count(doc.cWhCode) || pseudo) {
      EXPECT_TRUE(records.empty()) << line.AutoID;
      continue;
    }
    ASSERT_FALSE(records.empty()) << line.AutoID;
    ++with_records;
    split += records.size() > 1;
    double sum = 0;
    for (const InvPositionRow* ip : records) {
      sum += *ip->iQuantity;
      EXPECT_EQ(ip->RdID, line.ID);
      EXPECT_EQ(ip->bRdFlag, doc.bRdFlag);
      EXPECT_EQ(ip->cWhCode, doc.cWhCode);
      EXPECT_EQ(ip->cInvCode, line.cInvCode);
      EXPECT_EQ(ip->cBatch, line.cBatch);
      EXPECT_EQ(ip->cFree, line.cFree);
      EXPECT_EQ(ip->dDate, doc.dDate);
    }
    EXPECT_EQ(sum, *line.iQuantity) << line.AutoID;
  }
  EXPECT_GT(with_records, c.rd_lines.size() / 3);
  EXPECT_GT(split, with_records / 20);
  for (const auto& line : c.adjust_lines) {
    const auto& records = by_adjust_line[line.AutoID];
    ASSERT_EQ(records.size(), 2u) << line.AutoID;
    EXPECT_FALSE(records[0]->bRdFlag);
    EXPECT_EQ(records[0]->cPosCode, line.cBPosCode);
    EXPECT_TRUE(records[1]->bRdFlag);
    EXPECT_EQ(records[1]->cPosCode, line.cAPosCode);
    EXPECT_NE(line.cBPosCode, line.cAPosCode);
    for (const InvPositionRow* ip : records) {
      EXPECT_EQ(*ip->iQuantity, line.iQuantity);
      EXPECT_EQ(ip->RdID, line.ID);
      EXPECT_EQ(ip->cInvCode, line.cInvCode);
      EXPECT_EQ(ip->cBatch, line.cBatch);
    }
  }
  for (const auto& line : c.check_lines) {
    const auto& records = by_check_line[line.AutoID];
    double diff = line.iCVCQuantity - line.iCVQuantity;
    ASSERT_EQ(records.size(), diff != 0 ? 1u : 0u) << line.AutoID;
    if (diff != 0) {
      EXPECT_EQ(*records[0]->iQuantity, std::fabs(diff));
      EXPECT_EQ(records[0]->bRdFlag, diff > 0);
      EXPECT_EQ(records[0]->cPosCode, line.cPosition);
    }
  }
}

// Counts of the cases the ledgers treat specially; every one must occur at every size.
std::map<std::string, int> SpecialCases(const DemoCompany& c) {
  std::map<std::string, int> n;
  std::map<std::string, const InventoryRow*> inventories;
  for (const auto& i : c.inventories) inventories[i.cInvCode] = &i;
  std::map<int64_t, const RdRecordRow*> docs;
  std::map<std::string, int> opening_per_warehouse;
  for (const auto& r : c.rd_records) {
    docs[r.ID] = &r;
    if (r.bISSTQc) {
      n["opening document"] += r.dDate == kOpeningDate && r.bRdFlag;
      ++opening_per_warehouse[r.cWhCode];
    }
    n["document before the stock start"] += !r.bISSTQc && r.dDate < kStockStartDate;
    n["unaudited, handler NULL"] += !r.dVeriDate && !r.cHandler;
    n["unaudited, handler ''"] += !r.dVeriDate && r.cHandler == "";
    n["audited"] += r.dVeriDate && r.cHandler && !r.cHandler->empty() && *r.dVeriDate >= r.dDate;
    n["notional material return"] += r.cVouchType == "11" && r.cBusType == "假退料";
    n["type 11 without business type"] += r.cVouchType == "11" && !r.cBusType;
    n["bPuFirst"] += r.bPuFirst == true;
    n["department NULL"] += !r.cDepCode;
    n["department ''"] += r.cDepCode == "";
    n["documents in 2026"] += r.dDate >= "2026-01-01";
  }
  n["every warehouse has one opening document"] =
      opening_per_warehouse.size() == c.warehouses.size() &&
      std::all_of(opening_per_warehouse.begin(), opening_per_warehouse.end(),
                  [](const auto& e) { return e.second == 1; });
  for (size_t i = 1; i < c.rd_records.size(); ++i) {
    n["ID order differs from date order"] += c.rd_records[i].dDate < c.rd_records[i - 1].dDate;
  }
  for (const auto& l : c.rd_lines) {
    const InventoryRow& inv = *inventories.at(l.cInvCode);
    n["batch-managed line, batch NULL"] += inv.bInvBatch && !l.cBatch;
    n["batch-managed line, batch ''"] += inv.bInvBatch && l.cBatch == "";
    n["batch line with validity date"] += l.cBatch && !l.cBatch->empty() && l.dVDate.has_value();
    n["negative quantity on a notional return"] +=
        *l.iQuantity < 0 && docs.at(l.ID)->cBusType == "假退料";
    n["line of group type 0"] += inv.iGroupType == 0;
    n["line of group type 1"] += inv.iGroupType == 1;
    n["line of group type 2"] += inv.iGroupType == 2;
    n["line with a free item"] += l.cFree.Text(1) || l.cFree.Text(3);
    n["line define"] += !l.cDefine.entries().empty();
  }
  std::set<int64_t> line_ids;
  for (const auto& l : c.rd_lines) line_ids.insert(l.AutoID);
  for (const auto& ip : c.inv_positions) {
    std::string source = ip.cSource.value_or("");
    n["record source NULL"] += !ip.cSource;
    n["record source ''"] += ip.cSource == "";
    n["record of an adjustment"] += source == "货位调整";
    n["record of a stocktake"] += source == "盘点";
    n["record of another source"] += !source.empty() && source != "货位调整" && source != "盘点";
    n["record without its line"] += source.empty() && !line_ids.count(*ip.RdsID);
    n["record batch NULL"] += !ip.cBatch;
    n["record batch ''"] += ip.cBatch == "";
  }
  std::set<std::string> groups_with_unit_3;
  for (const auto& u : c.computation_units) {
    if (u.iNumber == 3) groups_with_unit_3.insert(u.cGroupCode);
  }
  for (const auto& i : c.inventories) {
    n["type 1 inventory whose group lacks unit 3"] +=
        i.iGroupType == 1 && !groups_with_unit_3.count(*i.cGroupCode);
    n["type 1 inventory whose group has unit 3"] +=
        i.iGroupType == 1 && groups_with_unit_3.count(*i.cGroupCode);
    n["inventory define"] += !i.cInvDefine.entries().empty();
  }
  for (const auto& r : c.rd_records) n["document define"] += !r.cDefine.entries().empty();
  return n;
}

TEST(GeneratorTest, SpecialCasesArePresentAtEverySize) {
  for (int64_t lines : {int64_t{200}, int64_t{5000}}) {
    for (const auto& [name, count] : SpecialCases(GenerateCompany({20261206, lines}))) {
      EXPECT_GT(count, 0) << name << " with " << lines << " lines";
    }
  }
  // Rarer ones, checked on the default company.
  const DemoCompany& c = DefaultCompany();
  std::map<std::string, int> inventory_type;
  for (const auto& i : c.inventories) inventory_type[i.cInvCode] = i.iGroupType;
  int type2_without_num = 0, free_null = 0, free_empty = 0;
  for (const auto& l : c.rd_lines) {
    type2_without_num += inventory_type[l.cInvCode] == 2 && !l.iNum;
  }
  std::map<std::string, bool> uses_free1;
  for (const auto& i : c.inventories) uses_free1[i.cInvCode] = i.bFree[0];
  for (const auto& l : c.rd_lines) {
    if (!uses_free1[l.cInvCode]) continue;
    free_null += !l.cFree.Text(1);
    free_empty += l.cFree.Text(1) && l.cFree.Text(1)->empty();
  }
  EXPECT_GT(type2_without_num, 0);
  EXPECT_GT(free_null, 0);
  EXPECT_GT(free_empty, 0);
}

TEST(GeneratorTest, ReferencesResolve) {
  const DemoCompany& c = DefaultCompany();
  std::set<std::string> inventories, warehouses, departments, persons, vendors, customers, styles,
      types, classes, units;
  for (const auto& i : c.inventories) EXPECT_TRUE(inventories.insert(i.cInvCode).second);
  for (const auto& w : c.warehouses) warehouses.insert(w.cWhCode);
  for (const auto& d : c.departments) departments.insert(d.cDepCode);
  for (const auto& p : c.persons) persons.insert(p.cPersonCode);
  for (const auto& v : c.vendors) vendors.insert(v.cVenCode);
  for (const auto& cu : c.customers) customers.insert(cu.cCusCode);
  for (const auto& s : c.rd_styles) styles.insert(s.cRdCode);
  for (const auto& t : c.vouch_types) types.insert(t.cVouchType);
  for (const auto& ic : c.inventory_classes) classes.insert(ic.cInvCCode);
  std::set<std::string> positions;
  for (const auto& p : c.positions) EXPECT_TRUE(positions.insert(p.cPosCode).second) << p.cPosCode;
  std::set<std::pair<std::string, int>> group_numbers;
  std::map<std::string, int> group_type;
  for (const auto& g : c.computation_groups) group_type[g.cGroupCode] = g.iGroupType;
  std::map<std::pair<std::string, int>, double> rates;
  for (const auto& u : c.computation_units) {
    units.insert(u.cComunitCode);
    EXPECT_TRUE(group_numbers.insert({u.cGroupCode, *u.iNumber}).second) << u.cComunitCode;
    rates[{u.cGroupCode, *u.iNumber}] = u.iChangRate;
  }
  int64_t previous_id = 0;
  for (const auto& i : c.inventories) {
    EXPECT_GT(i.iId, previous_id);
    previous_id = i.iId;
    EXPECT_TRUE(classes.count(i.cInvCCode)) << i.cInvCode;
    EXPECT_TRUE(units.count(i.cComUnitCode)) << i.cInvCode;
    EXPECT_EQ(group_type.at(*i.cGroupCode), i.iGroupType) << i.cInvCode;
    if (i.iGroupType == 1) {
      EXPECT_EQ(rates.at({*i.cGroupCode, 1}), 1) << i.cInvCode;
      EXPECT_GT(rates.at({*i.cGroupCode, 2}), 1) << i.cInvCode;
    }
    if (i.iGroupType == 2) {
      EXPECT_TRUE(units.count(*i.cAssComUnitCode)) << i.cInvCode;
    }
  }
  for (const auto& r : c.rd_records) {
    EXPECT_TRUE(warehouses.count(r.cWhCode)) << r.ID;
    EXPECT_TRUE(types.count(r.cVouchType)) << r.ID;
    EXPECT_TRUE(styles.count(*r.cRdCode)) << r.ID;
    if (r.cDepCode && !r.cDepCode->empty()) {
      EXPECT_TRUE(departments.count(*r.cDepCode)) << r.ID;
    }
    if (r.cPersonCode) {
      EXPECT_TRUE(persons.count(*r.cPersonCode)) << r.ID;
    }
    if (r.cVenCode) {
      EXPECT_TRUE(vendors.count(*r.cVenCode)) << r.ID;
    }
    if (r.cCusCode) {
      EXPECT_TRUE(customers.count(*r.cCusCode)) << r.ID;
    }
    EXPECT_TRUE(r.cMaker.has_value()) << r.ID;
    EXPECT_EQ(!r.dVeriDate, r.cHandler.value_or("").empty()) << r.ID;
    EXPECT_LE(r.dDate, kLastDocumentDate);
  }
  std::set<int64_t> doc_ids;
  for (const auto& r : c.rd_records) doc_ids.insert(r.ID);
  for (const auto& l : c.rd_lines) {
    EXPECT_TRUE(inventories.count(l.cInvCode)) << l.AutoID;
    EXPECT_TRUE(doc_ids.count(l.ID)) << l.AutoID;
  }
}

TEST(GeneratorTest, SystemRowsDescribeAccountUsersAndRights) {
  const DemoCompany& c = DefaultCompany();
  ASSERT_FALSE(c.accounts.empty());
  EXPECT_EQ(c.accounts[0].cAcc_ID, kDemoAccount);
  EXPECT_EQ(c.accounts[0].dSTStartDate, kStockStartDate);
  // Calendar months of 2024 to 2026 for the demo account: each begins on the 1st, the next one
  // the day after the previous one ends.
  std::vector<const PeriodRow*> demo;
  for (const auto& p : c.periods) {
    if (p.cAcc_ID == kDemoAccount) demo.push_back(&p);
  }
  ASSERT_EQ(demo.size(), 36u);
  for (size_t i = 0; i < demo.size(); ++i) {
    EXPECT_EQ(demo[i]->iYear, 2024 + static_cast<int>(i) / 12);
    EXPECT_EQ(demo[i]->iId, 1 + static_cast<int>(i) % 12);
    EXPECT_EQ(demo[i]->dBegin.substr(8), "01");
    EXPECT_EQ(demo[i]->dBegin.substr(0, 7), demo[i]->dEnd.substr(0, 7));
  }
  EXPECT_EQ(demo[1]->dEnd, "2024-02-29");
  EXPECT_EQ(demo[13]->dEnd, "2025-02-28");
  EXPECT_EQ(demo[35]->dEnd, "2026-12-31");

  std::map<std::string, std::set<std::string>> kinds;
  for (const auto& r : c.data_rights) kinds[r.cUser_Id].insert(r.cKind);
  EXPECT_FALSE(kinds.count("demo"));
  EXPECT_EQ(kinds["clerk"],
            (std::set<std::string>{"InvenTory", "WareHouse", "department", "position", "user"}));
  EXPECT_FALSE(kinds["auditor"].empty());
  std::map<std::string, std::set<std::string>> tasks;
  for (const auto& t : c.task_rights) tasks[t.cUser_Id].insert(t.cFuncId);
  EXPECT_EQ(tasks["demo"].size(), c.functions.size());
  EXPECT_GT(tasks["clerk"].size(), 0u);
  EXPECT_LT(tasks["clerk"].size(), c.functions.size());
  ASSERT_FALSE(c.task_locks.empty());
  EXPECT_TRUE(tasks["clerk"].count(c.task_locks[0].cFuncId));
  EXPECT_NE(c.task_locks[0].cUser_Id, "clerk");
}

TEST(GeneratorTest, CaptionsAndFormats) {
  const DemoCompany& c = DefaultCompany();
  std::map<std::string, std::set<std::string>> items;
  std::map<std::string, std::set<std::string>> caption_kinds;
  for (const auto& u : c.user_defs) {
    items[u.cClass].insert(u.cItem);
    caption_kinds[u.cClass].insert(!u.cItemName ? "NULL" : u.cItemName->empty() ? "''" : "set");
  }
  for (int i = 1; i <= 16; ++i) {
    EXPECT_TRUE(items["存货"].count("自定义项" + std::to_string(i))) << i;
    EXPECT_TRUE(items["单据头"].count("自定义项" + std::to_string(i))) << i;
  }
  for (int i = 1; i <= 10; ++i) EXPECT_TRUE(items["存货"].count("自由项" + std::to_string(i))) << i;
  for (const char* cls : {"存货", "单据头"}) {
    EXPECT_EQ(caption_kinds[cls], (std::set<std::string>{"NULL", "''", "set"})) << cls;
  }
  std::map<int64_t, int> below_100, from_100;
  for (const auto& f : c.report_fields) {
    (f.ORDEREx < 100 ? below_100 : from_100)[f.ID]++;
    EXPECT_TRUE(f.Visible == -1 || f.Visible == 0);
  }
  bool stock_query = false;
  for (const auto& d : c.report_definitions) {
    stock_query = stock_query || (d.SystemID == "ST" && below_100[d.ID] > 0 && from_100[d.ID] > 0);
  }
  EXPECT_TRUE(stock_query);
}

TEST(WriterTest, WritesEveryRowAndReportsProgress) {
  TempDir dir;
  const DemoCompany& c = DefaultCompany();
  std::vector<double> fractions;
  WriteCompany(c, dir.File("c.db"), dir.File("s.db"), [&](double f) { fractions.push_back(f); });
  ASSERT_FALSE(fractions.empty());
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_GT(fractions.front(), 0);
  EXPECT_EQ(fractions.back(), 1.0);
  Db company(dir.File("c.db"));
  Db system(dir.File("s.db"));
  EXPECT_EQ(company.One("SELECT count(*) FROM RdRecords"), std::to_string(c.rd_lines.size()));
  EXPECT_EQ(company.One("SELECT count(*) FROM InvPosition"),
            std::to_string(c.inv_positions.size()));
  EXPECT_EQ(company.One("SELECT count(*) FROM CheckVouchs"), std::to_string(c.check_lines.size()));
  EXPECT_EQ(system.One("SELECT count(*) FROM VA_Period"), std::to_string(c.periods.size()));
  EXPECT_EQ(system.One("SELECT count(*) FROM VA_DataRight"), std::to_string(c.data_rights.size()));
  // A record read back: NULLs, booleans, reals and sparse define columns land where they belong.
  const RdRecordsRow* line = nullptr;
  for (const auto& l : c.rd_lines) {
    if (l.cDefine.Get(26).index() != 0 && l.cBatch && l.cFree.Text(1)) {
      line = &l;
      break;
    }
  }
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(company.One("SELECT ID, cInvCode, cBatch, cFree1, cFree4, typeof(cDefine26), cDefine22 "
                        "IS NULL OR cDefine22 LIKE 'L%' FROM RdRecords WHERE AutoID = " +
                        std::to_string(line->AutoID)),
            std::to_string(line->ID) + "|" + line->cInvCode + "|" + *line->cBatch + "|" +
                *line->cFree.Text(1) + "|NULL|real|1");
  EXPECT_EQ(system.One("SELECT dBegin, dEnd FROM VA_Period WHERE cAcc_ID = '001' AND iYear = 2026 "
                       "AND iId = 2"),
            "2026-02-01|2026-02-28");
}

TEST(WriterTest, ReplacesExistingFilesAndReportsFailures) {
  TempDir dir;
  WriteCompany(GenerateCompany({1, 300}), dir.File("c.db"), dir.File("s.db"));
  DemoCompany second = GenerateCompany({2, 250});
  WriteCompany(second, dir.File("c.db"), dir.File("s.db"));
  EXPECT_EQ(Db(dir.File("c.db")).One("SELECT count(*) FROM RdRecords"), "250");

  std::string missing = dir.File("no/such/dir/c.db");
  try {
    WriteCompany(second, missing, dir.File("s2.db"));
    FAIL() << "no error";
  } catch (const platform::ComError& e) {
    EXPECT_NE(e.description().find(missing), std::string::npos) << e.description();
  }
}

TEST(WriterTest, EmbeddedConnectionString) {
  EXPECT_EQ(EmbeddedConnectionString("/data/co.db", "/data/sys.db"),
            "Provider=SQLite;Data Source=/data/co.db;System Database=/data/sys.db");
}

}  // namespace
}  // namespace q9::demo
