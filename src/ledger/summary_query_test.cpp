#include "ledger/summary_query.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ledger/flow_test_doubles.h"
#include "ledger/summary_statement.h"
#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::ledger {
namespace {

using platform::ComError;
using platform::Variant;
using testing::MakerCall;
using testing::StatementCatcher;

class SummaryQueryTest : public testing::FlowTest {
 protected:
  SummaryQueryTest() {
    login_->lists = {{"InvenTory", Variant("7,9")},
                     {"WareHouse", Variant("'01'")},
                     {"department", Variant(" 'D1'")},
                     {"user", Variant("'demo'")},
                     {"position", Variant("'A-01'")}};
    reader_.writes.strBeforeDate = "R.dDate < '2024-01-01'";
  }

  // Runs the flow and returns the error it ends with (every statement is failed by the catcher).
  ComError RunExpectingError(int16_t kind) {
    try {
      OpenSummary(kXml, kind, Variant(login_), Variant(account_), conn_, state_, reader_.Readers());
    } catch (const ComError& e) {
      return e;
    }
    ADD_FAILURE() << "kind " << kind << " ended without an error";
    return ComError(0, "", "");
  }
};

const std::vector<std::vector<Variant>> kFiveCalls = {{Variant("InvenTory")},
                                                      {Variant("WareHouse")},
                                                      {Variant("department")},
                                                      MakerCall(),
                                                      {Variant("position")}};

TEST_F(SummaryQueryTest, EachKindReadsItsConditionFetchesFiveListsAndRunsItsStatement) {
  struct Case {
    int16_t kind;
    const char* reader;
    size_t start_period_reads;
  } cases[] = {{0, "stock", 1}, {1, "stock", 1}, {2, "position", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    login_->calls->clear();
    account_->calls->clear();
    reader_.runs.clear();
    StatementCatcher catcher;
    ComError e = RunExpectingError(c.kind);
    EXPECT_EQ(e.description(), "statement caught");
    EXPECT_EQ(reader_.runs, std::vector<std::string>{c.reader});
    EXPECT_EQ(login_->Arguments(), kFiveCalls);
    EXPECT_EQ(account_->calls->size(), c.start_period_reads);
    // The statement built from this call's reading, the lists in their places and the account's
    // start date.
    RightsLists rights{"7,9", "'01'", " 'D1'", "'demo'", "'A-01'"};
    ASSERT_EQ(catcher.statements.size(), 1u);
    EXPECT_EQ(catcher.statements[0],
              SummaryStatement(c.kind, reader_.writes, rights, *platform::Date::Make(2023, 12, 1)));
    EXPECT_EQ(state_.strBeforeDate, "R.dDate < '2024-01-01'");
  }
}

// A failing reader, a Null list or start date, or a kind outside the ledgers (after the reader, the
// lists and no start date): the flow stops there, without a statement.
TEST_F(SummaryQueryTest, FailuresBeforeTheStatementStopTheFlowThere) {
  struct Case {
    const char* name;
    int16_t kind;
    int number;
    size_t login_calls;
    size_t start_period_reads;
    std::function<void()> arrange;
  } cases[] = {{"reader fails", 0, platform::kErrObjectNotSet, 0, 0,
                [&] { reader_.fail = platform::ObjectNotSet("ddate"); }},
               {"maker list is Null", 0, platform::kErrInvalidNull, 4, 0,
                [&] { login_->lists["user"] = Variant::Null(); }},
               {"start period date is Null", 0, platform::kErrInvalidNull, 5, 1,
                [&] { account_->start_period_date = Variant::Null(); }},
               {"kind 3", 3, platform::kErrInvalidCall, 5, 0, [] {}},
               {"kind -1", -1, platform::kErrInvalidCall, 5, 0, [] {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    login_ = std::make_shared<testing::LoginDouble>();
    account_ = std::make_shared<testing::AccountDouble>();
    reader_ = testing::ReaderLog();
    c.arrange();
    StatementCatcher catcher;
    EXPECT_EQ(RunExpectingError(c.kind).number(), c.number);
    EXPECT_EQ(reader_.runs, std::vector<std::string>{"stock"});
    EXPECT_EQ(login_->calls->size(), c.login_calls);
    EXPECT_EQ(account_->calls->size(), c.start_period_reads);
    EXPECT_TRUE(catcher.statements.empty());
  }
}

TEST_F(SummaryQueryTest, StartPeriodDateMayArriveAsText) {
  account_->start_period_date = Variant("2022-7-1");
  StatementCatcher catcher;
  RunExpectingError(1);
  EXPECT_NE(catcher.statements.at(0).find("(R.dDate>='2022-07-01' Or R.bIsSTQc = 1)"),
            std::string::npos);
}

// The reader gets what parses, else an empty document (and says what is missing).
TEST_F(SummaryQueryTest, AnUnparsableDocumentReachesTheReaderEmpty) {
  reader_.fail = platform::ObjectNotSet("ddate");
  for (const char* xml : {"<condition><ddate", "", "not xml", kXml}) {
    EXPECT_EQ(q9::testing::ErrorNumberOf([&] {
                OpenSummary(xml, 0, Variant(login_), Variant(account_), conn_, state_,
                            reader_.Readers());
              }),
              platform::kErrObjectNotSet);
  }
  EXPECT_EQ(reader_.document_empty, (std::vector<bool>{true, true, true, false}));
}

}  // namespace
}  // namespace q9::ledger
