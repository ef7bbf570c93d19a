#include "platform/erp/reference_server.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/error_test_support.h"
#include "support/services_fixture.h"

namespace q9::platform::erp {
namespace {

// Paging, filters, key words and orders are proved through the component on the demo company;
// here only what no caller shows: every member refuses a table the server does not know, by name.
TEST(ReferServerTest, AnUnknownTableIsRefusedByEveryMember) {
  testing::ServicesDatabase db;
  ObjectPtr server = CreateReferServer();
  Variant unknown("Nonsense"), known("Warehouse");
  Args auth, title, good;
  auth.Ref(&unknown).Val(Variant("W")).Val(Variant(false));
  title.Val(db.CallerLogin()).Ref(&unknown);
  good.Ref(&known).Val(Variant("W")).Val(Variant(false));
  for (auto [member, args] : {std::pair{"SetRWAuth", &auth}, std::pair{"GetTitleFormat", &title}}) {
    auto e = q9::testing::ErrorOf([&] { server->Invoke(member, InvokeKind::kMethod, *args); });
    ASSERT_TRUE(e) << member << " accepted table Nonsense";
    EXPECT_EQ(e->number(), kErrInvalidCall);
    EXPECT_EQ(e->description(),
              "参照表 'Nonsense' 不存在；可用的参照表: Warehouse, Inventory, InventoryClass, "
              "Position, Department, Person, Vendor, Customer");
  }
  EXPECT_EQ(server->Invoke("SetRWAuth", InvokeKind::kMethod, good), Variant(true));
}

}  // namespace
}  // namespace q9::platform::erp
