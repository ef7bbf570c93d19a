// Failure paths of the component on the demo company, through the statement gate's fault hook and
// through doubles of the ERP objects: each failing statement of SaveFormat, OpenX and OpenPage in
// turn, a login whose members raise, and ERP objects that cannot be created. Each failure must end
// the way the method's frame says (False and the description, or the error itself for the methods
// without a handler), leave the by-reference arguments and the database as they were, and leave
// the component working for the next call. The sanitizer run of this suite checks that nothing
// leaks on these paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "component/iclskczt.h"
#include "demo/generator.h"
#include "platform/db/recordset.h"
#include "platform/db/statement_gate.h"
#include "platform/dispatch.h"
#include "platform/erp/caller_login.h"
#include "platform/erp/login_substitutes.h"
#include "platform/erp/print_service.h"
#include "platform/erp/reference_server.h"
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
using platform::ComError;
using platform::ObjectPtr;
using platform::Variant;
using Rows = std::vector<std::vector<std::string>>;
namespace db = platform::db;

constexpr char kInitFailed[] = "初始化失败！";
constexpr LedgerKind kKinds[] = {LedgerKind::kStockByInventory, LedgerKind::kStockByBatch,
                                 LedgerKind::kPosition};

class FaultTest : public ::testing::Test {
 protected:
  static const DemoFiles& Demo() {
    static const DemoFiles files(demo::kMinimumLines);
    return files;
  }
  // Each test works on its own copy of the files, so a write that should not happen shows.
  void SetUp() override { Demo().CopyTo(copy_); }

  std::string Connection() const { return Demo().Connection(DemoEngine::kEmbedded, &copy_); }
  Variant CallerLogin() const {
    return Variant(platform::erp::MakeCallerLogin(Connection(), "demo", demo::kDemoAccount,
                                                  demo::kDemoLoginYear));
  }

  // Statements a call runs, counted at the statement gate (the login's own reads included).
  static uint64_t StatementsOf(const std::function<void()>& call) {
    db::ScopedStatementHook count([](std::string_view, uint64_t) {});
    call();
    return count.statements_seen();
  }

  static std::string FaultText(uint64_t n) { return "磁盘故障 " + std::to_string(n); }

  TempDir copy_;
};

LedgerQuery QueryOf(LedgerKind kind) {
  return {.kind = kind, .from = "2025-06-01", .to = "2026-03-31", .free_items = {{1, ""}}};
}

// Runs `call`, which must raise `expected` when `raises` and succeed otherwise.
void ExpectRaisesWhen(bool raises, const ComError& expected, const std::function<void()>& call) {
  try {
    call();
    EXPECT_FALSE(raises) << "no error";
  } catch (const ComError& e) {
    EXPECT_TRUE(raises) << e.description();
    EXPECT_EQ(std::make_tuple(e.number(), e.source(), e.description()),
              std::make_tuple(expected.number(), expected.source(), expected.description()));
  }
}

// ---- the N-th statement fails -----------------------------------------------------------------

TEST_F(FaultTest, EveryStatementOfSaveFormatFailingLeavesTheFormatRows) {
  auto component = InitComponent(Connection());
  // Definition 1 with every column `delta` wider and two new columns.
  const int64_t id = Demo().company.report_definitions.front().ID;
  int columns = 0;
  for (const auto& f : Demo().company.report_fields) columns += f.ID == id && f.ORDEREx < 100;
  ASSERT_GT(columns, 0);
  auto format = [&](int delta) {
    std::string xml = "<queryid value=\"" + std::to_string(id) + "\">";
    for (int k = 1; k <= columns + 2; ++k) {
      xml += "<col" + std::to_string(k) + " visible=\"" + (k % 2 ? "true" : "false") +
             "\" width=\"" + std::to_string(delta + k) + "\"/>";
    }
    return xml + "</queryid>";
  };
  // Counted with another format of as many columns: the definition's lookup, then two statements
  // per column.
  std::string msg;
  const uint64_t statements =
      StatementsOf([&] { ASSERT_TRUE(component->SaveFormat(format(10), msg)); });
  ASSERT_EQ(statements, static_cast<uint64_t>(1 + 2 * (columns + 2)));

  const std::string xml = format(40);
  const std::string before = FileBytes(copy_.File("company.db"));
  for (uint64_t n = 1; n <= statements; ++n) {
    SCOPED_TRACE("statement " + std::to_string(n));
    db::FailNthStatement fault(n, FaultText(n));
    msg = "untouched";
    EXPECT_FALSE(component->SaveFormat(xml, msg));
    EXPECT_TRUE(fault.fired());
    EXPECT_EQ(msg, FaultText(n));
    EXPECT_TRUE(FileBytes(copy_.File("company.db")) == before) << "the company database changed";
  }

  // The connection is usable afterwards (no transaction left open): the save goes through.
  msg = "untouched";
  ASSERT_TRUE(component->SaveFormat(xml, msg)) << msg;
  EXPECT_EQ(msg, "untouched");
  Rows expected;
  for (int k = 1; k <= columns + 2; ++k) {
    expected.push_back({std::to_string(k), std::to_string(40 + k), k % 2 ? "-1" : "0"});
  }
  EXPECT_EQ(SqliteRows(copy_.File("company.db"),
                       "SELECT ORDEREx, Width, Visible FROM Rpt_FldDef WHERE ID = " +
                           std::to_string(id) + " AND ORDEREx < 100 ORDER BY ORDEREx"),
            expected);
}

// OpenX raises the failing statement's error, OpenPage gives False and its description; neither
// touches its by-reference arguments, moves the caller's summary or keeps the clone it made, and
// the next calls read what the first did.
TEST_F(FaultTest, EveryStatementOfOpenXAndOpenPageFailing) {
  auto component = InitComponent(Connection());
  const Variant untouched("untouched");
  for (LedgerKind kind : kKinds) {
    const std::string xml = ConditionDocument(QueryOf(kind));
    const auto k = static_cast<int16_t>(kind);
    Variant rs1, detail, msg, position(int16_t{1});
    // Five rights lists read by the login, then the summary; three lists, then the detail.
    ASSERT_EQ(StatementsOf([&] { ASSERT_TRUE(component->OpenX(xml, rs1, k)); }), 6u);
    ASSERT_EQ(StatementsOf(
                  [&] { ASSERT_TRUE(component->OpenPage(xml, rs1, detail, k, &msg, &position)); }),
              4u);
    auto summary = db::AsRecordset(rs1, "Rs1");
    ASSERT_GE(summary->RecordCount(), 2);
    summary->SetAbsolutePosition(2);  // the front end's own cursor, which OpenPage never moves
    const long rows_users = summary->rows().use_count();
    for (uint64_t n = 1; n <= 6; ++n) {
      SCOPED_TRACE("kind " + std::to_string(k) + ", statement " + std::to_string(n));
      Variant rs = untouched, out_msg = untouched;
      {
        db::FailNthStatement fault(n, FaultText(n));
        ExpectRaisesWhen(true, platform::ProviderError("fault injection", FaultText(n)),
                         [&] { component->OpenX(xml, rs, k, &out_msg); });
        EXPECT_TRUE(fault.fired());
      }
      EXPECT_EQ(rs, untouched);
      EXPECT_EQ(out_msg, untouched);
      if (n <= 4) {
        db::FailNthStatement fault(n, FaultText(n));
        EXPECT_FALSE(component->OpenPage(xml, rs1, rs, k, &out_msg, &position));
        EXPECT_TRUE(fault.fired());
        EXPECT_EQ(out_msg, Variant(FaultText(n)));
        EXPECT_EQ(rs, untouched);
        EXPECT_EQ(summary->rows().use_count(), rows_users);
        EXPECT_EQ(summary->State(), db::kStateOpen);
        EXPECT_EQ(summary->AbsolutePosition(), 2);
      }
      ASSERT_TRUE(component->OpenX(xml, rs, k));
      EXPECT_EQ(RecordsetRows(rs), RecordsetRows(rs1));
      ASSERT_TRUE(component->OpenPage(xml, rs1, rs, k, &msg, &position));
      EXPECT_EQ(RecordsetRows(rs), RecordsetRows(detail));
    }
  }
}

// Memory running out under a method without a handler raises the runtime's own error 7; one with
// a handler gives False and its text.
TEST_F(FaultTest, OutOfMemoryIsErrorSeven) {
  auto component = InitComponent(Connection());
  db::ScopedStatementHook no_memory([](std::string_view, uint64_t) { throw std::bad_alloc(); });
  Variant rs1("untouched");
  ExpectRaisesWhen(true, ComError(7, "Q9STRepSrv", "Out of memory"), [&] {
    component->OpenX(ConditionDocument(QueryOf(LedgerKind::kPosition)), rs1, 2);
  });
  EXPECT_EQ(rs1, Variant("untouched"));
  Variant rs("untouched");
  Variant msg;
  EXPECT_FALSE(component->GetPeriodDay(rs, msg));
  EXPECT_EQ(msg, Variant("Out of memory"));
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

  Variant Invoke(std::string_view name, platform::InvokeKind kind, platform::Args& args) override {
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
  // A summary to page through, made with the real login; it outlives the instance that made it.
  Variant summary;
  ASSERT_TRUE(InitComponent(Connection())
                  ->OpenX(ConditionDocument(QueryOf(LedgerKind::kStockByInventory)), summary, 0));
  for (const auto& [member, argument] :
       std::vector<std::pair<std::string, std::string>>{{"GetAuthString", "InvenTory"},
                                                        {"GetAuthString", "department"},
                                                        {"GetAuthString", "position"},
                                                        {"GetAuthString", "user"},
                                                        {"OldLogin", ""},
                                                        {"STStartPeriodDate", ""}}) {
    SCOPED_TRACE(member + " " + argument);
    platform::ScopedProgId double_login(platform::erp::kLoginProgId, [&] {
      return std::make_shared<RaisingLogin>(platform::erp::CreateLogin(), member, argument);
    });
    IClsKCZT component;
    std::string init_msg;
    ASSERT_TRUE(component.Init(CallerLogin(), &init_msg)) << init_msg;
    const ComError expected = RaisingLogin::Error(member);
    const Variant description(expected.description());
    const bool old_login = member == "OldLogin";
    const Variant untouched("untouched");

    // OpenX reads all five lists and, for the stock ledger, the start period date.
    for (LedgerKind kind : {LedgerKind::kStockByInventory, LedgerKind::kPosition}) {
      Variant rs1 = untouched, msg = untouched;
      bool raises = member == "GetAuthString" ||
                    (member == "STStartPeriodDate" && kind != LedgerKind::kPosition);
      ExpectRaisesWhen(raises, expected, [&] {
        EXPECT_TRUE(component.OpenX(ConditionDocument(QueryOf(kind)), rs1,
                                    static_cast<int16_t>(kind), &msg));
      });
      EXPECT_EQ(rs1 == untouched, raises);
      EXPECT_EQ(msg, untouched);
    }
    // OpenPage reads the warehouse, department and maker lists and the start period date.
    bool raises =
        (member == "GetAuthString" && argument != "InvenTory" && argument != "position") ||
        member == "STStartPeriodDate";
    Variant rs = untouched, msg = untouched, rs1 = summary;
    EXPECT_EQ(component.OpenPage(ConditionDocument(QueryOf(LedgerKind::kStockByInventory)), rs1, rs,
                                 0, &msg),
              !raises);
    EXPECT_EQ(msg, raises ? description : untouched);
    EXPECT_EQ(rs == untouched, raises);
    // OldLogin is what the periods, the reference lookups, the task rights and printing use.
    rs = msg = untouched;
    EXPECT_EQ(component.GetPeriodDay(rs, msg), !old_login);
    EXPECT_EQ(rs == untouched, old_login);
    EXPECT_EQ(msg, old_login ? description : untouched);
    for (bool full : {true, false}) {
      int32_t page = 1, pages = 0;
      Variant data = untouched, rs_col = untouched, err = untouched;
      EXPECT_EQ(
          component.GetRefData(full, "Warehouse", "", "", "", 5, page, pages, data, rs_col, err),
          !old_login);
      EXPECT_EQ(err, old_login ? Variant(" " + description.ToText()) : untouched);
      EXPECT_EQ(data == untouched, old_login);
      EXPECT_EQ(rs_col == untouched, old_login || !full);
    }
    msg = untouched;
    ExpectRaisesWhen(old_login, expected,
                     [&] { EXPECT_TRUE(component.GetTaskAuth("ST0301", 0, &msg)); });
    EXPECT_EQ(msg, untouched);

    TempDir out;
    Variant command("csv:" + out.File("ledger.csv")), ret;
    ASSERT_TRUE(component.GetDefineName(rs, &msg)) << msg.ConcatText();
    std::string error = "untouched";
    ExpectRaisesWhen(old_login, expected, [&] { component.PrintSrv(command, rs, ret, error); });
    EXPECT_EQ(std::filesystem::exists(out.File("ledger.csv")), !old_login);
    EXPECT_EQ(error, "untouched");
  }
}

// Init fails with its fixed message when the login cannot load or give its account, or when an
// ERP object cannot be created; with the real objects back it succeeds again.
TEST_F(FaultTest, InitWithoutItsErpObjects) {
  using Factory = std::function<ObjectPtr()>;
  std::vector<std::pair<std::string, Factory>> doubles;
  for (const char* member : {"Load", "Account"}) {
    doubles.emplace_back(platform::erp::kLoginProgId, [member] {
      return std::make_shared<RaisingLogin>(platform::erp::CreateLogin(), member, "");
    });
  }
  for (const char* prog_id : {platform::erp::kAccountProgId, platform::erp::kAccountCOProgId,
                              platform::erp::kLoginProgId}) {
    doubles.emplace_back(prog_id, [] { return ObjectPtr(); });
  }
  for (const auto& [prog_id, factory] : doubles) {
    SCOPED_TRACE(prog_id);
    IClsKCZT component;
    std::string msg = "untouched";
    {
      platform::ScopedProgId replaced(prog_id, factory);
      EXPECT_FALSE(component.Init(CallerLogin(), &msg));
      EXPECT_EQ(msg, kInitFailed);
    }
    msg = "untouched";
    EXPECT_TRUE(component.Init(CallerLogin(), &msg));
    EXPECT_EQ(msg, "untouched");
  }
}

}  // namespace
}  // namespace q9::testing
