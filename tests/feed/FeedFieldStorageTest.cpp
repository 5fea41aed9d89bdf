#include <gtest/gtest.h>

#include <string>

#include "base/Codes.h"
#include "feed/FeedContainer.h"
#include "feed/FeedField.h"

namespace rssvane {
namespace {

TEST(FeedFieldStorage, AttributesKeepTheirOrderAndReplaceByName) {
  FeedField field;
  field.InitFixed("category", kVersionAll, 0);
  EXPECT_EQ(field.SetAttribute("domain", "d1"), 0);
  EXPECT_EQ(field.SetAttribute("", ""), 0);
  EXPECT_EQ(field.SetAttribute("x:y", std::string(300, 'v')), 0);
  EXPECT_EQ(field.SetAttribute("domain", "longer value"), 0);
  ASSERT_EQ(field.AttributeCount(), 3u);
  EXPECT_EQ(field.AttributeName(0), "domain");
  EXPECT_EQ(field.AttributeValue(0), "longer value");
  EXPECT_EQ(field.AttributeName(1), "");
  EXPECT_EQ(field.AttributeName(2), "x:y");
  EXPECT_EQ(field.AttributeValue(2), std::string(300, 'v'));
  EXPECT_EQ(field.Attribute("missing"), "");
  EXPECT_EQ(field.AttributeName(3), "");
  EXPECT_TRUE(field.HasContent());
  // A value taken from the field itself survives the rewrite.
  EXPECT_EQ(field.SetAttribute("copy", field.AttributeValue(2)), 0);
  EXPECT_EQ(field.Attribute("copy"), std::string(300, 'v'));
  EXPECT_EQ(field.SetAttribute(field.AttributeName(0), field.AttributeValue(0).substr(0, 6)), 0);
  EXPECT_EQ(field.Attribute("domain"), "longer");
  field.Clear();
  EXPECT_EQ(field.AttributeCount(), 0u);
  EXPECT_FALSE(field.HasContent());
  EXPECT_EQ(field.Name(), "category");
}

TEST(FeedFieldStorage, TextIsStoredExactlyAndCanBeBuiltInItsBuffer) {
  FeedField field;
  ASSERT_EQ(field.InitExtra("dc:creator"), 0);
  EXPECT_EQ(field.Name(), "dc:creator");
  EXPECT_EQ(field.Allowed(), 0);
  std::string binary("a\0b", 3);
  EXPECT_EQ(field.SetText(binary), 0);
  EXPECT_EQ(field.Text(), binary);
  EXPECT_EQ(field.SetText(field.Text().substr(2)), 0);
  EXPECT_EQ(field.Text(), "b");
  field.TextBuffer().Append("cd");
  EXPECT_EQ(field.Text(), "bcd");
  EXPECT_EQ(field.SetText("e"), 0);
  EXPECT_EQ(field.TextBuffer().View(), "e");
  field.Clear();
  EXPECT_EQ(field.Text(), "");
  EXPECT_EQ(field.SetText(""), 0);
  EXPECT_FALSE(field.HasContent());
}

TEST(FeedFieldStorage, ExtrasAreFoundAfterTheFixedFieldsInCreationOrder) {
  FeedContainer item(ContainerKind::kItem);
  FeedField* first;
  FeedField* second;
  ASSERT_EQ(item.AddExtra("x", first), 0);
  ASSERT_EQ(item.AddExtra("x", second), 0);
  ASSERT_EQ(item.ExtraCount(), 2u);
  EXPECT_EQ(item.Find("x"), first);
  EXPECT_EQ(item.Extra(1), second);
  EXPECT_EQ(item.Extra(2), nullptr);
  EXPECT_EQ(item.Find("title"), &item.Fixed(item_field::kTitle));
  item.Clear();
  EXPECT_EQ(item.ExtraCount(), 0u);
  EXPECT_EQ(item.Find("x"), nullptr);
}

}  // namespace
}  // namespace rssvane
