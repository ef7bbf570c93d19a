#include "platform/dispatch.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform {
namespace {

class Counter : public MemberObject {
 public:
  Counter() : MemberObject("Counter") {
    members_.Get("Value", [this](Args&) { return Variant(value_); })
        .Put("Value", [this](Args& a) { return value_ = a.Get(a.size() - 1).ToI4(), Variant(); })
        .Method("AddTo", [this](Args& a) {
          // Adds the counter to a by-reference argument; an omitted second argument counts 1.
          a[0] = Variant(a[0].ToI4() + value_ * (a.IsGiven(1) ? a.Get(1).ToI4() : 1));
          return Variant(true);
        });
  }

 private:
  int32_t value_ = 0;
};

using q9::testing::ErrorNumberOf;

TEST(DispatchTest, MembersByNameInAnyCaseWithByRefAndOptionalArguments) {
  Variant c(std::make_shared<Counter>());
  PutProperty(c, "value", Variant(int32_t{5}));
  EXPECT_EQ(GetProperty(c, "VALUE").ToI4(), 5);
  Variant mine(int32_t{1});
  Args by_ref;
  by_ref.Ref(&mine).Omitted();
  CallMethod(c, "addto", by_ref);
  EXPECT_EQ(mine.ToI4(), 6);
  Variant kept(int32_t{1});
  Args by_val;
  by_val.Val(kept).Val(Variant(int32_t{2}));
  CallMethod(c, "AddTo", by_val);
  EXPECT_EQ(kept.ToI4(), 1);
  EXPECT_EQ(by_val[0].ToI4(), 11);
}

TEST(DispatchTest, UnknownMembersClassesAndNothing) {
  Variant c(std::make_shared<Counter>());
  EXPECT_EQ(ErrorNumberOf([&] { CallMethod(c, "Nope"); }), kErrMemberNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { CreateObject("No.Such.Class"); }), kErrCannotCreate);
  EXPECT_EQ(ErrorNumberOf([&] { GetProperty(Variant::Nothing(), "Value"); }), kErrObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([&] { GetProperty(Variant("text"), "Value"); }), kErrTypeMismatch);
}

TEST(DispatchTest, RegistryAndScopedDoubles) {
  RegisterProgId("Test.Counter", [] { return std::make_shared<Counter>(); });
  EXPECT_EQ(CreateObject("test.counter")->ClassName(), "Counter");
  {
    class Doubled : public ForwardingObject {
     public:
      Doubled() : ForwardingObject(std::make_shared<Counter>()) {}
      Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override {
        if (SameMemberName(name, "Value") && kind == InvokeKind::kPropertyGet) {
          throw ComError(123, "double", "raised on purpose");
        }
        return ForwardingObject::Invoke(name, kind, args);
      }
    };
    ScopedProgId swap("Test.Counter", [] { return std::make_shared<Doubled>(); });
    Variant d(CreateObject("Test.Counter"));
    PutProperty(d, "Value", Variant(int32_t{1}));
    EXPECT_EQ(ErrorNumberOf([&] { GetProperty(d, "Value"); }), 123);
  }
  EXPECT_EQ(GetProperty(Variant(CreateObject("Test.Counter")), "Value").ToI4(), 0);
  UnregisterProgId("Test.Counter");
  EXPECT_EQ(ErrorNumberOf([&] { CreateObject("Test.Counter"); }), kErrCannotCreate);
}

}  // namespace
}  // namespace q9::platform
