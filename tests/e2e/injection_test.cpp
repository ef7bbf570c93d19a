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
#include <pugixml.hpp>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/error.h"
#include "support/demo_engine.h"
#include "support/ledger_rows.h"
#include "support/reference_ledger.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

// Designated initializers name the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
using K = LedgerKind;
namespace db = platform::db;

constexpr char kNoData[] = "没有符合条件的数据！";
constexpr char kNoCurrentRecord[] =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";

// ---- the hostile company ------------------------------------------------------------------

// A text or a nullable text column renamed where it holds `from`.
template <typename Text>
void Replace(Text& field, const std::string& from, const std::string& to) {
  if (field == from) field = to;
}

struct HostileCodes {
  std::string warehouse = "0'2;--";
  std::string position;
  std::string department = "04'01/*";
  std::string maker = "王芳' OR '1'='1";
  std::string inventory;
  std::string batch;
  std::string wildcard_batch;  // begins with "L%_"
  std::string free1 = "红'' OR 'x'='x";
  std::string inv_std = "Q235' --3mm;";
  std::string query_name = "货位台账'; DELETE FROM Rpt_FldDef; --";
  int64_t query_id = 0;
};

// Picks a position record of the clerk's warehouse 02 with a batch-managed inventory the clerk may
// see, and renames its warehouse, position, inventory and batch, and more, to hostile texts
// wherever the company holds them.
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
  auto other = std::find_if(c.rd_lines.begin(), c.rd_lines.end(), [&](const auto& line) {
    return line.cInvCode != inventory && line.cBatch && line.cBatch->size() > 2;
  });
  const std::string other_inventory = other->cInvCode;
  const std::string other_batch = *other->cBatch;

  HostileCodes h;
  h.position = position + "'; DROP TABLE InvPosition; --";
  h.inventory = inventory + "' OR ''='";
  h.batch = batch + "'; DELETE FROM RdRecords; --";
  h.wildcard_batch = "L%_" + other_batch;
  auto rename = [&](auto& r) {
    if constexpr (requires { r.cBatch; }) {  // batches per inventory, before the inventory
      if (r.cInvCode == inventory) Replace(r.cBatch, batch, h.batch);
      if (r.cInvCode == other_inventory) Replace(r.cBatch, other_batch, h.wildcard_batch);
    }
    if constexpr (requires { r.cInvCode; }) Replace(r.cInvCode, inventory, h.inventory);
    if constexpr (requires { r.cWhCode; }) Replace(r.cWhCode, "02", h.warehouse);
    if constexpr (requires { r.cPosCode; }) Replace(r.cPosCode, position, h.position);
    if constexpr (requires { r.cPosition; }) Replace(r.cPosition, position, h.position);
    if constexpr (requires { r.cBPosCode; }) {
      Replace(r.cBPosCode, position, h.position);
      Replace(r.cAPosCode, position, h.position);
    }
    if constexpr (requires { r.cDepCode; }) Replace(r.cDepCode, "0401", h.department);
    if constexpr (requires { r.cMaker; }) Replace(r.cMaker, "王芳", h.maker);
    if constexpr (requires { r.cFree; }) {
      const std::string* value = r.cFree.Text(1);
      if (value && *value == "红") r.cFree.Set(1, h.free1);
    }
  };
  auto all = [&](auto&... tables) { ((std::for_each(tables.begin(), tables.end(), rename)), ...); };
  all(c.warehouses, c.positions, c.departments, c.persons, c.inventories, c.rd_records, c.rd_lines,
      c.inv_positions, c.adjust_vouchers, c.adjust_lines, c.check_vouchers, c.check_lines);
  const std::map<std::string, std::pair<std::string, std::string>> rights = {
      {"WareHouse", {"02", h.warehouse}},
      {"position", {position, h.position}},
      {"department", {"0401", h.department}},
      {"user", {"王芳", h.maker}}};
  for (auto& r : c.data_rights) {
    if (auto it = rights.find(r.cKind); it != rights.end()) {
      Replace(r.cValue, it->second.first, it->second.second);
    }
  }
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
  c.users.push_back({"eve", "伊芙"});
  for (const auto& [user, kind, value] :
       std::vector<std::tuple<const char*, const char*, const char*>>{
           {"mallory", "WareHouse", "01') OR ('1'='1"},
           {"mallory", "department", "x') OR 1=1 --"},
           {"mallory", "user", "'; DROP TABLE RdRecord; --"},
           {"mallory", "position", "/* */"},
           {"eve", "InvenTory", "1) OR (1=1"}}) {
    c.data_rights.push_back({demo::kDemoAccount, user, kind, value});
  }
  for (const char* user : {"mallory", "eve"}) {
    for (const auto& f : c.functions)
      c.task_rights.push_back({demo::kDemoAccount, user, f.cFuncId});
  }
  return h;
}

// ---- the fixture --------------------------------------------------------------------------

class InjectionTest : public ::testing::Test {
 protected:
  static HostileCodes& Codes() {
    static HostileCodes codes;
    return codes;
  }
  static const DemoFiles& Demo() {
    static const DemoFiles files(1500, [](demo::DemoCompany& c) { Codes() = MakeHostile(c); });
    return files;
  }
  static void SetUpTestSuite() { bytes_ = Demo().Bytes(); }

  // Whatever a case did, the database files are as they were written.
  void TearDown() override { EXPECT_TRUE(Demo().Bytes() == bytes_) << "the databases changed"; }

  static std::unique_ptr<IClsKCZT> Component(const std::string& user = "demo") {
    return InitComponent(Demo().Connection(), user);
  }

  // The ledger of `query` as `user` against the model, with the details of the rows
  // `detail_wanted` picks.
  static std::vector<SummaryRow> Check(
      const std::string& what, LedgerQuery query, const std::string& user,
      const std::function<bool(const SummaryRow&)>& detail_wanted) {
    SCOPED_TRACE(what);
    if (user != "demo") query.rights = Demo().model.RightsOf(user);
    return CheckLedger(*Component(user), Demo().model, query,
                       [&](size_t, const SummaryRow& row) { return detail_wanted(row); })
        .rows;
  }

  static inline std::string bytes_;
};

bool Holds(const std::optional<std::string>& value, const std::string& text) {
  return value && value->find(text) != std::string::npos;
}

LedgerQuery Query(K kind, std::string from = "2025-03-01", std::string to = "2026-03-31") {
  return {.kind = kind, .from = std::move(from), .to = std::move(to)};
}

// ---- condition values -----------------------------------------------------------------------

TEST_F(InjectionTest, HostileConditionValuesSelectWhatTheyLiterallySay) {
  const HostileCodes& h = Codes();
  struct Case {
    std::string what;
    K kind;
    std::function<void(LedgerQuery&)> set;
    bool must_find;  // the literal values name existing data
  } cases[] = {
      {"inventory code with a quote and OR", K::kStockByInventory,
       [&](LedgerQuery& x) { x.inventory_from = x.inventory_to = h.inventory; }, true},
      {"batch with a semicolon, DELETE and a comment", K::kStockByBatch,
       [&](LedgerQuery& x) { x.batch = h.batch; }, true},
      {"batch with % and _ compared for equality", K::kStockByBatch,
       [&](LedgerQuery& x) { x.batch = h.wildcard_batch; }, true},
      {"warehouse and position with quotes, DROP TABLE and comments", K::kPosition,
       [&](LedgerQuery& x) {
         x.warehouses = {h.warehouse};
         x.position_from = x.position_to = h.position;
       },
       true},
      {"batch prefix with LIKE wildcards", K::kPosition, [](LedgerQuery& x) { x.batch = "L%_"; },
       true},
      {"cInvStd with a quote, a comment marker and a semicolon", K::kStockByInventory,
       [&](LedgerQuery& x) { x.inv_std = h.inv_std; }, true},
      {"free-item prefix with doubled quotes", K::kStockByInventory,
       [&](LedgerQuery& x) {
         x.free_items = {{1, h.free1}};
       },
       true},
      {"class prefix with an underscore, which no class code begins with", K::kStockByInventory,
       [](LedgerQuery& x) { x.class_prefix = "0_"; }, false},
      {"position lower bound that sorts before every code", K::kPosition,
       [](LedgerQuery& x) { x.position_from = "' OR 1=1 --"; }, true},
      {"batch DROP TABLE", K::kStockByBatch,
       [](LedgerQuery& x) { x.batch = "x'; DROP TABLE RdRecords; --"; }, false},
      {"position range of comment markers", K::kPosition,
       [](LedgerQuery& x) { x.position_from = "/*", x.position_to = "*/"; }, false},
      {"free-item prefix with a semicolon", K::kPosition,
       [](LedgerQuery& x) {
         x.free_items = {{1, "红; DELETE FROM InvPosition"}};
       },
       false},
  };
  for (const Case& c : cases) {
    LedgerQuery query = Query(c.kind);
    c.set(query);
    EXPECT_EQ(!Demo().model.Summary(query).empty(), c.must_find)
        << c.what << ": the case does not test what it says";
    // Details of the rows that carry a hostile code, and of a few others.
    int others = 0;
    Check(c.what, query, "demo", [&](const SummaryRow& row) {
      bool hostile = row.cInvCode.find('\'') != std::string::npos || Holds(row.cBatch, "'") ||
                     Holds(row.cBatch, "%") || Holds(row.cPosCode, "'") || Holds(row.cWhCode, "'");
      for (const auto& f : row.free_values) hostile = hostile || Holds(f, "'");
      return hostile || others++ < 2;
    });
  }
}

TEST_F(InjectionTest, HostileDefineValuesSelectNothing) {
  // The reference ledger does not model defines, so the expectation is worked out here: no
  // inventory has a define that begins with these texts.
  for (const auto& [item, value] : std::vector<std::pair<int, std::string>>{
           {1, "x' OR 1=1 --"}, {2, "'; DROP TABLE Inventory; --"}}) {
    for (const auto& inv : Demo().company.inventories) {
      const std::string* define = inv.cInvDefine.Text(item);
      ASSERT_FALSE(define && define->rfind(value, 0) == 0);
    }
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(ConditionDocument(LedgerQuery{}).c_str()));
    doc.child("condition").child(("invdefine" + std::to_string(item)).c_str()).attribute("value1") =
        value.c_str();
    std::ostringstream xml;
    doc.save(xml);
    Variant rs1("untouched");
    Variant msg;
    EXPECT_FALSE(Component()->OpenX(xml.str(), rs1, 0, &msg)) << value;
    EXPECT_EQ(msg, Variant(kNoData));
  }
}

// ---- summary row values ---------------------------------------------------------------------

TEST_F(InjectionTest, HostileCodesInTheSummaryRowsReachTheDetailAsValues) {
  const HostileCodes& h = Codes();
  LedgerQuery by_batch = Query(K::kStockByBatch, demo::kStockStartDate, demo::kLastDocumentDate);
  auto rows = Check(
      "stock ledger by batch, hostile batch rows", by_batch, "demo",
      [&](const SummaryRow& r) { return r.cInvCode == h.inventory || Holds(r.cBatch, "L%_"); });
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const SummaryRow& r) {
    return r.cInvCode == h.inventory && r.cBatch == h.batch;
  }));

  LedgerQuery position = by_batch;
  position.kind = K::kPosition;
  position.free_items = {{1, ""}};
  rows = Check("position ledger, hostile warehouse, position and free values", position, "demo",
               [&](const SummaryRow& r) {
                 return r.cWhCode == h.warehouse &&
                        (r.cPosCode == h.position || r.free_values[0] == h.free1);
               });
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const SummaryRow& r) {
    return r.cPosCode == h.position && r.cInvCode == h.inventory;
  }));
}

// A summary recordset made by hand: OpenPage takes whatever rows the caller hands it, so keys
// that exist nowhere, in hostile words, must select no line rather than every line.
TEST_F(InjectionTest, HandMadeSummaryRowsWithHostileKeys) {
  const HostileCodes& h = Codes();
  using Opt = std::optional<std::string>;
  const struct Case {
    K kind;
    SummaryRow row;  // warehouse, position, inventory, batch
    bool must_find;
  } cases[] = {
      {K::kStockByInventory, {{}, {}, "x' OR '1'='1"}, false},
      {K::kStockByInventory, {{}, {}, "'; DELETE FROM RdRecords; --"}, false},
      {K::kStockByInventory, {{}, {}, h.inventory}, true},
      {K::kStockByBatch, {{}, {}, h.inventory, "' OR ''='"}, false},
      {K::kStockByBatch, {{}, {}, h.inventory, h.batch}, true},
      {K::kStockByBatch, {{}, {}, h.inventory, "%"}, false},
      {K::kPosition, {h.warehouse, h.position, h.inventory, h.batch}, true},
      {K::kPosition, {"0'2;--' OR '1'='1", h.position, h.inventory, h.batch}, false},
      {K::kPosition, {h.warehouse, "%", h.inventory, "_"}, false},
  };
  auto component = Component();
  for (const auto& [kind, row, must_find] : cases) {
    SCOPED_TRACE(Show(row));
    LedgerQuery query = Query(kind, demo::kStockStartDate, demo::kLastDocumentDate);
    auto rows = std::make_shared<db::RowSet>(
        std::vector<std::string>{"cWhCode", "cPosCode", "cInvCode", "cBatch"});
    for (const Opt& value : {row.cWhCode, row.cPosCode, Opt(row.cInvCode), row.cBatch}) {
      rows->Append(value ? Variant(*value) : Variant::Null());
    }
    auto summary = std::make_shared<db::Recordset>();
    summary->OpenRows(rows, db::kLockReadOnly);
    Variant rs1(std::static_pointer_cast<platform::Object>(summary));
    Variant rs2;
    Variant msg("untouched");
    ASSERT_TRUE(
        component->OpenPage(ConditionDocument(query), rs1, rs2, static_cast<int16_t>(kind), &msg))
        << msg.ConcatText();
    EXPECT_EQ(msg, Variant("untouched"));
    std::vector<DetailLine> expected = Demo().model.Detail(query, row);
    EXPECT_EQ(!expected.empty(), must_find);
    for (const auto& d : DetailDifferences(DetailLinesOf(rs2, query), expected)) ADD_FAILURE() << d;
  }
}

// ---- rights lists ---------------------------------------------------------------------------

TEST_F(InjectionTest, RightsListsWithHostileCodes) {
  const HostileCodes& h = Codes();
  // The clerk may see the hostile warehouse, position, department and maker; the auditor the
  // hostile maker; mallory's rights name nothing that exists.
  for (const char* user : {"clerk", "auditor", "mallory"}) {
    for (K kind : {K::kStockByInventory, K::kStockByBatch, K::kPosition}) {
      LedgerQuery query;
      query.kind = kind;
      int others = 0;
      Check(std::string(user) + " ledger " + std::to_string(static_cast<int>(kind)), query, user,
            [&](const SummaryRow& r) {
              return r.cInvCode == h.inventory || r.cWhCode == h.warehouse || others++ < 2;
            });
    }
  }
  LedgerRights clerk = Demo().model.RightsOf("clerk");
  ASSERT_TRUE(clerk.warehouses && clerk.departments && clerk.makers && clerk.positions);
  using Named = std::pair<const std::vector<std::string>*, std::string>;
  for (const auto& [list, code] :
       {Named{&*clerk.warehouses, h.warehouse}, Named{&*clerk.departments, h.department},
        Named{&*clerk.makers, h.maker}, Named{&*clerk.positions, h.position}}) {
    EXPECT_NE(std::find(list->begin(), list->end(), code), list->end()) << code;
  }

  // An inventory right that is not an id cannot become a list: the call fails, nothing runs.
  Variant rs1("untouched");
  Variant msg("untouched");
  try {
    Component("eve")->OpenX(ConditionDocument(LedgerQuery{}), rs1, 0, &msg);
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
  const HostileCodes& h = Codes();
  auto component = Component();
  std::map<int64_t, std::string> expected;  // ORDEREx -> Width
  for (const auto& f : Demo().company.report_fields) {
    if (f.ID == h.query_id && f.ORDEREx < 100) expected[f.ORDEREx] = f.Width.value_or("NULL");
  }
  Rows expected_rows;
  for (const auto& [order, width] : expected)
    expected_rows.push_back({std::to_string(order), width});
  ASSERT_FALSE(expected_rows.empty());
  Variant rs;
  Variant id;
  std::string msg = "untouched";
  ASSERT_TRUE(component->GetQueryFormat(h.query_name, rs, &msg, &id)) << msg;
  EXPECT_EQ(id.ToText(), std::to_string(h.query_id));
  EXPECT_EQ(RecordsetRows(rs, {"ORDEREx", "Width"}), expected_rows);  // in the recordset's order

  for (const std::string& name :
       {std::string("货位台账' OR '1'='1"), std::string("'; DELETE FROM Rpt_FldDef; --"),
        std::string("%"), std::string("货位台账'"), std::string("货位台账"),
        h.query_name.substr(0, h.query_name.size() - 2)}) {
    Variant none("untouched");
    std::string error;
    EXPECT_FALSE(component->GetQueryFormat(name, none, &error)) << name;
    EXPECT_EQ(error, kNoCurrentRecord) << name;
  }
}

TEST_F(InjectionTest, TaskIdsAreLookedUpLiterally) {
  auto component = Component();
  for (const char* id : {"ST0301' OR '1'='1", "'; DELETE FROM VA_TaskRight; --", "ST03%"}) {
    Variant msg;
    EXPECT_FALSE(component->GetTaskAuth(id, 0, &msg)) << id;
    EXPECT_EQ(msg, Variant("指定功能号不存在(仅发生在功能释放时)")) << id;
  }
}

TEST_F(InjectionTest, ReferenceLookupsMatchFiltersAsPlainText) {
  const HostileCodes& h = Codes();
  auto component = Component();
  struct Case {
    std::string filter, key_word, order;
    std::vector<std::string> expected;
  } cases[] = {
      {"0'2", "", "", {h.warehouse}},
      {"", ";--", "", {h.warehouse}},
      {"' OR 1=1 --", "", "", {}},
      {"", "%", "", {}},
      {"", "' OR '1'='1", "", {}},
      // An order naming no column of the table is refused, not run.
      {"", "", "cWhCode; DROP TABLE Warehouse", {}},
  };
  for (const Case& c : cases) {
    int32_t page = 1;
    int32_t pages = 0;
    Variant rs, rs_col, err;
    bool refused = !c.order.empty();
    ASSERT_EQ(component->GetRefData(true, "Warehouse", c.filter, c.key_word, c.order, 100, page,
                                    pages, rs, rs_col, err),
              !refused)
        << err.ConcatText();
    if (refused) {
      EXPECT_EQ(err.ConcatText().rfind(" ", 0), 0u);
      EXPECT_NE(err.ConcatText().find(c.order), std::string::npos) << err.ConcatText();
      continue;
    }
    std::vector<std::string> codes;
    for (const auto& row : RecordsetRows(rs)) codes.push_back(row[0]);
    EXPECT_EQ(codes, c.expected) << c.filter << " / " << c.key_word;
  }
}

// ---- format documents -----------------------------------------------------------------------

TEST_F(InjectionTest, FormatDocumentsCannotCarryStatements) {
  const std::string id = std::to_string(Codes().query_id);
  TempDir copy;
  const std::string company_db = copy.File("company.db");
  Demo().CopyTo(copy);
  auto component = InitComponent(Demo().Connection(DemoEngine::kEmbedded, &copy));
  auto doc = [&](const std::string& query_id, const std::string& visible,
                 const std::string& width) {
    return "<queryid value=\"" + query_id + "\"><col1 visible=\"" + visible + "\" width=\"" +
           width + "\"/></queryid>";
  };
  // Each refused document, and the text its message names.
  const std::pair<std::string, std::string> refused[] = {
      {doc(id + "; DROP TABLE Rpt_FldDef", "true", "80"), id + "; DROP TABLE Rpt_FldDef"},
      {doc(id + " OR 1=1", "true", "80"), id + " OR 1=1"},
      {doc(id, "true", "80'); DELETE FROM Rpt_FldDef; --"), "80'); DELETE FROM Rpt_FldDef; --"},
      {doc(id, "true; DROP TABLE Rpt_GlbDEF", "80"), "true; DROP TABLE Rpt_GlbDEF"},
      {doc(id + "--", "true", "80"), id + "--"},
  };
  const std::string before = FileBytes(company_db);
  for (const auto& [xml, named] : refused) {
    std::string msg = "untouched";
    EXPECT_FALSE(component->SaveFormat(xml, msg)) << xml;
    EXPECT_NE(msg.find(named), std::string::npos) << msg;
    EXPECT_TRUE(FileBytes(company_db) == before) << xml;
  }

  // Hostile text where the reader does not look is saved around; only the format rows change.
  std::map<std::string, Rows> others;
  for (const auto& row : SqliteRows(company_db,
                                    "SELECT name FROM sqlite_master WHERE type = "
                                    "'table' AND name <> 'Rpt_FldDef'")) {
    others[row[0]] = SqliteRows(company_db, "SELECT * FROM " + row[0]);
  }
  ASSERT_GT(others.size(), 10u);
  const std::string other_formats =
      "SELECT * FROM Rpt_FldDef WHERE ID <> " + id + " ORDER BY ID, ORDEREx";
  const Rows other_format_rows = SqliteRows(company_db, other_formats);
  std::string msg = "untouched";
  ASSERT_TRUE(
      component->SaveFormat("<queryid value=\"" + id + "\" note=\"'; DROP TABLE Rpt_GlbDEF; --\">" +
                                "<col1 visible=\"true\" width=\"81\" caption=\"x' OR '1'='1\"/>" +
                                "<col2 visible=\"false\" width=\"-7\" caption=\"/* ;\"/></queryid>",
                            msg))
      << msg;
  EXPECT_EQ(msg, "untouched");
  EXPECT_EQ(SqliteRows(company_db, "SELECT ORDEREx, Width, Visible FROM Rpt_FldDef WHERE ID = " +
                                       id + " AND ORDEREx IN (1, 2) ORDER BY ORDEREx"),
            (Rows{{"1", "81", "-1"}, {"2", "-7", "0"}}));
  EXPECT_EQ(SqliteRows(company_db, other_formats), other_format_rows);
  for (const auto& [table, rows] : others) {
    EXPECT_EQ(SqliteRows(company_db, "SELECT * FROM " + table), rows) << table;
  }
}

}  // namespace
}  // namespace q9::testing
