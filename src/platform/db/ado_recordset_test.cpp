#include "platform/db/ado_recordset.h"

#include <gtest/gtest.h>

#include "platform/db/recordset_test_support.h"
#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform::db {
namespace {

// Three records (1, 'a'), (2, Null), (3, 'c') in columns id, name.
std::shared_ptr<Recordset> ThreeRecords() {
  return q9::testing::RecordsetOf({"id", "name"},
                                  {Variant(int32_t{1}), Variant("a"), Variant(int32_t{2}),
                                   Variant::Null(), Variant(int32_t{3}), Variant("c")},
                                  kUseClient);
}

using q9::testing::ErrorNumberOf;

TEST(AdoRecordsetTest, MoveLandsWhereTheDataAccessLibraryDoes) {
  // start (AbsolutePosition, or 0 for BOF, 4 for EOF), n, then the position or the error.
  struct Case {
    int32_t start, n, position, error;
  };
  const Case cases[] = {{1, 2, 3, 0},
                        {3, -2, 1, 0},
                        {2, 5, kPosEOF, 0},
                        {2, -5, kPosBOF, 0},
                        {4, 1, 0, kErrNoCurrentRecord},
                        {0, -1, 0, kErrNoCurrentRecord},
                        {0, 1, 1, 0}};
  for (const Case& c : cases) {
    auto rs = ThreeRecords();
    if (c.start == 0) rs->MovePrevious();
    if (c.start == 4) {
      rs->MoveLast();
      rs->MoveNext();
    }
    if (c.start >= 1 && c.start <= 3) rs->SetAbsolutePosition(c.start);
    AdoRecordset ado(rs);
    Args args;
    args.Val(Variant(c.n));
    int error = ErrorNumberOf([&] { ado.Invoke("Move", InvokeKind::kMethod, args); });
    EXPECT_EQ(error, c.error) << c.start << " " << c.n;
    if (!c.error) {
      EXPECT_EQ(rs->AbsolutePosition(), c.position) << c.start << " " << c.n;
    }
  }
}

TEST(AdoRecordsetTest, FieldsAreLiveViewsWithNameTypeAndValue) {
  auto rs = ThreeRecords();
  Variant ado(std::make_shared<AdoRecordset>(rs));
  Args by_name;
  by_name.Val(Variant("NAME"));
  Variant field = GetProperty(ado, "Fields", by_name);
  EXPECT_EQ(GetProperty(field, "Name"), Variant("name"));
  EXPECT_EQ(GetProperty(field, "Type"), Variant(int32_t{kAdVarWChar}));
  EXPECT_EQ(GetProperty(field, "Value"), Variant("a"));
  rs->MoveNext();
  EXPECT_TRUE(GetProperty(field, "Value").is_null());
  Args missing;
  missing.Val(Variant("nope"));
  EXPECT_EQ(ErrorNumberOf([&] { GetProperty(ado, "Fields", missing); }), kErrItemNotFound);
  EXPECT_EQ(ColumnAdoType(*rs->rows(), 0), kAdInteger);
}

TEST(AdoRecordsetTest, AnyObjectWithTheMembersIsReadThroughAClone) {
  auto source = ThreeRecords();
  source->SetAbsolutePosition(2);
  auto copy = AsRecordset(Variant(std::make_shared<AdoRecordset>(source)), "Rs1");
  EXPECT_EQ(copy, source);  // the component's own: no copy
  // A foreign object with the data-access members only: read record by record.
  auto foreign = std::make_shared<ForwardingObject>(std::make_shared<AdoRecordset>(source));
  auto read = AsRecordset(Variant(foreign), "Rs1");
  ASSERT_NE(read, source);
  ASSERT_EQ(read->RecordCount(), 3);
  read->MoveLast();
  EXPECT_EQ(read->Field("name"), Variant("c"));
  EXPECT_EQ(source->AbsolutePosition(), 2);  // the source keeps its current record
  class NoRecordset : public MemberObject {
   public:
    NoRecordset() : MemberObject("NoRecordset") {}
  };
  EXPECT_EQ(ErrorNumberOf([&] { AsRecordset(Variant(std::make_shared<NoRecordset>()), "Rs1"); }),
            kErrTypeMismatch);
}

}  // namespace
}  // namespace q9::platform::db
