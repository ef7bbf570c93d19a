// Hostile text everywhere a caller's value or a stored value reaches a statement: quotes, doubled
// quotes, comment markers, semicolons, keywords and LIKE wildcards in condition values, in the
// codes the summary rows carry back into OpenPage, in rights lists, query names, format documents
// and reference lookups. Every case must select exactly what its literal values select (the
// reference ledger or a plain C++ filter over the generated records says what that is), and the
// database files must come out byte for byte as they went in.
//
// The company is a generated one whose codes were renamed before writing, so that the hostile
// texts are real data: warehouse, position, department, maker, inventory, two batches, a free-item
// value, an inventory standard (cInvStd) and a query name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <tuple>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "support/ledger_rows.h"
#include "support/reference_ledger.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

constexpr char kNoData[] = "没有符合条件的数据！";
constexpr char kNoCurrentRecord[] =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";

// ---- the hostile company ------------------------------------------------------------------

void Replace(std::string& field, const std::string& from, const std::string& to) {
  if (field == from) field = to;
}

void Replace(std::optional<std::string>& field, const std::string& from, const std::string& to) {
  if (field && *field == from) field = to;
}

void ReplaceRight(demo::DemoCompany& c, const std::string& kind, const std::string& from,
                  const std::string& to) {
  for (auto& r : c.data_rights) {
    if (r.cKind == kind) Replace(r.cValue, from, to);
  }
}

void RenameWarehouse(demo::DemoCompany& c, const std::string& from, const std::string& to) {
  for (auto& r : c.warehouses) Replace(r.cWhCode, from, to);
  for (auto& r : c.positions) Replace(r.cWhCode, from, to);
  for (auto& r : c.rd_records) Replace(r.cWhCode, from, to);
  for (auto& r : c.inv_positions) Replace(r.cWhCode, from, to);
  for (auto& r : c.adjust_vouchers) Replace(r.cWhCode, from, to);
  for (auto& r : c.check_vouchers) Replace(r.cWhCode, from, to);
  ReplaceRight(c, "WareHouse", from, to);
}

void RenamePosition(demo::DemoCompany& c, const std::string& from, const std::string& to) {
  for (auto& r : c.positions) Replace(r.cPosCode, from, to);
  for (auto& r : c.inv_positions) Replace(r.cPosCode, from, to);
  for (auto& r : c.adjust_lines) {
    Replace(r.cBPosCode, from, to);
    Replace(r.cAPosCode, from, to);
  }
  for (auto& r : c.check_lines) Replace(r.cPosition, from, to);
  ReplaceRight(c, "position", from, to);
}

void RenameDepartment(demo::DemoCompany& c, const std::string& from, const std::string& to) {
  for (auto& r : c.departments) Replace(r.cDepCode, from, to);
  for (auto& r : c.persons) Replace(r.cDepCode, from, to);
  for (auto& r : c.warehouses) Replace(r.cDepCode, from, to);
  for (auto& r : c.rd_records) Replace(r.cDepCode, from, to);
  for (auto& r : c.adjust_vouchers) Replace(r.cDepCode, from, to);
  for (auto& r : c.check_vouchers) Replace(r.cDepCode, from, to);
  ReplaceRight(c, "department", from, to);
}

void RenameMaker(demo::DemoCompany& c, const std::string& from, const std::string& to) {
  for (auto& r : c.rd_records) Replace(r.cMaker, from, to);
  for (auto& r : c.adjust_vouchers) Replace(r.cMaker, from, to);
  for (auto& r : c.check_vouchers) Replace(r.cMaker, from, to);
  ReplaceRight(c, "user", from, to);
}

void RenameInventory(demo::DemoCompany& c, const std::string& from, const std::string& to) {
  for (auto& r : c.inventories) Replace(r.cInvCode, from, to);
  for (auto& r : c.rd_lines) Replace(r.cInvCode, from, to);
  for (auto& r : c.inv_positions) Replace(r.cInvCode, from, to);
  for (auto& r : c.adjust_lines) Replace(r.cInvCode, from, to);
  for (auto& r : c.check_lines) Replace(r.cInvCode, from, to);
}

// Batches are renamed per inventory: the same batch text of another inventory stays.
void RenameBatch(demo::DemoCompany& c, const std::string& inventory, const std::string& from,
                 const std::string& to) {
  auto rename = [&](auto& rows) {
    for (auto& r : rows) {
      if (r.cInvCode == inventory) Replace(r.cBatch, from, to);
    }
  };
  rename(c.rd_lines);
  rename(c.inv_positions);
  rename(c.adjust_lines);
  rename(c.check_lines);
}

void RenameFreeValue(demo::DemoCompany& c, int item, const std::string& from,
                     const std::string& to) {
  auto rename = [&](auto& rows) {
    for (auto& r : rows) {
      const std::string* value = r.cFree.Text(item);
      if (value && *value == from) r.cFree.Set(item, to);
    }
  };
  rename(c.rd_lines);
  rename(c.inv_positions);
  rename(c.adjust_lines);
  rename(c.check_lines);
}

struct HostileCodes {
  std::string warehouse;
  std::string position;
  std::string department;
  std::string maker;
  std::string inventory;
  std::string batch;
  std::string wildcard_batch;  // begins with "L%_"
  std::string free1;
  std::string inv_std;
  std::string query_name;
  int64_t query_id = 0;
};

// Picks a position record of the clerk's warehouse 02 with a batch-managed inventory the clerk may
// see, and renames its warehouse, position, inventory and batch, and more, to hostile texts.
HostileCodes MakeHostile(demo::DemoCompany& c) {
  std::set<std::string> clerk_inventories;
  for (const auto& r : c.data_rights) {
    if (r.cUser_Id == "clerk" && r.cKind == "InvenTory") clerk_inventories.insert(r.cValue);
  }
  const demo::InvPositionRow* pick = nullptr;
  for (const auto& ip : c.inv_positions) {
    if (ip.cWhCode != "02" || ip.dDate < demo::kStockStartDate ||
        (ip.cSource && !ip.cSource->empty()) || !ip.cBatch || ip.cBatch->empty() ||
        ip.cPosCode.rfind("02A", 0) != 0) {
      continue;
    }
    auto inv = std::find_if(c.inventories.begin(), c.inventories.end(),
                            [&](const auto& i) { return i.cInvCode == ip.cInvCode; });
    if (inv != c.inventories.end() && inv->bInvBatch &&
        clerk_inventories.count(std::to_string(inv->iId))) {
      pick = &ip;
      break;
    }
  }
  if (!pick) throw std::runtime_error("the generated company has no record to make hostile");
  const std::string inventory = pick->cInvCode;
  const std::string batch = *pick->cBatch;
  const std::string position = pick->cPosCode;

  // A second batch, of another batch-managed inventory, gets LIKE wildcards.
  std::string other_inventory;
  std::string other_batch;
  for (const auto& line : c.rd_lines) {
    if (line.cInvCode != inventory && line.cBatch && line.cBatch->size() > 2) {
      other_inventory = line.cInvCode;
      other_batch = *line.cBatch;
      break;
    }
  }

  HostileCodes h;
  h.warehouse = "0'2;--";
  h.position = position + "'; DROP TABLE InvPosition; --";
  h.department = "04'01/*";
  h.maker = "王芳' OR '1'='1";
  h.inventory = inventory + "' OR ''='";
  h.batch = batch + "'; DELETE FROM RdRecords; --";
  h.wildcard_batch = "L%_" + other_batch;
  h.free1 = "红'' OR 'x'='x";
  h.inv_std = "Q235' --3mm;";
  h.query_name = "货位台账'; DELETE FROM Rpt_FldDef; --";

  RenameBatch(c, inventory, batch, h.batch);
  RenameBatch(c, other_inventory, other_batch, h.wildcard_batch);
  RenameInventory(c, inventory, h.inventory);
  RenamePosition(c, position, h.position);
  RenameWarehouse(c, "02", h.warehouse);
  RenameDepartment(c, "0401", h.department);
  RenameMaker(c, "王芳", h.maker);
  RenameFreeValue(c, 1, "红", h.free1);
  for (auto& inv : c.inventories) Replace(inv.cInvStd, "Q235 3mm", h.inv_std);
  for (auto& d : c.report_definitions) {
    if (d.SystemID == "ST" && d.Name == "货位台账") {
      d.Name = h.query_name;
      h.query_id = d.ID;
    }
  }
  // A user whose rights name things that do not exist, in hostile words, and one whose
  // inventory right is not an id at all.
  c.users.push_back({"mallory", "马洛里"});
  for (const auto& [kind, value] :
       std::vector<std::pair<std::string, std::string>>{{"WareHouse", "01') OR ('1'='1"},
                                                        {"department", "x') OR 1=1 --"},
                                                        {"user", "'; DROP TABLE RdRecord; --"},
                                                        {"position", "/* */"}}) {
    c.data_rights.push_back({demo::kDemoAccount, "mallory", kind, value});
  }
  c.users.push_back({"eve", "伊芙"});
  c.data_rights.push_back({demo::kDemoAccount, "eve", "InvenTory", "1) OR (1=1"});
  for (const char* user : {"mallory", "eve"}) {
    for (const auto& f : c.functions)
      c.task_rights.push_back({demo::kDemoAccount, user, f.cFuncId});
  }
  return h;
}

// ---- the fixture --------------------------------------------------------------------------

class InjectionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::erp::RegisterErpSubstitutes();
    dir_ = new TempDir();
    company_ = new demo::DemoCompany(demo::GenerateCompany({20261206, 1500}));
    codes_ = new HostileCodes(MakeHostile(*company_));
    demo::WriteCompany(*company_, dir_->File("company.db"), dir_->File("system.db"));
    model_ = new ReferenceLedger(*company_, demo::kDemoAccount, demo::kDemoLoginYear);
    // The first open switches the files to write-ahead logging; from then on they stay as they are.
    platform::db::Connection().Open(Connection(dir_->File("company.db"), dir_->File("system.db")));
    company_bytes_ = new std::string(FileBytes(dir_->File("company.db")));
    system_bytes_ = new std::string(FileBytes(dir_->File("system.db")));
  }
  static void TearDownTestSuite() {
    delete system_bytes_;
    delete company_bytes_;
    delete model_;
    delete codes_;
    delete company_;
    delete dir_;
  }

  // Whatever a case did, the database files are as they were written.
  void TearDown() override {
    EXPECT_TRUE(FileBytes(dir_->File("company.db")) == *company_bytes_)
        << "the company database changed";
    EXPECT_TRUE(FileBytes(dir_->File("system.db")) == *system_bytes_)
        << "the system database changed";
  }

  static std::string Connection(const std::string& company_db, const std::string& system_db) {
    return demo::EmbeddedConnectionString(company_db, system_db);
  }

  std::unique_ptr<IClsKCZT> Component(const std::string& user, const std::string& connection = "") {
    auto component = std::make_unique<IClsKCZT>();
    std::string msg;
    Variant login(platform::erp::MakeCallerLogin(
        connection.empty() ? Connection(dir_->File("company.db"), dir_->File("system.db"))
                           : connection,
        user, demo::kDemoAccount, demo::kDemoLoginYear));
    EXPECT_TRUE(component->Init(login, &msg)) << msg;
    return component;
  }

  // Runs `query` through OpenX and OpenPage as `user` and compares the summary and the details of
  // the rows `detail_wanted` picks (all when it is empty) with the reference ledger. Returns the
  // summary rows.
  std::vector<SummaryRow> CheckLedger(
      const std::string& what, LedgerQuery query, const std::string& user = "demo",
      const std::function<bool(const SummaryRow&)>& detail_wanted = {}) {
    SCOPED_TRACE(what);
    if (user != "demo") query.rights = model_->RightsOf(user);
    auto component = Component(user);
    std::string xml = ConditionDocument(query);
    auto kind = static_cast<int16_t>(query.kind);
    std::vector<SummaryRow> expected = model_->Summary(query);
    Variant rs1("untouched");
    Variant msg("untouched");
    bool found = component->OpenX(xml, rs1, kind, &msg);
    if (expected.empty()) {
      EXPECT_FALSE(found);
      EXPECT_EQ(msg, Variant(kNoData));
      EXPECT_EQ(rs1, Variant("untouched"));
      return {};
    }
    EXPECT_TRUE(found);
    if (!found) return {};
    std::vector<SummaryRow> actual = SummaryRowsOf(rs1, query);
    for (const auto& d : SummaryDifferences(actual, expected)) ADD_FAILURE() << d;

    for (size_t i = 0; i < actual.size(); ++i) {
      if (detail_wanted && !detail_wanted(actual[i])) continue;
      Variant rs2;
      Variant page_msg("untouched");
      Variant position(static_cast<int32_t>(i + 1));
      EXPECT_TRUE(component->OpenPage(xml, rs1, rs2, kind, &page_msg, &position))
          << Show(actual[i]) << ": " << page_msg.ConcatText();
      if (!rs2.has_object()) continue;
      for (const auto& d :
           DetailDifferences(DetailLinesOf(rs2, query), model_->Detail(query, actual[i]))) {
        ADD_FAILURE() << Show(actual[i]) << ": " << d;
      }
    }
    return actual;
  }

  static TempDir* dir_;
  static demo::DemoCompany* company_;
  static HostileCodes* codes_;
  static ReferenceLedger* model_;
  static std::string* company_bytes_;
  static std::string* system_bytes_;
};

TempDir* InjectionTest::dir_ = nullptr;
demo::DemoCompany* InjectionTest::company_ = nullptr;
HostileCodes* InjectionTest::codes_ = nullptr;
ReferenceLedger* InjectionTest::model_ = nullptr;
std::string* InjectionTest::company_bytes_ = nullptr;
std::string* InjectionTest::system_bytes_ = nullptr;

bool Holds(const std::optional<std::string>& value, const std::string& text) {
  return value && value->find(text) != std::string::npos;
}

// ---- condition values -----------------------------------------------------------------------

TEST_F(InjectionTest, HostileConditionValuesSelectWhatTheyLiterallySay) {
  const HostileCodes& h = *codes_;
  using K = LedgerKind;
  struct Case {
    std::string what;
    LedgerQuery query;
    bool must_find;  // the literal values name existing data
  };
  auto q = [](K kind) {
    LedgerQuery query;
    query.kind = kind;
    query.from = "2025-03-01";
    query.to = "2026-03-31";
    return query;
  };
  std::vector<Case> cases;
  {
    LedgerQuery x = q(K::kStockByInventory);
    x.inventory_from = x.inventory_to = h.inventory;
    cases.push_back({"inventory code with a quote and OR", x, true});
  }
  {
    LedgerQuery x = q(K::kStockByBatch);
    x.batch = h.batch;
    cases.push_back({"batch with a semicolon, DELETE and a comment", x, true});
  }
  {
    LedgerQuery x = q(K::kStockByBatch);
    x.batch = h.wildcard_batch;
    cases.push_back({"batch with % and _ compared for equality", x, true});
  }
  {
    LedgerQuery x = q(K::kPosition);
    x.warehouses = {h.warehouse};
    x.position_from = x.position_to = h.position;
    cases.push_back({"warehouse and position with quotes, DROP TABLE and comments", x, true});
  }
  {
    LedgerQuery x = q(K::kPosition);
    x.batch = "L%_";
    cases.push_back({"batch prefix with LIKE wildcards", x, true});
  }
  {
    LedgerQuery x = q(K::kStockByInventory);
    x.inv_std = h.inv_std;
    cases.push_back({"cInvStd with a quote, a comment marker and a semicolon", x, true});
  }
  {
    LedgerQuery x = q(K::kStockByInventory);
    x.free_items = {{1, h.free1}};
    cases.push_back({"free-item prefix with doubled quotes", x, true});
  }
  {
    LedgerQuery x = q(K::kStockByInventory);
    x.class_prefix = "0_";
    cases.push_back({"class prefix with an underscore, which no class code begins with", x, false});
  }
  {
    LedgerQuery x = q(K::kPosition);
    x.position_from = "' OR 1=1 --";
    cases.push_back({"position lower bound that sorts before every code", x, true});
  }
  for (auto [kind, what, set] :
       std::vector<std::tuple<K, std::string, std::function<void(LedgerQuery&)>>>{
           {K::kStockByInventory, "warehouse OR 1=1",
            [](LedgerQuery& x) { x.warehouses = {"01' OR '1'='1"}; }},
           {K::kStockByInventory, "inventory quote and comment",
            [](LedgerQuery& x) { x.inventory_from = x.inventory_to = "' OR 1=1 --"; }},
           {K::kStockByBatch, "batch DROP TABLE",
            [](LedgerQuery& x) { x.batch = "x'; DROP TABLE RdRecords; --"; }},
           {K::kStockByInventory, "class comment",
            [](LedgerQuery& x) { x.class_prefix = "01' --"; }},
           {K::kStockByInventory, "cInvStd block comment",
            [](LedgerQuery& x) { x.inv_std = "/* */"; }},
           {K::kPosition, "position range of comment markers",
            [](LedgerQuery& x) { x.position_from = "/*", x.position_to = "*/"; }},
           {K::kPosition, "free-item prefix with a semicolon",
            [](LedgerQuery& x) {
              x.free_items = {{1, "红; DELETE FROM InvPosition"}};
            }},
       }) {
    LedgerQuery x = q(kind);
    set(x);
    cases.push_back({"matches nothing: " + what, x, false});
  }

  for (const Case& c : cases) {
    std::vector<SummaryRow> expected = model_->Summary(c.query);
    EXPECT_EQ(!expected.empty(), c.must_find) << c.what << ": the case does not test what it says";
    // Details of the rows that carry a hostile code, and of a few others.
    int others = 0;
    CheckLedger(c.what, c.query, "demo", [&](const SummaryRow& row) {
      bool hostile = row.cInvCode.find('\'') != std::string::npos || Holds(row.cBatch, "'") ||
                     Holds(row.cBatch, "%") || Holds(row.cPosCode, "'") || Holds(row.cWhCode, "'");
      for (const auto& f : row.free_values) hostile = hostile || Holds(f, "'");
      return hostile || others++ < 2;
    });
  }
}

TEST_F(InjectionTest, HostileDefineValuesSelectNothing) {
  // The reference ledger does not model defines, so the expectation is worked out here: no
  // inventory has a define that begins with these texts, or that equals them.
  for (const auto& [element, value] : std::vector<std::pair<std::string, std::string>>{
           {"invdefine1", "x' OR 1=1 --"}, {"invdefine2", "'; DROP TABLE Inventory; --"}}) {
    for (const auto& inv : company_->inventories) {
      const std::string* define = inv.cInvDefine.Text(element == "invdefine1" ? 1 : 2);
      ASSERT_FALSE(define && define->rfind(value, 0) == 0);
    }
    LedgerQuery query;
    std::string xml = ConditionDocument(query);
    std::string empty = "<" + element + " value1=\"\" value2=\"\"/>";
    std::string hostile = "<" + element + " value1=\"" + value + "\" value2=\"\"/>";
    ASSERT_NE(xml.find(empty), std::string::npos);
    xml.replace(xml.find(empty), empty.size(), hostile);
    auto component = Component("demo");
    Variant rs1("untouched");
    Variant msg;
    EXPECT_FALSE(component->OpenX(xml, rs1, 0, &msg)) << value;
    EXPECT_EQ(msg, Variant(kNoData));
  }
}

// ---- summary row values ---------------------------------------------------------------------

TEST_F(InjectionTest, HostileCodesInTheSummaryRowsReachTheDetailAsValues) {
  const HostileCodes& h = *codes_;
  LedgerQuery by_batch;
  by_batch.kind = LedgerKind::kStockByBatch;
  by_batch.from = demo::kStockStartDate;
  by_batch.to = demo::kLastDocumentDate;
  auto rows = CheckLedger(
      "stock ledger by batch, hostile batch rows", by_batch, "demo",
      [&](const SummaryRow& r) { return r.cInvCode == h.inventory || Holds(r.cBatch, "L%_"); });
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const SummaryRow& r) {
    return r.cInvCode == h.inventory && r.cBatch == h.batch;
  }));

  LedgerQuery position = by_batch;
  position.kind = LedgerKind::kPosition;
  position.free_items = {{1, ""}};
  rows = CheckLedger("position ledger, hostile warehouse, position and free values", position,
                     "demo", [&](const SummaryRow& r) {
                       return r.cWhCode == h.warehouse &&
                              (r.cPosCode == h.position ||
                               (!r.free_values.empty() && r.free_values[0] == h.free1));
                     });
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const SummaryRow& r) {
    return r.cPosCode == h.position && r.cInvCode == h.inventory;
  }));
}

// A summary recordset made by hand: OpenPage takes whatever rows the caller hands it, so keys
// that exist nowhere, in hostile words, must select no line rather than every line.
TEST_F(InjectionTest, HandMadeSummaryRowsWithHostileKeys) {
  const HostileCodes& h = *codes_;
  struct Case {
    LedgerKind kind;
    SummaryRow row;
    bool must_find;
  };
  auto stock = [](std::string inv, std::optional<std::string> batch) {
    SummaryRow r;
    r.cInvCode = std::move(inv);
    r.cBatch = std::move(batch);
    return r;
  };
  auto pos = [](std::string wh, std::string position, std::string inv,
                std::optional<std::string> batch) {
    SummaryRow r;
    r.cWhCode = std::move(wh);
    r.cPosCode = std::move(position);
    r.cInvCode = std::move(inv);
    r.cBatch = std::move(batch);
    return r;
  };
  std::vector<Case> cases = {
      {LedgerKind::kStockByInventory, stock("x' OR '1'='1", std::nullopt), false},
      {LedgerKind::kStockByInventory, stock("'; DELETE FROM RdRecords; --", std::nullopt), false},
      {LedgerKind::kStockByInventory, stock(h.inventory, std::nullopt), true},
      {LedgerKind::kStockByBatch, stock(h.inventory, "' OR ''='"), false},
      {LedgerKind::kStockByBatch, stock(h.inventory, h.batch), true},
      {LedgerKind::kStockByBatch, stock(h.inventory, "%"), false},
      {LedgerKind::kPosition, pos(h.warehouse, h.position, h.inventory, h.batch), true},
      {LedgerKind::kPosition, pos("0'2;--' OR '1'='1", h.position, h.inventory, h.batch), false},
      {LedgerKind::kPosition, pos(h.warehouse, "%", h.inventory, "_"), false},
  };
  auto component = Component("demo");
  for (const Case& c : cases) {
    LedgerQuery query;
    query.kind = c.kind;
    query.from = demo::kStockStartDate;
    query.to = demo::kLastDocumentDate;
    SCOPED_TRACE(Show(c.row));
    const std::optional<std::string> inventory = c.row.cInvCode;
    auto rows = std::make_shared<db::RowSet>(
        std::vector<std::string>{"cWhCode", "cPosCode", "cInvCode", "cBatch"});
    for (const std::optional<std::string>* value :
         {&c.row.cWhCode, &c.row.cPosCode, &inventory, &c.row.cBatch}) {
      rows->Append(*value ? Variant(**value) : Variant::Null());
    }
    auto summary = std::make_shared<db::Recordset>();
    summary->OpenRows(rows, db::kLockReadOnly);
    Variant rs1(std::static_pointer_cast<platform::Object>(summary));
    Variant rs2;
    Variant msg("untouched");
    ASSERT_TRUE(
        component->OpenPage(ConditionDocument(query), rs1, rs2, static_cast<int16_t>(c.kind), &msg))
        << msg.ConcatText();
    EXPECT_EQ(msg, Variant("untouched"));
    std::vector<DetailLine> expected = model_->Detail(query, c.row);
    EXPECT_EQ(!expected.empty(), c.must_find);
    for (const auto& d : DetailDifferences(DetailLinesOf(rs2, query), expected)) ADD_FAILURE() << d;
  }
}

// ---- rights lists ---------------------------------------------------------------------------

TEST_F(InjectionTest, RightsListsWithHostileCodes) {
  const HostileCodes& h = *codes_;
  // The clerk may see the hostile warehouse, position, department and maker; the auditor the
  // hostile maker; mallory's rights name nothing that exists.
  for (const char* user : {"clerk", "auditor", "mallory"}) {
    for (LedgerKind kind :
         {LedgerKind::kStockByInventory, LedgerKind::kStockByBatch, LedgerKind::kPosition}) {
      LedgerQuery query;
      query.kind = kind;
      CheckLedger(std::string(user) + " ledger " + std::to_string(static_cast<int>(kind)), query,
                  user, [&, n = 0](const SummaryRow& r) mutable {
                    return r.cInvCode == h.inventory || r.cWhCode == h.warehouse || n++ < 2;
                  });
    }
  }
  LedgerRights clerk = model_->RightsOf("clerk");
  ASSERT_TRUE(clerk.warehouses && clerk.departments && clerk.makers && clerk.positions);
  auto has = [](const std::vector<std::string>& list, const std::string& v) {
    return std::find(list.begin(), list.end(), v) != list.end();
  };
  EXPECT_TRUE(has(*clerk.warehouses, h.warehouse));
  EXPECT_TRUE(has(*clerk.departments, h.department));
  EXPECT_TRUE(has(*clerk.makers, h.maker));
  EXPECT_TRUE(has(*clerk.positions, h.position));

  // An inventory right that is not an id cannot become a list: the call fails, nothing runs.
  auto eve = Component("eve");
  Variant rs1("untouched");
  Variant msg("untouched");
  try {
    eve->OpenX(ConditionDocument(LedgerQuery{}), rs1, 0, &msg);
    ADD_FAILURE() << "OpenX accepted the inventory right '1) OR (1=1'";
  } catch (const platform::ComError& e) {
    EXPECT_EQ(e.number(), platform::kErrTypeMismatch);
    EXPECT_NE(e.description().find("1) OR (1=1"), std::string::npos) << e.description();
  }
  EXPECT_EQ(rs1, Variant("untouched"));
  EXPECT_EQ(msg, Variant("untouched"));
}

// ---- query names, task ids, reference lookups -------------------------------------------------

TEST_F(InjectionTest, QueryNamesAreLookedUpLiterally) {
  const HostileCodes& h = *codes_;
  auto component = Component("demo");
  Rows expected;
  std::vector<demo::RptFldDefRow> fields;
  for (const auto& f : company_->report_fields) {
    if (f.ID == h.query_id && f.ORDEREx < 100) fields.push_back(f);
  }
  std::sort(fields.begin(), fields.end(),
            [](const auto& a, const auto& b) { return a.ORDEREx < b.ORDEREx; });
  for (const auto& f : fields) {
    expected.push_back({std::to_string(f.ORDEREx), f.Width.value_or("NULL")});
  }
  ASSERT_FALSE(expected.empty());

  Variant rs;
  Variant id;
  std::string msg = "untouched";
  ASSERT_TRUE(component->GetQueryFormat(h.query_name, rs, &msg, &id)) << msg;
  EXPECT_EQ(id.ToText(), std::to_string(h.query_id));
  Rows actual;
  for (const auto& row : RecordsetRows(rs)) actual.push_back(row);
  auto fields_of = RecordsetFields(rs);
  auto column = [&](const char* name) {
    return std::find(fields_of.begin(), fields_of.end(), name) - fields_of.begin();
  };
  Rows picked;
  for (const auto& row : actual) {
    picked.push_back({row[column("ORDEREx")], row[column("Width")]});
  }
  EXPECT_EQ(picked, expected);

  for (const std::string& name :
       {std::string("货位台账' OR '1'='1"), std::string("'; DELETE FROM Rpt_FldDef; --"),
        std::string("%"), std::string("货位台账'"), std::string("货位台账"),
        h.query_name.substr(0, h.query_name.size() - 2)}) {
    Variant rs_none("untouched");
    std::string error;
    EXPECT_FALSE(component->GetQueryFormat(name, rs_none, &error)) << name;
    EXPECT_EQ(error, kNoCurrentRecord) << name;
  }
}

TEST_F(InjectionTest, TaskIdsAreLookedUpLiterally) {
  auto component = Component("demo");
  for (const char* id : {"ST0301' OR '1'='1", "'; DELETE FROM VA_TaskRight; --", "ST03%"}) {
    Variant msg;
    EXPECT_FALSE(component->GetTaskAuth(id, 0, &msg)) << id;
    EXPECT_EQ(msg, Variant("指定功能号不存在(仅发生在功能释放时)")) << id;
  }
}

TEST_F(InjectionTest, ReferenceLookupsMatchFiltersAsPlainText) {
  const HostileCodes& h = *codes_;
  auto component = Component("demo");
  struct Case {
    std::string filter;
    std::string key_word;
    std::vector<std::string> expected;
  } cases[] = {
      {"0'2", "", {h.warehouse}}, {"", ";--", {h.warehouse}},
      {"' OR 1=1 --", "", {}},    {"", "%", {}},
      {"", "' OR '1'='1", {}},
  };
  for (const Case& c : cases) {
    int32_t page = 1;
    int32_t pages = 0;
    Variant rs, rs_col, err;
    ASSERT_TRUE(component->GetRefData(true, "Warehouse", c.filter, c.key_word, "", 100, page, pages,
                                      rs, rs_col, err))
        << err.ConcatText();
    std::vector<std::string> codes;
    for (const auto& row : RecordsetRows(rs)) codes.push_back(row[0]);
    EXPECT_EQ(codes, c.expected) << c.filter << " / " << c.key_word;
  }
  // An order naming no column of the table is refused, not run.
  int32_t page = 1;
  int32_t pages = 0;
  Variant rs, rs_col, err;
  EXPECT_FALSE(component->GetRefData(true, "Warehouse", "", "", "cWhCode; DROP TABLE Warehouse",
                                     100, page, pages, rs, rs_col, err));
  EXPECT_EQ(err.ConcatText().rfind(" ", 0), 0u);
  EXPECT_NE(err.ConcatText().find("cWhCode; DROP TABLE Warehouse"), std::string::npos)
      << err.ConcatText();
}

// ---- format documents -----------------------------------------------------------------------

TEST_F(InjectionTest, FormatDocumentsCannotCarryStatements) {
  const HostileCodes& h = *codes_;
  TempDir copy;
  std::string company_db = copy.File("company.db");
  std::string system_db = copy.File("system.db");
  std::filesystem::copy_file(dir_->File("company.db"), company_db);
  std::filesystem::copy_file(dir_->File("system.db"), system_db);
  auto component = Component("demo", Connection(company_db, system_db));
  std::string id = std::to_string(h.query_id);

  struct Case {
    std::string xml;
    std::string named;  // the message names this text
  } refused[] = {
      {"<queryid value=\"" + id +
           "; DROP TABLE Rpt_FldDef\"><col1 visible=\"true\" width=\"80\"/></queryid>",
       id + "; DROP TABLE Rpt_FldDef"},
      {"<queryid value=\"" + id + " OR 1=1\"><col1 visible=\"true\" width=\"80\"/></queryid>",
       id + " OR 1=1"},
      {"<queryid value=\"" + id +
           "\"><col1 visible=\"true\" width=\"80'); DELETE FROM Rpt_FldDef; --\"/></queryid>",
       "80'); DELETE FROM Rpt_FldDef; --"},
      {"<queryid value=\"" + id +
           "\"><col1 visible=\"true; DROP TABLE Rpt_GlbDEF\" width=\"80\"/></queryid>",
       "true; DROP TABLE Rpt_GlbDEF"},
      {"<queryid value=\"" + id + "--\"><col1 visible=\"true\" width=\"80\"/></queryid>",
       id + "--"},
  };
  std::string before = FileBytes(company_db);
  for (const Case& c : refused) {
    std::string msg = "untouched";
    EXPECT_FALSE(component->SaveFormat(c.xml, msg)) << c.xml;
    EXPECT_NE(msg.find(c.named), std::string::npos) << msg;
    EXPECT_TRUE(FileBytes(company_db) == before) << c.xml;
  }

  // Hostile text where the reader does not look is saved around; only the format rows change.
  std::vector<std::string> tables;
  for (const auto& row : SqliteRows(company_db,
                                    "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                    "name <> 'Rpt_FldDef' ORDER BY name")) {
    tables.push_back(row[0]);
  }
  ASSERT_GT(tables.size(), 10u);
  std::map<std::string, Rows> other_tables;
  for (const auto& t : tables) other_tables[t] = SqliteRows(company_db, "SELECT * FROM " + t);
  Rows other_formats = SqliteRows(
      company_db, "SELECT * FROM Rpt_FldDef WHERE ID <> " + id + " ORDER BY ID, ORDEREx");
  std::string xml = "<queryid value=\"" + id + "\" note=\"'; DROP TABLE Rpt_GlbDEF; --\">" +
                    "<col1 visible=\"true\" width=\"81\" caption=\"x' OR '1'='1\"/>" +
                    "<col2 visible=\"false\" width=\"-7\" caption=\"/* ;\"/></queryid>";
  std::string msg = "untouched";
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  EXPECT_EQ(msg, "untouched");
  EXPECT_EQ(SqliteRows(company_db, "SELECT ORDEREx, Width, Visible FROM Rpt_FldDef WHERE ID = " +
                                       id + " AND ORDEREx IN (1, 2) ORDER BY ORDEREx"),
            (Rows{{"1", "81", "-1"}, {"2", "-7", "0"}}));
  EXPECT_EQ(SqliteRows(company_db,
                       "SELECT * FROM Rpt_FldDef WHERE ID <> " + id + " ORDER BY ID, ORDEREx"),
            other_formats);
  for (const auto& t : tables) {
    EXPECT_EQ(SqliteRows(company_db, "SELECT * FROM " + t), other_tables[t]) << t;
  }
}

}  // namespace
}  // namespace q9::testing
