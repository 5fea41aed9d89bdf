#include <gtest/gtest.h>

#include <string>

#include "base/Codes.h"
#include "feed/FeedState.h"

namespace rssvane {
namespace {

std::string_view ItemTitle(FeedState& feed, long index) {
  std::string_view title;
  feed.ItemText(index, item_field::kTitle, title);
  return title;
}

TEST(FeedModel, ANewFeedHasTheConstructionDefaults) {
  FeedState feed;
  EXPECT_EQ(feed.Channel().Fixed(channel_field::kDocs).Text(), kInitialChannelDocs);
  EXPECT_EQ(feed.Generator(), "Kestrix Version 6.0 RSS Component");
  EXPECT_EQ(feed.Version(), rssVersion200);
  EXPECT_TRUE(feed.AllowNonRss());
  EXPECT_EQ(feed.ItemCount(), 0u);
  EXPECT_EQ(feed.NamespaceCount(), 0u);
  EXPECT_FALSE(feed.Modified());
}

TEST(FeedModel, ResetRestoresEverythingInOneGo) {
  FeedState feed;
  feed.SetFieldText(feed.Channel().Fixed(channel_field::kTitle), "t");
  feed.SetFieldText(feed.Image().Fixed(image_field::kUrl), "u");
  feed.SetFieldText(feed.TextInput().Fixed(text_input_field::kName), "n");
  FeedField* extra;
  ASSERT_EQ(feed.Channel().AddExtra("dc:creator", extra), 0);
  feed.AddItem("a", "b", "c");
  feed.AddNamespace("dc", "http://purl.org/dc/elements/1.1/");
  feed.SetDefaultNamespace("urn:x");
  feed.SetVersion(rssVersion091);
  feed.SetAllowNonRss(false);
  feed.SetReadText("<rss/>");
  feed.SetGenerator("mine");

  feed.Reset();
  EXPECT_EQ(feed.Channel().Fixed(channel_field::kTitle).Text(), "");
  EXPECT_EQ(feed.Channel().Fixed(channel_field::kDocs).Text(), "");  // empty after Reset
  EXPECT_EQ(feed.Channel().ExtraCount(), 0u);
  EXPECT_EQ(feed.Image().Fixed(image_field::kUrl).Text(), "");
  EXPECT_EQ(feed.TextInput().Fixed(text_input_field::kName).Text(), "");
  EXPECT_EQ(feed.Generator(), kGeneratorText);
  EXPECT_EQ(feed.ItemCount(), 0u);
  EXPECT_EQ(feed.NamespaceCount(), 0u);
  EXPECT_EQ(feed.DefaultNamespace(), "");
  EXPECT_EQ(feed.Version(), rssVersion200);
  EXPECT_TRUE(feed.AllowNonRss());
  EXPECT_TRUE(feed.DocumentText().empty());
  EXPECT_FALSE(feed.Modified());
  // Names and masks of the fixed fields survive clearing.
  EXPECT_EQ(feed.Channel().Fixed(channel_field::kCloud).Name(), "cloud");
  EXPECT_EQ(feed.Channel().Fixed(channel_field::kCloud).Allowed(), kVersion092 | kVersion200);
}

TEST(FeedModel, FixedTablesHaveTheirNamesAndMasksInOrder) {
  FeedState feed;
  const FeedContainer& channel = feed.Channel();
  ASSERT_EQ(channel.FixedCount(), 17u);
  const char* names[] = {"title", "link", "description", "language", "copyright", "managingEditor",
                         "webMaster", "pubDate", "lastBuildDate", "docs", "ttl", "generator",
                         "rating", "skipHours", "skipDays", "category", "cloud"};
  for (size_t i = 0; i < 17; ++i) EXPECT_EQ(channel.Fixed(i).Name(), names[i]);
  EXPECT_EQ(channel.Fixed(channel_field::kLanguage).Required(), kVersion091);
  EXPECT_EQ(channel.Fixed(channel_field::kTtl).Allowed(), kVersion200);
  EXPECT_EQ(channel.Fixed(channel_field::kTitle).Required(), kVersionAll);
  EXPECT_EQ(feed.Image().FixedCount(), 5u);
  EXPECT_EQ(feed.Image().Fixed(image_field::kWidth).Required(), 0);
  EXPECT_EQ(feed.TextInput().FixedCount(), 4u);
  EXPECT_EQ(feed.TextInput().Fixed(text_input_field::kLink).Required(), kVersionAll);

  feed.AddItem("", "", "");
  FeedContainer* item = feed.Item(1);
  ASSERT_EQ(item->FixedCount(), 10u);
  EXPECT_EQ(item->Fixed(item_field::kEnclosure).Name(), "enclosure");
  EXPECT_EQ(item->Fixed(item_field::kSource).Allowed(), kVersion092 | kVersion200);
  EXPECT_EQ(item->Fixed(item_field::kTitle).Required(), kVersion091);
  EXPECT_EQ(item->Fixed(item_field::kGuid).Allowed(), kVersion200);
}

TEST(FeedModel, AddItemInsertsAtTheFront) {
  FeedState feed;
  ASSERT_EQ(feed.AddItem("first", "d1", "l1"), 0);
  ASSERT_EQ(feed.AddItem("second", "d2", "l2"), 0);
  EXPECT_EQ(ItemTitle(feed, 1), "second");
  EXPECT_EQ(ItemTitle(feed, 2), "first");
  std::string_view link;
  feed.ItemText(2, item_field::kLink, link);
  EXPECT_EQ(link, "l1");
  EXPECT_TRUE(feed.Modified());
}

TEST(FeedModel, ItemIndexesOutsideTheListFailWith232) {
  FeedState feed;
  feed.AddItem("only", "", "");
  std::string_view text = "stale";
  EXPECT_EQ(feed.ItemText(0, item_field::kTitle, text), kErrInvalidIndex);
  EXPECT_EQ(text, "");
  EXPECT_EQ(feed.LastErrorText(), "Invalid item index.");
  EXPECT_EQ(feed.ItemText(2, item_field::kTitle, text), kErrInvalidIndex);
  EXPECT_EQ(feed.SetItemText(2, item_field::kTitle, "x"), kErrInvalidIndex);
  EXPECT_EQ(feed.SetItemText(-1, item_field::kTitle, "x"), kErrInvalidIndex);
  EXPECT_EQ(ItemTitle(feed, 1), "only");
}

TEST(FeedModel, ItemCountCutsPadsAndRefusesNegatives) {
  FeedState feed;
  ASSERT_EQ(feed.SetItemCount(3), 0);
  ASSERT_EQ(feed.ItemCount(), 3u);
  for (long i = 1; i <= 3; ++i) {
    for (size_t f = 0; f < item_field::kCount; ++f) {
      std::string_view text = "x";
      ASSERT_EQ(feed.ItemText(i, f, text), 0);
      EXPECT_EQ(text, "");
    }
  }
  feed.SetItemText(1, item_field::kTitle, "keep");
  ASSERT_EQ(feed.SetItemCount(1), 0);
  EXPECT_EQ(ItemTitle(feed, 1), "keep");
  EXPECT_EQ(feed.SetItemCount(-1), kErrInvalidIndex);
  EXPECT_EQ(feed.LastErrorText(), "ItemCount cannot be negative.");
  EXPECT_EQ(feed.ItemCount(), 1u);
  ASSERT_EQ(feed.SetItemCount(0), 0);
  EXPECT_EQ(feed.ItemCount(), 0u);
}

TEST(FeedModel, SourceTextAndItsUrlAttributeAreIndependent) {
  FeedState feed;
  feed.SetItemCount(1);
  ASSERT_EQ(feed.SetItemAttribute(1, item_field::kSource, "url", "http://example.org/rss"), 0);
  ASSERT_EQ(feed.SetItemText(1, item_field::kSource, "Example"), 0);
  std::string_view url, text;
  feed.ItemAttribute(1, item_field::kSource, "url", url);
  feed.ItemText(1, item_field::kSource, text);
  EXPECT_EQ(url, "http://example.org/rss");
  EXPECT_EQ(text, "Example");
  // Setting an attribute again replaces it rather than adding a second.
  feed.SetItemAttribute(1, item_field::kSource, "url", "http://example.org/2");
  EXPECT_EQ(feed.Item(1)->Fixed(item_field::kSource).AttributeCount(), 1u);
  feed.ItemAttribute(1, item_field::kSource, "domain", url);
  EXPECT_EQ(url, "");
}

TEST(FeedModel, FieldsHaveContentWithTextOrAttributesAndFindPrefersFixedFields) {
  FeedContainer item(ContainerKind::kItem);
  FeedField& category = item.Fixed(item_field::kCategory);
  EXPECT_FALSE(category.HasContent());
  category.SetAttribute("domain", "x");
  EXPECT_TRUE(category.HasContent());
  FeedField* extra;
  ASSERT_EQ(item.AddExtra("title", extra), 0);  // a second "title" can exist as an extra
  ASSERT_EQ(item.AddExtra("dc:creator", extra), 0);
  EXPECT_EQ(item.Find("title"), &item.Fixed(item_field::kTitle));
  EXPECT_EQ(item.Find("dc:creator"), extra);
  EXPECT_EQ(item.Find("DC:creator"), nullptr);
  EXPECT_EQ(extra->Allowed(), 0);
  EXPECT_EQ(extra->Required(), 0);
  item.Clear();
  EXPECT_EQ(item.ExtraCount(), 0u);
  EXPECT_FALSE(category.HasContent());
}

TEST(FeedModel, AddNamespaceAppendsWhileMergeReplacesByPrefix) {
  FeedState added;
  added.AddNamespace("p", "u1");
  added.AddNamespace("p", "u2");
  ASSERT_EQ(added.NamespaceCount(), 2u);
  std::string_view prefix, uri;
  added.NamespacePrefix(2, prefix);
  added.NamespaceUri(2, uri);
  EXPECT_EQ(prefix, "p");
  EXPECT_EQ(uri, "u2");

  FeedState merged;
  merged.MergeNamespace("p", "u1");
  merged.MergeNamespace("p", "u2");
  ASSERT_EQ(merged.NamespaceCount(), 1u);
  merged.NamespaceUri(1, uri);
  EXPECT_EQ(uri, "u2");
  merged.MergeNamespace("", "urn:default");
  EXPECT_EQ(merged.NamespaceCount(), 1u);
  EXPECT_EQ(merged.DefaultNamespace(), "urn:default");
}

TEST(FeedModel, NamespaceIndexesCountsAndTheSpecialIndexZero) {
  FeedState feed;
  std::string_view text;
  EXPECT_EQ(feed.NamespacePrefix(1, text), kErrInvalidIndex);
  EXPECT_EQ(feed.LastErrorText(), "Invalid namespace index.");
  EXPECT_EQ(feed.SetNamespaceCount(-1), kErrNamespaceCount);
  EXPECT_EQ(feed.LastErrorText(), "Namespace count cannot be negative.");
  ASSERT_EQ(feed.SetNamespaceCount(2), 0);
  feed.NamespacePrefix(2, text);
  EXPECT_EQ(text, "");
  ASSERT_EQ(feed.SetNamespacePrefix(2, "media"), 0);
  ASSERT_EQ(feed.SetNamespaceUri(2, "http://search.yahoo.com/mrss/"), 0);
  ASSERT_EQ(feed.SetNamespaceUri(0, "urn:default"), 0);
  EXPECT_EQ(feed.DefaultNamespace(), "urn:default");
  EXPECT_EQ(feed.SetNamespacePrefix(0, "ignored"), 0);
  EXPECT_EQ(feed.NamespaceCount(), 2u);
  EXPECT_EQ(feed.SetNamespaceUri(3, "x"), kErrInvalidIndex);
  ASSERT_EQ(feed.SetNamespaceCount(1), 0);
  EXPECT_EQ(feed.NamespaceUri(2, text), kErrInvalidIndex);
  ASSERT_EQ(feed.SetNamespaceCount(2), 0);
  feed.NamespacePrefix(2, text);
  EXPECT_EQ(text, "");  // padding gives empty declarations, not the old ones
}

TEST(FeedModel, VersionIsCheckedAndEveryChangeMarksTheModelModified) {
  FeedState feed;
  EXPECT_EQ(feed.SetVersion(4), kErrInvalidVersion);
  EXPECT_EQ(feed.LastErrorText(), "Invalid RSS version.");
  EXPECT_EQ(feed.SetVersion(-1), kErrInvalidVersion);
  EXPECT_EQ(feed.Version(), rssVersion200);
  EXPECT_FALSE(feed.Modified());
  ASSERT_EQ(feed.SetVersion(rssVersionUndefined), 0);
  EXPECT_TRUE(feed.Modified());

  feed.SetModified(false);
  feed.SetGenerator("gen");
  EXPECT_TRUE(feed.Modified());
  feed.SetModified(false);
  feed.AddNamespace("a", "b");
  EXPECT_TRUE(feed.Modified());
  feed.SetModified(false);
  feed.SetFieldAttribute(feed.Channel().Fixed(channel_field::kCategory), "domain", "d");
  EXPECT_TRUE(feed.Modified());
  // AllowNonRSS decides what the text holds: a change is a change.
  feed.SetModified(false);
  feed.SetAllowNonRss(true);
  EXPECT_FALSE(feed.Modified());
  feed.SetAllowNonRss(false);
  EXPECT_TRUE(feed.Modified());
}

}  // namespace
}  // namespace rssvane
