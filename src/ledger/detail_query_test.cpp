#include "ledger/detail_query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ledger/flow_test_doubles.h"
#include "platform/db/recordset_test_support.h"
#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::ledger {
namespace {

using platform::ComError;
using platform::Variant;
using platform::db::Recordset;
using platform::db::RowSet;
using testing::MakerCall;
using testing::StatementCatcher;

// A summary of three rows, as the position ledger summary gives them (the stock ledger reads the
// columns it needs from the same rows).
std::shared_ptr<Recordset> Summary() {
  return q9::testing::RecordsetOf(
      {"cWhCode", "cPosCode", "cInvCode", "cBatch", "cFree2"},
      {Variant("01"), Variant("A-01"), Variant("A001"), Variant("L1"), Variant("red"),
       Variant("01"), Variant("A-02"), Variant("B'002"), Variant::Null(), Variant("blue"),
       Variant("02"), Variant("B-01"), Variant("C003"), Variant("L3"), Variant::Null()});
}

// A summary reached only by late binding: State and Clone answer as given; every call is recorded.
std::shared_ptr<q9::testing::ScriptedObject> LateBoundSummary(Variant state, Variant clone) {
  auto summary = std::make_shared<q9::testing::ScriptedObject>();
  summary->scripts = {{"State", q9::testing::Answer(state)}, {"Clone", q9::testing::Answer(clone)}};
  return summary;
}

class DetailQueryTest : public testing::FlowTest {
 protected:
  DetailResult Run(const Variant& rs1, int16_t kind, const Variant& position) {
    return OpenDetail(kXml, rs1, kind, position, Variant(login_), Variant(account_), conn_, state_,
                      reader_.Readers());
  }

  // Runs a call whose statement the catcher fails; returns the statement.
  std::string CaughtStatement(const Variant& rs1, int16_t kind, const Variant& position) {
    StatementCatcher catcher;
    auto e = q9::testing::ErrorOf([&] { Run(rs1, kind, position); });
    EXPECT_EQ(e ? e->description() : "the statement was not run", "statement caught");
    return catcher.statements.size() == 1 ? catcher.statements[0] : "";
  }
};

const std::vector<std::vector<Variant>> kThreeCalls = {
    {Variant("WareHouse")}, {Variant("department")}, MakerCall()};

// Calls that end without a statement: a closed summary after the reader, a kind without detail
// after the lists too; bad positions and summaries, a key column the summary lacks (a shown free
// item's, the batch of the stock ledger by batch) or a Null rights list with their error.
TEST_F(DetailQueryTest, CallsThatEndWithoutAStatement) {
  auto closed = Summary();
  closed->Close();
  auto late_closed = LateBoundSummary(Variant(int32_t{0}), Variant());
  auto open = Summary();
  auto empty = q9::testing::RecordsetOf({"cInvCode"}, {});
  auto odd = LateBoundSummary(Variant(int32_t{1}), Variant("rows"));
  auto rs_no_batch = q9::testing::RecordsetOf({"cInvCode"}, {Variant("A001")});
  const Variant one(int16_t{1}), zero(int16_t{0});
  const DetailOutcome none{};  // an error ends the call
  struct Case {
    const char* name;
    Variant rs1;
    int16_t kind;
    Variant position;
    int number;  // 0: no error, the outcome
    DetailOutcome outcome;
    int reached;  // 0: the reader, 1: the first rights list, 3: all three, 4: the start date too
    std::function<void()> arrange = [] {};
  } cases[] = {
      {"never opened", Variant(std::make_shared<Recordset>()), 0, Variant(int16_t{2}), 0,
       DetailOutcome::kSummaryClosed, 0},
      {"closed", Variant(closed), 0, Variant(int16_t{2}), 0, DetailOutcome::kSummaryClosed, 0},
      {"closed, late bound", Variant(late_closed), 0, Variant(int16_t{2}), 0,
       DetailOutcome::kSummaryClosed, 0},
      {"kind 3", Variant(open), 3, Variant(int16_t{2}), 0, DetailOutcome::kNoStatement, 3},
      {"kind -1", Variant(open), -1, Variant(int16_t{2}), 0, DetailOutcome::kNoStatement, 3},
      {"past the end", Variant(Summary()), 0, Variant(int16_t{4}), platform::kErrBadArgument, none,
       0},
      {"negative", Variant(Summary()), 0, Variant(int32_t{-1}), platform::kErrBadArgument, none, 0},
      {"empty summary", Variant(empty), 0, one, platform::kErrBadArgument, none, 0},
      // Position 0 on an empty summary: reading the key finds no current record.
      {"key of an empty summary", Variant(empty), 0, zero, platform::kErrNoCurrentRecord, none, 4},
      {"Nothing", Variant::Nothing(), 0, zero, platform::kErrObjectNotSet, none, 0},
      {"Empty", Variant(), 0, zero, platform::kErrObjectNotSet, none, 0},
      {"Clone that is no recordset", Variant(odd), 0, zero, platform::kErrTypeMismatch, none, 0},
      {"shown free item without a column", Variant(Summary()), 0, one, platform::kErrItemNotFound,
       none, 4, [&] { reader_.writes.blnFreeShow[3] = true; }},
      {"batch without a column", Variant(rs_no_batch), 1, one, platform::kErrItemNotFound, none, 4},
      {"Null warehouse list", Variant(Summary()), 2, one, platform::kErrInvalidNull, none, 1,
       [&] { login_->lists["WareHouse"] = Variant::Null(); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    login_->calls->clear();
    login_->lists.clear();
    reader_.runs.clear();
    reader_.writes.blnFreeShow[3] = false;
    account_->calls->clear();
    c.arrange();
    StatementCatcher catcher;
    DetailResult r{};
    EXPECT_EQ(q9::testing::ErrorNumberOf([&] { r = Run(c.rs1, c.kind, c.position); }), c.number);
    if (c.number == 0) {
      EXPECT_EQ(r.outcome, c.outcome);
      EXPECT_EQ(r.detail, nullptr);
    }
    EXPECT_EQ(reader_.runs, std::vector<std::string>{c.kind == 2 ? "position" : "stock"});
    EXPECT_EQ(login_->Arguments(),
              std::vector<std::vector<Variant>>(kThreeCalls.begin(),
                                                kThreeCalls.begin() + std::min(c.reached, 3)));
    EXPECT_EQ(account_->calls->size(), c.reached == 4 ? 1u : 0u);
    EXPECT_TRUE(catcher.statements.empty());
  }
  EXPECT_EQ(late_closed->Members(), std::vector<std::string>{"State"});
  EXPECT_EQ(open->AbsolutePosition(), 1);
}

// The keys come from the row at CurPosition of a clone; the caller's summary stays where it was.
TEST_F(DetailQueryTest, KeysComeFromTheRowAtCurPositionAndTheSummaryNeverMoves) {
  struct Case {
    Variant position;
    std::string tail;
  } cases[] = {{Variant(int16_t{0}), "Rs.cInvCode = 'A001' ORDER BY R.dDate,R.ID "},
               {Variant::Missing(), "Rs.cInvCode = 'A001' ORDER BY R.dDate,R.ID "},
               {Variant(2.4), "Rs.cInvCode = 'B''002' ORDER BY R.dDate,R.ID "},
               {Variant("3"), "Rs.cInvCode = 'C003' ORDER BY R.dDate,R.ID "}};
  auto rs1 = Summary();
  rs1->SetAbsolutePosition(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tail);
    std::string sql = CaughtStatement(Variant(rs1), 0, c.position);
    EXPECT_TRUE(sql.ends_with(c.tail)) << sql;
    EXPECT_EQ(rs1->State(), platform::db::kStateOpen);
    EXPECT_EQ(rs1->AbsolutePosition(), 3);
  }
  // A summary reached only by late binding: its State is read and Clone called once.
  auto late = LateBoundSummary(Variant(int32_t{1}), Variant(rs1->Clone()));
  EXPECT_TRUE(CaughtStatement(Variant(late), 0, Variant(int16_t{3})).ends_with(cases[3].tail));
  EXPECT_EQ(late->Members(), (std::vector<std::string>{"State", "Clone"}));
}

// Each ledger's detail: its reader, the three lists, the start date for the stock ledger only, and
// the keys of the row asked for (a Null batch compares with empty text); the statement's own
// text is pinned by the statement tests.
TEST_F(DetailQueryTest, EachLedgerReadsItsKeysListsAndStartDate) {
  login_->lists = {{"WareHouse", Variant("'01'")}, {"department", Variant("'D1'")}};
  reader_.writes.blnFreeShow[1] = true;
  struct Case {
    int16_t kind;
    int16_t position;
    const char* reader;
    size_t start_period_reads;
    const char* keys;
  } cases[] = {
      {1, 2, "stock", 1,
       " AND Rs.cInvCode = 'B''002' AND Rs.cBatch = '' AND W.cWhCode IN ('01') AND (R.cDepCode "
       "IN ('D1') OR ISNULL(R.cDepCode,'') = '') AND IsNull(Rs.cFree2,'') ='blue' ORDER BY "
       "R.dDate,R.ID "},
      {2, 3, "position", 0,
       " AND IP.cWhCode='02' AND IP.cInvCode='C003' AND IP.cPosCode='B-01' AND "
       "ISNULL(IP.cBatch,'')= 'L3' AND (R.cDepCode IN ('D1') OR ISNULL(R.cDepCode,'') = '') AND "
       "IsNull(Rs.cFree2,'') ='' ORDER BY IP.dDate,IP.AutoId "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    login_->calls->clear();
    reader_.runs.clear();
    account_->calls->clear();
    std::string sql = CaughtStatement(Variant(Summary()), c.kind, Variant(c.position));
    EXPECT_EQ(login_->Arguments(), kThreeCalls);
    EXPECT_EQ(account_->calls->size(), c.start_period_reads);
    EXPECT_EQ(reader_.runs, std::vector<std::string>{c.reader});
    EXPECT_TRUE(sql.ends_with(c.keys)) << sql;
    EXPECT_EQ(sql.find("(R.dDate>='2023-12-01' Or R.bIsSTQc = 1)") != std::string::npos,
              c.start_period_reads == 1);
  }
}

}  // namespace
}  // namespace q9::ledger
