#include "demo/generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace q9::demo {
namespace {

const DemoCompany& DefaultCompany() {
  static const DemoCompany company = GenerateCompany(DemoOptions{});
  return company;
}

bool IsQuarter(double value) { return std::floor(value * 4) == value * 4; }

TEST(GeneratorTest, SameSeedSameCompanyOtherSeedOtherCompany) {
  DemoCompany a = GenerateCompany({7, 600});
  EXPECT_TRUE(a == GenerateCompany({7, 600}));
  DemoCompany c = GenerateCompany({8, 600});
  EXPECT_FALSE(a.rd_lines == c.rd_lines);
  EXPECT_FALSE(a.inventories == c.inventories);
}

TEST(GeneratorTest, RowCountsScaleWithLines) {
  struct Case {
    int64_t lines, expected_lines;
    size_t inventories;
  };
  const Case cases[] = {{10, 200, 40}, {400, 400, 40}, {4000, 4000, 200}, {12000, 12000, 600}};
  for (const Case& c : cases) {
    DemoCompany company = GenerateCompany({3, c.lines});
    EXPECT_EQ(company.rd_lines.size(), static_cast<size_t>(c.expected_lines)) << c.lines;
    EXPECT_EQ(company.inventories.size(), c.inventories) << c.lines;
    EXPECT_GT(company.rd_records.size(), company.rd_lines.size() / 6) << c.lines;
    EXPECT_LT(company.rd_records.size(), company.rd_lines.size() / 2) << c.lines;
    EXPECT_GT(company.inv_positions.size(), company.rd_lines.size() / 2) << c.lines;
    EXPECT_GE(company.adjust_vouchers.size(), static_cast<size_t>(c.lines / 250)) << c.lines;
    EXPECT_GE(company.check_vouchers.size(), static_cast<size_t>(c.lines / 600)) << c.lines;
  }
}

// Position records: on leaves of their warehouse, quarters, and adding up to their lines; two per
// adjustment line; one per stocktake line with a difference.
TEST(GeneratorTest, PositionRecordsAddUpToTheirLines) {
  const DemoCompany& c = DefaultCompany();
  std::map<std::string, std::string> leaf_warehouse;
  for (const auto& p : c.positions) {
    if (p.bPosEnd) leaf_warehouse[p.cPosCode] = p.cWhCode;
  }
  std::set<std::string> positioned;
  for (const auto& w : c.warehouses) {
    if (w.bWhPos) positioned.insert(w.cWhCode);
  }
  std::map<int64_t, const RdRecordRow*> docs;
  for (const auto& r : c.rd_records) docs[r.ID] = &r;
  std::map<std::string, std::map<int64_t, std::vector<const InvPositionRow*>>> by_source;
  for (const auto& ip : c.inv_positions) {
    EXPECT_EQ(leaf_warehouse[ip.cPosCode], ip.cWhCode) << ip.AutoId;
    EXPECT_TRUE(IsQuarter(*ip.iQuantity)) << ip.AutoId;
    by_source[ip.cSource.value_or("")][*ip.RdsID].push_back(&ip);
  }
  size_t split = 0, with_records = 0;
  for (const auto& line : c.rd_lines) {
    const RdRecordRow& doc = *docs.at(line.ID);
    EXPECT_TRUE(IsQuarter(*line.iQuantity)) << line.AutoID;
    const auto& records = by_source[""][line.AutoID];
    if (!positioned.count(doc.cWhCode) || doc.cBusType == "假退料") {
      EXPECT_TRUE(records.empty()) << line.AutoID;
      continue;
    }
    ASSERT_FALSE(records.empty()) << line.AutoID;
    ++with_records;
    split += records.size() > 1;
    double sum = 0;
    for (const InvPositionRow* ip : records) {
      sum += *ip->iQuantity;
      EXPECT_TRUE(ip->RdID == line.ID && ip->bRdFlag == doc.bRdFlag && ip->dDate == doc.dDate &&
                  ip->cWhCode == doc.cWhCode && ip->cInvCode == line.cInvCode &&
                  ip->cBatch == line.cBatch && ip->cFree == line.cFree)
          << "record " << ip->AutoId << " of line " << line.AutoID;
    }
    EXPECT_EQ(sum, *line.iQuantity) << line.AutoID;
  }
  EXPECT_GT(with_records, c.rd_lines.size() / 3);
  EXPECT_GT(split, with_records / 20);
  for (const auto& line : c.adjust_lines) {
    const auto& records = by_source["货位调整"][line.AutoID];
    ASSERT_EQ(records.size(), 2u) << line.AutoID;
    EXPECT_NE(line.cBPosCode, line.cAPosCode);
    EXPECT_TRUE(!records[0]->bRdFlag && records[0]->cPosCode == line.cBPosCode) << line.AutoID;
    EXPECT_TRUE(records[1]->bRdFlag && records[1]->cPosCode == line.cAPosCode) << line.AutoID;
    for (const InvPositionRow* ip : records) {
      EXPECT_TRUE(*ip->iQuantity == line.iQuantity && ip->RdID == line.ID &&
                  ip->cInvCode == line.cInvCode && ip->cBatch == line.cBatch)
          << line.AutoID;
    }
  }
  for (const auto& line : c.check_lines) {
    const auto& records = by_source["盘点"][line.AutoID];
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
  std::map<std::string, int> openings;
  for (const auto& r : c.rd_records) {
    docs[r.ID] = &r;
    if (r.bISSTQc) ++openings[r.cWhCode];
    n["opening document"] += r.bISSTQc && r.dDate == kOpeningDate && r.bRdFlag;
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
    n["document define"] += !r.cDefine.entries().empty();
  }
  n["one opening document per warehouse"] =
      openings.size() == c.warehouses.size() &&
      std::all_of(openings.begin(), openings.end(), [](const auto& e) { return e.second == 1; });
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
    n["line of group type " + std::to_string(inv.iGroupType)] += 1;
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
    bool unit_3 = groups_with_unit_3.count(*i.cGroupCode) > 0;
    n["type 1 inventory whose group lacks unit 3"] += i.iGroupType == 1 && !unit_3;
    n["type 1 inventory whose group has unit 3"] += i.iGroupType == 1 && unit_3;
    n["inventory define"] += !i.cInvDefine.entries().empty();
  }
  return n;
}

TEST(GeneratorTest, SpecialCasesArePresentAtEverySize) {
  for (int64_t lines : {int64_t{200}, int64_t{5000}}) {
    std::map<std::string, int> cases = SpecialCases(GenerateCompany({20261206, lines}));
    EXPECT_EQ(cases.size(), 34u);  // a missing case leaves its name out
    for (const auto& [name, count] : cases) {
      EXPECT_GT(count, 0) << name << " with " << lines << " lines";
    }
  }
  // Rarer ones, on the default company: type 2 lines without iNum, free item 1 NULL and ''.
  const DemoCompany& c = DefaultCompany();
  std::map<std::string, const InventoryRow*> inventories;
  for (const auto& i : c.inventories) inventories[i.cInvCode] = &i;
  int no_num = 0, free_null = 0, free_empty = 0;
  for (const auto& l : c.rd_lines) {
    const InventoryRow& inv = *inventories.at(l.cInvCode);
    no_num += inv.iGroupType == 2 && !l.iNum;
    free_null += inv.bFree[0] && !l.cFree.Text(1);
    free_empty += inv.bFree[0] && l.cFree.Text(1) && l.cFree.Text(1)->empty();
  }
  EXPECT_GT(no_num, 0);
  EXPECT_GT(free_null, 0);
  EXPECT_GT(free_empty, 0);
}

TEST(GeneratorTest, ReferencesResolve) {
  const DemoCompany& c = DefaultCompany();
  auto codes = [](const auto& rows, auto member) {
    std::set<std::string> out;
    for (const auto& r : rows) out.insert(r.*member);
    return out;
  };
  auto inventories = codes(c.inventories, &InventoryRow::cInvCode);
  auto units = codes(c.computation_units, &ComputationUnitRow::cComunitCode);
  auto classes = codes(c.inventory_classes, &InventoryClassRow::cInvCCode);
  std::map<std::string, int> group_type;
  for (const auto& g : c.computation_groups) group_type[g.cGroupCode] = g.iGroupType;
  std::map<std::pair<std::string, int>, double> rates;
  for (const auto& u : c.computation_units) rates[{u.cGroupCode, *u.iNumber}] = u.iChangRate;
  for (size_t k = 0; k < c.inventories.size(); ++k) {
    const InventoryRow& i = c.inventories[k];
    EXPECT_EQ(i.iId, static_cast<int64_t>(k) + 1);
    EXPECT_TRUE(classes.count(i.cInvCCode) && units.count(i.cComUnitCode)) << i.cInvCode;
    EXPECT_EQ(group_type.at(*i.cGroupCode), i.iGroupType) << i.cInvCode;
    if (i.iGroupType == 1) {
      EXPECT_TRUE(rates.at({*i.cGroupCode, 1}) == 1 && rates.at({*i.cGroupCode, 2}) > 1)
          << i.cInvCode;
    }
    EXPECT_TRUE(i.iGroupType != 2 || units.count(i.cAssComUnitCode.value_or(""))) << i.cInvCode;
  }
  const std::pair<std::set<std::string>, std::optional<std::string> RdRecordRow::*> refs[] = {
      {codes(c.rd_styles, &RdStyleRow::cRdCode), &RdRecordRow::cRdCode},
      {codes(c.departments, &DepartmentRow::cDepCode), &RdRecordRow::cDepCode},
      {codes(c.persons, &PersonRow::cPersonCode), &RdRecordRow::cPersonCode},
      {codes(c.vendors, &VendorRow::cVenCode), &RdRecordRow::cVenCode},
      {codes(c.customers, &CustomerRow::cCusCode), &RdRecordRow::cCusCode}};
  auto warehouses = codes(c.warehouses, &WarehouseRow::cWhCode);
  auto types = codes(c.vouch_types, &VouchTypeRow::cVouchType);
  std::set<int64_t> doc_ids;
  for (const auto& r : c.rd_records) {
    doc_ids.insert(r.ID);
    EXPECT_TRUE(warehouses.count(r.cWhCode) && types.count(r.cVouchType) && r.cRdCode && r.cMaker)
        << r.ID;
    for (const auto& [known, member] : refs) {
      EXPECT_TRUE(!(r.*member) || (r.*member)->empty() || known.count(*(r.*member))) << r.ID;
    }
    EXPECT_EQ(!r.dVeriDate, r.cHandler.value_or("").empty()) << r.ID;
    EXPECT_LE(r.dDate, kLastDocumentDate);
  }
  for (const auto& l : c.rd_lines) {
    EXPECT_TRUE(inventories.count(l.cInvCode) && doc_ids.count(l.ID)) << l.AutoID;
  }
}

}  // namespace
}  // namespace q9::demo
