#include "platform/xml/document.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/error_test_support.h"

namespace q9::platform::xml {
namespace {

TEST(DocumentTest, FindsTheFirstElementOfANameAnywhere) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml(
      "<root><a><ddate value1='first'/></a><ddate value1='second'/><Ddate value1='case'/></root>"));
  EXPECT_EQ(doc.SelectSingleNode("//ddate").GetNamedItem("value1").Text(), "first");
  EXPECT_TRUE(doc.SelectSingleNode("//missing").IsNull());
  EXPECT_TRUE(doc.SelectSingleNode("//ddate").GetNamedItem("VALUE1").IsNull());
  EXPECT_TRUE(doc.SelectSingleNode("//root").GetNamedItem("x").IsNull());
  EXPECT_EQ(doc.SelectSingleNode("//DDATE").IsNull(), true);
  // Null handles are safe.
  Node none;
  EXPECT_EQ(none.GetNamedItem("x").Text(), "");
  EXPECT_EQ(none.ChildNodeCount(), 0u);
  EXPECT_EQ(none.Text(), "");
}

TEST(DocumentTest, ParseErrorsLeaveAnEmptyDocument) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a><b/></a>"));
  for (const char* bad : {"<a><b></a>", "", "not xml", "<a/><b/>"}) {
    EXPECT_FALSE(doc.LoadXml(bad)) << bad;
    EXPECT_TRUE(doc.DocumentElement().IsNull()) << bad;
    EXPECT_TRUE(doc.SelectSingleNode("//b").IsNull()) << bad;
    EXPECT_FALSE(doc.ParseError().empty()) << bad;
  }
}

TEST(DocumentTest, ChildCountCountsEveryKindButIndentation) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<f>\n  <col1/>\n  <!-- note -->\n  <?pi x?>\n  text\n  <col2/>\n</f>"));
  EXPECT_EQ(doc.DocumentElement().ChildNodeCount(), 5u);
  ASSERT_TRUE(doc.LoadXml("<f>\n  <col1/>\n  <col2/>\n</f>"));
  EXPECT_EQ(doc.DocumentElement().ChildNodeCount(), 2u);
}

TEST(DocumentTest, OnlyTheDescendantPathFormIsSupported) {
  Document doc;
  ASSERT_TRUE(doc.LoadXml("<a/>"));
  for (const char* path : {"/a", "//a/b", "//a[1]", "a", "//"}) {
    EXPECT_EQ(q9::testing::ErrorNumberOf([&] { doc.SelectSingleNode(path); }), kErrInvalidCall)
        << path;
  }
}

}  // namespace
}  // namespace q9::platform::xml
