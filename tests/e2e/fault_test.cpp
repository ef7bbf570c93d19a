// Failure paths of the component on the demo company, through the statement gate's fault hook and
// through doubles of the ERP objects: each failing statement of SaveFormat, OpenX and OpenPage in
// turn, a login whose members raise, and ERP objects that cannot be created. Each failure must end
// the way the method's frame says (False and the description, or the error itself for the methods
// without a handler), leave the by-reference arguments and the database as they were, and leave
// the component working for the next call. The sanitizer run of this suite checks that nothing
// leaks on these paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "component/iclskczt.h"
#include "component/module_globals.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "platform/dispatch.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/login_substitutes.h"
#include "platform/erp/print_service.h"
#include "platform/erp/reference_server.h"
#include "platform/erp/register_substitutes.h"
#include "platform/error.h"
#include "support/ledger_rows.h"
#include "support/reference_ledger.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace q9::testing {
namespace {

using component::IClsKCZT;
using platform::Args;
using platform::ComError;
using platform::InvokeKind;
using platform::ObjectPtr;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

constexpr char kInitFailed[] = "初始化失败！";

class FaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::erp::RegisterErpSubstitutes();
    dir_ = new TempDir();
    company_ = new demo::DemoCompany(demo::GenerateCompany({20261206, demo::kMinimumLines}));
    demo::WriteCompany(*company_, dir_->File("company.db"), dir_->File("system.db"));
  }
  static void TearDownTestSuite() {
    delete company_;
    delete dir_;
  }

  // Each test works on its own copy of the files, so a write that should not happen shows.
  void SetUp() override {
    company_db_ = copy_.File("company.db");
    system_db_ = copy_.File("system.db");
    std::filesystem::copy_file(dir_->File("company.db"), company_db_);
    std::filesystem::copy_file(dir_->File("system.db"), system_db_);
  }

  Variant CallerLogin(const std::string& user = "demo") const {
    return Variant(
        platform::erp::MakeCallerLogin(demo::EmbeddedConnectionString(company_db_, system_db_),
                                       user, demo::kDemoAccount, demo::kDemoLoginYear));
  }

  std::unique_ptr<IClsKCZT> Component() {
    auto component = std::make_unique<IClsKCZT>();
    std::string msg;
    EXPECT_TRUE(component->Init(CallerLogin(), &msg)) << msg;
    return component;
  }

  // Statements a call runs, counted at the statement gate (the login's own reads included).
  template <typename F>
  static uint64_t StatementsOf(F&& call) {
    db::ScopedStatementHook count([](std::string_view, uint64_t) {});
    call();
    return count.statements_seen();
  }

  static std::string FaultText(uint64_t n) { return "磁盘故障 " + std::to_string(n); }

  static TempDir* dir_;
  static demo::DemoCompany* company_;
  TempDir copy_;
  std::string company_db_;
  std::string system_db_;
};

TempDir* FaultTest::dir_ = nullptr;
demo::DemoCompany* FaultTest::company_ = nullptr;

LedgerQuery QueryOf(LedgerKind kind) {
  LedgerQuery q;
  q.kind = kind;
  q.from = "2025-06-01";
  q.to = "2026-03-31";
  q.free_items = {{1, ""}};
  return q;
}

// ---- the N-th statement fails -----------------------------------------------------------------

TEST_F(FaultTest, EveryStatementOfSaveFormatFailingLeavesTheFormatRows) {
  auto component = Component();
  // Definition 1 with every column one wider and two new columns.
  int64_t id = company_->report_definitions.front().ID;
  int columns = 0;
  for (const auto& f : company_->report_fields) {
    if (f.ID == id && f.ORDEREx < 100) ++columns;
  }
  ASSERT_GT(columns, 0);
  std::string xml = "<queryid value=\"" + std::to_string(id) + "\">";
  for (int k = 1; k <= columns + 2; ++k) {
    xml += "<col" + std::to_string(k) + " visible=\"" + (k % 2 ? "true" : "false") + "\" width=\"" +
           std::to_string(40 + k) + "\"/>";
  }
  xml += "</queryid>";

  const std::string before = FileBytes(company_db_);
  const Rows rows_before = SqliteRows(company_db_, "SELECT * FROM Rpt_FldDef ORDER BY ID, ORDEREx");
  uint64_t statements = 0;
  {
    // Counted on a scratch copy, in an apartment of its own so that the component's globals stay
    // on the test's files: the definition's lookup, then two statements per column.
    component::ScopedApartment own(std::make_shared<component::Apartment>());
    TempDir scratch;
    std::filesystem::copy_file(company_db_, scratch.File("company.db"));
    std::filesystem::copy_file(system_db_, scratch.File("system.db"));
    IClsKCZT counter;
    std::string msg;
    ASSERT_TRUE(counter.Init(
        Variant(platform::erp::MakeCallerLogin(
            demo::EmbeddedConnectionString(scratch.File("company.db"), scratch.File("system.db")),
            "demo", demo::kDemoAccount, demo::kDemoLoginYear)),
        &msg));
    statements = StatementsOf([&] { ASSERT_TRUE(counter.SaveFormat(xml, msg)) << msg; });
  }
  ASSERT_EQ(statements, static_cast<uint64_t>(1 + 2 * (columns + 2)));

  for (uint64_t n = 1; n <= statements; ++n) {
    SCOPED_TRACE("statement " + std::to_string(n));
    db::FailNthStatement fault(n, FaultText(n));
    std::string msg = "untouched";
    EXPECT_FALSE(component->SaveFormat(xml, msg));
    EXPECT_TRUE(fault.fired());
    EXPECT_EQ(msg, FaultText(n));
    EXPECT_TRUE(FileBytes(company_db_) == before) << "the company database changed";
  }
  EXPECT_EQ(SqliteRows(company_db_, "SELECT * FROM Rpt_FldDef ORDER BY ID, ORDEREx"), rows_before);

  // The connection is usable afterwards (no transaction left open): the save goes through.
  std::string msg = "untouched";
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  EXPECT_EQ(msg, "untouched");
  Rows saved =
      SqliteRows(company_db_, "SELECT ORDEREx, Width, Visible FROM Rpt_FldDef WHERE ID = " +
                                  std::to_string(id) + " AND ORDEREx < 100 ORDER BY ORDEREx");
  ASSERT_EQ(saved.size(), static_cast<size_t>(columns + 2));
  for (int k = 1; k <= columns + 2; ++k) {
    EXPECT_EQ(saved[k - 1], (std::vector<std::string>{std::to_string(k), std::to_string(40 + k),
                                                      k % 2 ? "-1" : "0"}));
  }
}

TEST_F(FaultTest, EveryStatementOfOpenXFailingRaisesItsError) {
  auto component = Component();
  for (LedgerKind kind :
       {LedgerKind::kStockByInventory, LedgerKind::kStockByBatch, LedgerKind::kPosition}) {
    LedgerQuery query = QueryOf(kind);
    std::string xml = ConditionDocument(query);
    auto k = static_cast<int16_t>(kind);
    Variant baseline;
    uint64_t statements = StatementsOf([&] { ASSERT_TRUE(component->OpenX(xml, baseline, k)); });
    // Five rights lists read by the login, then the summary itself.
    ASSERT_EQ(statements, 6u) << "kind " << k;
    for (uint64_t n = 1; n <= statements; ++n) {
      SCOPED_TRACE("kind " + std::to_string(k) + ", statement " + std::to_string(n));
      Variant rs1("untouched");
      Variant msg("untouched");
      {
        db::FailNthStatement fault(n, FaultText(n));
        try {
          component->OpenX(xml, rs1, k, &msg);
          ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
          EXPECT_EQ(e.number(), platform::kErrProvider);
          EXPECT_EQ(e.source(), "fault injection");
          EXPECT_EQ(e.description(), FaultText(n));
        }
        EXPECT_TRUE(fault.fired());
      }
      EXPECT_EQ(rs1, Variant("untouched"));
      EXPECT_EQ(msg, Variant("untouched"));
      // The next call works and reads what the first did.
      Variant again;
      ASSERT_TRUE(component->OpenX(xml, again, k));
      EXPECT_TRUE(
          SummaryDifferences(SummaryRowsOf(again, query), SummaryRowsOf(baseline, query)).empty());
    }
  }
}

TEST_F(FaultTest, EveryStatementOfOpenPageFailingGivesFalseAndTheDescription) {
  auto component = Component();
  for (LedgerKind kind :
       {LedgerKind::kStockByInventory, LedgerKind::kStockByBatch, LedgerKind::kPosition}) {
    LedgerQuery query = QueryOf(kind);
    std::string xml = ConditionDocument(query);
    auto k = static_cast<int16_t>(kind);
    Variant rs1;
    ASSERT_TRUE(component->OpenX(xml, rs1, k));
    auto summary = db::AsRecordset(rs1, "Rs1");
    ASSERT_GE(summary->RecordCount(), 2);
    summary->SetAbsolutePosition(2);  // the front end's own cursor, which OpenPage never moves
    const long rows_users = summary->rows().use_count();
    Variant position(int16_t{1});
    Variant baseline;
    Variant msg;
    uint64_t statements = StatementsOf(
        [&] { ASSERT_TRUE(component->OpenPage(xml, rs1, baseline, k, &msg, &position)); });
    // Three rights lists, then the detail.
    ASSERT_EQ(statements, 4u) << "kind " << k;
    for (uint64_t n = 1; n <= statements; ++n) {
      SCOPED_TRACE("kind " + std::to_string(k) + ", statement " + std::to_string(n));
      Variant rs2("untouched");
      Variant page_msg("untouched");
      {
        db::FailNthStatement fault(n, FaultText(n));
        EXPECT_FALSE(component->OpenPage(xml, rs1, rs2, k, &page_msg, &position));
        EXPECT_TRUE(fault.fired());
      }
      EXPECT_EQ(page_msg, Variant(FaultText(n)));
      EXPECT_EQ(rs2, Variant("untouched"));
      // The clone OpenPage positioned is gone; the caller's recordset is open on its own row.
      EXPECT_EQ(summary->rows().use_count(), rows_users);
      EXPECT_EQ(summary->State(), db::kStateOpen);
      EXPECT_EQ(summary->AbsolutePosition(), 2);
      Variant again;
      ASSERT_TRUE(component->OpenPage(xml, rs1, again, k, &msg, &position));
      EXPECT_TRUE(
          DetailDifferences(DetailLinesOf(again, query), DetailLinesOf(baseline, query)).empty());
    }
  }
}

// ---- login members that raise -----------------------------------------------------------------

// A login whose member `member` raises (for GetAuthString only with the first argument
// `argument`, when given); its Account is an account whose STStartPeriodDate raises when
// `member` is that name.
class RaisingLogin : public platform::ForwardingObject {
 public:
  RaisingLogin(ObjectPtr inner, std::string member, std::string argument)
      : ForwardingObject(std::move(inner)),
        member_(std::move(member)),
        argument_(std::move(argument)) {}

  static ComError Error(const std::string& member) {
    return ComError(1234, "VtCOMMON.Login", member + " 出错：服务器忙");
  }

  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override {
    if (platform::SameMemberName(name, member_) &&
        (argument_.empty() || args.Get(0).ConcatText() == argument_)) {
      throw Error(member_);
    }
    Variant result = ForwardingObject::Invoke(name, kind, args);
    if (platform::SameMemberName(name, "Account") && member_ == "STStartPeriodDate") {
      return Variant(std::make_shared<RaisingLogin>(result.ToObject(), member_, ""));
    }
    return result;
  }

 private:
  std::string member_;
  std::string argument_;
};

TEST_F(FaultTest, LoginMembersThatRaise) {
  struct Case {
    std::string member;
    std::string argument;
  } cases[] = {
      {"GetAuthString", "InvenTory"},
      {"GetAuthString", "department"},
      {"GetAuthString", "position"},
      {"GetAuthString", "user"},
      {"OldLogin", ""},
      {"STStartPeriodDate", ""},
  };
  // A summary to page through, made with the real login; it outlives the instance that made it.
  Variant summary;
  ASSERT_TRUE(
      Component()->OpenX(ConditionDocument(QueryOf(LedgerKind::kStockByInventory)), summary, 0));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member + " " + c.argument);
    platform::ScopedProgId double_login(platform::erp::kLoginProgId, [&] {
      return std::make_shared<RaisingLogin>(platform::erp::CreateLogin(), c.member, c.argument);
    });
    IClsKCZT component;
    std::string init_msg;
    ASSERT_TRUE(component.Init(CallerLogin(), &init_msg)) << init_msg;
    const ComError expected = RaisingLogin::Error(c.member);
    auto same_error = [&](const ComError& e) {
      EXPECT_EQ(e.number(), expected.number());
      EXPECT_EQ(e.source(), expected.source());
      EXPECT_EQ(e.description(), expected.description());
    };

    // OpenX reads all five lists and, for the stock ledger, the start period date.
    for (LedgerKind kind : {LedgerKind::kStockByInventory, LedgerKind::kPosition}) {
      bool raises = c.member == "GetAuthString" ||
                    (c.member == "STStartPeriodDate" && kind != LedgerKind::kPosition);
      Variant rs1("untouched");
      Variant msg("untouched");
      try {
        bool found = component.OpenX(ConditionDocument(QueryOf(kind)), rs1,
                                     static_cast<int16_t>(kind), &msg);
        EXPECT_FALSE(raises) << "OpenX did not raise";
        EXPECT_TRUE(found);
      } catch (const ComError& e) {
        EXPECT_TRUE(raises) << e.description();
        same_error(e);
        EXPECT_EQ(rs1, Variant("untouched"));
        EXPECT_EQ(msg, Variant("untouched"));
      }
    }

    // OpenPage reads the warehouse, department and maker lists and the start period date.
    {
      bool raises =
          (c.member == "GetAuthString" && c.argument != "InvenTory" && c.argument != "position") ||
          c.member == "STStartPeriodDate";
      Variant rs2("untouched");
      Variant msg("untouched");
      Variant rs1 = summary;
      bool opened = component.OpenPage(ConditionDocument(QueryOf(LedgerKind::kStockByInventory)),
                                       rs1, rs2, 0, &msg);
      EXPECT_EQ(opened, !raises);
      if (raises) {
        EXPECT_EQ(msg, Variant(expected.description()));
        EXPECT_EQ(rs2, Variant("untouched"));
      } else {
        EXPECT_EQ(msg, Variant("untouched"));
      }
    }

    // OldLogin is what the periods, the reference lookups, the task rights and printing use.
    bool old_login = c.member == "OldLogin";
    {
      Variant rs("untouched");
      Variant msg("untouched");
      EXPECT_EQ(component.GetPeriodDay(rs, msg), !old_login);
      if (old_login) {
        EXPECT_EQ(msg, Variant(expected.description()));
        EXPECT_EQ(rs, Variant("untouched"));
      }
    }
    for (bool full : {true, false}) {
      int32_t page = 1;
      int32_t pages = 0;
      Variant rs("untouched");
      Variant rs_col("untouched");
      Variant err("untouched");
      EXPECT_EQ(
          component.GetRefData(full, "Warehouse", "", "", "", 5, page, pages, rs, rs_col, err),
          !old_login);
      if (old_login) {
        EXPECT_EQ(err, Variant(" " + expected.description()));
        EXPECT_EQ(rs, Variant("untouched"));
        EXPECT_EQ(rs_col, Variant("untouched"));
      }
    }
    {
      Variant msg("untouched");
      try {
        EXPECT_TRUE(component.GetTaskAuth("ST0301", 0, &msg));
        EXPECT_FALSE(old_login) << "GetTaskAuth did not raise";
      } catch (const ComError& e) {
        EXPECT_TRUE(old_login) << e.description();
        same_error(e);
        EXPECT_EQ(msg, Variant("untouched"));
      }
    }
    {
      TempDir out;
      Variant command("csv:" + out.File("ledger.csv"));
      Variant rs;
      Variant caption_msg;
      ASSERT_TRUE(component.GetDefineName(rs, &caption_msg)) << caption_msg.ConcatText();
      Variant ret;
      std::string error = "untouched";
      try {
        component.PrintSrv(command, rs, ret, error);
        EXPECT_FALSE(old_login) << "PrintSrv did not raise";
        EXPECT_TRUE(std::filesystem::exists(out.File("ledger.csv")));
      } catch (const ComError& e) {
        EXPECT_TRUE(old_login) << e.description();
        same_error(e);
        EXPECT_EQ(error, "untouched");
        EXPECT_FALSE(std::filesystem::exists(out.File("ledger.csv")));
      }
    }
  }
}

TEST_F(FaultTest, LoginThatCannotLoadOrGiveItsAccount) {
  for (const char* member : {"Load", "Account"}) {
    SCOPED_TRACE(member);
    platform::ScopedProgId double_login(platform::erp::kLoginProgId, [&] {
      return std::make_shared<RaisingLogin>(platform::erp::CreateLogin(), member, "");
    });
    IClsKCZT component;
    std::string msg = "untouched";
    EXPECT_FALSE(component.Init(CallerLogin(), &msg));
    EXPECT_EQ(msg, kInitFailed);
  }
  // With the real login back, Init succeeds again.
  IClsKCZT component;
  std::string msg = "untouched";
  EXPECT_TRUE(component.Init(CallerLogin(), &msg));
  EXPECT_EQ(msg, "untouched");
}

// ---- ERP objects that cannot be created -------------------------------------------------------

TEST_F(FaultTest, LoginObjectsThatCannotBeCreated) {
  for (const char* prog_id : {platform::erp::kAccountProgId, platform::erp::kAccountCOProgId,
                              platform::erp::kLoginProgId}) {
    SCOPED_TRACE(prog_id);
    IClsKCZT component;
    {
      platform::ScopedProgId missing(prog_id, [] { return ObjectPtr(); });
      std::string msg = "untouched";
      EXPECT_FALSE(component.Init(CallerLogin(), &msg));
      EXPECT_EQ(msg, kInitFailed);
    }
    std::string msg = "untouched";
    EXPECT_TRUE(component.Init(CallerLogin(), &msg));
    EXPECT_EQ(msg, "untouched");
  }
}

TEST_F(FaultTest, ReferenceServerThatCannotBeCreated) {
  auto component = Component();
  platform::ScopedProgId missing(platform::erp::kReferServerProgId, [] { return ObjectPtr(); });
  const std::string description =
      platform::CannotCreateObject(platform::erp::kReferServerProgId).description();
  ASSERT_NE(description.find(platform::erp::kReferServerProgId), std::string::npos) << description;
  for (bool full : {true, false}) {
    int32_t page = 3;
    int32_t pages = 7;
    Variant rs("untouched");
    Variant rs_col("untouched");
    Variant err("untouched");
    EXPECT_FALSE(
        component->GetRefData(full, "Warehouse", "", "", "", 5, page, pages, rs, rs_col, err));
    EXPECT_EQ(err, Variant(" " + description));
    EXPECT_EQ(rs, Variant("untouched"));
    EXPECT_EQ(rs_col, Variant("untouched"));
    EXPECT_EQ(page, 3);
    EXPECT_EQ(pages, 7);
  }
}

TEST_F(FaultTest, PrintServiceThatCannotBeCreated) {
  auto component = Component();
  platform::ScopedProgId missing(platform::erp::kPrintServiceProgId, [] { return ObjectPtr(); });
  TempDir out;
  Variant command("csv:" + out.File("ledger.csv"));
  Variant rs;
  Variant msg;
  ASSERT_TRUE(component->GetDefineName(rs, &msg));
  Variant ret;
  std::string error = "untouched";
  try {
    component->PrintSrv(command, rs, ret, error);
    ADD_FAILURE() << "PrintSrv did not raise";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), platform::kErrCannotCreate);
    EXPECT_NE(e.description().find(platform::erp::kPrintServiceProgId), std::string::npos)
        << e.description();
  }
  EXPECT_EQ(error, "untouched");
  EXPECT_FALSE(std::filesystem::exists(out.File("ledger.csv")));
}

}  // namespace
}  // namespace q9::testing
