#include <gtest/gtest.h>

#include <string>
#include <vector>

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

namespace rssvane {
namespace {

TEST(FeedFieldStorage, ManyAttributesAreStillFoundReplacedAndKeptInOrder) {
  FeedField field;
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(field.SetAttribute("a" + std::to_string(i), std::to_string(i)), 0);
  }
  ASSERT_EQ(field.AttributeCount(), 200u);
  EXPECT_EQ(field.Attribute("a150"), "150");
  EXPECT_EQ(field.SetAttribute("a150", "x"), 0);           // another length
  EXPECT_EQ(field.SetAttribute("a7", "y"), 0);             // the same length
  EXPECT_EQ(field.SetAttribute("a199", field.Attribute("a150")), 0);
  EXPECT_EQ(field.Attribute("a150"), "x");
  EXPECT_EQ(field.Attribute("a7"), "y");
  EXPECT_EQ(field.Attribute("a199"), "x");
  EXPECT_EQ(field.Attribute("a200"), "");
  EXPECT_EQ(field.AttributeName(150), "a150");
  EXPECT_EQ(field.AttributeValue(150), "x");
  EXPECT_EQ(field.AttributeName(199), "a199");
  EXPECT_EQ(field.AttributeCount(), 200u);
  field.Clear();
  EXPECT_EQ(field.Attribute("a7"), "");
  EXPECT_EQ(field.SetAttribute("a7", "z"), 0);
  EXPECT_EQ(field.AttributeCount(), 1u);
}

TEST(FeedFieldStorage, ManyExtrasKeepFirstMatchWins) {
  FeedContainer channel(ContainerKind::kChannel);
  std::vector<FeedField*> made;
  for (int i = 0; i < 100; ++i) {
    FeedField* field;
    ASSERT_EQ(channel.AddExtra("x" + std::to_string(i % 50), field), 0);
    made.push_back(field);
  }
  EXPECT_EQ(channel.Find("x10"), made[10]);
  EXPECT_EQ(channel.Find("x49"), made[49]);
  EXPECT_EQ(channel.Find("x50"), nullptr);
  EXPECT_EQ(channel.Find("title"), &channel.Fixed(channel_field::kTitle));
  channel.Clear();
  EXPECT_EQ(channel.Find("x10"), nullptr);
  FeedField* again;
  ASSERT_EQ(channel.AddExtra("x10", again), 0);
  EXPECT_EQ(channel.Find("x10"), again);
}

}  // namespace
}  // namespace rssvane
