#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Arena.h"
#include "base/Codes.h"
#include "feed/FeedContainer.h"
#include "feed/FeedField.h"

namespace rssvane {
namespace {

TEST(FeedFieldStorage, AttributesKeepTheirOrderAndReplaceByName) {
  static constexpr FieldSpec kCategory{"category", kVersionAll, 0};
  FeedField field;
  field.InitFixed(kCategory);
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

TEST(FeedFieldStorage, TextIsStoredExactlyOrSharedAndEitherReplacesTheOther) {
  FeedField field;
  ASSERT_EQ(field.InitExtra("dc:creator"), 0);
  EXPECT_EQ(field.Name(), "dc:creator");
  EXPECT_EQ(field.Allowed(), 0);
  std::string binary("a\0b", 3);
  EXPECT_EQ(field.SetText(binary), 0);
  EXPECT_EQ(field.Text(), binary);
  EXPECT_EQ(field.SetText(field.Text().substr(2)), 0);
  EXPECT_EQ(field.Text(), "b");
  const std::string shared = "shared text";
  field.ShareText(shared);
  EXPECT_EQ(field.Text().data(), shared.data());
  // A copy of a part of the shared text is the field's own.
  EXPECT_EQ(field.SetText(field.Text().substr(7)), 0);
  EXPECT_EQ(field.Text(), "text");
  EXPECT_NE(field.Text().data(), shared.data() + 7);
  field.Clear();
  EXPECT_EQ(field.Text(), "");
  EXPECT_EQ(field.SetText(""), 0);
  EXPECT_FALSE(field.HasContent());
  EXPECT_EQ(shared, "shared text");
}

TEST(FeedFieldStorage, SharedAttributesAreNeverWrittenOver) {
  const std::string document = "urlhttp://a/lengthnine";
  std::string_view text = document;
  FeedField field;
  field.InitShared(text.substr(0, 3));
  ASSERT_EQ(field.ShareAttribute(text.substr(0, 3), text.substr(3, 9)), 0);
  ASSERT_EQ(field.ShareAttribute(text.substr(12, 6), text.substr(18, 4)), 0);
  EXPECT_EQ(field.AttributeValue(0).data(), document.data() + 3);
  // A shorter copy must not land where the shared value is.
  ASSERT_EQ(field.SetAttribute("url", "x"), 0);
  ASSERT_EQ(field.SetAttribute("type", "audio/mpeg"), 0);
  ASSERT_EQ(field.ShareAttribute("length", text.substr(3, 4)), 0);
  EXPECT_EQ(document, "urlhttp://a/lengthnine");
  EXPECT_EQ(field.Name(), "url");
  ASSERT_EQ(field.AttributeCount(), 3u);
  EXPECT_EQ(field.Attribute("url"), "x");
  EXPECT_EQ(field.Attribute("length"), "http");
  EXPECT_EQ(field.Attribute("type"), "audio/mpeg");
  EXPECT_EQ(field.AttributeName(1), "length");
}

TEST(FeedFieldStorage, ATableInAReadStoreMovesToTheHeapWhenItMustGrowOrCopy) {
  // A table a reader reserves in its store holds shared entries only; what
  // needs more room or a copy moves it, keeping every value and the order.
  Arena store;
  const std::string document = "domainhttp://d/schemetermword";
  std::string_view text = document;
  FeedField field, next;
  ASSERT_EQ(field.ReserveAttributes(2, &store), 0);
  ASSERT_EQ(next.ReserveAttributes(1, &store), 0);  // right after it in the store
  ASSERT_EQ(field.ShareAttribute(text.substr(0, 6), text.substr(6, 9)), 0);
  ASSERT_EQ(field.ShareAttribute(text.substr(15, 6), text.substr(25, 4)), 0);
  ASSERT_EQ(next.ShareAttribute(text.substr(21, 4), text.substr(0, 6)), 0);
  EXPECT_EQ(field.AttributeValue(0), "http://d/");
  EXPECT_EQ(field.AttributeValue(1), "word");
  EXPECT_EQ(next.Attribute("term"), "domain");
  ASSERT_EQ(field.SetAttribute("scheme", ""), 0);  // a copy of nothing fits where it is
  EXPECT_EQ(field.Attribute("scheme"), "");
  ASSERT_EQ(field.ShareAttribute(text.substr(21, 4), text.substr(25, 4)), 0);  // a third: more room
  ASSERT_EQ(field.SetAttribute("domain", field.Attribute("term")), 0);          // a copy of its own
  for (int i = 0; i < 40; ++i) ASSERT_EQ(field.SetAttribute("a" + std::to_string(i), std::to_string(i)), 0);
  ASSERT_EQ(field.AttributeCount(), 43u);
  EXPECT_EQ(field.AttributeName(0), "domain");
  EXPECT_EQ(field.Attribute("domain"), "word");
  EXPECT_EQ(field.AttributeName(1), "scheme");
  EXPECT_EQ(field.Attribute("term"), "word");
  EXPECT_EQ(field.AttributeValue(2).data(), document.data() + 25);
  EXPECT_EQ(field.Attribute("a39"), "39");
  EXPECT_EQ(document, "domainhttp://d/schemetermword");
}

TEST(FeedFieldStorage, ExtrasAreFoundAfterTheFixedFieldsInCreationOrder) {
  FeedContainer item(ContainerKind::kItem);
  FeedField* first;
  FeedField* second;
  ASSERT_EQ(item.AddExtra("x", first), 0);
  ASSERT_EQ(item.AddExtra("x", second), 0);
  ASSERT_EQ(item.ExtraCount(), 2u);
  EXPECT_EQ(item.Find("x"), item.Extra(0));
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
  for (int i = 0; i < 100; ++i) {
    FeedField* field;
    ASSERT_EQ(channel.AddExtra("x" + std::to_string(i % 50), field), 0);
    ASSERT_EQ(field, channel.Extra(static_cast<size_t>(i)));
  }
  EXPECT_EQ(channel.Find("x10"), channel.Extra(10));
  EXPECT_EQ(channel.Find("x49"), channel.Extra(49));
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
