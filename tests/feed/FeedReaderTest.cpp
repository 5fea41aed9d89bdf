#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "base/Codes.h"
#include "feed/FeedReader.h"
#include "feed/FeedWriter.h"
#include "xml/XmlReader.h"

namespace rssvane {
namespace {

std::string Channel(const FeedState& feed, size_t field) {
  return std::string(feed.Channel().Fixed(field).Text());
}

std::string ItemText(FeedState& feed, long index, size_t field) {
  std::string_view text;
  feed.ItemText(index, field, text);
  return std::string(text);
}

class TempFile {
 public:
  explicit TempFile(std::string_view content) {
    char name[] = "/tmp/feedreaderXXXXXX";
    int fd = mkstemp(name);
    path_ = name;
    if (fd >= 0) {
      if (!content.empty() && write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
        path_.clear();
      }
      close(fd);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const char* Path() const { return path_.c_str(); }

 private:
  std::string path_;
};

TEST(FeedReader, ReadsChannelImageTextInputAndItemsOfAnRss2Document) {
  const char* text =
      "<?xml version=\"1.0\"?>\n"
      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns=\"urn:default\">\n"
      "<channel>\n"
      "  <title>  A &amp; B  </title>\n"
      "  <link>http://x/</link>\n"
      "  <category domain=\"d\">c1</category>\n"
      "  <dc:rights>r</dc:rights>\n"
      "  <image><url>u</url><title>it</title><link>il</link></image>\n"
      "  <textInput><title>tt</title><name>n</name></textInput>\n"
      "  <item><title>one</title><category a=\"1\" b=\"2\">x</category><category b=\"3\">y</category>"
      "<dc:creator>me</dc:creator><description><![CDATA[<p>hi</p>]]></description></item>\n"
      "  <item><title>two</title><guid isPermaLink=\"false\">g</guid></item>\n"
      "</channel>\n</rss>\n";
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, text), 0);
  EXPECT_EQ(feed.Version(), rssVersion200);
  EXPECT_EQ(Channel(feed, channel_field::kTitle), "A & B");
  EXPECT_EQ(Channel(feed, channel_field::kLink), "http://x/");
  EXPECT_EQ(Channel(feed, channel_field::kCategory), "c1");
  EXPECT_EQ(feed.Channel().Fixed(channel_field::kCategory).Attribute("domain"), "d");
  EXPECT_EQ(Channel(feed, channel_field::kGenerator), "Kestrix Version 6.0 RSS Component");
  ASSERT_EQ(feed.Channel().ExtraCount(), 1u);
  EXPECT_EQ(feed.Channel().Extra(0)->Name(), "dc:rights");
  EXPECT_EQ(feed.Channel().Extra(0)->Text(), "r");
  EXPECT_EQ(feed.Image().Fixed(image_field::kUrl).Text(), "u");
  EXPECT_EQ(feed.TextInput().Fixed(text_input_field::kName).Text(), "n");
  ASSERT_EQ(feed.ItemCount(), 2u);
  EXPECT_EQ(ItemText(feed, 1, item_field::kTitle), "one");
  EXPECT_EQ(ItemText(feed, 1, item_field::kDescription), "<p>hi</p>");
  // A repeated element keeps the last text and the union of the attributes.
  const FeedField& category = feed.Item(1)->Fixed(item_field::kCategory);
  EXPECT_EQ(category.Text(), "y");
  ASSERT_EQ(category.AttributeCount(), 2u);
  EXPECT_EQ(category.Attribute("a"), "1");
  EXPECT_EQ(category.Attribute("b"), "3");
  EXPECT_EQ(feed.Item(1)->Find("dc:creator")->Text(), "me");
  EXPECT_EQ(ItemText(feed, 2, item_field::kGuid), "g");
  EXPECT_EQ(feed.Item(2)->Fixed(item_field::kGuid).Attribute("isPermaLink"), "false");
  ASSERT_EQ(feed.NamespaceCount(), 1u);
  std::string_view prefix, uri;
  feed.NamespacePrefix(1, prefix);
  feed.NamespaceUri(1, uri);
  EXPECT_EQ(prefix, "dc");
  EXPECT_EQ(uri, "http://purl.org/dc/elements/1.1/");
  EXPECT_EQ(feed.DefaultNamespace(), "urn:default");
  EXPECT_EQ(feed.DocumentText(), text);
  EXPECT_FALSE(feed.Modified());
  EXPECT_EQ(feed.LastError(), 0);
}

TEST(FeedReader, VersionAttributeDecidesTheVersion) {
  FeedReader reader;
  FeedState feed;
  struct Case {
    const char* text;
    int version;
  } cases[] = {
      {"<rss version='0.91'/>", rssVersion091}, {"<rss version='0.92'/>", rssVersion092},
      {"<rss version='2.0'/>", rssVersion200},  {"<rss/>", rssVersionUndefined},
      {"<rss version=''/>", rssVersionUndefined}, {"<rss version='0.93'/>", rssVersion200},
  };
  for (const Case& c : cases) {
    feed.SetVersion(rssVersion091);
    ASSERT_EQ(reader.ReadDocument(feed, c.text), 0) << c.text;
    EXPECT_EQ(feed.Version(), c.version) << c.text;
  }
}

TEST(FeedReader, AnyRootIsWalkedAndRootLevelItemsComeFirstInWalkOrder) {
  const char* text =
      "<rdf:RDF xmlns:rdf='urn:rdf' xmlns='urn:rss'>"
      "<channel><title>T</title><item><title>in channel</title></item></channel>"
      "<image><url>u</url></image><textinput><title>ti</title></textinput>"
      "<item><title>root</title></item>"
      "</rdf:RDF>";
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, text), 0);
  EXPECT_EQ(feed.Version(), rssVersionUndefined);
  EXPECT_EQ(Channel(feed, channel_field::kTitle), "T");
  EXPECT_EQ(feed.Image().Fixed(image_field::kUrl).Text(), "u");
  EXPECT_EQ(feed.TextInput().Fixed(text_input_field::kTitle).Text(), "ti");
  ASSERT_EQ(feed.ItemCount(), 2u);
  EXPECT_EQ(ItemText(feed, 1, item_field::kTitle), "in channel");
  EXPECT_EQ(ItemText(feed, 2, item_field::kTitle), "root");
  EXPECT_EQ(feed.DefaultNamespace(), "urn:rss");
  EXPECT_EQ(feed.NamespaceCount(), 1u);
}

TEST(FeedReader, TextInputInsideTheChannelMatchesOnlyItsExactCase) {
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, "<rss><channel><textinput><title>x</title></textinput></channel></rss>"), 0);
  EXPECT_EQ(feed.TextInput().Fixed(text_input_field::kTitle).Text(), "");
  ASSERT_NE(feed.Channel().Find("textinput"), nullptr);
}

TEST(FeedReader, MalformedDocumentsFailWithTheReaderCodeAndLeaveAResetFeed) {
  FeedReader reader;
  FeedState feed;
  feed.AddItem("t", "d", "l");
  feed.SetAllowNonRss(false);
  EXPECT_EQ(reader.ReadDocument(feed, "<rss xmlns:a='u'><channel></rss>"), 201);
  EXPECT_EQ(feed.LastErrorText(), "Unbalanced element tag.");
  EXPECT_EQ(feed.ItemCount(), 0u);
  EXPECT_TRUE(feed.AllowNonRss());
  // The root's declarations were merged before the failure.
  EXPECT_EQ(feed.NamespaceCount(), 1u);
  EXPECT_EQ(feed.DocumentText(), "");
  AutomationFailure failure = FailureForCode(feed.LastError(), feed.LastErrorText());
  EXPECT_EQ(failure.number, 20202);

  EXPECT_EQ(reader.ReadDocument(feed, "<rss><channel>"), 206);
  EXPECT_EQ(feed.LastErrorText(), "Document contains unbalanced elements.");
  EXPECT_EQ(reader.ReadDocument(feed, ""), 210);
  EXPECT_EQ(feed.LastErrorText(), "DOM tree unavailable (set BuildDOM to true and reparse).");
  EXPECT_EQ(reader.ReadDocument(feed, std::string_view("\0<rss/>", 7)), 210);
  EXPECT_EQ(reader.ReadDocument(feed, "just text"), 210);
}

TEST(FeedReader, TheDocumentEndsAtItsFirstZeroByte) {
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, std::string_view("<rss><channel><title>x</title></channel></rss>\0junk<", 52)), 0);
  EXPECT_EQ(feed.DocumentText(), "<rss><channel><title>x</title></channel></rss>");
}

TEST(FeedReader, ReadFileKeepsTheBytesAndReportsFilesItCannotRead) {
  std::string text = "<rss version=\"2.0\"><channel><title>";
  text += std::string(5000, 'x');  // more than one piece
  text += "</title></channel></rss>";
  TempFile file(text);
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadFile(feed, file.Path()), 0);
  EXPECT_EQ(feed.DocumentText(), text);
  EXPECT_EQ(Channel(feed, channel_field::kTitle), std::string(5000, 'x'));

  FeedState other;
  other.AddItem("kept", "", "");
  EXPECT_EQ(reader.ReadFile(other, "/nonexistent/feed.rss"), kErrFileOpen);
  EXPECT_EQ(other.LastErrorText(), "Can't open file for reading.");
  EXPECT_EQ(other.ItemCount(), 1u);
  EXPECT_EQ(reader.ReadFile(other, "/tmp"), kErrFileOpen);
  EXPECT_EQ(other.ItemCount(), 1u);

  TempFile empty("");
  EXPECT_EQ(reader.ReadFile(other, empty.Path()), 210);
  TempFile zero(std::string("\0<rss/>", 7));
  EXPECT_EQ(reader.ReadFile(other, zero.Path()), 210);
}

TEST(FeedReader, TheReaderKeepsItsOptionsAndItsMultiByteModeFromReset) {
  FeedReader reader;
  FeedState feed;
  reader.Reader().SetIgnoreBadElementPrefixes(true);
  ASSERT_EQ(reader.ReadDocument(feed, "<rss><channel><x:y>v</x:y></channel></rss>"), 0);
  ASSERT_NE(feed.Channel().Find("x:y"), nullptr);
  EXPECT_EQ(feed.Channel().Find("x:y")->Text(), "v");

  reader.Reset(true, 0);
  ASSERT_EQ(reader.ReadDocument(feed, "<rss><channel><title>\x83<</title></channel></rss>"), 0);
  EXPECT_EQ(Channel(feed, channel_field::kTitle), "\x83<");
  EXPECT_TRUE(reader.Reader().MultiByte());
}

}  // namespace
}  // namespace rssvane

namespace rssvane {
namespace {

TEST(FeedReader, ALargeFeedReadsWholeAndKeepsItsText) {
  // Large enough for the tree and the copy to be reserved in advance.
  std::string text = "<rss version=\"2.0\"><channel><title>big</title>";
  for (int i = 0; i < 6000; ++i) {
    text += "<item><title>t" + std::to_string(i) + " &amp; more</title><description><![CDATA[" +
            std::string(800, static_cast<char>('a' + i % 26)) + "]]></description>" +
            "<category domain=\"d\">c</category></item>\n";
  }
  text += "</channel></rss>";
  ASSERT_GT(text.size(), size_t{4} << 20);
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, text), 0);
  ASSERT_EQ(feed.ItemCount(), 6000u);
  EXPECT_EQ(ItemText(feed, 5999, item_field::kTitle), "t5998 & more");
  EXPECT_EQ(ItemText(feed, 6000, item_field::kDescription), std::string(800, static_cast<char>('a' + 5999 % 26)));
  EXPECT_EQ(feed.Item(3000)->Fixed(item_field::kCategory).Attribute("domain"), "d");
  EXPECT_EQ(feed.DocumentText(), text);
  // The reader is reused for a small document after the large one.
  ASSERT_EQ(reader.ReadDocument(feed, "<rss><channel><title>small</title></channel></rss>"), 0);
  EXPECT_EQ(Channel(feed, channel_field::kTitle), "small");
  EXPECT_EQ(feed.ItemCount(), 0u);
}

}  // namespace
}  // namespace rssvane

namespace rssvane {
namespace {

// A repeated element gathers the attributes of all its occurrences, later
// values winning. Each occurrence here brings a new name and gives "a" a
// value of another length; others bring ever new element names. Reading
// such a document must stay linear in its size: its time is bounded by the
// test's time-out, which quadratic reading overruns many times over.
TEST(FeedReader, AHostileMegabyteOfRepeatedElementsAndNewNamesReadsInLinearTime) {
  std::string text = "<rss><channel>";
  size_t repeats = 0;
  while (text.size() < (size_t{1} << 20)) {
    std::string n = std::to_string(repeats);
    text += "<x n" + n + "='' a='" + std::string(repeats % 3 + 1, 'v') + "'/><e" + n + "/>";
    ++repeats;
  }
  text += "<item><c/>";
  for (size_t i = 0; i < 1000; ++i) {
    text += "<c a='" + std::string(i % 2 + 1, 'w') + "' m" + std::to_string(i) + "='1'/>";
  }
  text += "</item></channel></rss>";
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, text), 0);
  const FeedField* x = feed.Channel().Find("x");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->AttributeCount(), repeats + 1);
  EXPECT_EQ(x->Attribute("a"), std::string((repeats - 1) % 3 + 1, 'v'));
  EXPECT_EQ(x->AttributeName(repeats), "n" + std::to_string(repeats - 1));
  EXPECT_EQ(feed.Channel().ExtraCount(), repeats + 1);
  EXPECT_NE(feed.Channel().Find("e" + std::to_string(repeats - 1)), nullptr);
  const FeedField* c = feed.Item(1)->Find("c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->AttributeCount(), 1001u);
  EXPECT_EQ(c->Attribute("a"), "ww");
  EXPECT_EQ(c->Attribute("m999"), "1");
}

}  // namespace
}  // namespace rssvane

namespace rssvane {
namespace {

// The model shares its texts with the text it was read from, and keeps that
// for as long as it needs it: the caller's buffer may go, and a produced
// text may take the document text's place.
TEST(FeedReader, TheModelKeepsWhatItSharesWhenTheCallersTextAndTheDocumentTextGo) {
  FeedState feed;
  FeedReader reader;
  {
    std::string text =
        "<rss version=\"2.0\"><channel><title>T</title><link>L</link><description>D</description>"
        "<item><title>shared</title><description>a &amp; b</description><enclosure url=\"u\" length=\"1\"/>"
        "</item></channel></rss>";
    ASSERT_EQ(reader.ReadDocument(feed, text), 0);
    text.assign(text.size(), '#');
  }
  ASSERT_EQ(feed.SetFieldText(feed.Channel().Fixed(channel_field::kTitle), "changed"), 0);
  FeedWriter writer;
  std::string_view produced;
  ASSERT_EQ(writer.DocumentText(feed, produced), 0);
  EXPECT_NE(produced.find("<title>changed</title>"), std::string_view::npos);
  EXPECT_NE(produced.find("<enclosure url=\"u\" length=\"1\"/>"), std::string_view::npos);
  EXPECT_EQ(ItemText(feed, 1, item_field::kTitle), "shared");
  EXPECT_EQ(ItemText(feed, 1, item_field::kDescription), "a & b");
  // The attribute table read with the element grows when more is set.
  FeedField& enclosure = feed.Item(1)->Fixed(item_field::kEnclosure);
  ASSERT_EQ(feed.SetFieldAttribute(enclosure, "type", "audio/mpeg"), 0);
  ASSERT_EQ(feed.SetFieldAttribute(enclosure, "url", "a longer url"), 0);
  EXPECT_EQ(enclosure.AttributeCount(), 3u);
  EXPECT_EQ(enclosure.Attribute("url"), "a longer url");
  EXPECT_EQ(enclosure.Attribute("length"), "1");
  EXPECT_EQ(enclosure.Attribute("type"), "audio/mpeg");
}

}  // namespace
}  // namespace rssvane

namespace rssvane {
namespace {

// Items read from a document live in the feed's read store, items added
// later on the heap; the list mixes both, and each must be given back the
// way it was taken, whether it is cut off, the model changes hands or the
// feed is reset.
TEST(FeedReader, ReadItemsAndAddedItemsMixAndAreGivenBackEachTheirWay) {
  std::string text = "<rss version=\"2.0\" xmlns:x=\"urn:x\"><channel>";
  for (int i = 0; i < 3; ++i) {
    text += "<item><title>t" + std::to_string(i) + "</title><guid isPermaLink='false'>g</guid><x:y>e</x:y></item>";
  }
  text += "</channel></rss>";
  FeedReader reader;
  FeedState feed;
  ASSERT_EQ(reader.ReadDocument(feed, text), 0);
  ASSERT_EQ(feed.SetItemCount(2), 0);
  ASSERT_EQ(feed.AddItem("added", "", ""), 0);
  ASSERT_EQ(feed.SetItemCount(4), 0);
  FeedState other;
  other.SwapModel(feed);
  ASSERT_EQ(other.ItemCount(), 4u);
  EXPECT_EQ(other.Item(1)->Fixed(item_field::kTitle).Text(), "added");
  const FeedContainer& read = *other.Item(3);
  EXPECT_EQ(read.Fixed(item_field::kTitle).Text(), "t1");
  EXPECT_EQ(read.Fixed(item_field::kGuid).Name(), "guid");
  EXPECT_EQ(read.Fixed(item_field::kGuid).Allowed(), kVersion200);
  EXPECT_EQ(read.Fixed(item_field::kGuid).Attribute("isPermaLink"), "false");
  ASSERT_NE(read.Find("x:y"), nullptr);
  EXPECT_EQ(read.Find("x:y")->Text(), "e");
  EXPECT_EQ(other.Item(4)->Fixed(item_field::kTitle).Text(), "");
  ASSERT_EQ(other.SetItemCount(1), 0);
  other.Reset();
  EXPECT_EQ(other.ItemCount(), 0u);
}

}  // namespace
}  // namespace rssvane
