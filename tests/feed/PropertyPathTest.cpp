#include <gtest/gtest.h>

#include <string>

#include "base/Codes.h"
#include "feed/FeedWriter.h"
#include "feed/PropertyPath.h"

namespace rssvane {
namespace {

class PropertyPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    feed_.Reset();
    feed_.SetFieldText(feed_.Channel().Fixed(channel_field::kTitle), "T");
    feed_.SetFieldText(feed_.Channel().Fixed(channel_field::kLink), "L");
    feed_.SetFieldText(feed_.Channel().Fixed(channel_field::kDescription), "D");
    feed_.AddItem("three", "", "");
    feed_.AddItem("two", "", "");
    feed_.AddItem("one", "", "");
  }
  std::string Get(std::string_view path, int expectedCode = 0) {
    std::string_view value = "not set";
    EXPECT_EQ(GetPropertyValue(feed_, path, value), expectedCode) << path;
    return std::string(value);
  }
  FeedState feed_;
};

TEST(PropertyPathSplit, CutsAtTheFirstSlashAndTheFirstAt) {
  PropertyPath p = SplitPropertyPath("item[3]/enclosure@url");
  EXPECT_EQ(p.container, "item[3]");
  EXPECT_EQ(p.element, "enclosure");
  EXPECT_EQ(p.attribute, "url");
  EXPECT_TRUE(p.hasAttribute);

  p = SplitPropertyPath("/category@domain@x/y");
  EXPECT_EQ(p.container, "channel");
  EXPECT_EQ(p.element, "category");
  EXPECT_EQ(p.attribute, "domain@x/y");

  p = SplitPropertyPath("image");
  EXPECT_EQ(p.container, "image");
  EXPECT_EQ(p.element, "");
  EXPECT_FALSE(p.hasAttribute);

  p = SplitPropertyPath("channel/dc:creator");
  EXPECT_EQ(p.element, "dc:creator");
  EXPECT_FALSE(p.hasAttribute);
}

TEST_F(PropertyPaths, ContainersAreChosenExactly) {
  EXPECT_EQ(Get("/title"), "T");
  EXPECT_EQ(Get("channel/title"), "T");
  EXPECT_EQ(Get("/link"), "L");

  Get("Channel/title", kErrPropertyPath);
  EXPECT_EQ(feed_.LastErrorText(), "Cannot find root level element: Channel.");
  Get("textinput/name", kErrPropertyPath);
  EXPECT_EQ(feed_.LastErrorText(), "Cannot find root level element: textinput.");
  EXPECT_EQ(Get("textInput/name"), "");
  EXPECT_EQ(Get("image/width"), "");
}

TEST_F(PropertyPaths, ItemIndexesMustBeInRangeAndWellFormed) {
  EXPECT_EQ(Get("item[1]/title"), "one");
  EXPECT_EQ(Get("item[3]/title"), "three");
  EXPECT_EQ(Get("item[+2]/title"), "two");
  EXPECT_EQ(Get("item[003]/title"), "three");
  for (const char* bad : {"item[0]/title", "item[]/title", "item[4]/title", "item/title", "item[-1]/title",
                          "item[1/title", "item[ 1]/title", "item[1]x/title", "items/title",
                          "item[99999999999999999999]/title", "item[+]/title"}) {
    feed_.ClearError();
    Get(bad, kErrInvalidIndex);
    EXPECT_EQ(feed_.LastErrorText(), "Invalid item index.") << bad;
  }
  EXPECT_EQ(SetPropertyValue(feed_, "item[4]/title", "x"), kErrInvalidIndex);
  EXPECT_EQ(feed_.ItemCount(), 3u);
}

TEST_F(PropertyPaths, MissingElementsFailOnGetAndAreCreatedOnSet) {
  Get("channel/nosuch", kErrPropertyPath);
  EXPECT_EQ(feed_.LastErrorText(), "Invalid property name (channel/nosuch).");
  Get("/nosuch@a", kErrPropertyPath);
  EXPECT_EQ(feed_.LastErrorText(), "Invalid property name (/nosuch@a).");  // the path as given

  feed_.SetModified(false);
  ASSERT_EQ(SetPropertyValue(feed_, "channel/nosuch", "v"), 0);
  EXPECT_TRUE(feed_.Modified());
  EXPECT_EQ(Get("channel/nosuch"), "v");
  EXPECT_EQ(feed_.Channel().ExtraCount(), 1u);
  // Setting again reuses the element.
  ASSERT_EQ(SetPropertyValue(feed_, "/nosuch", "w"), 0);
  EXPECT_EQ(feed_.Channel().ExtraCount(), 1u);

  GrowString text;
  ASSERT_EQ(FeedWriter::Produce(feed_, text), 0);
  EXPECT_NE(text.View().find("    <nosuch>w</nosuch>\r\n"), std::string_view::npos);

  // Names are exact: another case is another element.
  ASSERT_EQ(SetPropertyValue(feed_, "/Title", "upper"), 0);
  EXPECT_EQ(Get("/title"), "T");
  EXPECT_EQ(Get("/Title"), "upper");
}

TEST_F(PropertyPaths, AttributesAreReadAndSetInOrder) {
  EXPECT_EQ(Get("/category@nosuch"), "");
  EXPECT_EQ(feed_.LastError(), 0);

  ASSERT_EQ(SetPropertyValue(feed_, "item[1]/enclosure@url", "http://e/"), 0);
  ASSERT_EQ(SetPropertyValue(feed_, "item[1]/enclosure@length", "12"), 0);
  ASSERT_EQ(SetPropertyValue(feed_, "item[1]/enclosure@url", "http://f/"), 0);
  EXPECT_EQ(Get("item[1]/enclosure@url"), "http://f/");
  GrowString text;
  ASSERT_EQ(FeedWriter::Produce(feed_, text), 0);
  EXPECT_NE(text.View().find("      <enclosure url=\"http://f/\" length=\"12\"/>\r\n"), std::string_view::npos);

  // Prefixed names work as read: the prefix is part of the name.
  ASSERT_EQ(SetPropertyValue(feed_, "item[2]/dc:subject@xml:lang", "en"), 0);
  EXPECT_EQ(Get("item[2]/dc:subject@xml:lang"), "en");
  EXPECT_EQ(Get("item[2]/dc:subject"), "");
  EXPECT_EQ(Get("item[1]/dc:subject", kErrPropertyPath), "");
}

}  // namespace
}  // namespace rssvane
